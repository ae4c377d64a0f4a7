#pragma once

// What "Preferences..." calls: opens the settings window, or raises and
// activates it when it is open. A window the user closed is gone with its
// tabs and history store; the next call makes a new one on the first tab.
//
//   auto controller = std::make_unique<windows::SettingsWindowController>(settings, defaults);
//   controller->showSettings();

#include <QPointer>
#include <memory>

#include "desktop/QuillaryApp.h"
#include "platform/UserDefaults.h"
#include "windows/SettingsView.h"

namespace windows {

class SettingsWindowController final : public desktop::QuillaryApp::SettingsWindow {
public:
    SettingsWindowController(core::Settings& settings, std::shared_ptr<platform::UserDefaults> defaults);
    ~SettingsWindowController() override;

    void showSettings() override;

    // The open window, or null.
    SettingsView* window() const { return window_.data(); }

private:
    core::Settings& settings_;
    std::shared_ptr<platform::UserDefaults> defaults_;
    QPointer<SettingsView> window_;
};

}  // namespace windows
