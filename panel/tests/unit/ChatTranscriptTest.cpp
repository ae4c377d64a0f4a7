#include <gtest/gtest.h>

#include <string>

#include "panel/BorderLayer.h"
#include "panel/ContextMessageView.h"
#include "panel/LegacyRotatingBorder.h"
#include "panel/ModernRotatingBorder.h"

namespace {

using panel::ContextMessageView;
using panel::LegacyRotatingBorder;

std::string repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

TEST(ContextText, FoldsAfterOneHundredUserPerceivedCharacters) {
    const std::string smile = "\xF0\x9F\x98\x80";          // one emoji, four bytes
    const std::string family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9";  // two emoji joined: one character
    const std::string hundred = repeated(smile, 99) + family;
    EXPECT_EQ(ContextMessageView::displayText(hundred, false), hundred);  // exactly 100: whole, no "..."
    const std::string hundredAndOne = hundred + "x";
    EXPECT_EQ(ContextMessageView::displayText(hundredAndOne, false), hundred + "...");
    EXPECT_EQ(ContextMessageView::displayText(hundredAndOne, true), hundredAndOne);
    EXPECT_EQ(ContextMessageView::displayText("", false), "");
}

TEST(LegacyBorder, GradientPointsWalkClockwiseRoundTheFrame) {
    struct Case {
        double phase;
        QPointF start, end;
    };
    const Case cases[] = {
        {0.0, {0, 0}, {0.3, 0}},   {0.8, {0.8, 0}, {1, 0}},   {1.5, {1, 0.5}, {1, 0.8}},
        {2.5, {0.5, 1}, {0.2, 1}}, {3.9, {0, 0.1}, {0, 0}},   {4.0, {0, 0}, {0.3, 0}},
    };
    for (const auto& [phase, start, end] : cases) {
        const auto [gotStart, gotEnd] = LegacyRotatingBorder::gradientPoints(phase);
        EXPECT_NEAR(gotStart.x(), start.x(), 1e-9) << phase;
        EXPECT_NEAR(gotStart.y(), start.y(), 1e-9) << phase;
        EXPECT_NEAR(gotEnd.x(), end.x(), 1e-9) << phase;
        EXPECT_NEAR(gotEnd.y(), end.y(), 1e-9) << phase;
    }
    // The phase only grows; a very large one still lands on the edge.
    const auto [start, end] = LegacyRotatingBorder::gradientPoints(4000.25);
    EXPECT_NEAR(start.x(), 0.25, 1e-6);
    EXPECT_EQ(start.y(), 0);
}

TEST(ModernBorder, PaletteRunsClockwiseFromThePhase) {
    using panel::BorderLayer;
    EXPECT_DOUBLE_EQ(BorderLayer::conicPosition(90, 0), 0.25);     // straight down
    EXPECT_DOUBLE_EQ(BorderLayer::conicPosition(0, 90), 0.75);     // the right, after a quarter turn
    EXPECT_DOUBLE_EQ(BorderLayer::conicPosition(-90, 0), 0.75);    // straight up
    EXPECT_NEAR(BorderLayer::conicPosition(10, 359.999), BorderLayer::conicPosition(10, -0.001), 1e-12);
    EXPECT_EQ(BorderLayer::paletteColour(0, 1).rgb(), QColor::fromRgbF(0.4f, 0.2f, 1.0f).rgb());
    EXPECT_EQ(BorderLayer::paletteColour(1.0 / 3.0, 1).rgb(), QColor::fromRgbF(0.2f, 0.8f, 1.0f).rgb());
    EXPECT_EQ(BorderLayer::paletteColour(1, 1).rgb(), BorderLayer::paletteColour(0, 1).rgb());
    EXPECT_NEAR(BorderLayer::paletteColour(0.5, 0.5).alphaF(), 0.5, 1e-4);
}

}  // namespace
