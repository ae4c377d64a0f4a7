#pragma once

#include <memory>

#include "GlobalShortcuts/Alert.h"

class QWidget;

namespace GlobalShortcuts {

// Shows alerts and plays the alert sound for the shortcut controls. The
// program uses message boxes; tests install one that records what it was
// asked and answers as scripted. Main thread only.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;

    // Shows the alert and waits for the answer. With a window, the alert
    // belongs to that window and blocks only it; without one it blocks the
    // whole application. Returns Alert::firstButtonReturn plus the index of
    // the button chosen; closing the alert without choosing answers the
    // first button.
    virtual int runModal(const Alert& alert, QWidget* window) = 0;

    // The desktop's alert sound.
    virtual void beep() = 0;

    // The presenter in use; message boxes until another is installed.
    static std::shared_ptr<AlertPresenter> current();
    // Installs a presenter; null puts the message boxes back.
    static void setCurrent(std::shared_ptr<AlertPresenter> presenter);
};

}  // namespace GlobalShortcuts
