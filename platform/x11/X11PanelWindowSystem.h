#pragma once

#include <cstdint>
#include <functional>

#include "platform/PanelWindowSystem.h"

struct _XDisplay;

namespace platform {

// The panel's window-system services on X11, sent on the connection of the
// toolkit that made the window (so they reach the server after its own
// requests, the window's map among them). The connection stays the
// toolkit's: this object neither reads its events nor closes it, and relies
// on the toolkit's handler to ignore the errors of requests about windows
// that have gone.
class X11PanelWindowSystem final : public PanelWindowSystem {
public:
    // `userTime` gives the time stamp of the user's last hot-key press (0:
    // none known, the server's current time is used).
    X11PanelWindowSystem(_XDisplay* display, std::function<std::uint32_t()> userTime);

    // A compositing manager owns the selection _NET_WM_CM_S<screen>.
    bool compositorRunning() override;
    // Adds the skip-task-bar and skip-pager states.
    void prepare(std::uint64_t window) override;
    std::optional<WindowRect> windowGeometry(std::uint64_t window) override;
    // Asks the window manager through _NET_ACTIVE_WINDOW, as an application
    // answering the press (source 1, the press's time stamp); without a
    // window manager, sets the input focus itself.
    void activate(std::uint64_t window) override;

private:
    unsigned long atom(const char* name);
    bool windowManagerRunning();

    _XDisplay* display_;
    std::function<std::uint32_t()> userTime_;
};

}  // namespace platform
