#include "XObserver.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace desktop {

XObserver::XObserver() : display_(XOpenDisplay(nullptr)) {}

XObserver::~XObserver() {
    if (display_) XCloseDisplay(display_);
}

unsigned long XObserver::atom(const char* name) { return XInternAtom(display_, name, False); }

std::vector<unsigned long> XObserver::property(unsigned long window, const char* name, bool windows) {
    return property(window, name, windows ? XA_WINDOW : XA_ATOM);
}

std::vector<unsigned long> XObserver::property(unsigned long window, const char* name, unsigned long type) {
    std::vector<unsigned long> values;
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, window, atom(name), 0, 1024, False, type, &actualType, &format, &count, &after, &data) == Success &&
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

unsigned long XObserver::parentOf(unsigned long window) {
    Window root = None, parent = None, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, window, &root, &parent, &children, &count)) return None;
    if (children) XFree(children);
    return parent == root ? None : parent;
}

unsigned long XObserver::frameOf(unsigned long window) {
    for (unsigned long parent = parentOf(window); parent != None; parent = parentOf(window)) window = parent;
    return window;
}

bool XObserver::stacksAbove(unsigned long upper, unsigned long lower) {
    XSync(display_, False);
    Window root = None, parent = None, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) return false;
    const std::vector<Window> stack(children, children + count);  // bottom to top
    if (children) XFree(children);
    const auto top = std::find(stack.begin(), stack.end(), frameOf(upper));
    const auto bottom = std::find(stack.begin(), stack.end(), frameOf(lower));
    return top != stack.end() && bottom != stack.end() && top > bottom;
}

bool XObserver::hasFocus(unsigned long window) {
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    for (unsigned long at = focus; at != None && at != PointerRoot; at = parentOf(at))
        if (at == window) return true;
    return false;
}

std::optional<XObserver::SizeLimits> XObserver::sizeLimits(unsigned long window) {
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(display_, window, &hints, &supplied)) return std::nullopt;
    if (!(hints.flags & PMinSize) || !(hints.flags & PMaxSize)) return std::nullopt;
    return SizeLimits{hints.min_width, hints.min_height, hints.max_width, hints.max_height};
}

std::vector<unsigned long> XObserver::motifHints(unsigned long window) {
    auto hints = property(window, "_MOTIF_WM_HINTS", atom("_MOTIF_WM_HINTS"));
    if (hints.size() < 3) return {};
    hints.resize(3);
    return hints;
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
