#pragma once

#include <optional>
#include <span>
#include <utility>

namespace platform {

// Shortcuts are stored with the key codes of the Apple keyboard (positions,
// not characters). This maps them by position to Linux input key codes
// (linux/input-event-codes.h; an X11 key code is the Linux code + 8), so a
// stored shortcut means the same physical key on either system.
//
// Every named key of the shortcut library has an entry, and a few keys of
// other layouts (ISO section, JIS). A key code without an entry has no key
// on the other side: it cannot make a hot key.
class KeyPositions {
public:
    static std::optional<int> linuxFromCarbon(long long carbonKeyCode);
    static std::optional<int> carbonFromLinux(int linuxKeyCode);

    // X11 key codes are the Linux codes moved up by 8 and stop at 255.
    static std::optional<int> x11FromCarbon(long long carbonKeyCode);
    static std::optional<int> carbonFromX11(int x11KeyCode);

    // The whole table as (Carbon code, Linux code) pairs.
    static std::span<const std::pair<int, int>> table();
};

}  // namespace platform
