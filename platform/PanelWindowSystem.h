#pragma once

#include <cstdint>
#include <optional>

namespace platform {

// What the floating panel needs of the window system beyond its toolkit.
// Windows are named by their native id.
// A window's place on the desktop, in root-window pixels (y down).
struct WindowRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const WindowRect&, const WindowRect&) = default;
};

// What came of asking for the panel's keyboard and pointer grabs.
enum class InputGrab {
    taken,
    // Not while a pointer button is down: a system move may be starting or
    // ending, and it needs the pointer.
    buttonDown,
    // Another client holds the keyboard or the pointer, or the window is not
    // viewable yet.
    refused,
    // This window system has no such grabs.
    unsupported,
};

class PanelWindowSystem {
public:
    virtual ~PanelWindowSystem() = default;

    // Whether a compositing manager runs, so that the transparent parts of a
    // window show what lies below it (otherwise they show black).
    virtual bool compositorRunning() = 0;

    // Gives the unmapped window the states of a new panel window (off the
    // task bar and the pager) and no others; call before each mapping (a
    // window manager may forget a window's states once it is unmapped, or
    // keep them). Costs no round trip to the server.
    virtual void prepare(std::uint64_t window) = 0;
    // Looks again at what activate() relies on and may have changed on the
    // desktop (which window manager runs); called where nothing waits for
    // it, so that showing a window costs no round trip for it.
    virtual void refresh() {}

    // Where any top-level window of the desktop is (another program's too),
    // or none when it no longer exists.
    virtual std::optional<WindowRect> windowGeometry(std::uint64_t window) = 0;

    // Gives the mapped window the keyboard, as the answer to the user's last
    // hot-key press (so focus-stealing prevention lets it through).
    virtual void activate(std::uint64_t window) = 0;

    // Takes an active keyboard grab and an active pointer grab for the
    // window, with owner events on (the program's own windows still get
    // their events; everything else comes to this window), after our own hot
    // key's grab was let go of. Both or neither.
    virtual InputGrab grabInput(std::uint64_t /*window*/) { return InputGrab::unsupported; }
    // Lets go of both grabs, and waits until the server has done so.
    virtual void releaseInput() {}
    // Lets go of the keyboard grab alone, without waiting for the server:
    // before the window is unmapped, so that no key typed after comes to a
    // window that is gone.
    virtual void releaseKeyboard() {}

    // Whether a press with this X key code and modifier state is one of the
    // global shortcuts (it does nothing).
    virtual bool isShortcut(std::uint32_t /*keyCode*/, std::uint32_t /*state*/) { return false; }

    // A key event the grab brought to one of our windows (X key code and
    // modifier state, server time): when it is a global shortcut, does what
    // the shortcut does (nothing for an auto-repeat: the key was held since
    // before) and answers true; false for any other key.
    virtual bool shortcutKey(bool /*press*/, bool /*autoRepeat*/, std::uint32_t /*keyCode*/, std::uint32_t /*state*/,
                             std::uint32_t /*time*/) {
        return false;
    }
};

}  // namespace platform
