#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/MainLoop.h"
#include "platform/MonotonicClock.h"

struct _XDisplay;

namespace platform {

class ApplicationActivationEvents;
class X11EventPump;

// Reports every change of the window manager's active window (the root
// window's _NET_ACTIVE_WINDOW) as an application activation. It keeps a
// display connection of its own, whose descriptor the main loop watches, so
// reports arrive on the main thread. Any client may change the root's
// properties without end: a turn of the loop takes kEventsPerTurn events and
// kTurnTime at most, and looks the active window up once. A connection that
// broke is opened again.
class X11ActiveWindowWatcher {
public:
    static constexpr int kEventsPerTurn = 64;
    static constexpr std::chrono::milliseconds kTurnTime{5};

    // Connects to `displayName` (null: $DISPLAY); throws platform::Error when
    // there is no display.
    X11ActiveWindowWatcher(std::shared_ptr<MainLoop> loop, std::shared_ptr<ApplicationActivationEvents> events,
                           const char* displayName = nullptr, std::shared_ptr<MonotonicClock> clock = nullptr);
    ~X11ActiveWindowWatcher();
    X11ActiveWindowWatcher(const X11ActiveWindowWatcher&) = delete;
    X11ActiveWindowWatcher& operator=(const X11ActiveWindowWatcher&) = delete;

    // Handles the events the connection has queued, within the caps (the
    // main loop calls it when the descriptor is readable).
    void processPendingEvents();

private:
    void connect();
    void afterTurn();
    unsigned long activeWindow() const;

    std::shared_ptr<MainLoop> loop_;
    std::shared_ptr<ApplicationActivationEvents> events_;
    std::optional<std::string> displayName_;
    std::shared_ptr<MonotonicClock> clock_;
    _XDisplay* display_ = nullptr;
    std::unique_ptr<X11EventPump> pump_;
    unsigned long root_ = 0;
    unsigned long activeWindowAtom_ = 0;
    unsigned long lastActive_ = 0;
    bool changed_ = false;
    bool reconnecting_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace platform
