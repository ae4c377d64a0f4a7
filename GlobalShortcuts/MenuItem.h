#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace GlobalShortcuts {

// What a shortcut needs to know of an application menu item: its key
// equivalent (text and ModifierFlags mask) and its submenu.
struct MenuItem {
    std::string title;
    std::string keyEquivalent;
    std::int64_t keyEquivalentModifierMask = 0;
    std::vector<MenuItem> submenu;
};

}  // namespace GlobalShortcuts
