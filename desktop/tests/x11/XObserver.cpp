#include "XObserver.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>

namespace desktop {

XObserver::XObserver() : display_(XOpenDisplay(nullptr)) {}

XObserver::~XObserver() {
    if (display_) XCloseDisplay(display_);
}

unsigned long XObserver::atom(const char* name) { return XInternAtom(display_, name, False); }

std::vector<unsigned long> XObserver::property(unsigned long window, const char* name, bool windows) {
    std::vector<unsigned long> values;
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, window, atom(name), 0, 1024, False, windows ? XA_WINDOW : XA_ATOM,
                           &actualType, &format, &count, &after, &data) == Success &&
        data) {
        if (format == 32) {
            auto* items = reinterpret_cast<unsigned long*>(data);
            values.assign(items, items + count);
        }
        XFree(data);
    }
    return values;
}

bool XObserver::hasState(unsigned long window, const char* state) {
    const auto states = property(window, "_NET_WM_STATE", false);
    return std::find(states.begin(), states.end(), atom(state)) != states.end();
}

unsigned long XObserver::activeWindow() {
    const auto active = property(DefaultRootWindow(display_), "_NET_ACTIVE_WINDOW", true);
    return active.empty() ? None : active[0];
}

int XObserver::stackingIndex(unsigned long window) {
    const auto stack = property(DefaultRootWindow(display_), "_NET_CLIENT_LIST_STACKING", true);
    const auto it = std::find(stack.begin(), stack.end(), window);
    return it == stack.end() ? -1 : static_cast<int>(it - stack.begin());
}

void XObserver::watch(unsigned long window) {
    watched_ = window;
    mapped_ = false;
    focused_ = false;
    XSelectInput(display_, window, StructureNotifyMask | FocusChangeMask);
    XSync(display_, False);
}

bool XObserver::sawMappedAndFocused() {
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == MapNotify && event.xmap.window == watched_) mapped_ = true;
        // Focus that only follows the pointer into the window is not focus.
        if (event.type == FocusIn && event.xfocus.window == watched_ && event.xfocus.detail != NotifyPointer)
            focused_ = true;
    }
    return mapped_ && focused_;
}

}  // namespace desktop
