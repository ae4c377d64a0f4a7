#pragma once

#include <X11/Xlib.h>

#include <optional>
#include <vector>

namespace platform::x11 {

// The process of the X client that made each resource (a window), in one
// round trip through the X Resource extension; none where the server cannot
// tell (a sandboxed or remote client, a server without the extension) or
// the resource is gone.
std::vector<std::optional<int>> clientProcesses(Display* display, const std::vector<unsigned long>& resources);

// Whether two resources were made by the same X client (connection).
bool sameClient(Display* display, unsigned long a, unsigned long b);

}  // namespace platform::x11
