#pragma once

#include <memory>

#include "platform/Workspace.h"

struct _XDisplay;

namespace platform {

// The desktop's applications through the window manager's hints: the
// frontmost one is the window in the root's _NET_ACTIVE_WINDOW (or, without
// a window manager, the top-level window holding the input focus), named
// by its WM_CLASS. Its process is its X client's, through the X Resource
// extension. Keeps a display connection of its own; the process behind a
// window is looked at in /proc.
class X11Workspace final : public Workspace {
public:
    // Connects to `displayName` (null: $DISPLAY); throws platform::Error when
    // there is no display.
    explicit X11Workspace(const char* displayName = nullptr);
    ~X11Workspace() override;
    X11Workspace(const X11Workspace&) = delete;
    X11Workspace& operator=(const X11Workspace&) = delete;

    std::optional<RunningApplication> frontmostApplication() override;
    bool activate(const RunningApplication& app) override;
    bool isAlive(const RunningApplication& app) override;
    bool hasInputFocus(const RunningApplication& app) override;
    bool holdsPseudoTerminal(const RunningApplication& app) override;
    int currentProcessIdentifier() const override;

    // What the desktop says of one top-level window; none when it is gone.
    std::optional<RunningApplication> applicationOf(WindowId window);

private:
    // The process of the client that made `window`, or of its _NET_WM_PID.
    std::optional<int> processOf(unsigned long window);
    unsigned long activeWindowHint();
    unsigned long focusedTopLevel();
    bool hasWindowManager();

    _XDisplay* display_ = nullptr;
};

}  // namespace platform
