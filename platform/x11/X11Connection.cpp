#include "platform/x11/X11Connection.h"

#include <X11/Xlib.h>

#include <atomic>

namespace platform {

namespace {
std::atomic<std::size_t> openConnections{0};
}  // namespace

Display* X11Connection::open(const char* displayName) {
    Display* display = XOpenDisplay(displayName);
    if (display) openConnections.fetch_add(1);
    return display;
}

void X11Connection::close(Display* display) {
    if (!display) return;
    XCloseDisplay(display);
    openConnections.fetch_sub(1);
}

std::size_t X11Connection::openCount() { return openConnections.load(); }

}  // namespace platform
