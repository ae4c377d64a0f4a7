#pragma once

#include <functional>
#include <memory>

#include "core/HistoryService.h"
#include "core/Settings.h"
#include "desktop/AccessibilityManager.h"
#include "desktop/HotkeyManager.h"
#include "desktop/MenuModel.h"

namespace telemetry {
struct TelemetryConfig;
}

namespace desktop {

// The application object: makes the program's long-lived objects in a fixed
// order, holds them for the life of the process and answers the tray menu.
//
// Start-up (the constructor), in this order: the settings; the analytics
// client, set up with application-lifecycle events on, so that whatever the
// accessibility manager records on a first launch is delivered; the
// accessibility manager; the accessory activation policy. Then, once, when
// the program installs its state (`installState`, before the tray shows):
// the shortcut manager, given these very settings and accessibility objects,
// the help manager; the history store is loaded once, when first asked for.
//
// The objects themselves come from `Parts`, which the program's main fills
// with the real classes and tests with recorders. Main thread only.
class QuillaryApp {
public:
    // What the menu calls on the help manager.
    class HelpWindow {
    public:
        virtual ~HelpWindow() = default;
        virtual void showHelp() = 0;
    };
    // Opens the settings window, or raises it when it is open.
    class SettingsWindow {
    public:
        virtual ~SettingsWindow() = default;
        virtual void showSettings() = 0;
    };

    // Builds the program's objects and ends what runs at quit.
    class Parts {
    public:
        virtual ~Parts() = default;
        virtual std::unique_ptr<core::Settings> makeSettings() = 0;
        virtual void setUpAnalytics() = 0;
        virtual std::unique_ptr<AccessibilityManager> makeAccessibilityManager() = 0;
        virtual void setAccessoryPolicy() = 0;
        // The shortcut manager, which registers the shortcut actions.
        virtual std::unique_ptr<HotkeyManager> makeHotkeyManager(core::Settings& settings,
                                                                 AccessibilityManager& accessibility) = 0;
        virtual std::unique_ptr<core::HistoryService> makeHistoryService() = 0;
        virtual std::unique_ptr<HelpWindow> makeHelpManager() = 0;
        virtual std::unique_ptr<SettingsWindow> makeSettingsWindow(core::Settings& settings) = 0;

        // Quit, in this order: cancel the transfers still running and join
        // every worker thread; (the panels go); let go of the process-wide
        // speech model, whose thread is then joined; then write what the
        // settings store still holds.
        virtual void stopWorkers() = 0;
        virtual void releaseSpeechModel() = 0;
        virtual void flushSettings() = 0;
    };

    // Runs the start-up steps. `quit` ends the program's main loop.
    QuillaryApp(Parts& parts, std::function<void()> quit);
    ~QuillaryApp();
    QuillaryApp(const QuillaryApp&) = delete;
    QuillaryApp& operator=(const QuillaryApp&) = delete;

    // Makes the lazy objects; later calls do nothing.
    void installState();

    // The tray menu's rows, wired to this application's objects.
    MenuModel menu();

    // The quit steps of `Parts`, once; later calls do nothing. The shortcut
    // manager, and with it every panel, goes before the speech model is let
    // go, since a panel's recogniser holds the model.
    void shutDown();

    core::Settings& settings() { return *settings_; }
    AccessibilityManager& accessibilityManager() { return *accessibilityManager_; }
    // Null before installState.
    HotkeyManager* hotkeyManager() const { return hotkeyManager_.get(); }
    // The application's history store, made and loaded at its first use after
    // installState (decoding the stored list costs milliseconds that a start
    // need not pay); null before installState.
    core::HistoryService* historyService();
    HelpWindow* helpManager() const { return helpManager_.get(); }

    // The analytics client's configuration: the built-in project key, which
    // is empty (analytics off), and its default host. For tests only, an
    // http address on this machine in `testHost` (QUILLARY_TELEMETRY_URL)
    // with a key in `testKey` (QUILLARY_TELEMETRY_KEY) replaces both; any
    // other host is ignored with a log line, so no environment can send
    // events off the machine.
    static telemetry::TelemetryConfig analyticsConfig(const char* testHost, const char* testKey);

    // Ends the Qt application's event loop, whatever windows are open. The
    // menu's Quit and a quit signal use it: Qt's own quit first asks every
    // window to close and gives up at the first that refuses, and the panel
    // always refuses (its close goes through its owner), so a quit asked for
    // while a panel was on screen could be dropped.
    static void quitEventLoop();

private:
    void openPreferences();

    Parts& parts_;
    std::function<void()> quit_;
    // Field order is destruction order in reverse: the shortcut manager goes
    // before the accessibility manager and the settings it was given.
    std::unique_ptr<core::Settings> settings_;
    std::unique_ptr<AccessibilityManager> accessibilityManager_;
    std::unique_ptr<HotkeyManager> hotkeyManager_;
    std::unique_ptr<core::HistoryService> historyService_;
    std::unique_ptr<HelpWindow> helpManager_;
    std::unique_ptr<SettingsWindow> settingsWindow_;
    bool installed_ = false;
    bool shutDown_ = false;
};

}  // namespace desktop
