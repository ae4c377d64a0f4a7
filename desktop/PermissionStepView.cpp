#include "desktop/PermissionStepView.h"

#include <QHBoxLayout>
#include <QLabel>

namespace desktop {

PermissionStepView::PermissionStepView(int number, const QString& text, QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto* numberLabel = new QLabel(QString::number(number));
    numberLabel->setFixedSize(20, 20);
    numberLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(numberLabel, 0, Qt::AlignTop);
    auto* textLabel = new QLabel(text);
    textLabel->setTextFormat(Qt::PlainText);
    textLabel->setWordWrap(true);
    layout->addWidget(textLabel, 1, Qt::AlignTop);
}

}  // namespace desktop
