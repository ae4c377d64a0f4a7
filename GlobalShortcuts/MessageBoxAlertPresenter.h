#pragma once

#include "GlobalShortcuts/AlertPresenter.h"

namespace GlobalShortcuts {

// Alerts as Qt message boxes: window-modal over the given window, else
// application-modal; the first button is the default and answers Escape.
class MessageBoxAlertPresenter final : public AlertPresenter {
public:
    int runModal(const Alert& alert, QWidget* window) override;
    void beep() override;
};

}  // namespace GlobalShortcuts
