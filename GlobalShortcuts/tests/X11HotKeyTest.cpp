#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/KeyCharacters.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/fake/ManualMainLoop.h"
#include "platform/fake/ManualMonotonicClock.h"
#include "platform/qt/QtMainLoop.h"
#include "testsupport/QtEvents.h"
#include "testsupport/X11HotKeySession.h"
#include "testsupport/X11Test.h"
#include "platform/x11/X11HotKeyBackend.h"
#include "platform/x11/XkbKeyboardLayout.h"

using namespace GlobalShortcuts;
namespace Flags = GlobalShortcuts::ModifierFlags;

namespace {

// Real key presses on the test's X server (Xvfb with a window manager),
// typed with xdotool and received through the Qt main loop.
class X11HotKeys : public ::testing::Test {
protected:
    void SetUp() override {
        QUILLARY_SKIP_WITHOUT_X11_KEYS();
        session.emplace(testsupport::X11HotKeySession::make<QCoreApplication>());
    }
    void TearDown() override { session.reset(); }

    static void xdotool(const std::string& arguments) {
        ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
    }

    static bool runUntil(const std::function<bool()>& done) { return testsupport::runEventsUntil(done); }
    static void runFor(std::chrono::milliseconds duration) { testsupport::runEventsFor(duration); }

    std::optional<testsupport::X11HotKeySession> session;
};

const Shortcut kSuperShiftSpace(Key::space, Flags::command | Flags::shift);

TEST_F(X11HotKeys, AHeldCombinationFiresOneKeyDownAndOneKeyUp) {
    const Name name("x11_space", kSuperShiftSpace);
    int downs = 0, ups = 0;
    onKeyDown(name, [&] { ++downs; });
    onKeyUp(name, [&] { ++ups; });

    xdotool("keydown super+shift+space");
    EXPECT_TRUE(runUntil([&] { return downs > 0; }));
    runFor(std::chrono::milliseconds(800));  // past the server's auto-repeat delay
    // Let go of the modifiers first: the release still belongs to the hot key.
    xdotool("keyup super+shift");
    xdotool("keyup space");
    EXPECT_TRUE(runUntil([&] { return ups > 0; }));
    EXPECT_EQ(downs, 1);
    EXPECT_EQ(ups, 1);

    xdotool("key super+shift+space");
    EXPECT_TRUE(runUntil([&] { return downs == 2; }));
}

TEST_F(X11HotKeys, NumLockOnStillFires) {
    const Name name("x11_numlock", kSuperShiftSpace);
    int downs = 0;
    onKeyDown(name, [&] { ++downs; });
    xdotool("key Num_Lock");
    xdotool("key super+shift+space");
    const bool fired = runUntil([&] { return downs == 1; });
    xdotool("key Num_Lock");
    EXPECT_TRUE(fired);
}

int grabErrors = 0;
int countError(Display*, XErrorEvent*) {
    ++grabErrors;
    return 0;
}

TEST_F(X11HotKeys, ACombinationAnotherClientHoldsIsReportedAndNeverFires) {
    // Another client holds Super+Shift+B, but only with Num Lock on: our
    // grabs without Num Lock succeed before that one fails.
    const std::unique_ptr<Display, int (*)(Display*)> other(XOpenDisplay(nullptr), XCloseDisplay);
    ASSERT_TRUE(other);
    const int keyB = XKeysymToKeycode(other.get(), XK_b);
    const Window root = DefaultRootWindow(other.get());
    XGrabKey(other.get(), keyB, ShiftMask | Mod4Mask | Mod2Mask, root, False, GrabModeAsync, GrabModeAsync);
    XSync(other.get(), False);

    testing::internal::CaptureStdout();
    const Name name("x11_taken", Shortcut(Key::b, Flags::command | Flags::shift));
    int downs = 0;
    onKeyDown(name, [&] { ++downs; });
    const auto printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed.substr(0, printed.find('\n') + 1), "Error registering hotkey \u21E7\u2318B: -9878\n");

    // Those grabs were given back: the other client can now take the plain
    // combination too.
    grabErrors = 0;
    const auto previous = XSetErrorHandler(&countError);
    XGrabKey(other.get(), keyB, ShiftMask | Mod4Mask, root, False, GrabModeAsync, GrabModeAsync);
    XSync(other.get(), False);
    XSetErrorHandler(previous);
    EXPECT_EQ(grabErrors, 0);

    // Nothing of ours was left half-grabbed: the other client gets the key.
    xdotool("key super+shift+b");
    runFor(std::chrono::milliseconds(300));
    EXPECT_EQ(downs, 0);
    int delivered = 0;
    while (XPending(other.get())) {
        XEvent event;
        XNextEvent(other.get(), &event);
        delivered += event.type == KeyPress;
    }
    EXPECT_EQ(delivered, 1);

    // It is listed as reserved; our own hot keys are not.
    const Name ours("x11_ours", kSuperShiftSpace);
    onKeyDown(ours, [] {});
    const auto reserved = CarbonGlobalShortcuts::systemReservedShortcuts();
    EXPECT_NE(std::ranges::find(reserved, Shortcut(Key::b, Flags::command | Flags::shift)), reserved.end());
    EXPECT_EQ(std::ranges::find(reserved, kSuperShiftSpace), reserved.end());
    // The recorder's check probes the one combination it is asked about.
    EXPECT_TRUE(CarbonGlobalShortcuts::isSystemReserved(Shortcut(Key::b, Flags::command | Flags::shift)));
    EXPECT_FALSE(CarbonGlobalShortcuts::isSystemReserved(kSuperShiftSpace));
    EXPECT_FALSE(CarbonGlobalShortcuts::isSystemReserved(Shortcut(Key::k, Flags::command | Flags::option)));
}

TEST_F(X11HotKeys, TextsFollowALayoutChangeWhileRunning) {
    const Shortcut z(Key::z, Flags::command);
    ASSERT_EQ(z.description(), "\u2318Z");
    struct RestoreLayout {
        ~RestoreLayout() { EXPECT_EQ(std::system("setxkbmap us"), 0); }
    } restore;
    ASSERT_EQ(std::system("setxkbmap de"), 0);
    EXPECT_TRUE(runUntil([&] { return z.description() == "\u2318Y"; }));
}

// Another client that changes the keyboard mapping 20,000 times at once
// (each change one round trip of ours before): the backend reads the
// layout again once for the run, and no turn of the loop handles more than
// its cap.
TEST_F(X11HotKeys, AFloodOfMappingChangesIsReadOnceAndHandledInBoundedTurns) {
    const auto loop = std::make_shared<platform::ManualMainLoop>();
    platform::X11HotKeyBackend backend(loop);
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    int minCode = 0, maxCode = 0;
    XDisplayKeycodes(other, &minCode, &maxCode);
    int perCode = 0;
    KeySym* original = XGetKeyboardMapping(other, static_cast<KeyCode>(maxCode), 1, &perCode);
    for (int i = 0; i < 20000; ++i) XChangeKeyboardMapping(other, maxCode, perCode, original, 1);
    XSync(other, False);
    XFree(original);
    XCloseDisplay(other);

    const int readsBefore = backend.layoutReads();
    int turns = 0, idleTurns = 0;
    for (long handled = -1; idleTurns < 20 && turns < 10000; ++turns) {
        backend.processPendingEvents();
        loop->runPending();
        idleTurns = backend.eventsHandled() == handled ? idleTurns + 1 : 0;
        if (idleTurns) runFor(std::chrono::milliseconds(5));
        handled = backend.eventsHandled();
    }
    // A hot key registered now reads the modifier map anew, once.
    EXPECT_EQ(backend.registerHotKey({49, 0x300}, {1, 1}), platform::hotkey_status::noErr);
    EXPECT_GE(backend.eventsHandled(), 20000);
    EXPECT_LE(backend.mostEventsInATurn(), platform::X11HotKeyBackend::kEventsPerTurn);
    EXPECT_EQ(backend.layoutReads() - readsBefore, 1);
}

// The hold's bound is looked at after every event, so a turn that runs past
// it ends the hold in that turn, whatever timers wait meanwhile.
TEST_F(X11HotKeys, AHoldPastItsBoundEndsInTheTurnThatRunsPastIt) {
    const auto loop = std::make_shared<platform::ManualMainLoop>();
    const auto clock = std::make_shared<platform::ManualMonotonicClock>();
    platform::X11HotKeyBackend backend(loop, nullptr, clock);
    ASSERT_EQ(backend.registerHotKey({49, 0x300}, {1, 1}), platform::hotkey_status::noErr);
    backend.setHandler([&](platform::HotKeyEventKind kind, platform::HotKeyId) {
        if (kind == platform::HotKeyEventKind::pressed) backend.holdKeyboard();
        else clock->advance(std::chrono::seconds(4));  // this event's handling runs long
        return platform::hotkey_status::noErr;
    });
    const auto turnUntil = [&](const std::function<bool()>& done) {
        return runUntil([&] {
            backend.processPendingEvents();
            return done();
        });
    };
    xdotool("keydown super+shift+space keyup super+shift");
    ASSERT_TRUE(turnUntil([&] { return backend.holdsKeyboard(); }));
    backend.endKeyboardHoldAfter(std::chrono::seconds(3));
    // The release (whose handler moves the clock on) and a letter come in one turn.
    xdotool("keyup space key a");
    ASSERT_TRUE(turnUntil([&] { return !backend.holdsKeyboard(); }));
    EXPECT_EQ(loop->timerCount(), 0u) << "ended by the turn, not by its timer";
    EXPECT_TRUE(backend.takeKeptKeys().empty());
    EXPECT_TRUE(backend.endKeyboardHold().empty());
}

// A hot key held past the server's repeat delay when its grab is let go of
// (another window takes the keyboard, or the panel closes): neither the
// repeats the grab delivered before, read after, nor those that activate the
// passive grab again are a new press. Once let go of, it presses anew: let go
// of before the grab ended, or after with no repeat to tell us.
TEST_F(X11HotKeys, AHotKeyHeldPastItsGrabPressesAgainOnlyOnceLetGoOf) {
    const auto loop = std::make_shared<platform::ManualMainLoop>();
    platform::X11HotKeyBackend backend(loop);
    ASSERT_EQ(backend.registerHotKey({49, 0x300}, {1, 1}), platform::hotkey_status::noErr);
    int presses = 0;
    backend.setHandler([&](platform::HotKeyEventKind kind, platform::HotKeyId) {
        presses += kind == platform::HotKeyEventKind::pressed;
        return platform::hotkey_status::noErr;
    });
    const auto handleUntil = [&](const std::function<bool()>& done) {
        return runUntil([&] {
            backend.processPendingEvents();
            loop->runPending();
            return done();
        });
    };
    const auto pressAndHold = [&](int count) {
        xdotool("keydown super+shift+space");
        ASSERT_TRUE(handleUntil([&] { return presses == count; }));
        runFor(std::chrono::milliseconds(800));  // repeats come, unread
    };
    const auto letGo = [&] { xdotool("keyup space keyup shift keyup super"); };

    pressAndHold(1);
    backend.releaseActiveGrab();
    const long handled = backend.eventsHandled();
    ASSERT_TRUE(handleUntil([&] { return backend.eventsHandled() > handled + 2; })) << "repeats after the grab";
    letGo();
    loop->advance(std::chrono::milliseconds(100));  // its release may have gone elsewhere
    EXPECT_EQ(presses, 1);

    pressAndHold(2);
    letGo();
    backend.releaseActiveGrab();  // reads what came before it
    for (int turn = 0; turn < 3; ++turn) {
        backend.processPendingEvents();
        loop->runPending();
    }
    EXPECT_EQ(presses, 2);

    xdotool("keydown super+shift+space");
    ASSERT_TRUE(handleUntil([&] { return presses == 3; }));
    backend.releaseActiveGrab();
    letGo();
    loop->advance(std::chrono::milliseconds(100));
    xdotool("key super+shift+space");
    EXPECT_TRUE(handleUntil([&] { return presses == 4; }));
}

TEST_F(X11HotKeys, TextsUseTheServersLayout) {
    EXPECT_EQ(Shortcut(Key::v, Flags::command | Flags::shift).description(), "\u21E7\u2318V");
    EXPECT_EQ(Shortcut(Key::slash, Flags::control).description(), "\u2303/");
    EXPECT_EQ(Shortcut(Key::capsLock, 0).description(), "\uFFFD");
}

}  // namespace
