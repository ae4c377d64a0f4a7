#include "panel/PanelAppearanceEffect.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace panel {

PanelAppearanceEffect::PanelAppearanceEffect(QObject* parent) : QGraphicsEffect(parent) {}

void PanelAppearanceEffect::setAppearance(double opacity, double scale, double blurRadius) {
    opacity = std::clamp(std::isfinite(opacity) ? opacity : 1.0, 0.0, 1.0);
    scale = std::isfinite(scale) && scale > 0.0 ? scale : 1.0;
    blurRadius = std::isfinite(blurRadius) ? std::max(0.0, blurRadius) : 0.0;
    if (opacity == opacity_ && scale == scale_ && blurRadius == blurRadius_) return;
    const bool boundsChange = blurRadius != blurRadius_;
    opacity_ = opacity;
    scale_ = scale;
    blurRadius_ = blurRadius;
    if (boundsChange) updateBoundingRect();
    update();
}

QImage PanelAppearanceEffect::blurred(const QImage& image, double radius) {
    if (radius < 0.5 || image.isNull()) return image;
    const double shrink = 1.0 + radius * 0.4;
    const QSize small(std::max(1, static_cast<int>(image.width() / shrink)),
                      std::max(1, static_cast<int>(image.height() / shrink)));
    return image.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .scaled(image.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QRectF PanelAppearanceEffect::boundingRectFor(const QRectF& rect) const {
    const double grow = std::ceil(blurRadius_);
    return rect.adjusted(-grow, -grow, grow, grow);
}

void PanelAppearanceEffect::draw(QPainter* painter) {
    if (opacity_ <= 0.0) return;
    QPoint offset;
    const QPixmap source = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::PadToEffectiveBoundingRect);
    if (source.isNull()) return;
    painter->save();
    painter->setOpacity(painter->opacity() * opacity_);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    const QPointF centre = sourceBoundingRect(Qt::LogicalCoordinates).center();
    painter->translate(centre);
    painter->scale(scale_, scale_);
    painter->translate(-centre);
    if (blurRadius_ >= 0.5) {
        QImage image = blurred(source.toImage(), blurRadius_ * source.devicePixelRatio());
        image.setDevicePixelRatio(source.devicePixelRatio());
        painter->drawImage(offset, image);
    } else {
        painter->drawPixmap(offset, source);
    }
    painter->restore();
}

}  // namespace panel
