#include "ui/SymbolView.h"

#include <QPainter>

#include "ui/SymbolIcon.h"

namespace ui {

SymbolView::SymbolView(std::string_view name, const QColor& colour, int pixelSize, QWidget* parent)
    : QWidget(parent), colour_(colour), pixelSize_(pixelSize) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setSymbol(name);
}

void SymbolView::setSymbol(std::string_view name) {
    const QString text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    if (text == name_) return;
    name_ = text;
    SymbolIcon::tag(*this, name);
    update();
}

void SymbolView::setColour(const QColor& colour) {
    if (colour == colour_) return;
    colour_ = colour;
    update();
}

void SymbolView::setPixelSize(int pixelSize) {
    if (pixelSize == pixelSize_) return;
    pixelSize_ = pixelSize;
    updateGeometry();
    update();
}

QSize SymbolView::sizeHint() const { return {pixelSize_, pixelSize_}; }

QSize SymbolView::minimumSizeHint() const { return sizeHint(); }

void SymbolView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF square(QPointF(0, 0), QSizeF(pixelSize_, pixelSize_));
    SymbolIcon::paint(painter, square.translated(rect().center() - square.center()), name_.toStdString(), colour_);
}

}  // namespace ui
