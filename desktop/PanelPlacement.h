#pragma once

#include <optional>

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>

namespace desktop {

// Where the prompt panel opens, relative to the mouse pointer.
//
// The rules are written in coordinates whose y axis points up (a rectangle's
// origin is its bottom-left corner); Qt's y axis points down. Only
// differences of coordinates enter the rules, so mirroring y about 0 is a
// faithful conversion whatever the screens' layout.
namespace panel_placement {

// The panel is taken as this wide by the right-edge rule, whatever its width.
inline constexpr double kAssumedWidth = 500;
// What the panel keeps clear of the usable area's edges.
inline constexpr int kMargin = 20;

// The panel's bottom-left origin, y up, for the pointer `mouse` and the
// screen's usable area `visibleFrame` (both y up), and the panel height `h`.
QPointF origin(QPointF mouse, QRectF visibleFrame, double h);

// The same in Qt's coordinates: the panel's top-left corner for the pointer
// `pointer`, the usable area `visibleFrame` (none: the empty rectangle at 0,
// 0) and the panel height `h`.
QPoint topLeft(QPoint pointer, std::optional<QRect> visibleFrame, int h);

// After the panel's height changed, in Qt's coordinates: the top-left corner
// for the panel at `frame` on the screen whose usable area is `visibleFrame`.
// A panel whose bottom edge comes closer than 20 to the area's bottom moves
// up, as the placement keeps it, but never above the area's top; a panel
// that still fits stays where it is, so it never moves down nor sideways.
QPoint topLeftAfterResize(QRect frame, QRect visibleFrame);

}  // namespace panel_placement

}  // namespace desktop
