#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace platform {

// Status codes of the system hot-key service, kept as the values the
// shortcut library has always reported.
namespace hotkey_status {
inline constexpr int noErr = 0;
inline constexpr int eventNotHandled = -9874;
inline constexpr int hotKeyExists = -9878;   // another client holds the combination
inline constexpr int hotKeyInvalid = -9879;  // no such key, unsupported modifier, out of range
inline constexpr int internalError = -9868;  // no hot-key service at all (no X11 display)
}  // namespace hotkey_status

// Modifier bits of the stored (Carbon) form that a hot key can carry.
namespace carbon_modifier {
inline constexpr std::uint32_t command = 0x100;
inline constexpr std::uint32_t shift = 0x200;
inline constexpr std::uint32_t capsLock = 0x400;
inline constexpr std::uint32_t option = 0x800;
inline constexpr std::uint32_t control = 0x1000;
inline constexpr std::uint32_t function = 0x20000;
}  // namespace carbon_modifier

struct HotKeyId {
    std::uint32_t signature = 0;
    std::uint32_t id = 0;
    friend bool operator==(const HotKeyId&, const HotKeyId&) = default;
};

enum class HotKeyEventKind { pressed, released };

// A key event the window system delivered while the keyboard was held: as
// it came (X key code, modifier and group bits, server time) and as the
// keyboard's layout read it in that state when it came (symbol, text).
struct HeldKeyEvent {
    bool press = true;
    std::uint32_t keyCode = 0;
    std::uint32_t state = 0;
    std::uint32_t time = 0;
    std::uint32_t keysym = 0;
    std::string text;
    friend bool operator==(const HeldKeyEvent&, const HeldKeyEvent&) = default;
};

// One simulated key event, by the window system's key code.
struct SimulatedKeyEvent {
    std::uint32_t keyCode = 0;
    bool down = true;
};

struct HotKeyCombination {
    std::uint32_t keyCode = 0;    // Carbon virtual key code
    std::uint32_t modifiers = 0;  // Carbon modifier mask
    friend bool operator==(const HotKeyCombination&, const HotKeyCombination&) = default;
};

// The system-wide hot-key service: grabs a key combination for the whole
// desktop and reports its presses and releases. Key codes and modifiers are
// in the stored (Carbon) form; Command is Super, Option is Alt. Events reach
// the handler on the main thread, one press per physical press (no
// auto-repeat), and a release for every press.
class HotKeyBackend {
public:
    // Returns noErr when handled, eventNotHandled otherwise.
    using Handler = std::function<int(HotKeyEventKind kind, HotKeyId id)>;

    virtual ~HotKeyBackend() = default;

    // Grabs the combination under `id`; returns a hot-key status. A refused
    // grab leaves nothing behind.
    virtual int registerHotKey(HotKeyCombination combination, HotKeyId id) = 0;
    virtual void unregisterHotKey(HotKeyId id) = 0;

    // Where events go; an empty handler stops delivery (events are dropped).
    virtual void setHandler(Handler handler) = 0;

    // While a hot key is down the whole keyboard belongs to its grab, so
    // keys typed into other applications meanwhile would come back to us.
    // This lets go of that grab at once; the hot keys still down count as
    // released (their release events follow on the main loop), so the next
    // press fires again. It leaves a keyboard hold (below) alone.
    virtual void releaseActiveGrab() = 0;

    // The keyboard hold. A hot key that opens a window takes the whole
    // keyboard from its press on, so that what the user types before that
    // window has the keyboard is kept for it instead of reaching the
    // application underneath (some of it as that application's commands,
    // while a simulated copy holds Control down). Only a press this backend
    // is delivering now can take it (its handler calls this synchronously):
    // false otherwise, or when the window system refused; true while a hold
    // is on already. While held, every key event is kept in order, but the
    // auto-repeats and releases of hot keys down (the releases still reach
    // the handler) and the releases of keys that were down before the hold.
    virtual bool holdKeyboard() { return false; }
    virtual bool holdsKeyboard() const { return false; }
    // The keys kept since the last call, in order, after reading what the
    // window system has delivered; the hold goes on.
    virtual std::vector<HeldKeyEvent> takeKeptKeys() { return {}; }
    // Called (on the main thread, while the backend reads its events: post
    // any work) each time a key is kept.
    virtual void setOnKeyKept(std::function<void()> /*onKept*/) {}
    // Lets go of the hold and hands over the keys kept, in order, after
    // reading everything the window system delivered before it let go (an
    // empty list when there was no hold). The keys of a hold whose grab was
    // lost (see typeThroughHold) come too: whoever ends the hold decides
    // where they go. Hot keys still down count as released, as with
    // releaseActiveGrab.
    virtual std::vector<HeldKeyEvent> endKeyboardHold() { return {}; }
    // Lets go of the hold and types `keys` into the window with the focus in
    // the same breath, so that no key typed after can come before them. What
    // the hold kept is dropped. False, and nothing typed, without a hold.
    virtual bool endKeyboardHoldTyping(std::span<const SimulatedKeyEvent> /*keys*/) { return false; }
    // The hold (or the keys of one whose grab was lost) ends by itself
    // `delay` from now, its keys dropped, however long the program's turns
    // run meanwhile, unless it ended before.
    virtual void endKeyboardHoldAfter(std::chrono::milliseconds /*delay*/) {}
    // Types `keys` into the window with the focus while the keyboard is
    // held: the hold let go, the keys, the hold taken back, with nothing in
    // between. False, and nothing typed, without a hold. When the hold
    // cannot be taken back, the keys kept so far stay for whoever ends it.
    virtual bool typeThroughHold(std::span<const SimulatedKeyEvent> /*keys*/) { return false; }
    // Whether a key event with this key code and state is a press of one of
    // the hot keys.
    virtual bool isHotKeyPress(std::uint32_t /*keyCode*/, std::uint32_t /*state*/) const { return false; }

    // A key event that reached a window of ours because one of our own
    // keyboard grabs holds the keyboard (where no hot key grab can fire):
    // `keyCode` and `state` are the window system's own. Handled as a press
    // or release of the hot key it matches, as if that hot key's grab had
    // seen it; false when it matches none (it is then an ordinary key). An
    // auto-repeated press that matches is taken without firing: the key was
    // down before (the press that opened the window, say).
    virtual bool deliverKey(HotKeyEventKind /*kind*/, bool /*autoRepeat*/, std::uint32_t /*keyCode*/,
                            std::uint32_t /*state*/, std::uint32_t /*time*/) {
        return false;
    }

    // Combinations some other client of the desktop already holds, or empty
    // where that cannot be known. Our own hot keys are not in it.
    virtual std::vector<HotKeyCombination> reservedCombinations() = 0;

    // The window system's time stamp of the last hot-key press delivered, or
    // 0 when there was none or the system has no such time. A window opened
    // in answer to the press presents it to be given the keyboard.
    virtual std::uint32_t lastPressTime() const { return 0; }

    // Whether some other client of the desktop holds this one combination.
    // Cheaper than the whole list, and it takes no other key from the
    // desktop even for a moment.
    virtual bool isReserved(HotKeyCombination combination);

    // Whether a combination can be a hot key at all on this system, without
    // grabbing it: noErr or hotKeyInvalid (no key at that position, the Fn
    // modifier, a bit outside the four real modifiers).
    static int validate(HotKeyCombination combination);
};

}  // namespace platform
