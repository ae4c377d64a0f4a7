#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <memory>

#include "platform/fake/ManualMainLoop.h"
#include "platform/x11/X11SelectionOwner.h"
#include "testsupport/X11Test.h"

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

}  // namespace
