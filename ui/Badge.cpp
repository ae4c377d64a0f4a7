#include "ui/Badge.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

namespace ui {

Badge::Badge(const QColor& background, QWidget* parent)
    : QWidget(parent), background_(background), row_(new QHBoxLayout(this)) {
    row_->setContentsMargins(horizontalPadding, verticalPadding, horizontalPadding, verticalPadding);
    row_->setSpacing(0);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setProperty("background", background_);
}

void Badge::addWidget(QWidget* widget) { row_->addWidget(widget, 0, Qt::AlignVCenter); }

void Badge::setSpacing(int pixels) { row_->setSpacing(pixels); }

void Badge::setBackground(const QColor& colour) {
    if (colour == background_) return;
    background_ = colour;
    setProperty("background", background_);
    update();
}

void Badge::paintBackground(QPainter& painter, const QRectF& rect, const QColor& colour) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(rect, cornerRadius, cornerRadius);
    painter.fillPath(shape, colour);
    painter.restore();
}

void Badge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintBackground(painter, QRectF(rect()), background_);
}

}  // namespace ui
