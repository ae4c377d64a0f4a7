#pragma once

#include <cstddef>

using Display = struct _XDisplay;

namespace platform {

// Every X connection the program opens of its own (not Qt's) goes through
// here, so that the program's end can tell whether one is still open
// (openCount()): a connection left to exit keeps its grabs and selections
// until the server notices the process is gone.
//
//   display_ = X11Connection::open(displayName);   // null when it cannot
//   X11Connection::close(display_);
class X11Connection {
public:
    static Display* open(const char* displayName);
    static void close(Display* display);  // null does nothing
    static std::size_t openCount();
};

}  // namespace platform
