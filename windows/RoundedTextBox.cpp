#include "windows/RoundedTextBox.h"

#include <QAbstractTextDocumentLayout>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>
#include <cmath>

#include "ui/Palette.h"
#include "ui/TextStyle.h"

namespace windows {

RoundedTextBox::RoundedTextBox(const QString& text, const QColor& background, QWidget* parent)
    : ui::RoundedSurface(background, kCornerRadius, parent) {
    // A read-only text edit rather than a label: a label cannot break a word
    // wider than itself and would push the sheet wider than its window.
    text_ = new QTextEdit(this);
    text_->setReadOnly(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text_->setAcceptRichText(false);
    text_->setFrameShape(QFrame::NoFrame);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    text_->setFont(ui::TextStyles::system(14));
    text_->document()->setDocumentMargin(0);
    QPalette palette = text_->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, ui::Palette::color(ui::Colour::White));
    text_->setPalette(palette);
    text_->viewport()->setAutoFillBackground(false);
    text_->setPlainText(text);
    text_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(text_->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            [this] { fitHeight(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    layout->addWidget(text_);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    fitHeight();
}

QString RoundedTextBox::text() const { return text_->toPlainText(); }

void RoundedTextBox::resizeEvent(QResizeEvent* event) {
    ui::RoundedSurface::resizeEvent(event);
    fitHeight();
}

void RoundedTextBox::fitHeight() {
    const int height = int(std::ceil(text_->document()->size().height()));
    if (text_->height() != height || text_->minimumHeight() != height) text_->setFixedHeight(height);
}

}  // namespace windows
