#include "ui/SymbolButton.h"

#include <QPainter>

#include "ui/SymbolIcon.h"

namespace ui {

SymbolButton::SymbolButton(std::string_view symbol, const QColor& colour, int pixelSize, QSize slot, QWidget* parent)
    : QAbstractButton(parent), colour_(colour), pixelSize_(pixelSize), slot_(slot) {
    setFixedSize(slot_);
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
    setSymbol(symbol, colour);
}

void SymbolButton::setSymbol(std::string_view symbol, const QColor& colour) {
    symbol_ = QString::fromUtf8(symbol.data(), static_cast<qsizetype>(symbol.size()));
    colour_ = colour;
    SymbolIcon::tag(*this, symbol);
    update();
}

void SymbolButton::setSymbolVisible(bool visible) {
    if (symbolVisible_ == visible) return;
    symbolVisible_ = visible;
    update();
}

void SymbolButton::paintEvent(QPaintEvent*) {
    if (!symbolVisible_) return;
    QPainter painter(this);
    const QRectF box((width() - pixelSize_) / 2.0, (height() - pixelSize_) / 2.0, pixelSize_, pixelSize_);
    const QByteArray name = symbol_.toUtf8();
    SymbolIcon::paint(painter, box, std::string_view(name.constData(), static_cast<std::size_t>(name.size())),
                          colour_);
}

}  // namespace ui
