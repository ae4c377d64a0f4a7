#pragma once

#include <cstddef>
#include <memory>

#include "platform/MainLoop.h"
#include "platform/SelectionOwner.h"

struct _XDisplay;

namespace platform {

// Serves the program's own text on CLIPBOARD and PRIMARY from a display
// connection and hidden window of its own, which the main loop watches: each
// request is answered on the main thread as it comes, and its requester's
// process is looked up through the X Resource extension. Offers the text as
// UTF8_STRING, text/plain;charset=utf-8, TEXT and STRING (Latin-1, other
// characters as "?"); a text too large for one request is refused.
class X11SelectionOwner final : public SelectionOwner {
public:
    // Connects to `displayName` (null: $DISPLAY); throws platform::Error when
    // there is no display. `loop` null: the program's main loop at the first
    // offer.
    explicit X11SelectionOwner(std::shared_ptr<MainLoop> loop = nullptr, const char* displayName = nullptr);
    ~X11SelectionOwner() override;
    X11SelectionOwner(const X11SelectionOwner&) = delete;
    X11SelectionOwner& operator=(const X11SelectionOwner&) = delete;

    bool offer(std::string text, Selections selections, const RunningApplication& pasteInto,
               std::function<void()> onFetched) override;
    bool ownsClipboard() override;
    void releaseClipboard() override;

    // Answers the requests that have arrived, at most 64 a turn (the rest on
    // a turn posted to the main loop), after asking the server whether the
    // selections are still ours; the main loop calls it.
    void processPendingEvents();

    // The events that came to the owner's connection and wait unread.
    std::size_t unreadEventsForTesting();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
