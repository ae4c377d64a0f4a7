#include "desktop/QuillaryApp.h"

#include <arpa/inet.h>

#include <string>
#include <string_view>
#include <utility>

#include "Telemetry/TelemetryConfig.h"
#include "platform/Logger.h"

namespace desktop {
namespace {

// The project key built into this program. Empty: analytics stay off.
constexpr const char* kProjectApiKey = "";

const platform::Logger& log() {
    static const platform::Logger logger("Quillary", "app");
    return logger;
}

// Whether an http(s) address names this machine: localhost, 127.0.0.0/8 or ::1.
bool isLoopbackAddress(std::string_view url) {
    const auto scheme = url.find("://");
    if (scheme == std::string_view::npos) return false;
    std::string_view rest = url.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (rest.find('@') != std::string_view::npos) return false;  // user info could hide the real host
    std::string host;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos) return false;
        host = std::string(rest.substr(1, close - 1));
    } else {
        host = std::string(rest.substr(0, rest.find(':')));
    }
    if (host == "localhost") return true;
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
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
    historyService_ = parts_.makeHistoryService();
    helpManager_ = parts_.makeHelpManager();
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
    parts_.flushSettings();
}

telemetry::TelemetryConfig QuillaryApp::analyticsConfig(const char* testHost, const char* testKey) {
    if (testHost && *testHost) {
        if (isLoopbackAddress(testHost)) {
            telemetry::TelemetryConfig config(testKey ? testKey : "", testHost);
            config.captureApplicationLifecycleEvents = true;
            return config;
        }
        log().error(std::string("QUILLARY_TELEMETRY_URL ignored: ") + testHost + " is not an address on this machine");
    }
    telemetry::TelemetryConfig config(kProjectApiKey, telemetry::TelemetryConfig::kDefaultHost);
    config.captureApplicationLifecycleEvents = true;
    return config;
}

}  // namespace desktop
