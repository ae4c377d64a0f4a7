#pragma once

#include <optional>

#include "GlobalShortcuts/Name.h"
#include "GlobalShortcuts/Shortcut.h"

class QAction;

// Menu items (actions) that show a shortcut. Main thread only.
namespace GlobalShortcuts {

// Gives the action this shortcut (none: no shortcut) once; later changes of
// stored shortcuts do not reach it.
void setShortcut(QAction& item, const std::optional<Shortcut>& shortcut);

// Binds the action to a name: it takes the name's stored shortcut now and
// again, on a later turn of the main loop, whenever that name's shortcut
// changes. An action follows one name at most: binding it to another name
// ends the earlier binding, and binding to none ends it and takes its
// shortcut away. The binding ends with the action.
void setShortcut(QAction& item, const std::optional<Name>& name);

}  // namespace GlobalShortcuts
