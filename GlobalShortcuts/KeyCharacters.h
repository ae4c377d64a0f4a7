#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/KeyboardLayout.h"

namespace GlobalShortcuts {

// The character the key at `keyCode` types on the current layout with no
// modifier held, when that is exactly one character; none for special keys,
// keys without a position on this system, codes outside 0...65535, dead keys
// and keys typing several characters.
std::optional<std::string> keyToCharacter(long long keyCode);

// The layout keyToCharacter asks. Until one is installed it is the layout of
// the X display (or the system default layout without one), read once.
std::shared_ptr<const platform::KeyboardLayout> keyboardLayout();
void setKeyboardLayout(std::shared_ptr<const platform::KeyboardLayout> layout);

}  // namespace GlobalShortcuts
