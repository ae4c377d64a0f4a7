#pragma once

#include <functional>

#include "GlobalShortcuts/Shortcut.h"

namespace GlobalShortcuts {

using ShortcutCallback = std::function<void(const Shortcut&)>;

// One shortcut handed to the system hot-key service, with its callbacks.
// `isLive` is false while the hot key is suspended (menu open, library
// disabled): the entry, its id and its callbacks stay.
struct HotKey {
    Shortcut shortcut;
    long long carbonHotKeyId = 0;
    bool isLive = false;
    ShortcutCallback onKeyDown;
    ShortcutCallback onKeyUp;
};

}  // namespace GlobalShortcuts
