#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/PanelWindowSystem.h"

struct _XDisplay;

namespace platform {

class HotKeyBackend;

// The panel's window-system services on X11, sent on the connection of the
// toolkit that made the window (so they reach the server after its own
// requests, the window's map among them). The connection stays the
// toolkit's: this object neither reads its events nor closes it, and relies
// on the toolkit's handler to ignore the errors of requests about windows
// that have gone.
class X11PanelWindowSystem final : public PanelWindowSystem {
public:
    // `hotKeys` gives the program's hot-key service (none: no hot keys),
    // asked for the time stamp of the user's last hot-key press (0: none
    // known, the server's current time is used), to let go of its own grab
    // and to match keys against the global shortcuts.
    X11PanelWindowSystem(_XDisplay* display, std::function<std::shared_ptr<HotKeyBackend>()> hotKeys);

    // A compositing manager owns the selection _NET_WM_CM_S<screen>.
    bool compositorRunning() override;
    // Sets the skip-task-bar and skip-pager states, in place of any left.
    void prepare(std::uint64_t window) override;
    // Whether an EWMH window manager runs: two round trips.
    void refresh() override;
    std::optional<WindowRect> windowGeometry(std::uint64_t window) override;
    // Asks the window manager through _NET_ACTIVE_WINDOW, as an application
    // answering the press (source 1, the press's time stamp); without a
    // window manager, sets the input focus itself.
    void activate(std::uint64_t window) override;
    // XGrabKeyboard and XGrabPointer, owner events on, asynchronous. Only
    // this connection's own keyboard grab can follow the hot key's, which
    // lives on the hot-key service's connection: that one is ended first.
    InputGrab grabInput(std::uint64_t window) override;
    void releaseInput() override;
    void releaseKeyboard() override;
    bool isShortcut(std::uint32_t keyCode, std::uint32_t state) override;
    bool shortcutKey(bool press, bool autoRepeat, std::uint32_t keyCode, std::uint32_t state,
                     std::uint32_t time) override;

private:
    unsigned long atom(const char* name);
    bool windowManagerRunning();

    _XDisplay* display_;
    std::function<std::shared_ptr<HotKeyBackend>()> hotKeys_;
    // Interned at once when made, so that no showing waits for them.
    unsigned long compositorSelection_ = 0;
    unsigned long netWmState_ = 0;
    unsigned long skipTaskbar_ = 0;
    unsigned long skipPager_ = 0;
    // Whether a window manager ran when last looked at (refresh()).
    std::optional<bool> windowManager_;
};

}  // namespace platform
