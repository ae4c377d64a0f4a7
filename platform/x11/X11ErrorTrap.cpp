#include "platform/x11/X11ErrorTrap.h"

namespace platform {

X11ErrorTrap::X11ErrorTrap(Display* display)
    : display_(display), outer_(current_), previous_(XSetErrorHandler(&X11ErrorTrap::handle)) {
    current_ = this;
}

X11ErrorTrap::~X11ErrorTrap() {
    XSetErrorHandler(previous_);
    current_ = outer_;
}

const std::vector<XErrorEvent>& X11ErrorTrap::sync() {
    XSync(display_, False);
    return errors_;
}

int X11ErrorTrap::handle(Display* display, XErrorEvent* error) {
    // The innermost trap of this display takes it; traps of other displays
    // pass it on.
    for (X11ErrorTrap* trap = current_; trap; trap = trap->outer_) {
        if (trap->display_ == display) {
            trap->errors_.push_back(*error);
            return 0;
        }
    }
    X11ErrorTrap* outermost = current_;
    while (outermost && outermost->outer_) outermost = outermost->outer_;
    return outermost && outermost->previous_ ? outermost->previous_(display, error) : 0;
}

}  // namespace platform
