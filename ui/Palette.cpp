#include "ui/Palette.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace ui {
namespace {

struct Entry {
    Colour colour;
    std::string_view name;
    int red, green, blue, alpha;
};

// sRGB values of the dark appearance's system colours; the surfaces are the
// greys 0.1, 0.12, 0.15 and 0.2 rounded to the nearest byte.
constexpr std::array<Entry, 15> table{{
    {Colour::White, "white", 255, 255, 255, 255},
    {Colour::Black, "black", 0, 0, 0, 255},
    {Colour::Clear, "clear", 0, 0, 0, 0},
    {Colour::Grey, "grey", 142, 142, 147, 255},
    {Colour::Blue, "blue", 10, 132, 255, 255},
    {Colour::Green, "green", 48, 209, 88, 255},
    {Colour::Red, "red", 255, 69, 58, 255},
    {Colour::Orange, "orange", 255, 159, 10, 255},
    {Colour::Yellow, "yellow", 255, 214, 10, 255},
    {Colour::Purple, "purple", 191, 90, 242, 255},
    {Colour::Accent, "accent", 10, 132, 255, 255},
    {Colour::Surface10, "surface10", 26, 26, 26, 255},
    {Colour::Surface12, "surface12", 31, 31, 31, 255},
    {Colour::Surface15, "surface15", 38, 38, 38, 255},
    {Colour::Surface20, "surface20", 51, 51, 51, 255},
}};

const Entry& entry(Colour colour) {
    return *std::find_if(table.begin(), table.end(), [&](const Entry& e) { return e.colour == colour; });
}

int alphaOf(int alpha, double opacity) {
    return static_cast<int>(std::lround(alpha * std::clamp(opacity, 0.0, 1.0)));
}

}  // namespace

QColor Palette::color(Colour colour, double opacity) {
    const Entry& e = entry(colour);
    return QColor(e.red, e.green, e.blue, alphaOf(e.alpha, opacity));
}

QColor Palette::grey(double level, double opacity) {
    const int value = static_cast<int>(std::lround(std::clamp(level, 0.0, 1.0) * 255.0));
    return QColor(value, value, value, alphaOf(255, opacity));
}

std::string_view Palette::name(Colour colour) { return entry(colour).name; }

QPalette Palette::windowPalette() {
    QPalette palette;
    const QColor white = color(Colour::White);
    const QColor grey = color(Colour::Grey);
    palette.setColor(QPalette::Window, color(Colour::Surface12));
    palette.setColor(QPalette::WindowText, white);
    palette.setColor(QPalette::Base, color(Colour::Surface10));
    palette.setColor(QPalette::AlternateBase, color(Colour::Surface15));
    palette.setColor(QPalette::Text, white);
    palette.setColor(QPalette::Button, color(Colour::Surface20));
    palette.setColor(QPalette::ButtonText, white);
    palette.setColor(QPalette::BrightText, white);
    palette.setColor(QPalette::PlaceholderText, grey);
    palette.setColor(QPalette::ToolTipBase, color(Colour::Surface15));
    palette.setColor(QPalette::ToolTipText, white);
    palette.setColor(QPalette::Highlight, color(Colour::Accent));
    palette.setColor(QPalette::HighlightedText, white);
    palette.setColor(QPalette::Link, color(Colour::Blue));
    palette.setColor(QPalette::Light, color(Colour::Surface20));
    palette.setColor(QPalette::Midlight, color(Colour::Surface20));
    palette.setColor(QPalette::Mid, color(Colour::Surface15));
    palette.setColor(QPalette::Dark, color(Colour::Surface10));
    palette.setColor(QPalette::Shadow, color(Colour::Black));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, grey);
    return palette;
}

}  // namespace ui
