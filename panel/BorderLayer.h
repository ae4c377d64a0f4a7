#pragma once

#include <QBrush>
#include <QGradientStops>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QSize>

#include <cstdint>
#include <vector>

class QPainter;

namespace panel {

// One stroked layer of the panel's rotating border: a rounded rectangle
// (corner radius 24) inset from the frame, of a line width, optionally
// blurred, filled with a gradient the caller gives per frame.
//
// A blurred layer costs one blur per size, not per frame: the blurred ring is
// kept as an alpha mask and each frame only fills the gradient through it.
// That equals blurring the coloured ring wherever the gradient changes little
// across the blur's reach (a few pixels against a 500-pixel turn), which is
// a close approximation of blurring every frame anew.
class BorderLayer {
public:
    static constexpr qreal kCornerRadius = 24;

    struct Geometry {
        qreal inset = 0;
        qreal lineWidth = 1;
        qreal blurRadius = 0;
    };

    explicit BorderLayer(Geometry geometry) : geometry_(geometry) {}

    // The four-stop palette (violet, cyan, pink, violet), every stop's alpha
    // multiplied by `opacity`.
    static QGradientStops paletteStops(qreal opacity);
    // The outline every layer strokes and the whole border is clipped to.
    static QPainterPath outline(const QRectF& rect);

    // The layer's own frame inside a border of `size`.
    QRectF frame(const QSize& size) const;
    // Strokes the layer in a border of `size` with `brush`.
    void paint(QPainter& painter, const QSize& size, const QBrush& brush);

    // Strokes the layer with the palette turned about the centre: the colour
    // at `phase` degrees clockwise from the right is the first stop, and the
    // stops follow clockwise. Per frame this only looks colours up for the
    // ring's own pixels, whose angles are kept per size.
    void paintConic(QPainter& painter, const QSize& size, double phase, qreal opacity);

    // Where a point at `angle` degrees (clockwise from the right, as the
    // screen's y axis points down) lies in the palette when it starts at
    // `phase`: 0 at the start, growing clockwise to 1 a full turn later.
    static double conicPosition(double angle, double phase);
    // The palette colour at `position` (0..1), straight (not premultiplied).
    static QColor paletteColour(double position, qreal opacity);

private:
    struct RingPixel {
        std::uint32_t offset;  // in the buffer
        std::uint16_t angle;   // in steps of a full turn / kAngleSteps
        std::uint8_t alpha;    // coverage of the (blurred) ring
    };
    static constexpr int kAngleSteps = 1024;

    const QImage& mask(const QSize& size);
    void prepareConic(const QSize& size, qreal opacity);

    Geometry geometry_;
    QImage mask_;    // the blurred ring, alpha only
    QImage buffer_;  // reused for each frame's colouring
    std::vector<RingPixel> ring_;            // conic: the ring's pixels, per size
    std::vector<QRgb> colours_;              // conic: the palette, premultiplied, per angle step
    qreal coloursOpacity_ = -1;
};

}  // namespace panel
