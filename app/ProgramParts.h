#pragma once

#include <memory>

#include "desktop/QuillaryApp.h"
#include "platform/Executor.h"
#include "platform/UserDefaults.h"

namespace platform {
class QtOwnActivation;
class SettingsLink;
class X11ActiveWindowWatcher;
}  // namespace platform

// The real objects of the program, made for the application object in its
// start-up order, and the quit steps over the program's shared services.
class ProgramParts final : public desktop::QuillaryApp::Parts {
public:
    explicit ProgramParts(std::shared_ptr<platform::UserDefaults> defaults);
    ~ProgramParts() override;

    std::unique_ptr<core::Settings> makeSettings() override;
    void setUpAnalytics() override;
    std::unique_ptr<desktop::AccessibilityManager> makeAccessibilityManager() override;
    void setAccessoryPolicy() override;
    std::unique_ptr<desktop::HotkeyManager> makeHotkeyManager(core::Settings& settings,
                                                              desktop::AccessibilityManager& accessibility) override;
    std::unique_ptr<core::HistoryService> makeHistoryService() override;
    std::unique_ptr<desktop::QuillaryApp::HelpWindow> makeHelpManager() override;
    std::unique_ptr<desktop::QuillaryApp::SettingsWindow> makeSettingsWindow(core::Settings& settings) override;

    void stopWorkers() override;
    void releaseSpeechModel() override;
    void flushSettings() override;

private:
    platform::Executor& executor();

    std::shared_ptr<platform::UserDefaults> defaults_;
    // The transport of every provider call and of the analytics uploads.
    std::shared_ptr<platform::HttpClient> http_;
    // Opens the desktop's accessibility and sound settings.
    std::shared_ptr<platform::SettingsLink> settingsLink_;
    // The one owner of the program's worker threads (provider calls).
    std::shared_ptr<platform::Executor> executor_;
    // Feed the desktop's activations to the accessibility manager; made
    // with it and outliving it.
    std::unique_ptr<platform::X11ActiveWindowWatcher> activeWindowWatcher_;
    std::unique_ptr<platform::QtOwnActivation> ownActivation_;
};
