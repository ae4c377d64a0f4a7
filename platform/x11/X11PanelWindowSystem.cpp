#include "platform/x11/X11PanelWindowSystem.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <string>
#include <vector>

#include "platform/HotKeyBackend.h"
#include "platform/x11/X11WindowProperty.h"

namespace platform {

X11PanelWindowSystem::X11PanelWindowSystem(Display* display,
                                           std::function<std::shared_ptr<HotKeyBackend>()> hotKeys)
    : display_(display), hotKeys_(std::move(hotKeys)) {
    std::string names[] = {"_NET_WM_CM_S" + std::to_string(DefaultScreen(display_)), "_NET_WM_STATE",
                           "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"};
    char* pointers[] = {names[0].data(), names[1].data(), names[2].data(), names[3].data()};
    Atom atoms[4] = {};
    XInternAtoms(display_, pointers, 4, False, atoms);
    compositorSelection_ = atoms[0];
    netWmState_ = atoms[1];
    skipTaskbar_ = atoms[2];
    skipPager_ = atoms[3];
}

unsigned long X11PanelWindowSystem::atom(const char* name) { return XInternAtom(display_, name, False); }

bool X11PanelWindowSystem::compositorRunning() { return XGetSelectionOwner(display_, compositorSelection_) != None; }

bool X11PanelWindowSystem::windowManagerRunning() {
    // An EWMH window manager names its check window on the root window and
    // on that window itself; a stale property from one that exited does not.
    const Atom check = atom("_NET_SUPPORTING_WM_CHECK");
    const Window wm = x11::singleItemProperty(display_, DefaultRootWindow(display_), check, XA_WINDOW).value_or(None);
    return wm != None && x11::singleItemProperty(display_, wm, check, XA_WINDOW).value_or(None) == wm;
}

void X11PanelWindowSystem::refresh() { windowManager_ = windowManagerRunning(); }

void X11PanelWindowSystem::prepare(std::uint64_t window) {
    // An unmapped window's states are its own property; the window manager
    // reads it when the window is mapped. Written whole, not added to: a
    // window shown before may still carry what a window manager that keeps
    // the property left there, and adding would repeat states. The toolkit,
    // mapping the window, adds its own (above) to what it finds.
    const Atom states[] = {skipTaskbar_, skipPager_};
    XChangeProperty(display_, window, netWmState_, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(states), 2);
    XFlush(display_);
}

std::optional<WindowRect> X11PanelWindowSystem::windowGeometry(std::uint64_t window) {
    // A window that is gone answers with an error, which the toolkit's
    // handler of this connection ignores; the calls then report failure.
    XWindowAttributes attributes;
    if (window == 0 || !XGetWindowAttributes(display_, window, &attributes)) return std::nullopt;
    int x = 0;
    int y = 0;
    Window child = None;
    if (!XTranslateCoordinates(display_, window, attributes.root, 0, 0, &x, &y, &child)) return std::nullopt;
    return WindowRect{x, y, attributes.width, attributes.height};
}

void X11PanelWindowSystem::activate(std::uint64_t window) {
    const auto hotKeys = hotKeys_ ? hotKeys_() : nullptr;
    const Time time = hotKeys ? hotKeys->lastPressTime() : CurrentTime;
    const Window root = DefaultRootWindow(display_);
    if (!windowManager_) refresh();
    if (*windowManager_) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = atom("_NET_ACTIVE_WINDOW");
        event.xclient.format = 32;
        event.xclient.data.l[0] = 1;  // an application's request
        event.xclient.data.l[1] = static_cast<long>(time);
        event.xclient.data.l[2] = None;  // no window of ours is active
        XSendEvent(display_, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
        XRaiseWindow(display_, window);
    } else {
        // Without a window manager the map is not redirected, so the window
        // is viewable by the time the server reaches this request.
        XSetInputFocus(display_, window, RevertToParent, time);
    }
    XFlush(display_);
}

InputGrab X11PanelWindowSystem::grabInput(std::uint64_t window) {
    // A button still down is a press whose window may be starting a system
    // move (which needs the pointer) or ending one: the grab waits for it.
    Window root = None, child = None;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned buttons = 0;
    constexpr unsigned kButtons = Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask;
    if (XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rootX, &rootY, &x, &y, &buttons) &&
        (buttons & kButtons) != 0)
        return InputGrab::buttonDown;
    if (const auto hotKeys = hotKeys_ ? hotKeys_() : nullptr) hotKeys->releaseActiveGrab();
    const int keyboard = XGrabKeyboard(display_, window, True, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (keyboard != GrabSuccess) return InputGrab::refused;
    constexpr unsigned kPointerEvents = ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                                        LeaveWindowMask;
    const int pointer = XGrabPointer(display_, window, True, kPointerEvents, GrabModeAsync, GrabModeAsync, None,
                                     None, CurrentTime);
    if (pointer != GrabSuccess) {
        XUngrabKeyboard(display_, CurrentTime);
        XFlush(display_);
        return InputGrab::refused;
    }
    return InputGrab::taken;
}

void X11PanelWindowSystem::releaseKeyboard() {
    XUngrabKeyboard(display_, CurrentTime);
    // Out before the toolkit's own requests that follow (the unmap).
    XFlush(display_);
}

void X11PanelWindowSystem::releaseInput() {
    XUngrabPointer(display_, CurrentTime);
    XUngrabKeyboard(display_, CurrentTime);
    // The next request of another connection (a typed key, an activation)
    // must find the grabs gone.
    XSync(display_, False);
    // Hot keys whose release the grab took count as released.
    if (const auto hotKeys = hotKeys_ ? hotKeys_() : nullptr) hotKeys->releaseActiveGrab();
}

bool X11PanelWindowSystem::isShortcut(std::uint32_t keyCode, std::uint32_t state) {
    const auto hotKeys = hotKeys_ ? hotKeys_() : nullptr;
    return hotKeys && hotKeys->isHotKeyPress(keyCode, state);
}

bool X11PanelWindowSystem::shortcutKey(bool press, bool autoRepeat, std::uint32_t keyCode, std::uint32_t state,
                                       std::uint32_t time) {
    const auto hotKeys = hotKeys_ ? hotKeys_() : nullptr;
    return hotKeys && hotKeys->deliverKey(press ? HotKeyEventKind::pressed : HotKeyEventKind::released, autoRepeat,
                                          keyCode, state, time);
}

}  // namespace platform
