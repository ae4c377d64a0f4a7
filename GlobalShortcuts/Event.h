#pragma once

#include <cstdint>

namespace GlobalShortcuts {

// A keyboard or mouse event of this application, as the event monitors see
// it. Type numbers and flags use the encoding stored shortcuts come from.
struct Event {
    static constexpr int leftMouseUp = 2;
    static constexpr int rightMouseUp = 4;
    static constexpr int keyDown = 10;
    static constexpr int keyUp = 11;
    // A modifier key (Shift, Control, Option, Command, Caps Lock, Fn) went
    // down or up: a change of the flags, not a key press of its own.
    static constexpr int flagsChanged = 12;

    int type = keyDown;
    long long keyCode = 0;           // Apple virtual key code (a position)
    std::int64_t modifierFlags = 0;  // ModifierFlags bits
    bool isARepeat = false;          // an auto-repeated key down
    // Where a mouse event happened, in screen coordinates (0 for keys).
    double locationX = 0;
    double locationY = 0;

    friend bool operator==(const Event&, const Event&) = default;
};

// A set of event types, one bit per type number.
using EventTypeMask = std::uint64_t;

constexpr EventTypeMask eventMask(int type) { return EventTypeMask{1} << type; }

}  // namespace GlobalShortcuts
