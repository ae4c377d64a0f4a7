#pragma once

#include <cstddef>
#include <functional>

using Display = struct _XDisplay;
union _XEvent;

namespace platform {

// Every X connection the program opens of its own (not Qt's) goes through
// here, so that the program's end can tell whether one is still open
// (openCount()): a connection left to exit keeps its grabs and selections
// until the server notices the process is gone.
//
//   display_ = X11Connection::open(displayName);   // null when it cannot
//   X11Connection::close(display_);
//
// A connection opened with `reopened` that breaks (the server drops it, as
// it does with a client that left it more than it can buffer, or it is
// killed) ends its own helper, not the program as Xlib's default would: one
// log line, and broken(display) holds from then on; its helper closes it and
// opens a new one at its next use. On such a connection an error of a
// request that no X11ErrorTrap waits for (an answer written to a window gone
// meanwhile) is dropped. Other connections end the program as before.
//
// Once broken, such a connection answers Xlib's other calls at once, but its
// waits for an event never return: XIfEvent, XWindowEvent and XMaskEvent
// spin, and XNextEvent and XPeekEvent on an empty queue crash. So an event
// is waited for there only by looking (takeEvent, XCheckIfEvent) and polling
// the descriptor until a deadline, broken() looked at after each step, and
// XNextEvent runs only on a queue known to hold an event.
class X11Connection {
public:
    static Display* open(const char* displayName, bool reopened = false);
    static void close(Display* display);  // null does nothing
    static std::size_t openCount();

    static bool broken(Display* display);

    // The next event, from Xlib's queue or, only when that is empty, from
    // what has come on the socket; false when there is none now (or the
    // connection broke). Never waits, never searches the queue. A loop that
    // takes a bounded number of events a turn with it reads the socket once
    // per emptied queue, never onto a queue it has not worked off.
    static bool takeEvent(Display* display, _XEvent& event);

    // Whether events wait in Xlib's queue, where a watch of the descriptor
    // does not see them.
    static bool queued(Display* display);

    // Drops the events `keep` turns down as Xlib reads them, in any call
    // that reads (a wait for a reply too), before they take room in its
    // queue: what another client sends without end then costs no memory,
    // however long it goes on and whoever reads. `keep` runs inside Xlib and
    // calls no Xlib function. Call it again once an extension that brings
    // events of its own (XFixes) is set up.
    static void filterEvents(Display* display, std::function<bool(const _XEvent&)> keep);

    // For a look at a flood: the most events Xlib's queue held after one
    // read on `display`, and the events the filter dropped.
    static std::size_t largestRead(Display* display);
    static long droppedEvents(Display* display);
};

}  // namespace platform
