#include "GlobalShortcuts/Localization.h"

#include <array>
#include <utility>

namespace GlobalShortcuts {

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kEnglish{{
    {"space_key", "space"},
    {"record_shortcut", "Record Shortcut"},
    {"press_shortcut", "Press Shortcut"},
    {"keyboard_shortcut_used_by_menu_item", "This keyboard shortcut cannot be used as it's already used by the “{}” menu item."},
    {"keyboard_shortcut_disallowed", "Keyboard shortcuts with Option as the only modifier are not allowed."},
    {"keyboard_shortcut_used_by_system", "This keyboard shortcut cannot be used as it's already a system-wide keyboard shortcut."},
    {"keyboard_shortcuts_can_be_changed", "Most system-wide keyboard shortcuts can be changed in the keyboard settings of your desktop."},
    {"ok", "OK"},
    {"force_use_shortcut", "Use Anyway"},
}};

}  // namespace

std::string localizedString(std::string_view key) {
    for (const auto& [entry, text] : kEnglish)
        if (entry == key)
            return std::string(text);
    return std::string(key);
}

}  // namespace GlobalShortcuts
