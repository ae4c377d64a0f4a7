#pragma once

#include <cstdint>

namespace platform {

// What the floating panel needs of the window system beyond its toolkit.
// Windows are named by their native id.
class PanelWindowSystem {
public:
    virtual ~PanelWindowSystem() = default;

    // Whether a compositing manager runs, so that the transparent parts of a
    // window show what lies below it (otherwise they show black).
    virtual bool compositorRunning() = 0;

    // Keeps the window off the task bar and the pager; call before mapping.
    virtual void prepare(std::uint64_t window) = 0;

    // Gives the mapped window the keyboard, as the answer to the user's last
    // hot-key press (so focus-stealing prevention lets it through).
    virtual void activate(std::uint64_t window) = 0;
};

}  // namespace platform
