#pragma once

// The one table of colours every window draws with (dark appearance only).
//
//   label->setStyleSheet(...)                      // no: stylesheets drift
//   painter.setBrush(ui::Palette::color(ui::Colour::Blue, 0.2));   // yes
//   widget->setPalette(ui::Palette::windowPalette());              // dark window
//
// The named colours are the system colours a dark desktop shows (grey is the
// secondary grey of labels and icons, accent is blue). The surfaces are the
// opaque sRGB greys of the windows: Surface10 = 26 (text boxes, tab pages),
// Surface12 = 31 (window and sheet backgrounds), Surface15 = 38 (bars and
// framed panels), Surface20 = 51 (raised controls). `grey(level)` gives any
// other "white level" the layout names, rounded the same way.

#include <QColor>
#include <QPalette>
#include <string_view>

namespace ui {

enum class Colour {
    White,
    Black,
    Clear,
    Grey,       // the system grey of secondary text and symbols
    Blue,
    Green,
    Red,
    Orange,
    Yellow,
    Purple,
    Accent,     // the accent colour: blue
    Surface10,  // sRGB grey 0.1  = 26
    Surface12,  // sRGB grey 0.12 = 31
    Surface15,  // sRGB grey 0.15 = 38
    Surface20,  // sRGB grey 0.2  = 51
};

class Palette {
public:
    // The colour with the given opacity (0..1) on top of its own alpha.
    static QColor color(Colour colour, double opacity = 1.0);
    // An opaque sRGB grey given by one component 0..1 for all three channels.
    static QColor grey(double level, double opacity = 1.0);
    // The name used in code and logs ("surface12"), for tests and messages.
    static std::string_view name(Colour colour);

    // A QPalette for dark windows: Surface12 window, Surface10 bases, white
    // text, grey placeholder and disabled text, blue highlight.
    static QPalette windowPalette();
};

}  // namespace ui
