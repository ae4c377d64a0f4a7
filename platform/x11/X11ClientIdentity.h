#pragma once

#include <X11/Xlib.h>

#include <optional>

namespace platform::x11 {

// The process of the X client that made `resource` (a window), through the
// X Resource extension; none when the server cannot tell (a sandboxed or
// remote client, a server without the extension) or the resource is gone.
std::optional<int> clientProcess(Display* display, unsigned long resource);

// Whether two resources were made by the same X client (connection).
bool sameClient(Display* display, unsigned long a, unsigned long b);

}  // namespace platform::x11
