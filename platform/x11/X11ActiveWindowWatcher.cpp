#include "platform/x11/X11ActiveWindowWatcher.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "platform/ApplicationActivationEvents.h"
#include "platform/Error.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11WindowProperty.h"

namespace platform {

X11ActiveWindowWatcher::X11ActiveWindowWatcher(std::shared_ptr<MainLoop> loop,
                                               std::shared_ptr<ApplicationActivationEvents> events,
                                               const char* displayName)
    : loop_(std::move(loop)), events_(std::move(events)) {
    display_ = X11Connection::open(displayName);
    if (!display_)
        throw Error("X11", 0, "Cannot connect to the X display to follow the active window");
    root_ = DefaultRootWindow(display_);
    activeWindowAtom_ = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    XSelectInput(display_, root_, PropertyChangeMask);
    // The window active at start is no activation: only changes are.
    lastActive_ = activeWindow();
    watch_ = loop_->watchReadable(ConnectionNumber(display_), [this] { processPendingEvents(); });
    XFlush(display_);
}

X11ActiveWindowWatcher::~X11ActiveWindowWatcher() {
    loop_->cancel(watch_);
    X11Connection::close(display_);
}

unsigned long X11ActiveWindowWatcher::activeWindow() const {
    return x11::singleItemProperty(display_, root_, activeWindowAtom_, XA_WINDOW).value_or(None);
}

void X11ActiveWindowWatcher::processPendingEvents() {
    bool changed = false;
    // XPending also reads what waits on the socket, so nothing stays queued
    // inside Xlib once the descriptor is quiet.
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == PropertyNotify && event.xproperty.window == root_ &&
            event.xproperty.atom == activeWindowAtom_)
            changed = true;
    }
    if (!changed)
        return;
    const unsigned long active = activeWindow();
    if (active == lastActive_)
        return;
    lastActive_ = active;
    events_->applicationActivated(active);
}

}  // namespace platform
