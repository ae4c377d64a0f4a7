#include "panel/BorderLayer.h"

#include <QGraphicsBlurEffect>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace panel {

namespace {

QPen strokePen(const QBrush& brush, qreal width) {
    QPen pen(brush, width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    return pen;
}

// Qt's blur is reached through a graphics effect: render the image through
// it once.
QImage blurred(const QImage& image, qreal radius) {
    QGraphicsScene scene;
    auto* item = new QGraphicsPixmapItem(QPixmap::fromImage(image));
    auto* blur = new QGraphicsBlurEffect;
    blur->setBlurRadius(radius);
    blur->setBlurHints(QGraphicsBlurEffect::QualityHint);
    item->setGraphicsEffect(blur);
    scene.addItem(item);
    QImage result(image.size(), QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    const QRectF area(QPointF(0, 0), QSizeF(image.size()));
    scene.render(&painter, area, area);
    return result;
}

}  // namespace

QGradientStops BorderLayer::paletteStops(qreal opacity) {
    const auto colour = [opacity](qreal red, qreal green, qreal blue) {
        return QColor::fromRgbF(static_cast<float>(red), static_cast<float>(green), static_cast<float>(blue),
                                static_cast<float>(opacity));
    };
    return {{0.0, colour(0.4, 0.2, 1.0)},
            {1.0 / 3.0, colour(0.2, 0.8, 1.0)},
            {2.0 / 3.0, colour(1.0, 0.2, 0.4)},
            {1.0, colour(0.4, 0.2, 1.0)}};
}

QPainterPath BorderLayer::outline(const QRectF& rect) {
    QPainterPath path;
    path.addRoundedRect(rect, kCornerRadius, kCornerRadius);
    return path;
}

QRectF BorderLayer::frame(const QSize& size) const {
    return QRectF(QPointF(0, 0), QSizeF(size)).adjusted(geometry_.inset, geometry_.inset, -geometry_.inset,
                                                        -geometry_.inset);
}

const QImage& BorderLayer::mask(const QSize& size) {
    if (mask_.size() == size)
        return mask_;
    QImage ring(size, QImage::Format_ARGB32_Premultiplied);
    ring.fill(Qt::transparent);
    {
        QPainter painter(&ring);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.strokePath(outline(frame(size)), strokePen(Qt::white, geometry_.lineWidth));
    }
    mask_ = geometry_.blurRadius > 0 ? blurred(ring, geometry_.blurRadius) : ring;
    return mask_;
}

void BorderLayer::paint(QPainter& painter, const QSize& size, const QBrush& brush) {
    if (size.isEmpty())
        return;
    if (geometry_.blurRadius <= 0) {
        painter.strokePath(outline(frame(size)), strokePen(brush, geometry_.lineWidth));
        return;
    }
    const QImage& ring = mask(size);
    if (buffer_.size() != size)
        buffer_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
    {
        // Filled over transparent: Qt's gradient fill is much slower in
        // Source mode than in SourceOver.
        buffer_.fill(Qt::transparent);
        QPainter colouring(&buffer_);
        colouring.fillRect(buffer_.rect(), brush);
        colouring.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        colouring.drawImage(0, 0, ring);
    }
    painter.drawImage(0, 0, buffer_);
}

double BorderLayer::conicPosition(double angle, double phase) {
    const double turns = (angle - phase) / 360.0;
    return turns - std::floor(turns);
}

QColor BorderLayer::paletteColour(double position, qreal opacity) {
    const QGradientStops stops = paletteStops(opacity);
    for (qsizetype i = 1; i < stops.size(); ++i) {
        if (position > stops[i].first && i + 1 < stops.size())
            continue;
        const auto& [from, fromColour] = stops[i - 1];
        const auto& [to, toColour] = stops[i];
        const double f = std::clamp((position - from) / (to - from), 0.0, 1.0);
        const auto mix = [f](float a, float b) { return static_cast<float>(a + (b - a) * f); };
        return QColor::fromRgbF(mix(fromColour.redF(), toColour.redF()), mix(fromColour.greenF(), toColour.greenF()),
                                mix(fromColour.blueF(), toColour.blueF()), mix(fromColour.alphaF(), toColour.alphaF()));
    }
    return stops.front().second;
}

void BorderLayer::prepareConic(const QSize& size, qreal opacity) {
    if (coloursOpacity_ != opacity) {
        colours_.resize(kAngleSteps);
        for (int step = 0; step < kAngleSteps; ++step)
            colours_[static_cast<std::size_t>(step)] =
                qPremultiply(paletteColour(static_cast<double>(step) / kAngleSteps, opacity).rgba());
        coloursOpacity_ = opacity;
    }
    if (buffer_.size() == size && !ring_.empty())
        return;
    const QImage& coverage = mask(size);
    buffer_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
    buffer_.fill(Qt::transparent);
    ring_.clear();
    const QPointF centre = QRectF(QPointF(0, 0), QSizeF(size)).center();
    for (int y = 0; y < size.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(coverage.constScanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int alpha = qAlpha(line[x]);
            if (alpha == 0)
                continue;
            const double angle = std::atan2(y + 0.5 - centre.y(), x + 0.5 - centre.x()) * 180.0 / M_PI;
            const auto step = static_cast<int>(std::lround(conicPosition(angle, 0) * kAngleSteps)) % kAngleSteps;
            ring_.push_back({static_cast<std::uint32_t>(y * size.width() + x), static_cast<std::uint16_t>(step),
                             static_cast<std::uint8_t>(alpha)});
        }
    }
}

void BorderLayer::paintConic(QPainter& painter, const QSize& size, double phase, qreal opacity) {
    if (size.isEmpty())
        return;
    prepareConic(size, opacity);
    const int shift = static_cast<int>(std::lround(conicPosition(phase, 0) * kAngleSteps));
    auto* pixels = reinterpret_cast<QRgb*>(buffer_.bits());
    for (const RingPixel& pixel : ring_) {
        const QRgb colour = colours_[static_cast<std::size_t>((pixel.angle - shift) & (kAngleSteps - 1))];
        pixels[pixel.offset] = pixel.alpha == 255
                                   ? colour
                                   : qRgba(qRed(colour) * pixel.alpha / 255, qGreen(colour) * pixel.alpha / 255,
                                           qBlue(colour) * pixel.alpha / 255, qAlpha(colour) * pixel.alpha / 255);
    }
    painter.drawImage(0, 0, buffer_);
}

}  // namespace panel
