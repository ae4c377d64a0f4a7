#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Posted on the default notification centre (main thread) when the X
// server's keyboard mapping changed (setxkbmap, another keyboard plugged
// in): a layout read before may be out of date.
inline constexpr std::string_view kKeyboardMappingDidChange = "KeyboardMappingDidChange";

// The user's current keyboard layout, asked what a key types.
class KeyboardLayout {
public:
    virtual ~KeyboardLayout() = default;

    // The text the key at `linuxKeyCode` types with no modifier held (so a
    // letter comes out lower-case), as UTF-8; none when it types nothing
    // (a dead key, a function key) or the key is unknown.
    virtual std::optional<std::string> character(int linuxKeyCode) const = 0;
};

}  // namespace platform
