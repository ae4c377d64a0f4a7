#pragma once

#include <optional>
#include <set>
#include <string>

namespace GlobalShortcuts {

// The keys that type no character of their own, and how each is shown.
enum class SpecialKey {
    return_, delete_, deleteForward, end, escape, help, home, space,
    tab, pageUp, pageDown, upArrow, rightArrow, downArrow, leftArrow, f1,
    f2, f3, f4, f5, f6, f7, f8, f9,
    f10, f11, f12, f13, f14, f15, f16, f17,
    f18, f19, f20, keypad0, keypad1, keypad2, keypad3, keypad4,
    keypad5, keypad6, keypad7, keypad8, keypad9, keypadClear, keypadDecimal, keypadDivide,
    keypadEnter, keypadEquals, keypadMinus, keypadMultiply, keypadPlus,
};

// The special key at a key code, if it is one.
std::optional<SpecialKey> specialKey(long long keyCode);

// The symbol shown in a shortcut's text ("↩", "F5", the word for space).
std::string displayString(SpecialKey key);

// The text a menu item's key equivalent holds for the key (a blank for
// space, U+F704... for F1...); none for keypad keys.
std::optional<std::string> keyEquivalent(SpecialKey key);

// The characters key events carry for F1 to F35 (U+F704 to U+F726).
const std::set<char32_t>& functionKeys();

}  // namespace GlobalShortcuts
