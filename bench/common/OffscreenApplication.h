#pragma once

#include <QApplication>

#include "ui/Style.h"

namespace bench {

// The QApplication of a widget benchmark, made on first use with the
// program's style: Qt's offscreen platform unless QT_QPA_PLATFORM names
// another, so a frame measures our drawing and not a display server.
inline QApplication& offscreenApplication() {
    static int argc = 1;
    static char name[] = "quillary_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* const app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        auto* made = new QApplication(argc, argv);  // lives as long as the process
        ui::Style::apply(*made);
        return made;
    }();
    return *app;
}

}  // namespace bench
