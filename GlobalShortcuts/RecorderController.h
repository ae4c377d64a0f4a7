#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "GlobalShortcuts/Event.h"
#include "GlobalShortcuts/LocalEventMonitor.h"
#include "GlobalShortcuts/MenuItem.h"
#include "GlobalShortcuts/Name.h"
#include "GlobalShortcuts/RecorderView.h"
#include "GlobalShortcuts/Shortcut.h"
#include "platform/NotificationCenter.h"

namespace GlobalShortcuts {

// Posted with {"isActive": bool} whenever a recorder starts (true) or stops
// (false) recording; views drop their in-window shortcuts meanwhile.
inline constexpr std::string_view kRecorderActiveStatusDidChange = "GlobalShortcuts_recorderActiveStatusDidChange";

struct SystemVersion {
    int majorVersion = 0;
    int minorVersion = 0;
};

// What the recording rules ask of the system around the recorder. The
// defaults describe the running system; tests replace them.
struct RecorderSystem {
    // macOS 15.0 and 15.1 do not deliver Option-only hot keys to sandboxed
    // applications. Set only when running there: never on Linux.
    std::optional<SystemVersion> macOSVersion;
    bool isSandboxed = GlobalShortcuts::isSandboxed();
    // The item of the application's main menu that already uses a shortcut.
    std::function<std::optional<MenuItem>(const Shortcut&)> mainMenuItemUsing = [](const Shortcut& shortcut) {
        return shortcut.takenByMainMenu();
    };
    // Whether another program of the desktop holds the combination.
    std::function<bool(const Shortcut&)> isSystemReserved = &CarbonGlobalShortcuts::isSystemReserved;
};

// The state and rules of a shortcut recorder, without any drawing: which
// text and placeholder it shows, whether it records, which key presses it
// takes, refuses or passes on, what it stores for its name, and pausing every
// global shortcut while it records. A control (RecorderView) draws it and
// forwards its focus changes and clear-button clicks here.
//
// While recording, the controller watches the application's key presses and
// mouse releases through a LocalEventMonitor and decides, rule by rule, what
// each one does. Main thread only.
class RecorderController {
public:
    using OnChange = std::function<void(const std::optional<Shortcut>&)>;

    // Width the control asks for, whatever its text.
    static constexpr double minimumWidth = 130.0;
    // A mouse release this close to the control keeps it recording.
    static constexpr double clickSlop = 3.0;

    RecorderController(RecorderView& view, Name name, OnChange onChange = {}, RecorderSystem system = {});
    // A controller destroyed while recording ends it, so global shortcuts
    // never stay paused (the view is not told: it is going away).
    ~RecorderController();
    RecorderController(const RecorderController&) = delete;
    RecorderController& operator=(const RecorderController&) = delete;

    const Name& shortcutName() const { return name_; }
    // Shows the new name's shortcut when the raw value differs; the same raw
    // value (even with another default) changes nothing shown.
    void setShortcutName(Name name);

    // What the control shows.
    const std::string& text() const { return text_; }
    const std::string& placeholder() const { return placeholder_; }
    bool showsClearButton() const { return showsClearButton_; }
    bool isRecording() const { return eventMonitor_ != nullptr; }

    // The control gained keyboard focus: start recording.
    void beginRecording();
    // The control lost focus, was hidden, left its window or its window was
    // deactivated. Unconditional: it always clears the pause and posts the
    // inactive status, recording or not.
    void endRecording();
    // The clear button was clicked: the name loses its shortcut, the owner
    // is told, and the control takes focus to record a new one.
    void clear();

    // Decides what a monitored event does while recording; returns the event
    // to pass on, or none to swallow it.
    std::optional<Event> handleEvent(const Event& event);

private:
    void showStoredShortcut();
    void textDidChange();
    void changed();
    // Shows an alert with focus given up (which ends this recording), then
    // takes focus back (a new recording). Returns the answer, or none when
    // the recorder went away meanwhile.
    std::optional<int> refuse(const Alert& alert);
    void postActiveStatus(bool isActive);

    RecorderView& view_;
    Name name_;
    OnChange onChange_;
    RecorderSystem system_;
    std::string text_;
    std::string placeholder_;
    bool showsClearButton_ = false;
    std::unique_ptr<LocalEventMonitor> eventMonitor_;
    platform::ObserverToken nameChangeObserver_;
    // Callbacks and alerts may destroy the recorder (its window closes): code
    // that runs after one checks that this is still alive.
    std::shared_ptr<const bool> lifetime_ = std::make_shared<const bool>(true);
};

}  // namespace GlobalShortcuts
