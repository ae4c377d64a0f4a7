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

class PanelWindowSystem {
public:
    virtual ~PanelWindowSystem() = default;

    // Whether a compositing manager runs, so that the transparent parts of a
    // window show what lies below it (otherwise they show black).
    virtual bool compositorRunning() = 0;

    // Keeps the window off the task bar and the pager; call before mapping.
    virtual void prepare(std::uint64_t window) = 0;

    // Where any top-level window of the desktop is (another program's too),
    // or none when it no longer exists.
    virtual std::optional<WindowRect> windowGeometry(std::uint64_t window) = 0;

    // Gives the mapped window the keyboard, as the answer to the user's last
    // hot-key press (so focus-stealing prevention lets it through).
    virtual void activate(std::uint64_t window) = 0;
};

}  // namespace platform
