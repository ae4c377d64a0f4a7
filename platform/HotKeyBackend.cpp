#include "platform/HotKeyBackend.h"

#include <algorithm>

#include "platform/KeyPositions.h"

namespace platform {

bool HotKeyBackend::isReserved(HotKeyCombination combination) {
    const auto reserved = reservedCombinations();
    return std::find(reserved.begin(), reserved.end(), combination) != reserved.end();
}

int HotKeyBackend::validate(HotKeyCombination combination) {
    constexpr std::uint32_t supported =
        carbon_modifier::command | carbon_modifier::shift | carbon_modifier::option | carbon_modifier::control;
    // Fn never reaches X11 clients, and caps lock is a lock, not a modifier:
    // a hot key with either could never fire.
    if ((combination.modifiers & ~supported) != 0)
        return hotkey_status::hotKeyInvalid;
    if (!KeyPositions::x11FromCarbon(combination.keyCode))
        return hotkey_status::hotKeyInvalid;
    return hotkey_status::noErr;
}

}  // namespace platform
