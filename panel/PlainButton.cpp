#include "panel/PlainButton.h"

#include <QLayout>

namespace panel {

PlainButton::PlainButton(QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

QSize PlainButton::sizeHint() const { return layout() ? layout()->sizeHint() : QSize(); }

void PlainButton::paintEvent(QPaintEvent*) {}

}  // namespace panel
