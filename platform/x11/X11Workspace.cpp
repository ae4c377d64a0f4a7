#include "platform/x11/X11Workspace.h"

#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <xcb/xcb.h>
#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Error.h"
#include "platform/x11/X11ClientIdentity.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11ErrorTrap.h"
#include "platform/x11/X11WindowProperty.h"

namespace platform {

namespace {

// A window property that may belong to a window gone meanwhile.
std::optional<unsigned long> cardinalProperty(Display* display, Window window, const char* name, Atom type) {
    X11ErrorTrap trap(display);
    const auto value = x11::singleItemProperty(display, window, XInternAtom(display, name, False), type);
    return trap.errors().empty() ? value : std::nullopt;
}

// Whether the window's WM_CLIENT_MACHINE names this host.
bool madeOnThisHost(Display* display, Window window) {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0)
        return false;
    X11ErrorTrap trap(display);
    XTextProperty machine{};
    if (!XGetWMClientMachine(display, window, &machine))
        return false;
    const std::unique_ptr<unsigned char, int (*)(void*)> owned(machine.value, XFree);
    return machine.value && machine.format == 8 && machine.encoding == XA_STRING &&
           std::string_view(reinterpret_cast<const char*>(machine.value), machine.nitems) == host;
}

// How far up a focus window is looked for its top-level window.
constexpr int kMaxDepth = 64;

// The window's parent; None when the window is gone (or is the root).
Window parentOf(Display* display, Window window) {
    Window root = None, parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return None;
    if (children)
        XFree(children);
    return parent;
}

std::optional<std::string> processName(int pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    if (!comm || !std::getline(comm, name) || name.empty())
        return std::nullopt;
    return name;
}

// Whether one of the process's descriptors is a pseudo-terminal master.
// A process whose descriptors cannot be listed (another user's, or one that
// is not dumpable: EACCES) tells nothing.
bool holdsPseudoTerminalMaster(int pid) {
    if (pid <= 0)
        return false;
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    const std::unique_ptr<DIR, int (*)(DIR*)> descriptors(opendir(folder.c_str()), closedir);
    if (!descriptors)
        return false;
    while (const dirent* entry = readdir(descriptors.get())) {
        char target[32];
        const ssize_t length = readlinkat(dirfd(descriptors.get()), entry->d_name, target, sizeof target);
        if (length <= 0 || static_cast<std::size_t>(length) == sizeof target)
            continue;  // "." and "..", or a longer path than the master's
        const std::string_view path(target, static_cast<std::size_t>(length));
        if (path == "/dev/ptmx" || path == "/dev/pts/ptmx")
            return true;
    }
    return false;
}

}  // namespace

X11Workspace::X11Workspace(const char* displayName) {
    display_ = X11Connection::open(displayName);
    if (!display_)
        throw Error("X11", 0, "Cannot connect to the X display to find the frontmost application");
}

X11Workspace::~X11Workspace() { X11Connection::close(display_); }

int X11Workspace::currentProcessIdentifier() const { return static_cast<int>(getpid()); }

bool X11Workspace::holdsPseudoTerminal(const RunningApplication& app) {
    return holdsPseudoTerminalMaster(app.processIdentifier);
}

bool X11Workspace::hasWindowManager() {
    return cardinalProperty(display_, DefaultRootWindow(display_), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).has_value();
}

unsigned long X11Workspace::activeWindowHint() {
    return cardinalProperty(display_, DefaultRootWindow(display_), "_NET_ACTIVE_WINDOW", XA_WINDOW).value_or(None);
}

unsigned long X11Workspace::focusedTopLevel() {
    // Without a window manager the focus window itself may be a child: walk
    // up to the window just below the root.
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    const Window root = DefaultRootWindow(display_);
    if (focus == None || focus == PointerRoot || focus == root)
        return None;
    X11ErrorTrap trap(display_);
    Window window = focus;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        const Window parent = parentOf(display_, window);
        if (parent == None)
            return None;  // gone meanwhile
        if (parent == root)
            return window;
        window = parent;
    }
    return None;
}

std::optional<RunningApplication> X11Workspace::applicationOf(WindowId window) {
    if (window == None)
        return std::nullopt;
    // The shortcut waits on every round trip here: the two properties are
    // asked for together, and their answers come back with the process's.
    xcb_connection_t* connection = XGetXCBConnection(display_);
    const auto windowId = static_cast<xcb_window_t>(window);
    const auto classCookie = xcb_get_property(connection, 0, windowId, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 1024);
    const auto stateCookie = xcb_get_property(connection, 0, windowId,
                                              static_cast<xcb_atom_t>(XInternAtom(display_, "_NET_WM_STATE", False)),
                                              XCB_ATOM_ATOM, 0, 64);
    const auto pid = processOf(window);
    const auto reply = [connection](xcb_get_property_cookie_t cookie) {
        xcb_generic_error_t* error = nullptr;
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> answer(
            xcb_get_property_reply(connection, cookie, &error), &std::free);
        std::free(error);
        return answer;
    };
    const auto classReply = reply(classCookie);
    const auto stateReply = reply(stateCookie);
    // The first read of the window also tells whether it still exists.
    if (!classReply)
        return std::nullopt;
    RunningApplication app;
    app.window = window;
    // WM_CLASS holds the instance, then the class, each ending in a zero.
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(classReply.get()));
    const std::string_view text(bytes, static_cast<std::size_t>(xcb_get_property_value_length(classReply.get())));
    const std::string_view instance = text.substr(0, text.find('\0'));
    std::string_view className = instance.size() < text.size() ? text.substr(instance.size() + 1) : std::string_view();
    className = className.substr(0, className.find('\0'));
    if (!className.empty())
        app.localizedName = std::string(className);
    if (!instance.empty())
        app.bundleIdentifier = std::string(instance);
    if (stateReply && stateReply->format == 32) {
        const auto* states = static_cast<const xcb_atom_t*>(xcb_get_property_value(stateReply.get()));
        const auto fullscreen = static_cast<xcb_atom_t>(XInternAtom(display_, "_NET_WM_STATE_FULLSCREEN", False));
        for (int i = 0; i < xcb_get_property_value_length(stateReply.get()) / 4; ++i)
            app.fullscreen = app.fullscreen || states[i] == fullscreen;
    }
    app.processIdentifier = pid.value_or(0);
    if (!app.localizedName && app.processIdentifier > 0)
        app.localizedName = processName(app.processIdentifier);
    if (!app.bundleIdentifier)
        app.bundleIdentifier = app.localizedName;
    return app;
}

std::optional<int> X11Workspace::processOf(unsigned long window) {
    // A window's _NET_WM_PID is whatever its program wrote there, if
    // anything, so the terminal check would follow it to any process: the
    // server's word for the client that made the window comes first. The
    // hint stands in only where the server cannot tell (a client over the
    // network, a server without the extension) and the window says it comes
    // from this host: a number from another machine names some unrelated
    // process here.
    if (const auto pid = x11::clientProcesses(display_, {window}).front())
        return pid;
    if (!madeOnThisHost(display_, window))
        return std::nullopt;
    const auto pid = cardinalProperty(display_, window, "_NET_WM_PID", XA_CARDINAL);
    if (!pid || *pid == 0 || *pid > static_cast<unsigned long>(std::numeric_limits<int>::max()))
        return std::nullopt;
    return static_cast<int>(*pid);
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() {
    Window window = activeWindowHint();
    if (window == None && !hasWindowManager())
        window = focusedTopLevel();
    return applicationOf(window);
}

bool X11Workspace::isAlive(const RunningApplication& app) {
    if (app.window == None)
        return false;
    X11ErrorTrap trap(display_);
    XWindowAttributes attributes;
    const Status status = XGetWindowAttributes(display_, app.window, &attributes);
    return status != 0 && trap.sync().empty();
}

bool X11Workspace::hasInputFocus(const RunningApplication& app) {
    // The server's own focus, not the window manager's hint: the hint may
    // name a window whose activation has not taken (yet).
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    const Window root = DefaultRootWindow(display_);
    if (app.window == None || focus == None || focus == PointerRoot)
        return false;
    X11ErrorTrap trap(display_);
    Window window = focus;
    for (int depth = 0; depth < kMaxDepth && window != root && window != None; ++depth) {
        if (window == app.window)
            return true;
        window = parentOf(display_, window);
    }
    return false;
}

bool X11Workspace::activate(const RunningApplication& app) {
    if (!isAlive(app))
        return false;
    const Window root = DefaultRootWindow(display_);
    X11ErrorTrap trap(display_);
    if (hasWindowManager()) {
        // Asked as a pager (source 2), which window managers obey without
        // the focus-stealing checks meant for applications.
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = app.window;
        event.xclient.message_type = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2;
        event.xclient.data.l[1] =
            static_cast<long>(cardinalProperty(display_, app.window, "_NET_WM_USER_TIME", XA_CARDINAL).value_or(0));
        XSendEvent(display_, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
        XRaiseWindow(display_, app.window);
    } else {
        XRaiseWindow(display_, app.window);
        XSetInputFocus(display_, app.window, RevertToParent, CurrentTime);
    }
    // A window that went away in between is not an error for the caller:
    // the next check finds it gone.
    trap.sync();
    return true;
}

}  // namespace platform
