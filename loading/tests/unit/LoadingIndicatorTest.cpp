// The three-ball triangle's geometry and timing, without drawing.

#include <gtest/gtest.h>

#include <QLineF>
#include <cmath>

#include "loading/LoadingIndicator.h"

namespace loading {
namespace {

using Indicator = LoadingIndicator;

double distance(QPointF a, QPointF b) { return QLineF(a, b).length(); }

TEST(ThreeBallsTriangle, SizesAndSpeedsAreTheirRawValues) {
    EXPECT_EQ(Indicator::sideOf(Indicator::Size::small), 25.0);
    EXPECT_EQ(Indicator::sideOf(Indicator::Size::medium), 50.0);
    EXPECT_EQ(Indicator::sideOf(Indicator::Size::large), 100.0);
    EXPECT_EQ(Indicator::sideOf(Indicator::Size::extraLarge), 150.0);
    EXPECT_EQ(Indicator::secondsOf(Indicator::Speed::slow), 1.0);
    EXPECT_EQ(Indicator::secondsOf(Indicator::Speed::normal), 0.5);
    EXPECT_EQ(Indicator::secondsOf(Indicator::Speed::fast), 0.25);
    EXPECT_EQ(Indicator::threeBallsTrianglePeriod(Indicator::secondsOf(Indicator::Speed::fast)), 0.5);
}

TEST(ThreeBallsTriangle, BallsLeaveTheCentreForTheCornersAndComeBack) {
    const double side = 25.0;
    const double speed = 0.25;
    const auto start = Indicator::threeBallsTriangle(0.0, side, speed);
    EXPECT_NEAR(start.diameter, side / 3.0, 1e-12);
    for (const QPointF& c : start.centres) EXPECT_NEAR(distance(c, {12.5, 12.5}), 0.0, 1e-9);

    // One period out: at the corners, a ball's radius inside the frame.
    const auto out = Indicator::threeBallsTriangle(0.5, side, speed);
    const double reach = side / 2.0 - side / 6.0;
    for (const QPointF& c : out.centres) {
        EXPECT_NEAR(distance(c, {12.5, 12.5}), reach, 1e-9);
        EXPECT_GE(c.x() - out.diameter / 2.0, -1e-9);
        EXPECT_LE(c.x() + out.diameter / 2.0, side + 1e-9);
        EXPECT_GE(c.y() - out.diameter / 2.0, -1e-9);
        EXPECT_LE(c.y() + out.diameter / 2.0, side + 1e-9);
    }
    // The corners of an equilateral triangle.
    EXPECT_NEAR(distance(out.centres[0], out.centres[1]), distance(out.centres[1], out.centres[2]), 1e-9);
    EXPECT_NEAR(distance(out.centres[1], out.centres[2]), distance(out.centres[2], out.centres[0]), 1e-9);

    // Halfway back, and home again after two periods.
    const auto back = Indicator::threeBallsTriangle(0.75, side, speed);
    EXPECT_NEAR(distance(back.centres[0], {12.5, 12.5}), reach / 2.0, 1e-6);
    const auto home = Indicator::threeBallsTriangle(1.0, side, speed);
    for (const QPointF& c : home.centres) EXPECT_NEAR(distance(c, {12.5, 12.5}), 0.0, 1e-9);
}

TEST(ThreeBallsTriangle, TheGroupTurnsWhileMoving) {
    const auto quarter = Indicator::threeBallsTriangle(0.125, 25.0, 0.25);
    const auto eighth = Indicator::threeBallsTriangle(0.0625, 25.0, 0.25);
    // Not on the upright axis through the centre once it has turned.
    const QPointF top = quarter.centres[0] - QPointF(12.5, 12.5);
    EXPECT_GT(std::abs(top.x()), 1e-3);
    EXPECT_NE(eighth.centres[0], quarter.centres[0]);
    // A full turn each period: at the corner the top ball is back on top.
    const auto out = Indicator::threeBallsTriangle(0.5, 25.0, 0.25);
    EXPECT_NEAR(out.centres[0].x(), 12.5, 1e-9);
    EXPECT_LT(out.centres[0].y(), 12.5);
}

TEST(ThreeBallsTriangle, BadTimesDrawTheFirstFrame) {
    for (double t : {-1.0, std::nan(""), static_cast<double>(INFINITY)}) {
        const auto balls = Indicator::threeBallsTriangle(t, 25.0, 0.25);
        for (const QPointF& c : balls.centres) EXPECT_NEAR(distance(c, {12.5, 12.5}), 0.0, 1e-9);
    }
    const auto zeroSpeed = Indicator::threeBallsTriangle(1.0, 25.0, 0.0);
    for (const QPointF& c : zeroSpeed.centres) EXPECT_TRUE(std::isfinite(c.x()) && std::isfinite(c.y()));
}

}  // namespace
}  // namespace loading
