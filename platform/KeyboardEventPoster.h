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

    // Posts one key press or release; false when the event cannot be made
    // (no key for it on this keyboard), and then nothing is posted.
    virtual bool post(SimulatedKey key, bool down) = 0;
};

}  // namespace platform
