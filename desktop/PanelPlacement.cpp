#include "desktop/PanelPlacement.h"

#include <algorithm>
#include <cmath>

namespace desktop::panel_placement {

QPointF origin(QPointF mouse, QRectF visibleFrame, double h) {
    const double minX = visibleFrame.left();
    const double maxX = visibleFrame.left() + visibleFrame.width();
    const double minY = visibleFrame.top();
    const double maxY = visibleFrame.top() + visibleFrame.height();

    double x = mouse.x() + kAssumedWidth > maxX - 40 ? maxX - kAssumedWidth - kMargin : mouse.x() - 125;
    if (minX + kMargin > x) x = minX + kMargin;

    // Below the pointer first; above it when that leaves the screen's bottom;
    // never above the screen's top.
    double y = mouse.y() - h - 50;
    if (y < minY + kMargin) y = mouse.y() + 100;
    if (y + h > maxY - kMargin) y = maxY - h - kMargin;
    return {x, y};
}

QPoint topLeft(QPoint pointer, std::optional<QRect> visibleFrame, int h) {
    // Mirror y: a y-down rectangle from top t to t + height spans y-up from
    // -(t + height) to -t.
    QRectF frame;
    if (visibleFrame)
        frame = QRectF(visibleFrame->x(), -(visibleFrame->y() + visibleFrame->height()), visibleFrame->width(),
                       visibleFrame->height());
    const QPointF o = origin(QPointF(pointer.x(), -pointer.y()), frame, h);
    return {static_cast<int>(std::lround(o.x())), static_cast<int>(std::lround(-(o.y() + h)))};
}

QPoint topLeftAfterResize(QRect frame, QRect visibleFrame) {
    const int lowestTop = visibleFrame.y() + visibleFrame.height() - kMargin - frame.height();
    if (frame.y() <= lowestTop) return frame.topLeft();
    return {frame.x(), std::min(frame.y(), std::max(lowestTop, visibleFrame.y()))};
}

}  // namespace desktop::panel_placement
