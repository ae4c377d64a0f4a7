#pragma once

// The program-wide look applied once to the QApplication: the Fusion style
// (the same drawing everywhere, whatever desktop theme is installed), the
// dark window palette of Palette.h and the body text style as the default font.
//
//   QApplication app(argc, argv);
//   ui::Style::apply(app);

class QApplication;

namespace ui {

class Style {
public:
    static void apply(QApplication& application);
};

}  // namespace ui
