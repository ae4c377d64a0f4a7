#pragma once

#include <X11/Xlib.h>

#include <optional>

namespace platform::x11 {

// The single 32-bit item of `window`'s `property` when it has type `type`
// (a WINDOW or CARDINAL), or nothing.
std::optional<unsigned long> singleItemProperty(Display* display, Window window, Atom property, Atom type);

}  // namespace platform::x11
