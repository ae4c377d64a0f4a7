#include "ui/RoundedSurface.h"

#include <QPainter>
#include <QPainterPath>

namespace ui {

RoundedSurface::RoundedSurface(const QColor& background, qreal cornerRadius, QWidget* parent)
    : QWidget(parent), background_(background), cornerRadius_(cornerRadius) {
    setProperty("background", background_);
}

void RoundedSurface::setBackground(const QColor& colour) {
    if (colour == background_) return;
    background_ = colour;
    setProperty("background", background_);
    update();
}

void RoundedSurface::paint(QPainter& painter, const QRectF& rect, qreal cornerRadius, const QColor& colour) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(rect, cornerRadius, cornerRadius);
    painter.fillPath(shape, colour);
    painter.restore();
}

void RoundedSurface::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, QRectF(rect()), cornerRadius_, background_);
}

}  // namespace ui
