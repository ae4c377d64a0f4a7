#pragma once

#include <cstdint>
#include <functional>
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
    // press fires again.
    virtual void releaseActiveGrab() = 0;

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
