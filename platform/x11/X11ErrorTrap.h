#pragma once

#include <X11/Xlib.h>

#include <vector>

namespace platform {

// Collects the errors Xlib reports for one display while it is alive, so a
// failed request (a grab refused, a window that is gone) is seen right after
// the XSync that follows it instead of ending the process. Main thread only.
class X11ErrorTrap {
public:
    explicit X11ErrorTrap(Display* display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    // Errors of requests sent before this call.
    const std::vector<XErrorEvent>& sync();
    // Errors seen so far, without a round trip: enough after a request that
    // waits for its reply, whose error comes instead of the reply.
    const std::vector<XErrorEvent>& errors() const { return errors_; }
    void clear() { errors_.clear(); }

    // Whether a trap is in place (its handler is the process's).
    static bool active() { return current_ != nullptr; }

private:
    static int handle(Display* display, XErrorEvent* error);

    static inline X11ErrorTrap* current_ = nullptr;
    Display* display_;
    X11ErrorTrap* outer_;
    XErrorHandler previous_;
    std::vector<XErrorEvent> errors_;
};

}  // namespace platform
