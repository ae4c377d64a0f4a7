#include <gtest/gtest.h>

#include "desktop/PanelPlacement.h"

namespace desktop {
namespace {

struct Case {
    const char* name;
    QPointF mouse;
    QRectF frame;
    double h;
    QPointF expected;
};

// A 1440 x 900 usable area whose origin is the bottom-left corner (y up).
const QRectF kFrame(0, 0, 1440, 900);

TEST(PanelPlacementTest, OriginFollowsThePointerAndStaysInTheVisibleFrame) {
    const Case cases[] = {
        {"middle: 125 left of and 50 below the pointer", {700, 450}, kFrame, 48, {575, 352}},
        {"right edge: 520 left of the frame's right edge", {1000, 450}, kFrame, 48, {920, 352}},
        {"right rule is strict at m.x + 500 == maxX - 40", {900, 450}, kFrame, 48, {775, 352}},
        {"right rule uses 500 whatever the panel's width", {901, 450}, kFrame, 48, {920, 352}},
        {"left edge: at least 20 from the frame's left edge", {50, 450}, kFrame, 48, {20, 352}},
        {"left rule is strict when x is already 20", {145, 450}, kFrame, 48, {20, 352}},
        {"bottom: opens 100 above the pointer", {700, 100}, kFrame, 48, {575, 200}},
        {"bottom rule is strict at y == minY + 20", {700, 118}, kFrame, 48, {575, 20}},
        {"top: top edge 20 below the frame's top", {700, 950}, kFrame, 48, {575, 832}},
        {"tall panel flipped above, then held below the top", {700, 100}, kFrame, 800, {575, 80}},
        {"no screen: the empty rectangle at 0, 0", {700, 450}, QRectF(), 48, {20, -68}},
        {"frame of another display", {3000, 500}, QRectF(1440, -180, 1920, 1080), 48, {2840, 402}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QPointF origin = panel_placement::origin(c.mouse, c.frame, c.h);
        EXPECT_DOUBLE_EQ(origin.x(), c.expected.x());
        EXPECT_DOUBLE_EQ(origin.y(), c.expected.y());
    }
}

TEST(PanelPlacementTest, TopLeftInQtCoordinatesMirrorsTheRules) {
    const QRect screen(0, 0, 1440, 900);
    // 50 below the pointer (y down), 125 to its left.
    EXPECT_EQ(panel_placement::topLeft({700, 450}, screen, 48), QPoint(575, 500));
    // Near the bottom the panel's bottom edge is 100 above the pointer.
    EXPECT_EQ(panel_placement::topLeft({700, 880}, screen, 48), QPoint(575, 732));
    // A pointer on a top bar 40 high, above the usable area: the panel keeps
    // 20 below the area's top.
    EXPECT_EQ(panel_placement::topLeft({700, 0}, QRect(0, 40, 1440, 860), 48), QPoint(575, 60));
    // Near the right edge.
    EXPECT_EQ(panel_placement::topLeft({1400, 450}, screen, 48), QPoint(920, 500));
    // Near the left edge of an area that does not start at 0.
    EXPECT_EQ(panel_placement::topLeft({100, 40}, QRect(0, 30, 1440, 870), 48), QPoint(20, 90));
    // No screen: the same rules on the empty rectangle at 0, 0.
    const QPointF up = panel_placement::origin({700, -450}, QRectF(), 48);
    EXPECT_EQ(panel_placement::topLeft({700, 450}, std::nullopt, 48),
              QPoint(static_cast<int>(up.x()), static_cast<int>(-(up.y() + 48))));
}

TEST(PanelPlacementTest, AGrowingPanelMovesUpToStayOnItsScreen) {
    const QRect area(0, 40, 1440, 860);  // below a top bar 40 high
    // Still 20 clear of the bottom: it stays.
    EXPECT_EQ(panel_placement::topLeftAfterResize({575, 732, 500, 128}, area), QPoint(575, 732));
    // Grown past that: up as far as it takes, never sideways.
    EXPECT_EQ(panel_placement::topLeftAfterResize({575, 732, 500, 300}, area), QPoint(575, 580));
    // Taller than the area: its top at the area's top, not above.
    EXPECT_EQ(panel_placement::topLeftAfterResize({575, 732, 500, 1000}, area), QPoint(575, 40));
    // Dragged above the area by the user: growing never pulls it down.
    EXPECT_EQ(panel_placement::topLeftAfterResize({575, 10, 500, 1000}, area), QPoint(575, 10));
}

}  // namespace
}  // namespace desktop
