#include "platform/x11/X11Connection.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <unordered_map>

#include <X11/Xlib.h>
#include <X11/Xlibint.h>  // XESetWireToEvent
#undef min
#undef max

#include "platform/Logger.h"
#include "platform/x11/X11ErrorTrap.h"

namespace platform {

namespace {

const Logger& logger() {
    static const Logger log("quillary", "x11");
    return log;
}

std::atomic<std::size_t> openConnections{0};

using WireToEvent = Bool (*)(Display*, XEvent*, xEvent*);

struct Connection {
    bool reopened = false;  // by its helper, once broken
    bool broken = false;
    std::size_t largestRead = 0;
    std::function<bool(const XEvent&)> keep;
    std::array<WireToEvent, 128> convert{};  // Xlib's own, by event number
    long dropped = 0;
};

std::mutex connectionsMutex;
// The connections opened here; Qt's own and others' pass through the
// handlers below untouched.
std::unordered_map<Display*, Connection>& connections() {
    static std::unordered_map<Display*, Connection> all;
    return all;
}

bool survives(Display* display) {
    const std::lock_guard lock(connectionsMutex);
    const auto found = connections().find(display);
    return found != connections().end() && found->second.reopened;
}

// Xlib hands back its defaults where no handler was set: never null.
XIOErrorHandler previousIOError = nullptr;
XErrorHandler previousError = nullptr;

// Xlib calls the I/O error handler, then the display's exit handler, which
// by default ends the process (as Qt's handler does at once). Ours return:
// the display then answers every call with nothing, and its helper sees
// broken().
int onIOError(Display* display) {
    if (survives(display))
        return 0;
    return previousIOError ? previousIOError(display) : 0;
}

void onBroken(Display* display, void*) {
    {
        const std::lock_guard lock(connectionsMutex);
        const auto found = connections().find(display);
        if (found == connections().end() || found->second.broken)
            return;
        found->second.broken = true;
    }
    logger().error("A connection of the program's own to the X display broke; it is opened again at its next use");
}

// Xlib turns each event it reads into an XEvent here, and queues it only
// when this says so.
Bool filterEvent(Display* display, XEvent* event, xEvent* wire) {
    Connection* connection = nullptr;
    {
        const std::lock_guard lock(connectionsMutex);
        const auto found = connections().find(display);
        if (found == connections().end())
            return False;
        connection = &found->second;  // stays put: only close() removes it, never from inside Xlib
    }
    const WireToEvent convert = connection->convert[wire->u.u.type & 0x7f];
    if (!convert || !convert(display, event, wire))
        return False;
    if (!connection->keep || connection->keep(*event))
        return True;
    ++connection->dropped;
    return False;
}

int onError(Display* display, XErrorEvent* error) {
    if (survives(display))
        return 0;
    return previousError ? previousError(display, error) : 0;
}

// Put in place at each open: a toolkit made after an earlier connection
// (Qt's application) puts its own in place, which would end the program on
// the error of a connection of ours.
void installHandlers() {
    const XIOErrorHandler io = XSetIOErrorHandler(&onIOError);
    if (io != &onIOError)
        previousIOError = io;
    // Inside a trap the handler in place is the trap's, which hands on to
    // the one it replaced when it ends.
    if (X11ErrorTrap::active())
        return;
    const XErrorHandler error = XSetErrorHandler(&onError);
    if (error != &onError)
        previousError = error;
}

}  // namespace

Display* X11Connection::open(const char* displayName, bool reopened) {
    Display* display = XOpenDisplay(displayName);
    if (!display)
        return nullptr;
    openConnections.fetch_add(1);
    {
        const std::lock_guard lock(connectionsMutex);
        connections()[display].reopened = reopened;
    }
    if (reopened) {
        installHandlers();
        XSetIOErrorExitHandler(display, &onBroken, nullptr);
    }
    return display;
}

void X11Connection::close(Display* display) {
    if (!display) return;
    XCloseDisplay(display);
    {
        const std::lock_guard lock(connectionsMutex);
        connections().erase(display);
    }
    openConnections.fetch_sub(1);
}

std::size_t X11Connection::openCount() { return openConnections.load(); }

bool X11Connection::broken(Display* display) {
    const std::lock_guard lock(connectionsMutex);
    const auto found = connections().find(display);
    return found != connections().end() && found->second.broken;
}

void X11Connection::filterEvents(Display* display, std::function<bool(const XEvent&)> keep) {
    Connection* connection = nullptr;
    {
        const std::lock_guard lock(connectionsMutex);
        const auto found = connections().find(display);
        if (found == connections().end())
            return;
        connection = &found->second;
    }
    connection->keep = std::move(keep);
    // Core events and those of extensions (2 up to 127); GenericEvent (35)
    // takes another way and cannot be sent by another client.
    for (int number = KeyPress; number < 128; ++number) {
        if (number == GenericEvent)
            continue;
        const WireToEvent previous = XESetWireToEvent(display, number, &filterEvent);
        if (previous != &filterEvent)
            connection->convert[static_cast<std::size_t>(number)] = previous;
    }
}

long X11Connection::droppedEvents(Display* display) {
    const std::lock_guard lock(connectionsMutex);
    const auto found = connections().find(display);
    return found == connections().end() ? 0 : found->second.dropped;
}

bool X11Connection::takeEvent(Display* display, XEvent& event) {
    if (XEventsQueued(display, QueuedAlready) == 0) {
        // Reads what the socket holds, and what keeps coming while it
        // reads: Xlib has no smaller read.
        const int read = XEventsQueued(display, QueuedAfterReading);
        if (read <= 0)
            return false;  // nothing, or the connection broke
        const std::lock_guard lock(connectionsMutex);
        if (const auto found = connections().find(display); found != connections().end())
            found->second.largestRead = std::max(found->second.largestRead, static_cast<std::size_t>(read));
    }
    XNextEvent(display, &event);
    return true;
}

bool X11Connection::queued(Display* display) { return XEventsQueued(display, QueuedAlready) > 0; }

std::size_t X11Connection::largestRead(Display* display) {
    const std::lock_guard lock(connectionsMutex);
    const auto found = connections().find(display);
    return found == connections().end() ? 0 : found->second.largestRead;
}

}  // namespace platform
