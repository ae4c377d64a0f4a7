#pragma once

#include <string_view>

namespace platform {

// The keys the program types into other applications. Control stands in
// for the Command key of copy and paste; terminals paste with Shift+Insert.
enum class SimulatedKey { control, shift, c, v, insert };

std::string_view toString(SimulatedKey key);

// Types keys into whatever window has the keyboard, as if the user pressed
// them.
class KeyboardEventPoster {
public:
    virtual ~KeyboardEventPoster() = default;

    // Lets go of every key the user still holds (the shortcut that started
    // the action among them), and of any grab that keeps the keyboard from
    // other applications, so the keys posted next arrive alone and nothing
    // held auto-repeats into the other application.
    virtual void releaseHeldKeys() = 0;

    // Whether any key of the keyboard is down right now (the user's hand
    // still on the shortcut, say).
    virtual bool isAnyKeyDown() = 0;
    // Whether Shift, Control, Alt, Super or another modifier is down: one
    // let go of after we pressed our own would let go of ours too.
    virtual bool isAnyModifierDown() { return isAnyKeyDown(); }

    // Posts one key press or release; false when the event cannot be made
    // (no key for it on this keyboard), and then nothing is posted.
    virtual bool post(SimulatedKey key, bool down) = 0;

    // Posts `modifier` down, `key` down, `key` up, `modifier` up with nothing
    // of ours between them; where the keyboard is held for a panel, the hold
    // is let go for exactly these four events. False when a key cannot be
    // made; the events that can are still posted.
    virtual bool postChord(SimulatedKey modifier, SimulatedKey key);
};

}  // namespace platform
