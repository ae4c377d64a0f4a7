#include "desktop/HotkeyManager.h"

#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "desktop/AccessibilityManager.h"
#include "desktop/FloatingWindowManager.h"
#include "platform/Logger.h"
#include "platform/MainLoop.h"
#include "platform/Required.h"

namespace desktop {

namespace {

namespace Flags = GlobalShortcuts::ModifierFlags;
using GlobalShortcuts::Key;
using GlobalShortcuts::Name;
using GlobalShortcuts::Shortcut;

const Name& makeOnce(const char* rawValue, Key key) {
    // Never destroyed: handlers of the shortcut library outlive statics.
    return *new Name(rawValue, Shortcut(key, Flags::command | Flags::shift));
}

}  // namespace

const Name& HotkeyManager::toggleQuillary() {
    static const Name& name = makeOnce("toggleQuillary", Key::space);
    return name;
}
const Name& HotkeyManager::toggleVoiceInput() {
    static const Name& name = makeOnce("toggleVoiceInput", Key::v);
    return name;
}
const Name& HotkeyManager::toggleChatMode() {
    static const Name& name = makeOnce("toggleChatMode", Key::c);
    return name;
}
const Name& HotkeyManager::toggleChatVoiceMode() {
    static const Name& name = makeOnce("toggleChatVoiceMode", Key::b);
    return name;
}

HotkeyManager::HotkeyManager(AccessibilityManager& accessibilityManager, Dependencies dependencies)
    : accessibilityManager_(accessibilityManager),
      loop_(platform::required(std::move(dependencies.loop), "HotkeyManager: the main loop")),
      self_(std::make_shared<HotkeyManager*>(this)) {
    platform::consoleLine("Initializing HotkeyManager");
    windowManager_ = platform::required(std::move(dependencies.windowManager), "HotkeyManager: the panel manager");
    KeyboardHold::Services holdServices;
    holdServices.hotKeys = [] { return CarbonGlobalShortcuts::backend(); };
    holdServices.loop = loop_;
    if (const auto& capture = dependencies.capture) {
        holdServices.keyboard = capture->keyboard;
        holdServices.workspace = capture->workspace;
        holdServices.sleeper = capture->sleeper;
        holdServices.clock = capture->clock;
    }
    hold_ = std::make_unique<KeyboardHold>(std::move(holdServices), *windowManager_);
    windowManager_->setOnPanelReadyForKeys([hold = hold_.get()] { hold->panelReady(); });
    if (dependencies.capture) TextReplacer::install(std::move(*dependencies.capture));
    TextReplacer::setCaptureCancelled([hold = hold_.get()] { return hold->cancelled(); });
    setupShortcuts();
}

HotkeyManager::~HotkeyManager() {
    self_.reset();
    TextReplacer::setCaptureCancelled(nullptr);
    windowManager_->setOnPanelReadyForKeys(nullptr);
    hold_->end();
}

void HotkeyManager::setupShortcuts() {
    platform::consoleLine("Setting up keyboard shortcuts...");
    const auto bind = [this](const Name& name, void (*action)(HotkeyManager&)) {
        GlobalShortcuts::onKeyDown(name, [self = std::weak_ptr<HotkeyManager*>(self_), loop = loop_, action] {
            if (self.expired()) return;
            // Now, while the press's own grab still holds: what the user types
            // from here on is kept for the panel, never typed into the
            // application under it (the capture's copy key among it).
            if (const auto manager = self.lock()) (*manager)->hold_->begin();
            // Only queued here: the action runs on a later turn, and only if
            // the manager is still there then.
            loop->post(self, [self, action] {
                if (const auto manager = self.lock()) {
                    action(**manager);
                    // The panel takes the keys when its prompt has the
                    // keyboard; without one they go nowhere.
                    (*manager)->hold_->actionDone();
                }
            });
        });
    };
    bind(toggleQuillary(), [](HotkeyManager& m) { m.mainAction(); });
    bind(toggleVoiceInput(), [](HotkeyManager& m) { m.modeAction(true, false); });
    bind(toggleChatMode(), [](HotkeyManager& m) { m.modeAction(false, true); });
    bind(toggleChatVoiceMode(), [](HotkeyManager& m) { m.modeAction(true, true); });
}

bool HotkeyManager::permitted() {
    if (accessibilityManager_.checkAccessibilityPermissions())
        return true;
    accessibilityManager_.showPermissionWindow();
    return false;
}

void HotkeyManager::mainAction() {
    if (!permitted())
        return;
    // Runs also when the toggle then closes the panel (closing gives the
    // clipboard back).
    TextReplacer::captureSelection();
    if (hold_->cancelIfEscaped()) return;  // Escape typed meanwhile: no panel
    windowManager_->toggleWindow();
}

void HotkeyManager::modeAction(bool startWithVoiceInput, bool startWithChat) {
    if (!permitted())
        return;
    TextReplacer::captureSelection();
    if (hold_->cancelIfEscaped()) return;
    windowManager_->showWindow(startWithVoiceInput, startWithChat);
}

}  // namespace desktop
