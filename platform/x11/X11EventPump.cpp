#include "platform/x11/X11EventPump.h"

#include <X11/Xlib.h>

#include <algorithm>

#include "platform/x11/X11Connection.h"

namespace platform {

X11EventPump::X11EventPump(Display* display, std::shared_ptr<MainLoop> loop, Caps caps,
                           std::shared_ptr<MonotonicClock> clock, Handler handle, std::function<void()> afterTurn)
    : display_(display),
      loop_(std::move(loop)),
      caps_(caps),
      clock_(clock ? std::move(clock) : MonotonicClock::steady()),
      handle_(std::move(handle)),
      afterTurn_(std::move(afterTurn)) {
    if (loop_)
        watch_ = loop_->watchReadable(ConnectionNumber(display_), [this] { turn(); });
}

X11EventPump::~X11EventPump() {
    *alive_ = false;
    stop();
}

void X11EventPump::stop() {
    if (loop_)
        loop_->cancel(watch_);
    watch_ = 0;
}

void X11EventPump::turn() {
    const auto alive = alive_;
    const auto deadline = clock_->now() + caps_.time;
    int taken = 0;
    // The time is looked at after every event: a handler may be slow.
    for (XEvent event; taken < caps_.events && clock_->now() < deadline;) {
        if (!X11Connection::takeEvent(display_, event))
            break;
        ++taken;
        ++stats_.events;
        handle_(event);
        if (!*alive)
            return;  // a handler ended the pump's owner
    }
    ++stats_.turns;
    stats_.mostInOneTurn = std::max(stats_.mostInOneTurn, taken);
    if (afterTurn_) {
        const auto afterTurn = afterTurn_;  // it may end this pump
        afterTurn();
    }
    if (!*alive)
        return;
    XFlush(display_);  // what the handlers wrote (answers, requests)
    if (X11Connection::broken(display_)) {
        stop();  // its descriptor would stay readable for good
        return;
    }
    if (!loop_ || turnPosted_ || !X11Connection::queued(display_))
        return;
    turnPosted_ = true;
    loop_->post([this, alive = std::weak_ptr<bool>(alive_)] {
        const auto flag = alive.lock();
        if (!flag || !*flag)
            return;
        turnPosted_ = false;
        turn();
    });
}

}  // namespace platform
