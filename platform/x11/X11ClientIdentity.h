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

// Whether two windows belong to one program, given their processes where
// known: the same process when both are known (a program may use a second
// connection, as an office suite does), else the same X client (a sandboxed
// or remote client has no process the server knows).
bool sameProgram(Display* display, unsigned long a, std::optional<int> processA, unsigned long b,
                 std::optional<int> processB);

}  // namespace platform::x11
