#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

#include "platform/MainLoop.h"
#include "platform/MonotonicClock.h"
#include "platform/SelectionOwner.h"
#include "platform/x11/X11EventPump.h"

struct _XDisplay;

namespace platform {

// Serves the program's own text on CLIPBOARD and PRIMARY from a display
// connection and hidden window of its own, which the main loop watches: each
// request is answered on the main thread as it comes, and its requester's
// process is looked up through the X Resource extension. Offers the text as
// UTF8_STRING, text/plain;charset=utf-8, TEXT and STRING (Latin-1, other
// characters as "?"); a text too large for one request is refused.
//
// The main loop reads the connection from the start, between offers too, at
// most kEventsPerTurn events and kTurnTime a turn: a client that floods the
// owner's window neither holds the loop nor leaves a backlog that a later
// read would take whole. A turn waits on no reply over that connection,
// which would read everything queued before it: whether the selections are
// still ours and who asked are looked up on a second connection, which has
// no window another client could flood. A connection that broke is opened
// again at the next offer, and by an offer that finds it broken on its way;
// where it cannot be, every call returns at once with nothing owned.
class X11SelectionOwner final : public SelectionOwner {
public:
    static constexpr int kEventsPerTurn = 64;
    // Requests held unanswered at most; a flood's past them are dropped.
    static constexpr std::size_t kMaxQueuedRequests = 1 << 17;
    static constexpr std::chrono::milliseconds kTurnTime{5};
    // How long an offer waits for the server's time stamp of its ownership,
    // which a server that is not stuck gives in one round trip.
    static constexpr std::chrono::milliseconds kStampWait{1000};

    // Opens one of the owner's connections to `displayName` (null:
    // $DISPLAY) as X11Connection::open(displayName, true) does; null when it
    // cannot.
    using Connect = std::function<_XDisplay*(const char* displayName)>;

    // Connects to `displayName` (null: $DISPLAY); throws platform::Error when
    // there is no display. `loop` null: the program's main loop, where there
    // is one already, else at the first offer. `connect` null:
    // X11Connection's.
    explicit X11SelectionOwner(std::shared_ptr<MainLoop> loop = nullptr, const char* displayName = nullptr,
                               std::shared_ptr<MonotonicClock> clock = nullptr, Connect connect = nullptr);
    ~X11SelectionOwner() override;
    X11SelectionOwner(const X11SelectionOwner&) = delete;
    X11SelectionOwner& operator=(const X11SelectionOwner&) = delete;

    bool offer(std::string text, Selections selections, const RunningApplication& pasteInto,
               std::function<void()> onFetched) override;
    bool ownsClipboard() override;
    void releaseClipboard() override;

    // Answers the requests that have arrived, at most kEventsPerTurn a turn
    // (the rest on a turn posted to the main loop), asking the server
    // whether the selections are still ours before the first (not again
    // within kTurnTime of the last look); the main loop
    // calls it.
    void processPendingEvents();

    // The events that came to the owner's connection and wait unread.
    std::size_t unreadEventsForTesting();
    // The turns that read the connection so far.
    X11EventPump::Stats turnsForTesting() const;
    unsigned long windowForTesting() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
