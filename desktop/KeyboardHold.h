#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/HotKeyBackend.h"
#include "platform/KeyboardEventPoster.h"
#include "platform/MainLoop.h"
#include "platform/MonotonicClock.h"
#include "platform/Sleeper.h"
#include "platform/Workspace.h"

namespace desktop {

class FloatingWindowManager;

// Where the keys typed between a shortcut's press and its panel go. From the
// press on, the hot-key service holds the keyboard and keeps what the user
// types; this reads those keys in the order they were typed and sends each
// where the user meant it:
//  - into the panel, once its prompt has the keyboard;
//  - an Escape typed before that cancels: no further copy key, no panel (one
//    already on screen closes as on Escape), the clipboard given back; the
//    keys before it are dropped, and those after it are typed into the
//    program the user is in, once no key is down;
//  - a shortcut among them runs its action at its place: the keys before it
//    go first, the keys after it wait until the action has run, and then go
//    into the panel if one is open, else to the program as after an Escape.
// A hold that ends without a panel drops what it kept, whichever way it
// ends. Main thread only.
class KeyboardHold {
public:
    struct Services {
        // The hot-key service, which holds the keyboard (none: no hold).
        std::function<std::shared_ptr<platform::HotKeyBackend>()> hotKeys;
        // Whether keys are down, and where the keyboard's focus is; without
        // them nothing is typed into a program.
        std::shared_ptr<platform::KeyboardEventPoster> keyboard;
        std::shared_ptr<platform::Workspace> workspace;
        std::shared_ptr<platform::Sleeper> sleeper;
        std::shared_ptr<platform::MonotonicClock> clock;  // null: the steady clock
        // Where the keys are looked at as they come (null: only when the
        // panel is ready).
        std::shared_ptr<platform::MainLoop> loop;
    };

    // How long the keyboard stays held after an action for a panel that has
    // not taken it yet (a window manager that never activates it, say), and
    // at most after an Escape for the keys still down to come up.
    static constexpr std::chrono::milliseconds kPanelWait{3000};
    static constexpr std::chrono::milliseconds kKeysUpWait{1000};

    KeyboardHold(Services services, FloatingWindowManager& windows);
    ~KeyboardHold();
    KeyboardHold(const KeyboardHold&) = delete;
    KeyboardHold& operator=(const KeyboardHold&) = delete;

    // In a shortcut's press handler, while its press is being delivered:
    // takes the hold (a shortcut this class delivers itself keeps the one
    // that is on).
    void begin();
    // Whether the user cancelled: an Escape typed before the panel has the
    // keyboard, and before any other shortcut. Reads what was typed since
    // last asked.
    bool cancelled();
    // When the user cancelled: closes a panel on screen (else gives the
    // clipboard back), then types the keys after the Escape into the
    // program; true. False, doing nothing, otherwise.
    bool cancelIfEscaped();
    // The shortcut's action has run: a panel on screen gets a while to take
    // the keys; without one, a shortcut among them runs at its place, and
    // the rest is dropped.
    void actionDone();
    // The current panel's prompt has the keyboard: the keys go to it.
    void panelReady();
    // Ends the hold, dropping what it kept (the program quits).
    void end();

private:
    std::shared_ptr<platform::HotKeyBackend> backend() const;
    void take();
    // The first Escape press or shortcut press waiting, and whether it is a
    // shortcut.
    struct Mark {
        std::size_t index;
        bool shortcut;
    };
    std::optional<Mark> firstMark() const;
    // Takes `count` keys off the front of those waiting; the releases of hot
    // keys among them go to the hot-key service, not into the result.
    std::deque<platform::HeldKeyEvent> takeFront(std::size_t count);
    // Runs the shortcut pressed at `index`; the keys before it are gone.
    void deliver(std::size_t index);
    void cancelAt(std::size_t escape);
    void routeToReadyPanel();
    // Keys came while the panel is not ready: an Escape or a shortcut with
    // nothing typed before it acts now, not once the panel is ready.
    void keysCame();
    bool onlyModifiersBefore(std::size_t index) const;
    // Whether each key pressed among those waiting was let go of there too.
    bool everyKeyCameUp() const;
    // While keys are on their way (waits included, where the toolkit may
    // tell of a panel's readiness), nothing else routes them; a panel that
    // became ready meanwhile gets its keys after.
    class Busy {
    public:
        explicit Busy(KeyboardHold& hold);
        ~Busy();
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        KeyboardHold& hold_;
        bool outer_;
    };
    void typeIntoProgram();
    void sendToPanel(std::size_t count);
    // Polls `done` until it holds or `limit` passes, keeping what is typed.
    bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
    void finish();

    Services services_;
    FloatingWindowManager& windows_;
    bool active_ = false;
    bool cancelled_ = false;
    bool awaitingAction_ = false;
    bool delivering_ = false;
    bool began_ = false;
    bool lookPosted_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    bool busy_ = false;
    // The showing that told it is ready (0: none waiting).
    std::uint64_t readyFor_ = 0;
    // The showing whose prompt gets the keys; another's never does.
    std::uint64_t panelGeneration_ = 0;
    std::deque<platform::HeldKeyEvent> queue_;
};

// The keys of `keys` that can be typed into a program as they were typed,
// modifiers included: a release whose press is not there (it went before) is
// left out; with `stillDown`, so is a press whose release is not there (its
// key codes go to `stillDown`).
std::vector<platform::SimulatedKeyEvent> typedKeys(const std::deque<platform::HeldKeyEvent>& keys,
                                                   std::vector<std::uint32_t>* stillDown = nullptr);

}  // namespace desktop
