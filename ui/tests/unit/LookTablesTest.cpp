#include <gtest/gtest.h>

#include <QPainterPath>
#include <QRectF>

#include <set>
#include <string>

#include "ui/Palette.h"
#include "ui/SpringEasing.h"
#include "ui/SymbolIcon.h"
#include "ui/TextStyle.h"

namespace {

TEST(Palette, SurfacesAreTheExactSrgbGreys) {
    EXPECT_EQ(ui::Palette::color(ui::Colour::Surface10), QColor(26, 26, 26));
    EXPECT_EQ(ui::Palette::color(ui::Colour::Surface12), QColor(31, 31, 31));
    EXPECT_EQ(ui::Palette::color(ui::Colour::Surface15), QColor(38, 38, 38));
    EXPECT_EQ(ui::Palette::color(ui::Colour::Surface20), QColor(51, 51, 51));
    // A white level given in the layout rounds the same way as the table.
    EXPECT_EQ(ui::Palette::grey(0.12), ui::Palette::color(ui::Colour::Surface12));
    EXPECT_EQ(ui::Palette::grey(0.15), ui::Palette::color(ui::Colour::Surface15));
}

TEST(Palette, OpacityScalesAlphaAndClearStaysInvisible) {
    EXPECT_EQ(ui::Palette::color(ui::Colour::Blue, 0.2).alpha(), 51);
    EXPECT_EQ(ui::Palette::color(ui::Colour::White, 0.8).alpha(), 204);
    EXPECT_EQ(ui::Palette::color(ui::Colour::Clear, 1.0).alpha(), 0);
    EXPECT_EQ(ui::Palette::color(ui::Colour::Grey, 7.0).alpha(), 255);  // clamped, not wrapped
    EXPECT_EQ(ui::Palette::color(ui::Colour::Accent), ui::Palette::color(ui::Colour::Blue));
    EXPECT_EQ(ui::Palette::name(ui::Colour::Surface12), "surface12");
}

TEST(TextStyles, SizesAreInPixels) {
    const QFont headline = ui::TextStyles::font(ui::TextStyle::Headline);
    EXPECT_EQ(headline.pixelSize(), 13);
    EXPECT_EQ(headline.weight(), QFont::DemiBold);
    EXPECT_EQ(ui::TextStyles::font(ui::TextStyle::Title2, QFont::Bold).pixelSize(), 17);
    EXPECT_EQ(ui::TextStyles::font(ui::TextStyle::Title2, QFont::Bold).weight(), QFont::Bold);
    EXPECT_EQ(ui::TextStyles::font(ui::TextStyle::Caption).pixelSize(), 10);
    EXPECT_EQ(ui::TextStyles::system(48).pixelSize(), 48);
    EXPECT_EQ(ui::TextStyles::system(48).pointSize(), -1);  // never a point size
}

TEST(SpringEasing, CriticallyDampedNeverOvershoots) {
    const ui::SpringEasing spring(0.5, 1.0);
    EXPECT_DOUBLE_EQ(spring.valueAt(0), 0.0);
    double previous = 0;
    for (double t = 0.005; t < 2.0; t += 0.005) {
        const double x = spring.valueAt(t);
        EXPECT_GE(x, previous) << t;
        EXPECT_LE(x, 1.0) << t;
        previous = x;
    }
    EXPECT_NEAR(spring.valueAt(spring.settlingTime()), 1.0, 0.001);
    // A critically damped spring of response 0.5 s settles to 0.1 % in about 0.74 s.
    EXPECT_NEAR(spring.settlingTime(), 0.74, 0.02);
}

TEST(SpringEasing, UnderdampedOvershootsThenSettles) {
    const ui::SpringEasing spring(0.4, 0.8);
    double peak = 0;
    for (double t = 0; t < 1.0; t += 0.001) peak = std::max(peak, spring.valueAt(t));
    EXPECT_GT(peak, 1.001);
    EXPECT_LT(peak, 1.05);  // damping 0.8 overshoots by about 1.5 %
    const double settled = spring.settlingTime();
    for (double t = settled; t < settled + 1.0; t += 0.01) EXPECT_NEAR(spring.valueAt(t), 1.0, 0.001) << t;
}

TEST(SpringEasing, OverdampedAndDegenerateInputsStayFinite) {
    const ui::SpringEasing slow(0.3, 2.0);
    EXPECT_LT(slow.valueAt(0.1), ui::SpringEasing(0.3, 1.0).valueAt(0.1));
    EXPECT_NEAR(slow.valueAt(slow.settlingTime()), 1.0, 0.001);
    const ui::SpringEasing zero(0.0, -1.0);  // no response, no damping: clamped, never NaN or a hang
    EXPECT_TRUE(std::isfinite(zero.valueAt(0.01)));
    EXPECT_LE(zero.settlingTime(), 60.0);
}

TEST(SymbolIcon, EverySymbolTheWindowsNameHasArtwork) {
    const std::set<std::string> used{
        // panel, permission window, transcript
        "arrow.up", "mic", "bubble.left.and.bubble.right", "bubble.left.and.bubble.right.fill", "text.quote",
        "chevron.up", "chevron.down", "doc.on.doc", "checkmark", "lock.shield",
        // settings, history and help windows
        "key.fill", "cpu.fill", "keyboard.fill", "clock.fill", "eye.fill", "eye.slash.fill", "plus", "trash",
        "magnifyingglass", "xmark.circle.fill", "app.fill", "arrow.up.circle.fill", "text.quote.rtl",
        "arrow.down.circle.fill", "questionmark.circle",
        // image resources
        "menubar-icon", "openai", "claude", "gemini", "ollama"};
    for (const auto& name : used) {
        ASSERT_TRUE(ui::SymbolIcon::has(name)) << name;
        const QRectF bounds = ui::SymbolIcon::path(name).boundingRect();
        EXPECT_FALSE(bounds.isEmpty()) << name;
        EXPECT_TRUE(QRectF(0, 0, 24, 24).adjusted(-0.5, -0.5, 0.5, 0.5).contains(bounds)) << name;
        EXPECT_GT(bounds.width() * bounds.height(), 24.0 * 24.0 * 0.15) << name << " is too small to read";
    }
    EXPECT_EQ(ui::SymbolIcon::names().size(), used.size());
}

TEST(SymbolIcon, UnknownNamesDrawNothing) {
    EXPECT_FALSE(ui::SymbolIcon::has("sparkles"));
    EXPECT_TRUE(ui::SymbolIcon::path("sparkles").isEmpty());
    EXPECT_TRUE(ui::SymbolIcon::path("").isEmpty());
}

}  // namespace
