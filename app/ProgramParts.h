#pragma once

#include <memory>

#include "desktop/QuillaryApp.h"
#include "platform/UserDefaults.h"

// The real objects of the program, made for the application object in its
// start-up order, and the quit steps over the program's shared services.
class ProgramParts final : public desktop::QuillaryApp::Parts {
public:
    explicit ProgramParts(std::shared_ptr<platform::UserDefaults> defaults);

    std::unique_ptr<core::Settings> makeSettings() override;
    void setUpAnalytics() override;
    std::unique_ptr<desktop::QuillaryApp::PermissionWindow> makeAccessibilityManager() override;
    void setAccessoryPolicy() override;
    std::shared_ptr<void> makeHotkeyManager(core::Settings& settings,
                                            desktop::QuillaryApp::PermissionWindow& accessibility) override;
    std::unique_ptr<core::HistoryService> makeHistoryService() override;
    std::unique_ptr<desktop::QuillaryApp::HelpWindow> makeHelpManager() override;
    std::unique_ptr<desktop::QuillaryApp::SettingsWindow> makeSettingsWindow(core::Settings& settings) override;

    void cancelTransfers() override;
    void joinWorkers() override;
    void flushSettings() override;

private:
    std::shared_ptr<platform::UserDefaults> defaults_;
};
