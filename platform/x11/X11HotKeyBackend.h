#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "platform/HotKeyBackend.h"
#include "platform/MainLoop.h"
#include "platform/MonotonicClock.h"

struct _XDisplay;
union _XEvent;

namespace platform {

class XkbKeyboardLayout;

// System-wide hot keys on an X11 desktop: each combination is a passive grab
// of the key on the root window, once for every state of the Num Lock and
// Caps Lock locks, so the locks do not stop it. It keeps its own display
// connection, whose descriptor the main loop watches, so events are handled
// on the main thread. Command is Super and Option is Alt.
class X11HotKeyBackend final : public HotKeyBackend {
public:
    // At most this many events are handled in one turn of the main loop, and
    // a turn stops after kTurnTime, the rest left to the next turns: another
    // client that floods the connection (keyboard mapping changes, say)
    // cannot hold the program's loop.
    static constexpr int kEventsPerTurn = 256;
    static constexpr std::chrono::milliseconds kTurnTime{20};

    // Connects to `displayName` (null: $DISPLAY); throws platform::Error when
    // there is no display. `clock` (null: the steady clock) measures the
    // hold's bound.
    explicit X11HotKeyBackend(std::shared_ptr<MainLoop> loop, const char* displayName = nullptr,
                              std::shared_ptr<MonotonicClock> clock = nullptr);
    ~X11HotKeyBackend() override;
    X11HotKeyBackend(const X11HotKeyBackend&) = delete;
    X11HotKeyBackend& operator=(const X11HotKeyBackend&) = delete;

    // Grabs every lock variant and waits for the server's answer, so a
    // combination another client holds is refused at once (hotKeyExists)
    // and leaves none of its variants grabbed.
    int registerHotKey(HotKeyCombination combination, HotKeyId id) override;
    void unregisterHotKey(HotKeyId id) override;
    void setHandler(Handler handler) override;
    // Tries each combination of the four modifiers with every key on a
    // second connection and lists those another client holds; ours are left
    // out and stay grabbed.
    std::vector<HotKeyCombination> reservedCombinations() override;
    std::uint32_t lastPressTime() const override { return lastPressTime_; }
    // Tries the one combination on a second connection.
    bool isReserved(HotKeyCombination combination) override;
    // Ungrabs the keyboard on this connection, the only one that can; not
    // while the keyboard is held.
    void releaseActiveGrab() override;
    // Turns the passive grab of the press being delivered into an active
    // grab of the whole keyboard on this connection.
    bool holdKeyboard() override;
    bool holdsKeyboard() const override { return holding_; }
    // Each key is read with the keymap of this connection, as it was when
    // the key came.
    std::vector<HeldKeyEvent> takeKeptKeys() override;
    void setOnKeyKept(std::function<void()> onKept) override { onKeyKept_ = std::move(onKept); }
    std::vector<HeldKeyEvent> endKeyboardHold() override;
    // The ungrab and the XTEST requests in one write.
    bool endKeyboardHoldTyping(std::span<const SimulatedKeyEvent> keys) override;
    // Looked at after every event too, so a turn that runs past the bound
    // ends the hold in that turn.
    void endKeyboardHoldAfter(std::chrono::milliseconds delay) override;
    // XTEST requests on this connection, between an ungrab and a grab, all
    // in one write.
    bool typeThroughHold(std::span<const SimulatedKeyEvent> keys) override;
    bool isHotKeyPress(std::uint32_t keyCode, std::uint32_t state) const override;
    // Matched with this connection's modifier map, as its grabs are.
    bool deliverKey(HotKeyEventKind kind, bool autoRepeat, std::uint32_t keyCode, std::uint32_t state,
                    std::uint32_t time) override;

    // Handles the events the connection has queued, up to the caps of one
    // turn (the main loop calls it when the descriptor is readable).
    void processPendingEvents();

    // For tests: how often the keyboard's layout (its modifier map and
    // keymap) was read again after a change, and the most events one turn
    // handled.
    int layoutReads() const { return layoutReads_; }
    int mostEventsInATurn() const { return mostEventsInATurn_; }
    long eventsHandled() const { return eventsHandled_; }

private:
    struct Grab {
        HotKeyId id;
        HotKeyCombination combination;
        unsigned keyCode;
        unsigned modifiers;
    };

    // Read on first use after a change: a run of changes costs one read.
    void readModifierMapping() const;
    std::vector<unsigned> lockVariants() const;
    unsigned x11Modifiers(std::uint32_t carbonModifiers) const;
    const Grab* hotKeyFor(unsigned keyCode, unsigned state) const;
    // Whether the key was one of the hot keys (or the release of one held).
    bool handleKey(bool press, unsigned keyCode, unsigned state, unsigned long time, bool autoRepeat = false);
    // Whether this backend is still alive after handling `event`.
    bool handleEvent(_XEvent& event);
    // Keeps a key event that came while the keyboard was held.
    void keepHeldKey(bool press, unsigned keyCode, unsigned state, unsigned long time);
    // Lets go of the grab (when it is held) after reading what came before;
    // the keys kept stay.
    void letGoOfHold();
    void forgetHold();
    // Whether the hold's bound has passed; if so it ends, its keys dropped.
    bool holdExpired();
    // The hot keys still down count as released.
    void reportHeldHotKeysReleased();
    // Drops from stillDown_, shortly, the keys the server has up, and looks
    // again while any is left.
    void watchKeysStillDown();
    void drainLater() const;
    void mappingChanged();
    // Once a run of changes is over (nothing left queued): one notice.
    void finishMappingChange();

    std::shared_ptr<MainLoop> loop_;
    std::shared_ptr<MonotonicClock> clock_;
    _XDisplay* display_ = nullptr;
    unsigned long root_ = 0;
    mutable bool modifiersStale_ = true;
    mutable unsigned numLockMask_ = 0;
    mutable unsigned altMask_ = 0;
    mutable unsigned superMask_ = 0;
    std::shared_ptr<XkbKeyboardLayout> layout_;
    mutable int layoutReads_ = 0;
    int mostEventsInATurn_ = 0;
    long eventsHandled_ = 0;
    MainLoop::Id watch_ = 0;
    int xkbEventBase_ = -1;
    bool mappingChanged_ = false;
    bool mappingChangePosted_ = false;
    mutable bool drainPosted_ = false;
    std::vector<Grab> grabs_;
    std::map<unsigned, HotKeyId> pressed_;  // key code held down -> its hot key
    // Hot keys still down when their grab ended, released already for the
    // handler: their repeats would activate the passive grab again.
    std::set<unsigned> stillDown_;
    MainLoop::Id stillDownTimer_ = 0;
    Handler handler_;
    std::uint32_t lastPressTime_ = 0;
    // The press being delivered from this connection (whose passive grab is
    // active meanwhile), 0 outside one.
    unsigned long deliveringPressTime_ = 0;
    // The grab is ours; keys are kept for a hold (also after its grab was
    // lost, until whoever ends the hold takes them).
    bool holding_ = false;
    bool keeping_ = false;
    bool xtest_ = false;
    std::vector<HeldKeyEvent> held_;
    std::function<void()> onKeyKept_;
    std::set<unsigned> pressedWhileHeld_;
    MainLoop::Id holdTimer_ = 0;
    std::optional<MonotonicClock::TimePoint> holdDeadline_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace platform
