#include "ui/Badge.h"

#include <QHBoxLayout>

namespace ui {

Badge::Badge(const QColor& background, QWidget* parent)
    : RoundedSurface(background, cornerRadius, parent), row_(new QHBoxLayout(this)) {
    row_->setContentsMargins(horizontalPadding, verticalPadding, horizontalPadding, verticalPadding);
    row_->setSpacing(0);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void Badge::addWidget(QWidget* widget) { row_->addWidget(widget, 0, Qt::AlignVCenter); }

void Badge::setSpacing(int pixels) { row_->setSpacing(pixels); }

void Badge::paintBackground(QPainter& painter, const QRectF& rect, const QColor& colour) {
    RoundedSurface::paint(painter, rect, cornerRadius, colour);
}

}  // namespace ui
