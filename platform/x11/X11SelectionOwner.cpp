#include "platform/x11/X11SelectionOwner.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/Logger.h"
#include "platform/Unicode.h"
#include "platform/x11/X11ClientIdentity.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11EventPump.h"

namespace platform {

namespace {

const Logger& logger() {
    static const Logger log("quillary", "selection");
    return log;
}

}  // namespace

struct X11SelectionOwner::State {
    std::optional<std::string> displayName;
    Display* display = nullptr;
    // Asks the server things in a turn; it has no window, so nothing queues
    // on it.
    Display* query = nullptr;
    Connect open;
    Window window = None;
    std::shared_ptr<MainLoop> loop;
    std::shared_ptr<MonotonicClock> clock;
    // Events taken off the queue in one turn of the main loop are capped: a
    // client that floods the owner with requests must not hold the loop
    // (the panel, the shortcuts, the give-back's timer) for as long as it
    // likes.
    std::unique_ptr<X11EventPump> pump;
    bool checkedThisTurn = false;
    MonotonicClock::TimePoint checkedAt{};
    std::size_t queuedRequests = 0;  // kept by the filter, not yet answered
    std::vector<Window> fetchers;  // of this turn
    // Counts the offers, so that a fetch seen for one is not told to the next.
    unsigned long offers = 0;

    Atom clipboard = None, targets = None, timestamp = None, utf8 = None, textPlainUtf8 = None, text = None,
         stamp = None;

    // Opens the connections and the window; throws platform::Error when it
    // cannot.
    void connect() {
        display = open(displayName ? displayName->c_str() : nullptr);
        if (!display)
            throw Error("X11", 0, "Cannot connect to the X display to hand over the answer");
        query = open(displayName ? displayName->c_str() : nullptr);
        window = XCreateWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, 0, InputOnly, CopyFromParent,
                               0, nullptr);
        clipboard = XInternAtom(display, "CLIPBOARD", False);
        targets = XInternAtom(display, "TARGETS", False);
        timestamp = XInternAtom(display, "TIMESTAMP", False);
        utf8 = XInternAtom(display, "UTF8_STRING", False);
        textPlainUtf8 = XInternAtom(display, "text/plain;charset=utf-8", False);
        text = XInternAtom(display, "TEXT", False);
        stamp = XInternAtom(display, "QUILLARY_TIME_STAMP", False);
        // Requests wait in Xlib's queue for their turn, up to a bound; past
        // it a flood's are dropped as they are read, unanswered (their
        // requestors give up as on any owner that does not answer), so that
        // no client can make the queue hold more. Anything else but the
        // clears and the time stamp is dropped.
        X11Connection::filterEvents(display, [this](const XEvent& event) {
            if (event.type == SelectionRequest) {
                if (queuedRequests >= kMaxQueuedRequests)
                    return false;
                ++queuedRequests;
                return true;
            }
            return event.type == SelectionClear ||
                   (event.type == PropertyNotify && event.xproperty.atom == stamp &&
                    event.xproperty.window == DefaultRootWindow(display));
        });
        pump.reset();
        makePump();
    }

    void makePump() {
        pump = std::make_unique<X11EventPump>(
            display, loop, X11EventPump::Caps{kEventsPerTurn, kTurnTime}, clock,
            [this](XEvent& event) { take(event); }, [this] { endTurn(); });
    }

    void disconnect() {
        pump.reset();
        X11Connection::close(query);  // the window goes with its connection
        X11Connection::close(display);
        query = display = nullptr;
        window = None;
        fetchers.clear();
        // What was owned went with the connection; nothing may ask about it
        // on a connection that is not there.
        ownsClipboard = ownsPrimary = false;
        queuedRequests = 0;
    }

    // A connection that broke is opened again; false: it cannot be.
    bool usable() {
        if (display && !X11Connection::broken(display) && (!query || !X11Connection::broken(query)))
            return true;
        disconnect();
        try {
            connect();
        } catch (const Error&) {
            return false;
        }
        return true;
    }

    // Where the server is asked in a turn.
    Display* asking() const { return query ? query : display; }

    void take(XEvent& event) {
        if (event.type == SelectionRequest) {
            --queuedRequests;
            // Once a turn, and once in kTurnTime at most: each look waits on
            // the server, which a flood keeps busy, and would hold back the
            // answers.
            if (!checkedThisTurn && clock->now() - checkedAt >= kTurnTime) {
                checkOwnership();
                checkedAt = clock->now();
            }
            checkedThisTurn = true;
            handle(event.xselectionrequest, fetchers);
        } else if (event.type == SelectionClear) {
            clear(event.xselectionclear);
        }
    }

    void endTurn() {
        checkedThisTurn = false;
        if (fetchers.empty())
            return;
        XFlush(display);  // the answers first
        const std::vector<Window> fetched = std::move(fetchers);
        fetchers.clear();
        reportFetches(fetched);
    }

    std::string offered;
    Time ownedSince = CurrentTime;
    bool ownsClipboard = false;
    bool ownsPrimary = false;
    RunningApplication pasteInto;
    std::function<void()> onFetched;

    bool owns(Atom selection) const {
        return (selection == clipboard && ownsClipboard) || (selection == XA_PRIMARY && ownsPrimary);
    }

    // A server time for the ownership: the time stamp of a property change
    // (CurrentTime would make late requests look current). It is made on the
    // root window, whose changes the program's toolkit hears too: its own
    // clock then reaches this time, so the clipboard it later puts back is
    // not refused as older than this ownership.
    // The root's property changes are asked for only around this read:
    // every change of the session's active window would otherwise queue on
    // this connection, which nothing reads before the first offer.
    // Nothing when no stamp came within kStampWait or the connection broke:
    // Xlib's own waits for an event never return on a broken connection
    // (they spin), so this one looks, reads and polls by itself until its
    // deadline. The queue is searched, not taken from: the requests in it
    // wait for their turn.
    std::optional<Time> serverTime() {
        const Window root = DefaultRootWindow(display);
        XEvent event;
        // A stamp that came after an earlier wait gave up is older than
        // this offer.
        while (XCheckIfEvent(display, &event, &State::isStamp, reinterpret_cast<XPointer>(this))) {
        }
        XSelectInput(display, root, PropertyChangeMask);
        XChangeProperty(display, root, stamp, XA_STRING, 8, PropModeAppend, nullptr, 0);
        const auto deadline = clock->now() + kStampWait;
        std::optional<Time> time;
        for (;;) {
            if (XCheckIfEvent(display, &event, &State::isStamp, reinterpret_cast<XPointer>(this))) {
                time = event.xproperty.time;
                break;
            }
            if (X11Connection::broken(display) || clock->now() >= deadline)
                break;
            const int seen = XQLength(display);
            if (XEventsQueued(display, QueuedAfterReading) > seen)
                continue;  // the stamp may be among what came
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock->now());
            if (X11Connection::broken(display) || left.count() <= 0)
                break;
            pollfd readable{ConnectionNumber(display), POLLIN, 0};
            poll(&readable, 1, static_cast<int>(left.count()));
        }
        XSelectInput(display, root, NoEventMask);
        return time;
    }
    static Bool isStamp(Display* display, XEvent* event, XPointer self) {
        const auto* state = reinterpret_cast<const State*>(self);
        return event->type == PropertyNotify && event->xproperty.window == DefaultRootWindow(display) &&
               event->xproperty.atom == state->stamp;
    }

    // A window of the remembered application (`asking`: the requestor's
    // process, where the server knows it).
    bool fromPasteTarget(Window requestor, std::optional<int> asking) {
        const int pid = pasteInto.processIdentifier;
        return x11::sameProgram(display, requestor, asking, pasteInto.window,
                                pid > 0 ? std::optional<int>(pid) : std::nullopt);
    }

    // Writes the answer to `request` in its property; false: refused. An
    // error of a requestor gone meanwhile is no error of ours, and no reply
    // is waited for.
    bool answer(const XSelectionRequestEvent& request, Atom property, bool& dataRequest) {
        // A request's time is not checked against the ownership's: toolkits
        // stamp requests with the last event they saw, often older than ours.
        if (!owns(request.selection))
            return false;
        const Atom target = request.target;
        if (target == targets) {
            const Atom offeredTargets[] = {targets, timestamp, utf8, textPlainUtf8, text, XA_STRING};
            XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(offeredTargets), std::size(offeredTargets));
            return true;
        }
        if (target == timestamp) {
            const long time = static_cast<long>(ownedSince);
            XChangeProperty(display, request.requestor, property, XA_INTEGER, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&time), 1);
            return true;
        }
        std::string bytes;
        Atom type = target;
        if (target == utf8 || target == text) {
            bytes = offered;
            type = utf8;
        } else if (target == textPlainUtf8) {
            bytes = offered;
        } else if (target == XA_STRING) {
            bytes = unicode::utf8ToLatin1(offered);
        } else {
            return false;
        }
        dataRequest = true;
        long limit = XExtendedMaxRequestSize(display);
        if (limit == 0)
            limit = XMaxRequestSize(display);
        if (static_cast<long>(bytes.size()) > limit * 4 - 1024) {
            logger().error("The answer is too large to hand to another program in one piece");
            return false;
        }
        XChangeProperty(display, request.requestor, property, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
        return true;
    }

    // Answers `request`; a request of the text itself, answered while a
    // fetch is waited for, adds its requestor to `fetchers`.
    void handle(const XSelectionRequestEvent& request, std::vector<Window>& fetchers) {
        // Old requesters leave the property to the owner: the target names it.
        const Atom property = request.property == None ? request.target : request.property;
        bool dataRequest = false;
        const bool answered = answer(request, property, dataRequest);
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = request.requestor;
        reply.xselection.selection = request.selection;
        reply.xselection.target = request.target;
        reply.xselection.property = answered ? property : None;
        reply.xselection.time = request.time;
        XSendEvent(display, request.requestor, False, NoEventMask, &reply);
        if (dataRequest && answered && onFetched)
            fetchers.push_back(request.requestor);
    }

    // Tells the offer of each fetch by the paste target, the processes of
    // all requestors looked up in one round trip.
    void reportFetches(const std::vector<Window>& fetchers) {
        if (fetchers.empty())
            return;
        const auto processes = x11::clientProcesses(asking(), fetchers);
        const unsigned long offer = offers;
        for (std::size_t i = 0; i < fetchers.size() && offer == offers && onFetched; ++i) {
            if (!fromPasteTarget(fetchers[i], processes[i]))
                continue;
            const auto fetched = onFetched;  // it may make a new offer
            fetched();
        }
    }

    void clear(const XSelectionClearEvent& event) {
        if (event.send_event)
            return;  // made up by another client, not the server's
        if (event.time < ownedSince)
            return;  // an ownership before the current one
        if (event.selection == clipboard)
            ownsClipboard = false;
        else if (event.selection == XA_PRIMARY)
            ownsPrimary = false;
    }

    // Whether the selections held are still ours, asked of the server: a
    // loss counts even when its clear waits behind requests not yet
    // answered, so no request is answered from an ownership already lost,
    // and a give-back asking whether the clipboard is still ours is told at
    // once. Looking for the clear in Xlib's queue instead would scan the
    // whole queue each turn, which a flood of requests makes quadratic.
    // Asked on the second connection: a reply on the owner's own would read
    // everything a flood queued before it.
    void checkOwnership() {
        if (ownsClipboard && XGetSelectionOwner(asking(), clipboard) != window)
            ownsClipboard = false;
        if (ownsPrimary && XGetSelectionOwner(asking(), XA_PRIMARY) != window)
            ownsPrimary = false;
    }
};

X11SelectionOwner::X11SelectionOwner(std::shared_ptr<MainLoop> loop, const char* displayName,
                                     std::shared_ptr<MonotonicClock> clock, Connect connect)
    : state_(std::make_unique<State>()) {
    auto& s = *state_;
    if (displayName)
        s.displayName = displayName;
    s.open = connect ? std::move(connect) : [](const char* name) { return X11Connection::open(name, true); };
    s.loop = loop ? std::move(loop) : MainLoop::main(nullptr);
    s.clock = clock ? std::move(clock) : MonotonicClock::steady();
    s.connect();
}

X11SelectionOwner::~X11SelectionOwner() { state_->disconnect(); }

X11EventPump::Stats X11SelectionOwner::turnsForTesting() const {
    return state_->pump ? state_->pump->stats() : X11EventPump::Stats{};
}

unsigned long X11SelectionOwner::windowForTesting() const { return state_->window; }

bool X11SelectionOwner::offer(std::string text, Selections selections, const RunningApplication& pasteInto,
                              std::function<void()> onFetched) {
    auto& s = *state_;
    // A connection found broken on the way (another client killed it, or
    // the server dropped it) is opened again, once: the offer is taken on
    // the new one.
    std::optional<Time> time;
    for (int tries = 0; tries < 2 && !time; ++tries) {
        if (!s.usable())
            return false;
        time = s.serverTime();
        if (!time && !X11Connection::broken(s.display))
            return false;  // the server did not answer in time
    }
    if (!time)
        return false;
    if (!s.loop) {
        s.loop = MainLoop::main();
        s.makePump();
    }
    ++s.offers;
    s.offered = std::move(text);
    s.pasteInto = pasteInto;
    s.onFetched = std::move(onFetched);
    s.ownedSince = *time;
    const bool clipboard = selections != Selections::primary;
    const bool primary = selections != Selections::clipboard;
    if (clipboard)
        XSetSelectionOwner(s.display, s.clipboard, s.window, s.ownedSince);
    if (primary)
        XSetSelectionOwner(s.display, XA_PRIMARY, s.window, s.ownedSince);
    s.ownsClipboard = clipboard && XGetSelectionOwner(s.display, s.clipboard) == s.window;
    s.ownsPrimary = primary ? XGetSelectionOwner(s.display, XA_PRIMARY) == s.window : s.ownsPrimary;
    // Requests already read off the connection would wait for the next input.
    processPendingEvents();
    return clipboard ? s.ownsClipboard : s.ownsPrimary;
}

bool X11SelectionOwner::ownsClipboard() {
    if (!state_->display || X11Connection::broken(state_->display))
        return false;  // its ownership went with the connection
    state_->checkOwnership();  // a clear still queued counts
    processPendingEvents();
    return state_->ownsClipboard;
}

void X11SelectionOwner::releaseClipboard() {
    auto& s = *state_;
    if (!ownsClipboard())
        return;
    XSetSelectionOwner(s.display, s.clipboard, None, s.ownedSince);
    XFlush(s.display);
    s.ownsClipboard = false;
}

std::size_t X11SelectionOwner::unreadEventsForTesting() {
    if (!state_->display)
        return 0;
    XSync(state_->display, False);
    return static_cast<std::size_t>(XEventsQueued(state_->display, QueuedAlready));
}

void X11SelectionOwner::processPendingEvents() {
    if (state_->pump)
        state_->pump->turn();
}

}  // namespace platform
