#include "desktop/AccessibilityManager.h"

#include "desktop/PermissionWindow.h"
#include "desktop/PermissionWindowController.h"
#include "platform/AccessibilityTrust.h"
#include "platform/AnalyticsSink.h"
#include "platform/ApplicationActivationEvents.h"
#include "platform/Logger.h"
#include "platform/Required.h"
#include "platform/SettingsLink.h"
#include "platform/UndecodableValue.h"
#include "platform/UserDefaults.h"

namespace desktop {

namespace {

const char* text(bool value) { return value ? "true" : "false"; }

}  // namespace

AccessibilityManager::AccessibilityManager(Dependencies dependencies)
    : trust_(platform::required(std::move(dependencies.trust), "AccessibilityManager: the trust probe")),
      activations_(platform::required(std::move(dependencies.activations), "AccessibilityManager: the activations")),
      settingsLink_(platform::required(std::move(dependencies.settingsLink), "AccessibilityManager: the settings link")),
      defaults_(platform::required(std::move(dependencies.defaults), "AccessibilityManager: the settings store")),
      analytics_(platform::required(std::move(dependencies.analytics), "AccessibilityManager: the analytics")),
      loop_(platform::required(std::move(dependencies.loop), "AccessibilityManager: the main loop")),
      windowFactory_(dependencies.windowFactory ? std::move(dependencies.windowFactory) : WindowFactory(
                                                      [](AccessibilityManager& manager) {
                                                          return std::make_unique<PermissionWindow>(manager);
                                                      })) {
    platform::consoleLine("Initializing AccessibilityManager");
    setupObserver();
    checkInitialPermissions();
}

AccessibilityManager::~AccessibilityManager() {
    *alive_ = false;
    if (launchShowTimer_)
        loop_->cancel(launchShowTimer_);
}

bool AccessibilityManager::probeTrust() {
    // Both forms, always, in this order: either one answering yes is trust.
    const bool plain = trust_->isProcessTrusted();
    const bool withOptions = trust_->isProcessTrustedWithOptions(false);
    return plain || withOptions;
}

void AccessibilityManager::checkInitialPermissions() {
    setAccessibilityEnabled(probeTrust());
    const bool launchedBefore =
        platform::holdsReadable<bool, std::int64_t, double>(*defaults_, launchedBeforeKey, "not a Boolean") &&
        defaults_->bool_(launchedBeforeKey);
    if (!launchedBefore) {
        defaults_->setBool(launchedBeforeKey, true);
        analytics_->capture("first_launch", {});
        // The first launch always explains the permission, trusted or not.
        scheduleLaunchShow();
    } else if (!accessibilityEnabled_) {
        scheduleLaunchShow();
    }
}

void AccessibilityManager::scheduleLaunchShow() {
    if (launchShowTimer_)
        loop_->cancel(launchShowTimer_);
    launchShowTimer_ = loop_->addTimer(launchShowDelay, false, [this, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.expired())
            return;
        launchShowTimer_ = 0;
        showPermissionWindow();
    });
}

void AccessibilityManager::setupObserver() {
    platform::consoleLine("Setting up accessibility observer");
    observer_.reset();
    observer_ = activations_->addObserver([this, alive = std::weak_ptr<bool>(alive_)](std::uint64_t) {
        if (!alive.expired())
            checkAccessibilityStatus();
    });
}

void AccessibilityManager::checkAccessibilityStatus() {
    const bool plain = trust_->isProcessTrusted();
    const bool withOptions = trust_->isProcessTrustedWithOptions(false);
    platform::consoleLine("Accessibility Status:");
    platform::consoleLine(std::string("- AXIsProcessTrusted(): ") + text(plain));
    platform::consoleLine(std::string("- AXIsProcessTrustedWithOptions(nil): ") + text(withOptions));
    setAccessibilityEnabled(plain || withOptions);
    if (accessibilityEnabled_) {
        platform::consoleLine("✅ Accessibility permissions granted");
        // Showing the window activates the program, which comes back here: a
        // window the user asked for while already trusted (the first launch,
        // the menu) would vanish as soon as it appeared. Only trust that
        // arrived since the window was shown closes it.
        if (!trustedWhenShown_)
            closePermissionWindow();
    } else {
        platform::consoleLine("❌ Accessibility permissions not granted");
    }
}

bool AccessibilityManager::checkAccessibilityPermissions() {
    setAccessibilityEnabled(probeTrust());
    return accessibilityEnabled_;
}

void AccessibilityManager::showPermissionWindow() {
    loop_->post([this, alive = std::weak_ptr<bool>(alive_)] {
        if (!alive.expired())
            presentPermissionWindow();
    });
}

void AccessibilityManager::presentPermissionWindow() {
    if (windowController_) {
        trustedWhenShown_ = probeTrust();
        windowController_->showWindow();
        return;
    }
    auto controller = windowFactory_(*this);
    // Lets the desktop ask the user where it can.
    const bool prompted = trust_->isProcessTrustedWithOptions(true);
    platform::consoleLine(std::string("AXIsProcessTrustedWithOptions result: ") + text(prompted));
    trustedWhenShown_ = prompted;
    windowController_ = std::move(controller);
    windowController_->showWindow();
}

void AccessibilityManager::openSystemPreferences() {
    if (windowController_ && windowController_->hasWindow())
        windowController_->orderOut();
    settingsLink_->open(platform::SettingsPane::Accessibility);
}

void AccessibilityManager::closePermissionWindow() {
    if (windowController_) {
        // Moved out first: closing may call back into the manager.
        auto controller = std::move(windowController_);
        controller->close();
    }
    setWindowVisible(false);
}

void AccessibilityManager::setAccessibilityEnabled(bool enabled) {
    if (accessibilityEnabled_ == enabled)
        return;
    accessibilityEnabled_ = enabled;
    changes_.notify();
}

void AccessibilityManager::setWindowVisible(bool visible) {
    if (windowVisible_ == visible)
        return;
    windowVisible_ = visible;
    changes_.notify();
}

}  // namespace desktop
