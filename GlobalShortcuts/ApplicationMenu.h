#pragma once

#include <optional>
#include <vector>

#include "GlobalShortcuts/MenuItem.h"
#include "GlobalShortcuts/Shortcut.h"

class QMenu;

// The application's main menu as the shortcut recorder sees it. This program
// lives in the tray, so its main menu is the tray icon's menu: the program
// names it here, and shortcuts that its actions use cannot be recorded.
namespace GlobalShortcuts {

// Names the main menu (null: none). The menu is read afresh at each check,
// so actions added or changed later count; a deleted menu counts as none.
void setApplicationMainMenu(QMenu* menu);
QMenu* applicationMainMenu();

// The key equivalents of a menu's actions, submenus included, in the form
// Shortcut::takenBy searches. An action with several shortcuts gives one
// item per shortcut.
std::vector<MenuItem> menuItems(const QMenu& menu);

// The item of the main menu that uses the shortcut: from the menu named
// above, or when none is named, from the one given to setMainMenu.
std::optional<MenuItem> takenByApplicationMenu(const Shortcut& shortcut);

}  // namespace GlobalShortcuts
