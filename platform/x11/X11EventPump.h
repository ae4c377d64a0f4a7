#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "platform/MainLoop.h"
#include "platform/MonotonicClock.h"

using Display = struct _XDisplay;
union _XEvent;

namespace platform {

// Serves an X connection of the program's own from the main loop, between
// its uses too, in bounded turns: a turn takes the events that have come,
// `events` of them at most and none once `time` has passed since it began
// (on `clock`), hands each to `handle`, then calls `afterTurn`; what is left
// in Xlib's queue, which a watch of the descriptor does not see, gets a
// turn of its own, posted. So another client that floods the connection
// holds no turn of the loop for long, and what it sends is read as it comes
// instead of piling up on the server until the next use reads all of it at
// once. A connection that broke gets no more turns.
//
// A null loop: no watch; turn() serves the connection when called.
class X11EventPump {
public:
    struct Caps {
        int events = 64;
        std::chrono::milliseconds time{5};
    };
    using Handler = std::function<void(_XEvent&)>;

    X11EventPump(Display* display, std::shared_ptr<MainLoop> loop, Caps caps, std::shared_ptr<MonotonicClock> clock,
                 Handler handle, std::function<void()> afterTurn = {});
    ~X11EventPump();
    X11EventPump(const X11EventPump&) = delete;
    X11EventPump& operator=(const X11EventPump&) = delete;

    // One turn, now.
    void turn();

    bool watched() const { return loop_ != nullptr; }

    // For a look at a flood.
    struct Stats {
        int turns = 0;
        int mostInOneTurn = 0;  // events
        long events = 0;
    };
    const Stats& stats() const { return stats_; }

private:
    void stop();

    Display* display_;
    std::shared_ptr<MainLoop> loop_;
    Caps caps_;
    std::shared_ptr<MonotonicClock> clock_;
    Handler handle_;
    std::function<void()> afterTurn_;
    MainLoop::Id watch_ = 0;
    bool turnPosted_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    Stats stats_;
};

}  // namespace platform
