#pragma once

#include <string>
#include <string_view>

namespace GlobalShortcuts {

// The English text of one of the library's user-visible strings, looked up
// by its key ("space_key", "record_shortcut", ...). The texts are compiled
// in, so there is no resource to go missing; an unknown key shows the key
// itself. "keyboard_shortcut_used_by_menu_item" is a fmt format taking the
// menu item's title.
std::string localizedString(std::string_view key);

}  // namespace GlobalShortcuts
