#pragma once

// Pictures of widgets for gui and x11 tests, and the offscreen Qt application
// those tests run in.
//
//   TEST(MyWindow, Looks) {
//       ui::Screenshot::ensureApplication();          // offscreen QApplication, dark palette, animations off
//       MyWindow window;
//       window.show();
//       ui::Screenshot::save(window, QUILLARY_SCREENSHOT_DIR, "my-window-empty");   // -> <dir>/my-window-empty.png
//   }
//
// Open the PNGs after a run and compare them with the layout by eye.
//
// This file also holds the leak checker's suppressions for Qt's fontconfig and
// libdbus caches: a test program that uses it must not define its own
// __lsan_default_suppressions.

#include <QImage>
#include <QString>

class QWidget;

namespace ui {

class Screenshot {
public:
    // Makes the process's QApplication if there is none: the platform named
    // by QT_QPA_PLATFORM, else offscreen; the program's style and palette;
    // animations off so every picture shows end states. Safe to call often.
    static void ensureApplication();

    // Renders `widget` (with its children, at 1x) after pending layout and
    // paint events, writes `<folder>/<name>.png` and returns the image.
    // A folder that cannot be made or a file that cannot be written is a
    // failed test: the returned image is null.
    static QImage save(QWidget& widget, const QString& folder, const QString& name);
    static QImage grab(QWidget& widget);
};

}  // namespace ui
