#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "GlobalShortcuts/Name.h"
#include "desktop/KeyboardHold.h"
#include "desktop/TextReplacer.h"

namespace platform {
class MainLoop;
}

namespace desktop {

class AccessibilityManager;
class FloatingWindowManager;

// Ties the four global shortcuts to what they do: each press checks the
// accessibility trust, captures the selection of the frontmost program and
// opens or toggles the panel in its mode. Made once when the program installs
// its state and kept for the life of the process; main thread only.
class HotkeyManager {
public:
    // The four names, each made (and its default stored) on first use.
    // Command is Super: the defaults are Super+Shift+Space, V, C and B.
    static const GlobalShortcuts::Name& toggleQuillary();
    static const GlobalShortcuts::Name& toggleVoiceInput();
    static const GlobalShortcuts::Name& toggleChatMode();
    static const GlobalShortcuts::Name& toggleChatVoiceMode();

    // The loop and the panel manager are required.
    struct Dependencies {
        std::shared_ptr<platform::MainLoop> loop;
        std::unique_ptr<FloatingWindowManager> windowManager;
        // The capture's desktop services, installed into the text replacer;
        // without them the capture keeps what it has (nothing: the panel
        // opens with no selection to work on).
        std::optional<TextReplacerPlatform> capture;
    };

    HotkeyManager(AccessibilityManager& accessibilityManager, Dependencies dependencies);
    ~HotkeyManager();
    HotkeyManager(const HotkeyManager&) = delete;
    HotkeyManager& operator=(const HotkeyManager&) = delete;

    // Registers the key-down handlers of the four names, in that order.
    void setupShortcuts();

    FloatingWindowManager& windowManager() { return *windowManager_; }

private:
    // Probes trust on each press; without it, asks for the permission instead.
    bool permitted();
    void mainAction();
    void modeAction(bool startWithVoiceInput, bool startWithChat);
    std::unique_ptr<FloatingWindowManager> windowManager_;
    // What the user types from a press until its panel has the keyboard.
    std::unique_ptr<KeyboardHold> hold_;
    AccessibilityManager& accessibilityManager_;
    std::shared_ptr<platform::MainLoop> loop_;
    // Handlers hold this weakly: a press after the manager is gone does nothing.
    std::shared_ptr<HotkeyManager*> self_;
};

}  // namespace desktop
