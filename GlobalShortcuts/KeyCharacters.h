#pragma once

#include <functional>
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

// The layout keyToCharacter asks: the one set by hand, else the one the
// installed source reads (once, and again after the server's keyboard
// changed). Without a source it is the library's default: the X display's
// layout when one is open, otherwise an explicit US layout; once a source
// was uninstalled, no default is made and it is the US layout. A read that
// fails gives the US layout too. Thread-safe.
std::shared_ptr<const platform::KeyboardLayout> keyboardLayout();
// Null goes back to the source's layout.
void setKeyboardLayout(std::shared_ptr<const platform::KeyboardLayout> layout);
// The program installs the reader of the X display's layout
// (platform::XkbKeyboardLayout::current) at start-up and uninstalls it (null)
// at its end.
void followKeyboardLayout(std::function<std::shared_ptr<const platform::KeyboardLayout>()> read);

}  // namespace GlobalShortcuts
