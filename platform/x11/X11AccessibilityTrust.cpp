#include "platform/x11/X11AccessibilityTrust.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdlib>
#include <string_view>

#include "platform/x11/X11Connection.h"

namespace platform {

X11AccessibilityTrust::X11AccessibilityTrust(const char* displayName) {
    Display* display = X11Connection::open(displayName);
    if (!display)
        return;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    xTestAvailable_ = XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor) == True;
    X11Connection::close(display);
}

bool X11AccessibilityTrust::isWaylandSession() {
    const char* waylandDisplay = std::getenv("WAYLAND_DISPLAY");
    const char* sessionType = std::getenv("XDG_SESSION_TYPE");
    return (waylandDisplay && *waylandDisplay) || (sessionType && std::string_view(sessionType) == "wayland");
}

bool X11AccessibilityTrust::isProcessTrusted() { return xTestAvailable_ && !isWaylandSession(); }

bool X11AccessibilityTrust::isProcessTrustedWithOptions(bool) { return isProcessTrusted(); }

}  // namespace platform
