#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <stop_token>

#include "platform/MonotonicClock.h"
#include "platform/fake/ManualMainLoop.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11SelectionOwner.h"
#include "testsupport/X11Test.h"

// Xlib's searches of a connection's event queue, each of which walks the
// whole queue when nothing in it matches, are counted here while a test
// asks: on any connection but the test's own client.
namespace {
std::atomic<bool> countingQueueSearches{false};
std::atomic<Display*> uncountedDisplay{nullptr};
std::atomic<int> queueSearches{0};

template <typename Function>
Function* xlib(const char* name) {
    return reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
}

void countSearch(Display* display) {
    if (countingQueueSearches && display != uncountedDisplay)
        ++queueSearches;
}
}  // namespace

#define QUILLARY_COUNTED_QUEUE_SEARCH(Result, name, parameters, arguments) \
    extern "C" Result name parameters {                                     \
        countSearch(display);                                               \
        static auto* const real = xlib<Result parameters>(#name);           \
        return real arguments;                                              \
    }
using Predicate = Bool (*)(Display*, XEvent*, XPointer);
QUILLARY_COUNTED_QUEUE_SEARCH(Bool, XCheckTypedEvent, (Display * display, int type, XEvent* event),
                              (display, type, event))
QUILLARY_COUNTED_QUEUE_SEARCH(Bool, XCheckTypedWindowEvent,
                              (Display * display, Window window, int type, XEvent* event),
                              (display, window, type, event))
QUILLARY_COUNTED_QUEUE_SEARCH(Bool, XCheckWindowEvent, (Display * display, Window window, long mask, XEvent* event),
                              (display, window, mask, event))
QUILLARY_COUNTED_QUEUE_SEARCH(Bool, XCheckMaskEvent, (Display * display, long mask, XEvent* event),
                              (display, mask, event))
QUILLARY_COUNTED_QUEUE_SEARCH(Bool, XCheckIfEvent,
                              (Display * display, XEvent* event, Predicate predicate, XPointer argument),
                              (display, event, predicate, argument))
QUILLARY_COUNTED_QUEUE_SEARCH(int, XIfEvent, (Display * display, XEvent* event, Predicate predicate, XPointer argument),
                              (display, event, predicate, argument))
QUILLARY_COUNTED_QUEUE_SEARCH(int, XPeekIfEvent,
                              (Display * display, XEvent* event, Predicate predicate, XPointer argument),
                              (display, event, predicate, argument))
#undef QUILLARY_COUNTED_QUEUE_SEARCH

namespace {

using Selections = platform::SelectionOwner::Selections;

// The answer's owner on the test display, driven by a manual loop, and a
// second client with a window of its own to ask it things.
class SelectionOwnerOnX11 : public testing::Test {
protected:
    void SetUp() override {
        QUILLARY_SKIP_WITHOUT_X11_KEYS();
        owner = std::make_unique<platform::X11SelectionOwner>(loop);
        client.reset(XOpenDisplay(nullptr));
        ASSERT_TRUE(client);
        window = XCreateSimpleWindow(client.get(), DefaultRootWindow(client.get()), 0, 0, 1, 1, 0, 0, 0);
    }

    Atom atom(const char* name) { return XInternAtom(client.get(), name, False); }

    // How many of the client's requests came back answered.
    int answeredRequests() {
        int answered = 0;
        XSync(client.get(), False);
        while (XPending(client.get()) > 0) {
            XEvent event;
            XNextEvent(client.get(), &event);
            answered += event.type == SelectionNotify && event.xselection.property != None;
        }
        return answered;
    }

    // A server time that a toolkit hears too (a change of a root property),
    // so that its own claims of a selection in later tests are not older
    // than the claims made here.
    Time serverTime() {
        const Window root = DefaultRootWindow(client.get());
        XSelectInput(client.get(), root, PropertyChangeMask);
        XChangeProperty(client.get(), root, atom("QUILLARY_TEST_STAMP"), XA_STRING, 8, PropModeAppend, nullptr, 0);
        XEvent event;
        do XWindowEvent(client.get(), root, PropertyChangeMask, &event);
        while (event.xproperty.atom != atom("QUILLARY_TEST_STAMP"));
        XSelectInput(client.get(), root, NoEventMask);
        XDeleteProperty(client.get(), root, atom("QUILLARY_TEST_STAMP"));
        return event.xproperty.time;
    }

    std::shared_ptr<platform::ManualMainLoop> loop = std::make_shared<platform::ManualMainLoop>();
    std::unique_ptr<platform::X11SelectionOwner> owner;
    std::unique_ptr<Display, int (*)(Display*)> client{nullptr, XCloseDisplay};
    Window window = None;
};

// A client floods the owner with requests, then selects something of its
// own: a turn of the loop answers a batch and leaves the rest to a later
// turn, and the loss of the selection behind the flood is seen at once, so
// nothing is answered from it (nor would a give-back write over it). PRIMARY
// stands for the clipboard, which the toolkit of later tests claims.
TEST_F(SelectionOwnerOnX11, AFloodOfRequestsIsAnsweredInTurnsAndTheSelectionBehindItIsSeenAtOnce) {
    ASSERT_TRUE(owner->offer("the answer", Selections::primary, {}, {}));
    constexpr int kRequests = 1000;
    for (int i = 0; i < kRequests; ++i)
        XConvertSelection(client.get(), XA_PRIMARY, atom("TARGETS"), atom("FLOOD"), window, CurrentTime);
    XSetSelectionOwner(client.get(), XA_PRIMARY, window, serverTime());
    XSync(client.get(), False);
    // Every request and the clear are in the owner's queue, where the watch
    // of its descriptor no longer sees them.
    ASSERT_GT(owner->unreadEventsForTesting(), static_cast<std::size_t>(kRequests));

    int answered = 0, refused = 0;
    const auto collectReplies = [&] {
        owner->unreadEventsForTesting();  // the owner's replies reach the server first
        XSync(client.get(), False);
        XEvent event;
        while (XCheckTypedWindowEvent(client.get(), window, SelectionNotify, &event))
            ++(event.xselection.property == None ? refused : answered);
    };
    owner->processPendingEvents();
    collectReplies();
    EXPECT_EQ(answered + refused, 64);
    EXPECT_EQ(answered, 0) << "the selection lost behind the flood is seen first";
    EXPECT_EQ(loop->pendingCount(), 1u) << "the rest waits for a later turn";

    loop->runPending();
    collectReplies();
    EXPECT_EQ(refused, kRequests) << "every request is answered, none from the lost clipboard";
    EXPECT_EQ(answered, 0);
}

// Time that moves on a microsecond each time it is read: a turn ends at its
// cap of events, never because a loaded machine left the test unscheduled
// for a while.
class ReadCountingClock final : public platform::MonotonicClock {
public:
    TimePoint now() const override { return TimePoint(std::chrono::microseconds(++reads_)); }
    bool waitUntil(std::condition_variable_any& cv, std::unique_lock<std::mutex>& lock, std::stop_token stop,
                   TimePoint deadline, const std::function<bool()>& ready) const override {
        bool isReady = ready();
        while (!isReady && !stop.stop_requested() && now() < deadline)
            isReady = cv.wait_for(lock, stop, std::chrono::milliseconds(1), ready);
        return isReady;
    }

private:
    mutable std::atomic<std::int64_t> reads_{0};
};

// 100,000 requests wait in the owner's queue: they are answered in about
// one turn per 64, and no turn searches the queue (for the loss of the
// selection, say), which made the drain quadratic in the flood's size.
TEST_F(SelectionOwnerOnX11, AHundredThousandQueuedRequestsDrainWithoutSearchingTheQueue) {
    owner = std::make_unique<platform::X11SelectionOwner>(loop, nullptr, std::make_shared<ReadCountingClock>());
    ASSERT_TRUE(owner->offer("the answer", Selections::primary, {}, {}));
    constexpr int kRequests = 100'000;
    for (int i = 0; i < kRequests; ++i)
        XConvertSelection(client.get(), XA_PRIMARY, atom("TARGETS"), atom("FLOOD"), window, CurrentTime);
    XSync(client.get(), False);
    ASSERT_GE(owner->unreadEventsForTesting(), static_cast<std::size_t>(kRequests));

    uncountedDisplay = client.get();
    queueSearches = 0;
    countingQueueSearches = true;
    timespec start{}, end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    owner->processPendingEvents();
    const int turns = 1 + loop->runPending();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    countingQueueSearches = false;
    const double milliseconds = (end.tv_sec - start.tv_sec) * 1e3 + (end.tv_nsec - start.tv_nsec) / 1e6;
    std::cout << "drained " << kRequests << " requests in " << turns << " turns, " << milliseconds
              << " ms of CPU\n";

    EXPECT_EQ(queueSearches, 0);
    EXPECT_LE(turns, kRequests / 64 + 2);
    EXPECT_EQ(owner->unreadEventsForTesting(), 0u);
    EXPECT_EQ(answeredRequests(), kRequests);
}

// Another client floods the owner's window with requests, each after an
// event of no use, which is dropped as it is read: the loop drains the
// requests over many turns, none taking more than its cap, and answers
// every one.
TEST_F(SelectionOwnerOnX11, AFloodAtTheOwnersWindowDrainsOverManyTurnsEachWithinItsCap) {
    ASSERT_TRUE(owner->offer("the answer", Selections::primary, {}, {}));
    const Window target = owner->windowForTesting();
    XEvent request{};
    request.xselectionrequest.type = SelectionRequest;
    request.xselectionrequest.owner = target;
    request.xselectionrequest.requestor = window;
    request.xselectionrequest.selection = XA_PRIMARY;
    request.xselectionrequest.target = atom("UTF8_STRING");
    request.xselectionrequest.property = atom("FLOOD");
    XEvent noise{};
    noise.xclient.type = ClientMessage;
    noise.xclient.window = target;
    noise.xclient.format = 32;
    noise.xclient.message_type = atom("QUILLARY_TEST_FLOOD");
    constexpr int kRequests = 20'000;
    for (int i = 0; i < kRequests; ++i) {
        XSendEvent(client.get(), target, False, NoEventMask, &noise);
        XSendEvent(client.get(), target, False, NoEventMask, &request);
    }
    XSync(client.get(), False);
    // The server may still be writing the flood to the owner's connection.
    ASSERT_GE(owner->unreadEventsForTesting(), static_cast<std::size_t>(kRequests));
    const int turnsBefore = owner->turnsForTesting().turns;

    owner->processPendingEvents();
    loop->runPending();
    const auto turns = owner->turnsForTesting();
    EXPECT_LE(turns.mostInOneTurn, platform::X11SelectionOwner::kEventsPerTurn);
    EXPECT_GE(turns.turns - turnsBefore, kRequests / platform::X11SelectionOwner::kEventsPerTurn);
    EXPECT_EQ(turns.events, kRequests);
    // A round trip of the owner's: the server has its answers before the
    // client looks for them.
    EXPECT_EQ(owner->unreadEventsForTesting(), 0u);
    EXPECT_EQ(answeredRequests(), kRequests);
}

// Before its first offer nothing reads the owner's connection: the root's
// property changes (every change of the active window) must not pile up
// there, nor after an offer.
TEST_F(SelectionOwnerOnX11, TheRootsPropertyChangesDoNotQueueUnread) {
    const auto changeRoot = [&] {
        for (int i = 0; i < 10; ++i)
            XChangeProperty(client.get(), DefaultRootWindow(client.get()), atom("QUILLARY_TEST_ROOT"), XA_STRING, 8,
                            PropModeReplace, reinterpret_cast<const unsigned char*>("x"), 1);
        XSync(client.get(), False);
    };
    changeRoot();
    EXPECT_EQ(owner->unreadEventsForTesting(), 0u);
    ASSERT_TRUE(owner->offer("the answer", Selections::primary, {}, {}));
    changeRoot();
    EXPECT_EQ(owner->unreadEventsForTesting(), 0u);
    XDeleteProperty(client.get(), DefaultRootWindow(client.get()), atom("QUILLARY_TEST_ROOT"));
    XSync(client.get(), False);
}

// Another client kills the owner's connection: the next offer sees it
// broken, takes the selection on a new one and serves it from there, as
// does the offer after it.
TEST_F(SelectionOwnerOnX11, AnOfferAfterItsConnectionWasKilledTakesTheSelectionOnANewOne) {
    ASSERT_TRUE(owner->offer("the answer", Selections::primary, {}, {}));
    XKillClient(client.get(), owner->windowForTesting());
    XSync(client.get(), False);

    ASSERT_TRUE(owner->offer("the next answer", Selections::primary, {}, {}));
    XConvertSelection(client.get(), XA_PRIMARY, atom("UTF8_STRING"), atom("ANSWER"), window, CurrentTime);
    XSync(client.get(), False);
    owner->processPendingEvents();
    EXPECT_EQ(answeredRequests(), 1);
    ASSERT_TRUE(owner->offer("one more", Selections::primary, {}, {}));
    EXPECT_EQ(XGetSelectionOwner(client.get(), XA_PRIMARY), owner->windowForTesting());
}

// The connection broke and cannot be opened again: every call returns,
// with nothing owned, and none reaches Xlib without a connection.
TEST_F(SelectionOwnerOnX11, EveryCallReturnsWhenTheConnectionCannotBeOpenedAgain) {
    // The owner's connection and its query's open; no later one does.
    platform::X11SelectionOwner::Connect connect = [opened = 0](const char* name) mutable -> Display* {
        return ++opened <= 2 ? platform::X11Connection::open(name, true) : nullptr;
    };
    owner = std::make_unique<platform::X11SelectionOwner>(loop, nullptr, nullptr, std::move(connect));
    ASSERT_TRUE(owner->offer("the answer", Selections::primary, {}, {}));
    XKillClient(client.get(), owner->windowForTesting());
    XSync(client.get(), False);
    owner->processPendingEvents();  // sees it broken

    EXPECT_FALSE(owner->offer("the next answer", Selections::both, {}, {}));
    EXPECT_FALSE(owner->ownsClipboard());
    owner->releaseClipboard();
    owner->processPendingEvents();
    EXPECT_EQ(owner->unreadEventsForTesting(), 0u);
    EXPECT_EQ(owner->turnsForTesting().turns, 0);
    EXPECT_FALSE(owner->offer("one more", Selections::clipboard, {}, {}));
}

}  // namespace
