#include "platform/x11/X11PrimarySelection.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include "platform/Error.h"
#include "platform/x11/X11ErrorTrap.h"

namespace platform {

namespace {

// A selection larger than this is not taken: nobody asks a model about it.
constexpr std::size_t kMaxSelection = 64 * 1024 * 1024;

// The part of a resource id that names the X client that made it. The
// server gives every client the same mask; Xlib's public view of the
// display keeps it as `private4` (base, mask and next id are private3-5).
unsigned long clientBase(Display* display, unsigned long id) {
    return id & ~reinterpret_cast<_XPrivDisplay>(display)->private4;
}

}  // namespace

X11PrimarySelection::X11PrimarySelection(const char* displayName, std::chrono::milliseconds timeout)
    : timeout_(timeout) {
    display_ = XOpenDisplay(displayName);
    if (!display_)
        throw Error("X11", 0, "Cannot connect to the X display to read the selection");
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    window_ = XCreateWindow(display_, DefaultRootWindow(display_), -10, -10, 1, 1, 0, CopyFromParent, InputOnly,
                            CopyFromParent, CWEventMask, &attributes);
}

X11PrimarySelection::~X11PrimarySelection() {
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
}

bool X11PrimarySelection::ownedBy(const RunningApplication& app) {
    const Window owner = XGetSelectionOwner(display_, XA_PRIMARY);
    return owner != None && app.window != None && clientBase(display_, owner) == clientBase(display_, app.window);
}

AccessibilityClient::FocusedElement X11PrimarySelection::focusedElement(const RunningApplication& app) {
    if (!ownedBy(app))
        return {FocusedElement::State::noElement, 0};
    return {FocusedElement::State::found, app.window};
}

std::optional<std::string> X11PrimarySelection::text(const RunningApplication& app, std::optional<ElementId>,
                                                     Attribute attribute) {
    if (attribute != Attribute::selectedText || !ownedBy(app))
        return std::nullopt;
    return read();
}

bool X11PrimarySelection::waitFor(int type, unsigned long property, void* out,
                                  std::chrono::steady_clock::time_point deadline) {
    auto* event = static_cast<XEvent*>(out);
    for (;;) {
        while (XPending(display_) > 0) {
            XNextEvent(display_, event);
            if (event->type != type || event->xany.window != window_)
                continue;
            if (type == SelectionNotify && event->xselection.selection == XA_PRIMARY)
                return true;
            if (type == PropertyNotify && event->xproperty.atom == property &&
                event->xproperty.state == PropertyNewValue)
                return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd fd{ConnectionNumber(display_), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left.count()));
    }
}

// Reads and deletes the property; `type` gets its type.
std::optional<std::string> X11PrimarySelection::takeProperty(unsigned long property, unsigned long* type) {
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    X11ErrorTrap trap(display_);
    Atom actualType = None;
    const int status = XGetWindowProperty(display_, window_, property, 0, static_cast<long>(kMaxSelection / 4), True,
                                          AnyPropertyType, &actualType, &format, &count, &remaining, &data);
    std::optional<std::string> result;
    if (status == Success && trap.sync().empty() && remaining == 0 && data)
        result = std::string(reinterpret_cast<const char*>(data), count * static_cast<unsigned long>(format / 8));
    if (data)
        XFree(data);
    *type = actualType;
    return result;
}

std::optional<std::string> X11PrimarySelection::readIncrementally(unsigned long property,
                                                                  std::chrono::steady_clock::time_point deadline) {
    std::string text;
    for (;;) {
        XEvent event;
        if (!waitFor(PropertyNotify, property, &event, deadline))
            return std::nullopt;
        unsigned long type = None;
        auto chunk = takeProperty(property, &type);
        if (!chunk)
            return std::nullopt;
        if (chunk->empty())
            return text;
        if (text.size() + chunk->size() > kMaxSelection)
            return std::nullopt;
        text += *chunk;
        // Each chunk gives the owner a fresh time-out: a large selection
        // takes as long as it takes, a stalled one ends.
        deadline = std::chrono::steady_clock::now() + timeout_;
    }
}

std::optional<std::string> X11PrimarySelection::read() {
    if (XGetSelectionOwner(display_, XA_PRIMARY) == None)
        return std::nullopt;
    const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
    const Atom property = XInternAtom(display_, "QUILLARY_SELECTION", False);
    const Atom incr = XInternAtom(display_, "INCR", False);
    XDeleteProperty(display_, window_, property);
    XConvertSelection(display_, XA_PRIMARY, utf8, property, window_, CurrentTime);
    XFlush(display_);
    const auto deadline = std::chrono::steady_clock::now() + timeout_;
    XEvent event;
    if (!waitFor(SelectionNotify, property, &event, deadline) || event.xselection.property == None)
        return std::nullopt;
    unsigned long type = None;
    auto text = takeProperty(property, &type);
    if (type == incr)
        return readIncrementally(property, deadline);
    if (type != utf8)
        return std::nullopt;
    return text;
}

}  // namespace platform
