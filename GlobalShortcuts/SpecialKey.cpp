#include "GlobalShortcuts/SpecialKey.h"

#include <unordered_map>
#include <utility>

#include <utf8proc.h>

#include "GlobalShortcuts/Key.h"
#include "GlobalShortcuts/Localization.h"

namespace GlobalShortcuts {

namespace {

const std::unordered_map<long long, SpecialKey>& lookup() {
    static const std::unordered_map<long long, SpecialKey> table = [] {
        using enum SpecialKey;
        const std::pair<Key, SpecialKey> pairs[] = {
            {Key::return_, return_}, {Key::delete_, delete_}, {Key::deleteForward, deleteForward},
            {Key::end, end}, {Key::escape, escape}, {Key::help, help}, {Key::home, home},
            {Key::space, space}, {Key::tab, tab}, {Key::pageUp, pageUp}, {Key::pageDown, pageDown},
            {Key::upArrow, upArrow}, {Key::rightArrow, rightArrow}, {Key::downArrow, downArrow},
            {Key::leftArrow, leftArrow},
            {Key::f1, f1}, {Key::f2, f2}, {Key::f3, f3}, {Key::f4, f4}, {Key::f5, f5},
            {Key::f6, f6}, {Key::f7, f7}, {Key::f8, f8}, {Key::f9, f9}, {Key::f10, f10},
            {Key::f11, f11}, {Key::f12, f12}, {Key::f13, f13}, {Key::f14, f14}, {Key::f15, f15},
            {Key::f16, f16}, {Key::f17, f17}, {Key::f18, f18}, {Key::f19, f19}, {Key::f20, f20},
            {Key::keypad0, keypad0}, {Key::keypad1, keypad1}, {Key::keypad2, keypad2},
            {Key::keypad3, keypad3}, {Key::keypad4, keypad4}, {Key::keypad5, keypad5},
            {Key::keypad6, keypad6}, {Key::keypad7, keypad7}, {Key::keypad8, keypad8},
            {Key::keypad9, keypad9}, {Key::keypadClear, keypadClear},
            {Key::keypadDecimal, keypadDecimal}, {Key::keypadDivide, keypadDivide},
            {Key::keypadEnter, keypadEnter}, {Key::keypadEquals, keypadEquals},
            {Key::keypadMinus, keypadMinus}, {Key::keypadMultiply, keypadMultiply},
            {Key::keypadPlus, keypadPlus},
        };
        std::unordered_map<long long, SpecialKey> result;
        for (const auto& [key, special] : pairs)
            result.emplace(key.rawValue, special);
        return result;
    }();
    return table;
}

int functionKeyNumber(SpecialKey key) {
    return static_cast<int>(key) - static_cast<int>(SpecialKey::f1) + 1;
}

bool isFunctionKey(SpecialKey key) {
    return key >= SpecialKey::f1 && key <= SpecialKey::f20;
}

bool isKeypadKey(SpecialKey key) {
    return key >= SpecialKey::keypad0 && key <= SpecialKey::keypadPlus;
}

std::string utf8(char32_t codePoint) {
    utf8proc_uint8_t buffer[4];
    const auto length = utf8proc_encode_char(static_cast<utf8proc_int32_t>(codePoint), buffer);
    return std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
}

// First letter upper-case, as a word is capitalised.
std::string capitalized(const std::string& text) {
    utf8proc_int32_t first = 0;
    const auto length = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                                         static_cast<utf8proc_ssize_t>(text.size()), &first);
    if (length <= 0)
        return text;
    return utf8(static_cast<char32_t>(utf8proc_totitle(first))) + text.substr(static_cast<std::size_t>(length));
}

}  // namespace

std::optional<SpecialKey> specialKey(long long keyCode) {
    const auto& table = lookup();
    const auto it = table.find(keyCode);
    if (it == table.end())
        return std::nullopt;
    return it->second;
}

std::string displayString(SpecialKey key) {
    using enum SpecialKey;
    if (isFunctionKey(key))
        return "F" + std::to_string(functionKeyNumber(key));
    if (key >= keypad0 && key <= keypad9)
        return "Keypad " + std::to_string(static_cast<int>(key) - static_cast<int>(keypad0));
    switch (key) {
        case return_: return "\u21A9";
        case delete_: return "\u232B";
        case deleteForward: return "\u2326";
        case end: return "\u2198";
        case escape: return "\u238B";
        case help: return "?\u20DD";
        case home: return "\u2196";
        case space: return capitalized(localizedString("space_key"));
        case tab: return "\u21E5";
        case pageUp: return "\u21DE";
        case pageDown: return "\u21DF";
        case upArrow: return "\u2191";
        case rightArrow: return "\u2192";
        case downArrow: return "\u2193";
        case leftArrow: return "\u2190";
        case keypadClear: return "Keypad \u2327";
        case keypadDecimal: return "Keypad .";
        case keypadDivide: return "Keypad /";
        case keypadEnter: return "Keypad \u2305";
        case keypadEquals: return "Keypad =";
        case keypadMinus: return "Keypad -";
        case keypadMultiply: return "Keypad *";
        case keypadPlus: return "Keypad +";
        default: return {};
    }
}

std::optional<std::string> keyEquivalent(SpecialKey key) {
    if (isKeypadKey(key))
        return std::nullopt;
    if (key == SpecialKey::space)
        return " ";
    if (isFunctionKey(key))
        return utf8(static_cast<char32_t>(0xF704 + functionKeyNumber(key) - 1));
    return displayString(key);
}

const std::set<char32_t>& functionKeys() {
    static const std::set<char32_t> keys = [] {
        std::set<char32_t> result;
        for (char32_t key = 0xF704; key <= 0xF726; ++key)
            result.insert(key);
        return result;
    }();
    return keys;
}

}  // namespace GlobalShortcuts
