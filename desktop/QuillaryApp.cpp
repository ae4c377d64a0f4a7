#include "desktop/QuillaryApp.h"

#include <QCoreApplication>

#include <string>
#include <string_view>
#include <utility>

#include "Telemetry/TelemetryConfig.h"
#include "desktop/TextReplacer.h"
#include "platform/Logger.h"
#include "platform/LoopbackUrl.h"

namespace desktop {
namespace {

// The project key built into this program. Empty: analytics stay off.
constexpr const char* kProjectApiKey = "";

const platform::Logger& log() {
    static const platform::Logger logger("Quillary", "app");
    return logger;
}

}  // namespace

QuillaryApp::QuillaryApp(Parts& parts, std::function<void()> quit) : parts_(parts), quit_(std::move(quit)) {
    settings_ = parts_.makeSettings();
    parts_.setUpAnalytics();
    accessibilityManager_ = parts_.makeAccessibilityManager();
    parts_.setAccessoryPolicy();
}

QuillaryApp::~QuillaryApp() = default;

void QuillaryApp::installState() {
    if (installed_) return;
    installed_ = true;
    hotkeyManager_ = parts_.makeHotkeyManager(*settings_, *accessibilityManager_);
    helpManager_ = parts_.makeHelpManager();
}

core::HistoryService* QuillaryApp::historyService() {
    if (installed_ && !historyService_) historyService_ = parts_.makeHistoryService();
    return historyService_.get();
}

MenuModel QuillaryApp::menu() {
    return MenuModel({
        .openPreferences = [this] { openPreferences(); },
        .checkAccessibilityPermissions = [this] { accessibilityManager_->showPermissionWindow(); },
        .showHelp =
            [this] {
                installState();
                helpManager_->showHelp();
            },
        .quit = [this] { quit_(); },
    });
}

void QuillaryApp::openPreferences() {
    if (!settingsWindow_) settingsWindow_ = parts_.makeSettingsWindow(*settings_);
    settingsWindow_->showSettings();
}

void QuillaryApp::shutDown() {
    if (shutDown_) return;
    shutDown_ = true;
    parts_.stopWorkers();
    hotkeyManager_.reset();
    // Once no panel is left to paste: the user's clipboard is theirs again.
    TextReplacer::giveBackBeforeQuit();
    parts_.releaseSpeechModel();
    parts_.flushSettings();
}

telemetry::TelemetryConfig QuillaryApp::analyticsConfig(const char* testHost, const char* testKey) {
    if (testHost && *testHost) {
        if (platform::isLoopbackUrl(testHost)) {
            telemetry::TelemetryConfig config(testKey ? testKey : "", testHost);
            config.loopbackOnly = true;
            config.captureApplicationLifecycleEvents = true;
            return config;
        }
        log().error(std::string("QUILLARY_TELEMETRY_URL ignored: ") + platform::outsideText(testHost) +
                    " is not an address on this machine");
    }
    telemetry::TelemetryConfig config(kProjectApiKey, telemetry::TelemetryConfig::kDefaultHost);
    config.captureApplicationLifecycleEvents = true;
    return config;
}

void QuillaryApp::quitEventLoop() { QCoreApplication::exit(0); }

}  // namespace desktop
