#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "core/ObserverList.h"
#include "platform/MainLoop.h"
#include "platform/NotificationCenter.h"

namespace platform {
class AccessibilityTrust;
class AnalyticsSink;
class ApplicationActivationEvents;
class SettingsLink;
class UserDefaults;
}  // namespace platform

namespace desktop {

class PermissionWindowController;

// Everything about the accessibility trust the program needs to read and
// replace text in other programs: it checks the trust, publishes it, opens
// the permission window on the first launch and whenever a caller finds the
// trust missing, sends the user to the desktop's settings, and closes the
// window once the trust is there. One per process; main thread only.
class AccessibilityManager {
public:
    // Makes the permission window's controller; the window's content calls
    // back into `manager`.
    using WindowFactory = std::function<std::unique_ptr<PermissionWindowController>(AccessibilityManager& manager)>;

    // Every member is required but the window factory. The program's are
    // the X11 probe of $DISPLAY, its activation events, the desktop's
    // settings programs, its settings store, telemetry client and main loop.
    struct Dependencies {
        std::shared_ptr<platform::AccessibilityTrust> trust;
        std::shared_ptr<platform::ApplicationActivationEvents> activations;
        std::shared_ptr<platform::SettingsLink> settingsLink;
        std::shared_ptr<platform::UserDefaults> defaults;
        std::shared_ptr<platform::AnalyticsSink> analytics;
        std::shared_ptr<platform::MainLoop> loop;
        WindowFactory windowFactory;  // null: the real permission window
    };

    static constexpr const char* launchedBeforeKey = "has_launched_before";
    // The delay of the launch-time show, so the program is up first.
    static constexpr std::chrono::milliseconds launchShowDelay{500};

    // Registers the activation observer, then runs the launch check.
    explicit AccessibilityManager(Dependencies dependencies);
    ~AccessibilityManager();
    AccessibilityManager(const AccessibilityManager&) = delete;
    AccessibilityManager& operator=(const AccessibilityManager&) = delete;

    // The launch check: stores the trust, marks the first launch (recording
    // "first_launch") and schedules the window 0.5 s later on the first
    // launch or when the trust is missing.
    void checkInitialPermissions();
    // (Re)registers for application activations; each runs
    // checkAccessibilityStatus().
    void setupObserver();
    // Probes the trust with its console report; closes the window when the
    // trust has arrived since the window was shown.
    void checkAccessibilityStatus();
    // Probes and stores the trust and returns it. Opens nothing, asks nothing.
    bool checkAccessibilityPermissions();
    // Shows the permission window on a later turn of the main loop (always
    // posted, so the caller returns first): the existing window is brought to
    // the front; otherwise the window is made and the prompting probe runs.
    void showPermissionWindow();
    // Hides the window (kept for the next show) and opens the desktop's
    // accessibility settings.
    void openSystemPreferences();
    // Closes the window and drops it, so the next show makes a new one.
    void closePermissionWindow();

    bool isAccessibilityEnabled() const { return accessibilityEnabled_; }
    // Cleared whenever the manager closes the window.
    bool isWindowVisible() const { return windowVisible_; }
    // Whether the manager holds a window (shown, hidden or closed by the user).
    bool hasPermissionWindow() const { return windowController_ != nullptr; }

    // Called after isAccessibilityEnabled or isWindowVisible changed.
    core::ObserverToken subscribe(std::function<void()> onChange) { return changes_.subscribe(std::move(onChange)); }
    void unsubscribe(core::ObserverToken token) { changes_.unsubscribe(token); }

private:
    bool probeTrust();
    void setAccessibilityEnabled(bool enabled);
    void setWindowVisible(bool visible);
    void presentPermissionWindow();
    void scheduleLaunchShow();

    std::shared_ptr<platform::AccessibilityTrust> trust_;
    std::shared_ptr<platform::ApplicationActivationEvents> activations_;
    std::shared_ptr<platform::SettingsLink> settingsLink_;
    std::shared_ptr<platform::UserDefaults> defaults_;
    std::shared_ptr<platform::AnalyticsSink> analytics_;
    std::shared_ptr<platform::MainLoop> loop_;
    WindowFactory windowFactory_;

    bool accessibilityEnabled_ = false;
    bool windowVisible_ = false;
    std::unique_ptr<PermissionWindowController> windowController_;
    bool trustedWhenShown_ = false;
    platform::ObserverToken observer_;
    platform::MainLoop::Id launchShowTimer_ = 0;
    core::ObserverList<> changes_;
    // Posted work and timers hold this weakly: none runs on a gone manager.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace desktop
