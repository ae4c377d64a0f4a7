#pragma once

#include <memory>

#include "platform/MainLoop.h"

struct _XDisplay;

namespace platform {

class ApplicationActivationEvents;

// Reports every change of the window manager's active window (the root
// window's _NET_ACTIVE_WINDOW) as an application activation. It keeps a
// display connection of its own, whose descriptor the main loop watches, so
// reports arrive on the main thread.
class X11ActiveWindowWatcher {
public:
    // Connects to `displayName` (null: $DISPLAY); throws platform::Error when
    // there is no display.
    X11ActiveWindowWatcher(std::shared_ptr<MainLoop> loop, std::shared_ptr<ApplicationActivationEvents> events,
                           const char* displayName = nullptr);
    ~X11ActiveWindowWatcher();
    X11ActiveWindowWatcher(const X11ActiveWindowWatcher&) = delete;
    X11ActiveWindowWatcher& operator=(const X11ActiveWindowWatcher&) = delete;

    // Handles every event the connection has queued (the main loop calls it
    // when the descriptor is readable).
    void processPendingEvents();

private:
    unsigned long activeWindow() const;

    std::shared_ptr<MainLoop> loop_;
    std::shared_ptr<ApplicationActivationEvents> events_;
    _XDisplay* display_ = nullptr;
    unsigned long root_ = 0;
    unsigned long activeWindowAtom_ = 0;
    unsigned long lastActive_ = 0;
    MainLoop::Id watch_ = 0;
};

}  // namespace platform
