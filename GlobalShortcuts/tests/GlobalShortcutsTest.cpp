#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Fixture.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "platform/NotificationCenter.h"
#include "testsupport/LogCapture.h"

using namespace GlobalShortcuts;
namespace Flags = GlobalShortcuts::ModifierFlags;

namespace {

const Shortcut kSpace(Key::space, Flags::command | Flags::shift);
const Shortcut kV(Key::v, Flags::command | Flags::shift);
const Shortcut kC(Key::c, Flags::command | Flags::shift);

class GlobalShortcutsTest : public ShortcutsFixture {
protected:
    void SetUp() override {
        ShortcutsFixture::SetUp();
        observer = platform::NotificationCenter::defaultCenter().addObserver(
            std::string(kShortcutByNameDidChange), [this](const platform::Notification& notification) {
                const auto* name = notification.value<Name>("name");
                announced.push_back(name ? name->rawValue() : "<no name>");
            });
    }
    void TearDown() override {
        observer.reset();
        ShortcutsFixture::TearDown();
    }

    std::optional<platform::DefaultsValue> stored(const std::string& raw) {
        return defaults->object("GlobalShortcuts_" + raw);
    }

    platform::ObserverToken observer;
    std::vector<std::string> announced;
};

// Storage

TEST_F(GlobalShortcutsTest, FirstCreationStoresRegistersAndAnnouncesTheDefaultOnce) {
    const Name name("toggleQuillary", kSpace);
    EXPECT_EQ(stored("toggleQuillary"), platform::DefaultsValue(kSpace.toJson()));
    EXPECT_TRUE(desktop->isGrabbed(combo(kSpace)));
    EXPECT_EQ(announced, std::vector<std::string>{"toggleQuillary"});

    // Making it again writes nothing.
    const int writes = defaults->setCount();
    const Name again("toggleQuillary", kSpace);
    EXPECT_EQ(defaults->setCount(), writes);
    EXPECT_EQ(announced.size(), 1u);
}

TEST_F(GlobalShortcutsTest, AStoredChoiceOrRemovalWinsOverTheDefault) {
    defaults->setBool("GlobalShortcuts_a", false);
    defaults->setString("GlobalShortcuts_b", kC.toJson());
    const Name a("a", kSpace);
    const Name b("b", kSpace);
    EXPECT_EQ(stored("a"), platform::DefaultsValue(false));
    EXPECT_EQ(getShortcut(a), std::nullopt);
    EXPECT_EQ(getShortcut(b), kC);
    EXPECT_EQ(desktop->grabCount(), 0u);  // nothing registered without actions
    EXPECT_TRUE(announced.empty());
}

TEST_F(GlobalShortcutsTest, AnythingButShortcutTextReadsAsNoShortcut) {
    const auto name = Name::fromRawValue("n");
    for (const platform::DefaultsValue& value :
         {platform::DefaultsValue(true), platform::DefaultsValue(std::int64_t{49}), platform::DefaultsValue(1.5),
          platform::DefaultsValue(platform::Data{kSpace.toJson()}), platform::DefaultsValue(std::string("{corrupt")),
          platform::DefaultsValue(std::string("\xff\xfe"))}) {
        defaults->set("GlobalShortcuts_n", value);
        EXPECT_EQ(name.shortcut(), std::nullopt);
    }
}

TEST_F(GlobalShortcutsTest, AnUnreadableEntryIsKeptOnceBeforeItIsReplacedAndResetAllPassesItsCopies) {
    const testsupport::LogCapture log;
    const auto name = Name::fromRawValue("n");
    const auto held = Name::fromRawValue("h");
    held.setShortcut(kSpace);
    int downs = 0;
    onKeyDown(held, [] {});
    onKeyDown(name, [&] { ++downs; });  // its stored value is read at every press
    defaults->setString("GlobalShortcuts_n", "not a shortcut");
    for (int i = 0; i < 3; ++i) {
        press(kSpace);
        release(kSpace);
    }
    EXPECT_EQ(downs, 0);
    EXPECT_EQ(defaults->string("GlobalShortcuts_n.corrupt"), "not a shortcut");
    EXPECT_EQ(log.errors().size(), 1u);

    name.setShortcut(kV);  // recorded over it
    defaults->setInteger("GlobalShortcuts_n", 12345);
    EXPECT_EQ(name.shortcut(), std::nullopt);
    EXPECT_EQ(defaults->object("GlobalShortcuts_n.corrupt.2"), platform::DefaultsValue(std::int64_t{12345}));
    EXPECT_EQ(log.errors().size(), 2u);

    // The copies are no names of their own: they stay as they are.
    resetAll();
    EXPECT_EQ(defaults->keys(), (std::vector<std::string>{"GlobalShortcuts_n", "GlobalShortcuts_n.corrupt",
                                                          "GlobalShortcuts_n.corrupt.2"}));
    EXPECT_EQ(log.errors().size(), 2u);
}

TEST_F(GlobalShortcutsTest, RemovingStoresFalseOnlyForNamesWithDefaults) {
    const Name withDefault("d", kSpace);
    const auto plain = Name::fromRawValue("p");
    plain.setShortcut(kC);
    announced.clear();

    withDefault.setShortcut(std::nullopt);
    plain.setShortcut(std::nullopt);
    EXPECT_EQ(stored("d"), platform::DefaultsValue(false));
    EXPECT_EQ(stored("p"), std::nullopt);
    EXPECT_EQ(announced, (std::vector<std::string>{"d", "p"}));
    EXPECT_EQ(desktop->grabCount(), 0u);

    // Removing again: nothing stored, nothing written, nothing announced.
    const int writes = defaults->setCount();
    withDefault.setShortcut(std::nullopt);
    plain.setShortcut(std::nullopt);
    EXPECT_EQ(defaults->setCount(), writes);
    EXPECT_EQ(announced.size(), 2u);
    // A stored false is not "a shortcut" either.
    EXPECT_EQ(stored("d"), platform::DefaultsValue(false));
}

TEST_F(GlobalShortcutsTest, SavingTheSameShortcutRegistersAgainAndAnnounces) {
    const Name name("n", kSpace);
    const int registrations = desktop->registerCalls();
    name.setShortcut(kSpace);
    EXPECT_EQ(desktop->unregisterCalls(), 1);
    EXPECT_EQ(desktop->registerCalls(), registrations + 1);
    EXPECT_EQ(announced.size(), 2u);
    EXPECT_TRUE(desktop->isGrabbed(combo(kSpace)));
}

TEST_F(GlobalShortcutsTest, ResetAndResetAll) {
    const Name withDefault("d", kSpace);
    const auto plain = Name::fromRawValue("p");
    const Name disabled("x", kV);
    withDefault.setShortcut(kC);
    plain.setShortcut(kV);
    disabled.setShortcut(std::nullopt);
    defaults->setString("unrelated", "keep");

    reset(withDefault);
    EXPECT_EQ(getShortcut(withDefault), kSpace);

    withDefault.setShortcut(kC);
    resetAll();
    // Names found in storage have no default: their texts go, false stays.
    EXPECT_EQ(stored("d"), std::nullopt);
    EXPECT_EQ(stored("p"), std::nullopt);
    EXPECT_EQ(stored("x"), platform::DefaultsValue(false));
    EXPECT_EQ(defaults->string("unrelated"), "keep");
    // The default comes back when the name is made again.
    const Name recreated("d", kSpace);
    EXPECT_EQ(getShortcut(recreated), kSpace);
}

// Dispatch

TEST_F(GlobalShortcutsTest, ActionsFollowTheStoredShortcutOfTheirName) {
    const Name name("n", kSpace);
    int downs = 0, ups = 0;
    onKeyDown(name, [&] { ++downs; });
    onKeyUp(name, [&] { ++ups; });
    press(kSpace);
    release(kSpace);
    EXPECT_EQ(downs, 1);
    EXPECT_EQ(ups, 1);

    // Re-recorded: the old combination is let go, the new one fires.
    name.setShortcut(kV);
    EXPECT_FALSE(desktop->isGrabbed(combo(kSpace)));
    press(kV);
    EXPECT_EQ(downs, 2);

    // Removed: nothing fires.
    name.setShortcut(std::nullopt);
    press(kV);
    EXPECT_EQ(downs, 2);
}

TEST_F(GlobalShortcutsTest, ActionsRunInTheOrderAdded) {
    const Name name("n", kSpace);
    std::string order;
    onKeyDown(name, [&] { order += "1"; });
    onKeyDown(name, [&] { order += "2"; });
    onKeyDown(name, [&] { order += "3"; });
    press(kSpace);
    EXPECT_EQ(order, "123");
    EXPECT_EQ(desktop->grabCount(), 1u);
}

TEST_F(GlobalShortcutsTest, StorageChangedBehindTheLibraryIsSeenAtOnce) {
    const Name a("a", kSpace);
    const Name b("b", kV);
    int aDowns = 0, bDowns = 0;
    onKeyDown(a, [&] { ++aDowns; });
    onKeyDown(b, [&] { ++bDowns; });
    // Another part of the program writes b's key directly.
    defaults->setString("GlobalShortcuts_b", kSpace.toJson());
    press(kSpace);
    EXPECT_EQ(aDowns, 1);
    EXPECT_EQ(bDowns, 1);
}

TEST_F(GlobalShortcutsTest, PausedPressesFireNothing) {
    const Name name("n", kSpace);
    int downs = 0;
    onKeyDown(name, [&] { ++downs; });
    auto stream = events(name);
    loop->runPending();
    setPaused(true);
    press(kSpace);
    EXPECT_EQ(downs, 0);
    EXPECT_EQ(stream.buffered(), 0u);
    EXPECT_TRUE(desktop->isGrabbed(combo(kSpace)));  // the hot key stays
    setPaused(false);
    press(kSpace);
    EXPECT_EQ(downs, 1);
}

TEST_F(GlobalShortcutsTest, HandlersMayRemoveEveryHandlerWhileRunning) {
    const Name a("a", kSpace);
    const Name b("b", kSpace);
    std::string ran;
    onKeyDown(a, [&] {
        ran += "a";
        removeAllHandlers();
    });
    onKeyDown(b, [&] { ran += "b"; });
    press(kSpace);
    EXPECT_EQ(ran, "ab");  // the press that was under way completes
    EXPECT_FALSE(desktop->isGrabbed(combo(kSpace)));
    press(kSpace);
    EXPECT_EQ(ran, "ab");
}

TEST_F(GlobalShortcutsTest, AHandlerMayRecordItsOwnNameAgain) {
    const Name name("n", kSpace);
    int downs = 0;
    onKeyDown(name, [&] {
        ++downs;
        name.setShortcut(kV);
    });
    press(kSpace);
    EXPECT_EQ(downs, 1);
    release(kSpace);  // the old hot key is gone: its release reaches nobody
    press(kV);
    EXPECT_EQ(downs, 2);
}

// Streams

TEST_F(GlobalShortcutsTest, StreamsStartAndStopOnALaterTurnOfTheMainLoop) {
    const auto name = Name::fromRawValue("s");
    name.setShortcut(kC);
    CarbonGlobalShortcuts::unregister(kC);  // only the stream should need it
    {
        auto all = events(name);
        auto downs = events(EventType::keyDown, name);
        EXPECT_FALSE(desktop->isGrabbed(combo(kC)));
        loop->runPending();
        EXPECT_TRUE(desktop->isGrabbed(combo(kC)));
        press(kC);
        release(kC);
        EXPECT_EQ(all.next(), EventType::keyDown);
        EXPECT_EQ(all.next(), EventType::keyUp);
        EXPECT_EQ(all.next(), std::nullopt);
        EXPECT_EQ(downs.next(), EventType::keyDown);
        EXPECT_EQ(downs.next(), std::nullopt);
    }
    EXPECT_TRUE(desktop->isGrabbed(combo(kC)));
    loop->runPending();
    EXPECT_FALSE(desktop->isGrabbed(combo(kC)));  // the last stream ended
}

TEST_F(GlobalShortcutsTest, AStreamEndedBeforeItStartedLeavesNothingBehind) {
    const auto name = Name::fromRawValue("s");
    name.setShortcut(kC);
    { auto stream = events(name); }
    loop->runPending();
    // A stream left in the tables would keep the hot key through this.
    onKeyDown(name, [] {});
    removeAllHandlers();
    EXPECT_FALSE(desktop->isGrabbed(combo(kC)));
}

TEST_F(GlobalShortcutsTest, StreamsKeepTheirHotKeysThroughRemoveAllHandlers) {
    const auto streamed = Name::fromRawValue("streamed");
    const auto acted = Name::fromRawValue("acted");
    streamed.setShortcut(kC);
    acted.setShortcut(kV);
    onKeyDown(acted, [] {});
    auto stream = events(streamed);
    loop->runPending();
    removeAllHandlers();
    EXPECT_TRUE(desktop->isGrabbed(combo(kC)));
    EXPECT_FALSE(desktop->isGrabbed(combo(kV)));
    press(kC);
    EXPECT_EQ(stream.next(), EventType::keyDown);
}

TEST_F(GlobalShortcutsTest, AnEndingStreamKeepsAHotKeyAnotherNameNeeds) {
    const auto streamed = Name::fromRawValue("streamed");
    const auto acted = Name::fromRawValue("acted");
    streamed.setShortcut(kC);
    acted.setShortcut(kC);
    int downs = 0;
    onKeyDown(acted, [&] { ++downs; });
    { auto stream = events(streamed); loop->runPending(); }
    loop->runPending();
    press(kC);
    EXPECT_EQ(downs, 1);
}

// Enabling, disabling, menus

TEST_F(GlobalShortcutsTest, EnableAndDisableLeaveStorageAlone) {
    const Name name("n", kSpace);
    int downs = 0;
    onKeyDown(name, [&] { ++downs; });
    disable(name);
    EXPECT_FALSE(desktop->isGrabbed(combo(kSpace)));
    EXPECT_EQ(getShortcut(name), kSpace);
    press(kSpace);
    enable(name);
    press(kSpace);
    EXPECT_EQ(downs, 1);
}

TEST_F(GlobalShortcutsTest, ADisabledLibraryHoldsNoKeysAndFiresNothing) {
    const Name name("n", kSpace);
    int downs = 0;
    onKeyDown(name, [&] { ++downs; });
    setEnabled(false);
    EXPECT_EQ(desktop->grabCount(), 0u);
    EXPECT_FALSE(desktop->hasHandler());
    press(kSpace);
    EXPECT_EQ(downs, 0);
    setEnabled(true);
    press(kSpace);
    EXPECT_EQ(downs, 1);
}

TEST_F(GlobalShortcutsTest, RegisteringWhileDisabledWaitsForEnabling) {
    setEnabled(false);
    const Name name("n", kSpace);  // stores and registers its default
    int downs = 0;
    onKeyDown(name, [&] { ++downs; });
    EXPECT_EQ(desktop->grabCount(), 0u);  // other applications keep the key
    EXPECT_EQ(registeredShortcuts(), std::vector<Shortcut>{kSpace});
    setEnabled(true);
    EXPECT_TRUE(desktop->isGrabbed(combo(kSpace)));
    press(kSpace);
    EXPECT_EQ(downs, 1);
}

TEST_F(GlobalShortcutsTest, WhileAMenuIsOpenTheApplicationsKeyEventsFire) {
    const Name name("n", kSpace);
    std::string seen;
    onKeyDown(name, [&] { seen += "d"; });
    onKeyUp(name, [&] { seen += "u"; });
    auto& center = platform::NotificationCenter::defaultCenter();
    center.post(std::string(kMenuDidBeginTracking));
    EXPECT_TRUE(isMenuOpen());
    EXPECT_EQ(desktop->grabCount(), 0u);

    // The menu's key events (taken by the hot-key layer's run-loop monitor).
    namespace status = platform::hotkey_status;
    const Event down{Event::keyDown, Key::space.rawValue, Flags::command | Flags::shift | Flags::capsLock};
    EXPECT_EQ(CarbonGlobalShortcuts::handleRawKeyEvent(down), status::noErr);  // ours: swallowed
    Event repeat = down;
    repeat.isARepeat = true;
    EXPECT_EQ(CarbonGlobalShortcuts::handleRawKeyEvent(repeat), status::eventNotHandled);  // delivered
    Event up = down;
    up.type = Event::keyUp;
    EXPECT_EQ(CarbonGlobalShortcuts::handleRawKeyEvent(up), status::noErr);
    const Event other{Event::keyDown, Key::space.rawValue, Flags::command};
    EXPECT_EQ(CarbonGlobalShortcuts::handleRawKeyEvent(other), status::eventNotHandled);
    EXPECT_EQ(seen, "du");

    center.post(std::string(kMenuDidEndTracking));
    EXPECT_FALSE(isMenuOpen());
    EXPECT_TRUE(desktop->isGrabbed(combo(kSpace)));
    press(kSpace);
    EXPECT_EQ(seen, "dud");
}

// Faults that used to keep shortcuts from working

TEST_F(GlobalShortcutsTest, AHotKeyTheSystemRefusedIsTriedAgain) {
    desktop->occupy(combo(kSpace));
    testing::internal::CaptureStdout();
    const Name name("n", kSpace);
    int downs = 0;
    onKeyDown(name, [&] { ++downs; });
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error registering hotkey \u21E7\u2318Space: -9878\n"
              "Error registering hotkey \u21E7\u2318Space: -9878\n");
    EXPECT_TRUE(registeredShortcuts().empty());

    // Once the other client lets go, enabling the name grabs it.
    *desktop = platform::InMemoryHotKeyBackend();
    enable(name);
    press(kSpace);
    EXPECT_EQ(downs, 1);
}

TEST_F(GlobalShortcutsTest, AHotKeyDroppedAfterAMenuClosedIsTriedAgain) {
    const Name name("n", kSpace);
    int downs = 0;
    onKeyDown(name, [&] { ++downs; });
    setMenuOpen(true);
    desktop->occupy(combo(kSpace));  // someone takes it meanwhile
    testing::internal::CaptureStdout();
    setMenuOpen(false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error registering hotkey \u21E7\u2318Space: -9878\n");
    EXPECT_TRUE(registeredShortcuts().empty());
    *desktop = platform::InMemoryHotKeyBackend();
    CarbonGlobalShortcuts::updateEventHandler();
    name.setShortcut(kSpace);
    press(kSpace);
    EXPECT_EQ(downs, 1);
}

TEST_F(GlobalShortcutsTest, ChangingOneOfTwoNamesWithTheSameShortcutKeepsTheOthersHotKey) {
    const Name a("a", kSpace);
    const Name b("b", kSpace);
    std::string ran;
    onKeyDown(a, [&] { ran += "a"; });
    onKeyDown(b, [&] { ran += "b"; });
    EXPECT_EQ(desktop->grabCount(), 1u);
    press(kSpace);
    EXPECT_EQ(ran, "ab");

    a.setShortcut(kV);
    press(kSpace);
    EXPECT_EQ(ran, "abb");
    a.setShortcut(std::nullopt);
    press(kSpace);
    EXPECT_EQ(ran, "abbb");
    b.setShortcut(std::nullopt);  // the last holder lets it go
    EXPECT_FALSE(desktop->isGrabbed(combo(kSpace)));
}

TEST_F(GlobalShortcutsTest, OutOfRangeShortcutsAreRefusedNotTruncated) {
    testing::internal::CaptureStdout();
    const auto name = Name::fromRawValue("n");
    // 2^32 + 49 would be the space key if cut to 32 bits.
    name.setShortcut(Shortcut((1LL << 32) + Key::space.rawValue, 0x300));
    defaults->setString("GlobalShortcuts_m", R"({"carbonKeyCode":49,"carbonModifiers":4294968064})");
    onKeyDown(Name::fromRawValue("m"), [] {});
    const auto output = testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find(": -9879\n"), std::string::npos);
    EXPECT_EQ(desktop->grabCount(), 0u);
}

TEST_F(GlobalShortcutsTest, TheFunctionModifierAndUnmappedKeysCannotBeHotKeys) {
    testing::internal::CaptureStdout();
    const auto name = Name::fromRawValue("n");
    name.setShortcut(Shortcut(Key::f1, Flags::function));
    name.setShortcut(Shortcut(Key::function, Flags::command));
    name.setShortcut(Shortcut(Key{300}, Flags::command));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error registering hotkey \U0001F310\uFE0EF1: -9879\n"
              "Error registering hotkey \u2318\uFFFD: -9879\n"
              "Error registering hotkey \u2318\uFFFD: -9879\n");
    EXPECT_EQ(desktop->grabCount(), 0u);
}

}  // namespace
