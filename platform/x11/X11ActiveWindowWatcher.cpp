#include "platform/x11/X11ActiveWindowWatcher.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "platform/ApplicationActivationEvents.h"
#include "platform/Error.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11EventPump.h"
#include "platform/x11/X11WindowProperty.h"

namespace platform {

X11ActiveWindowWatcher::X11ActiveWindowWatcher(std::shared_ptr<MainLoop> loop,
                                               std::shared_ptr<ApplicationActivationEvents> events,
                                               const char* displayName, std::shared_ptr<MonotonicClock> clock)
    : loop_(std::move(loop)), events_(std::move(events)), clock_(clock ? std::move(clock) : MonotonicClock::steady()) {
    if (displayName)
        displayName_ = displayName;
    connect();
    // The window active at start is no activation: only changes are.
    lastActive_ = activeWindow();
}

X11ActiveWindowWatcher::~X11ActiveWindowWatcher() {
    *alive_ = false;
    pump_.reset();
    X11Connection::close(display_);
}

void X11ActiveWindowWatcher::connect() {
    display_ = X11Connection::open(displayName_ ? displayName_->c_str() : nullptr, true);
    if (!display_)
        throw Error("X11", 0, "Cannot connect to the X display to follow the active window");
    root_ = DefaultRootWindow(display_);
    activeWindowAtom_ = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    // Changes are noted as they are read and take no room in Xlib's queue,
    // however many another client makes of the root's properties.
    X11Connection::filterEvents(display_, [this](const XEvent& event) {
        if (event.type == PropertyNotify && event.xproperty.window == root_ &&
            event.xproperty.atom == activeWindowAtom_)
            changed_ = true;
        return false;
    });
    XSelectInput(display_, root_, PropertyChangeMask);
    XFlush(display_);
    pump_ = std::make_unique<X11EventPump>(
        display_, loop_, X11EventPump::Caps{kEventsPerTurn, kTurnTime}, clock_, [](XEvent&) {},
        [this] { afterTurn(); });
}

unsigned long X11ActiveWindowWatcher::activeWindow() const {
    return x11::singleItemProperty(display_, root_, activeWindowAtom_, XA_WINDOW).value_or(None);
}

void X11ActiveWindowWatcher::processPendingEvents() {
    if (pump_)
        pump_->turn();
}

void X11ActiveWindowWatcher::afterTurn() {
    if (X11Connection::broken(display_)) {
        // A new connection, from a turn of its own: this one is inside the
        // old connection's pump. Changes meanwhile are seen at the next one.
        if (reconnecting_)
            return;
        reconnecting_ = true;
        loop_->post([this, alive = std::weak_ptr<bool>(alive_)] {
            if (alive.expired())
                return;
            reconnecting_ = false;
            pump_.reset();
            X11Connection::close(display_);
            display_ = nullptr;
            try {
                connect();
            } catch (const Error&) {
                return;  // no display: nothing to follow
            }
        });
        return;
    }
    if (!changed_)
        return;
    changed_ = false;
    const unsigned long active = activeWindow();
    if (active == lastActive_)
        return;
    lastActive_ = active;
    events_->applicationActivated(active);
}

}  // namespace platform
