#include <gtest/gtest.h>

#include "Fixture.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "testsupport/LogCapture.h"

using namespace GlobalShortcuts;
namespace Flags = GlobalShortcuts::ModifierFlags;
namespace status = platform::hotkey_status;

namespace {

const Shortcut kSpace(Key::space, Flags::command | Flags::shift);
const Shortcut kV(Key::v, Flags::command | Flags::shift);

class CarbonGlobalShortcutsTest : public ShortcutsFixture {};

TEST_F(CarbonGlobalShortcutsTest, IdsCountEveryRegistrationAndAreNeverReused) {
    desktop->occupy(combo(kSpace));
    testing::internal::CaptureStdout();
    EXPECT_EQ(CarbonGlobalShortcuts::register_(kSpace, {}, {}), status::hotKeyExists);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(CarbonGlobalShortcuts::register_(kV, {}, {}), status::noErr);
    const auto hotKeys = CarbonGlobalShortcuts::hotKeys();
    ASSERT_EQ(hotKeys.size(), 1u);
    EXPECT_EQ(hotKeys[0].carbonHotKeyId, 2);
    CarbonGlobalShortcuts::unregister(kV);
    CarbonGlobalShortcuts::register_(kV, {}, {});
    EXPECT_EQ(CarbonGlobalShortcuts::hotKeys()[0].carbonHotKeyId, 3);
}

// The program without a display installs no backend: a registration must
// fail visibly, not "succeed" with keys that never fire.
TEST_F(CarbonGlobalShortcutsTest, WithoutABackendRegistrationFailsAndSaysWhy) {
    CarbonGlobalShortcuts::setBackend(nullptr);
    const testsupport::LogCapture log;
    testing::internal::CaptureStdout();
    EXPECT_EQ(CarbonGlobalShortcuts::register_(kSpace, {}, {}), status::internalError);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error registering hotkey ⇧⌘Space: -9868\n");
    EXPECT_TRUE(log.contains("Cannot register a global shortcut: no X11 display is open for its key grab"));
    EXPECT_FALSE(CarbonGlobalShortcuts::isRegistered(kSpace));
    EXPECT_TRUE(CarbonGlobalShortcuts::systemReservedShortcuts().empty());
    EXPECT_EQ(CarbonGlobalShortcuts::backend()->lastPressTime(), 0u);
}

TEST_F(CarbonGlobalShortcutsTest, EventsReachTheRightCallbacksOnly) {
    std::string seen;
    CarbonGlobalShortcuts::register_(
        kSpace, [&](const Shortcut& s) { seen += s == kSpace ? "d" : "?"; },
        [&](const Shortcut& s) { seen += s == kSpace ? "u" : "?"; });
    EXPECT_EQ(desktop->press(combo(kSpace)), status::noErr);
    EXPECT_EQ(desktop->release(combo(kSpace)), status::noErr);
    // A foreign signature or an unknown id is left to others.
    EXPECT_EQ(desktop->deliver(platform::HotKeyEventKind::pressed, {0x41424344, 1}), status::eventNotHandled);
    EXPECT_EQ(desktop->deliver(platform::HotKeyEventKind::pressed, {CarbonGlobalShortcuts::kSignature, 99}),
              status::eventNotHandled);
    EXPECT_EQ(seen, "du");
}

TEST_F(CarbonGlobalShortcutsTest, AMenuKeepsEveryEntryAndItsId) {
    CarbonGlobalShortcuts::register_(kSpace, {}, {});
    CarbonGlobalShortcuts::register_(kV, {}, {});
    setMenuOpen(true);
    EXPECT_EQ(desktop->grabCount(), 0u);
    ASSERT_EQ(CarbonGlobalShortcuts::hotKeys().size(), 2u);
    EXPECT_FALSE(CarbonGlobalShortcuts::hotKeys()[0].isLive);
    setMenuOpen(false);
    const auto hotKeys = CarbonGlobalShortcuts::hotKeys();
    ASSERT_EQ(hotKeys.size(), 2u);
    EXPECT_EQ(hotKeys[0].carbonHotKeyId, 1);
    EXPECT_EQ(hotKeys[1].carbonHotKeyId, 2);
    EXPECT_TRUE(hotKeys[0].isLive && hotKeys[1].isLive);
    EXPECT_EQ(desktop->grabCount(), 2u);
}

TEST_F(CarbonGlobalShortcutsTest, RawKeysWhileAMenuIsOpen) {
    int downs = 0;
    CarbonGlobalShortcuts::register_(kSpace, [&](const Shortcut&) { ++downs; }, {});
    const Event capsLockDown{Event::keyDown, Key::space.rawValue, Flags::command | Flags::shift | Flags::capsLock};
    setMenuOpen(true);
    EXPECT_EQ(CarbonGlobalShortcuts::handleRawKeyEvent(capsLockDown), status::noErr);
    EXPECT_EQ(downs, 1);
    // Mouse events are not looked at.
    EXPECT_EQ(CarbonGlobalShortcuts::handleRawKeyEvent({Event::leftMouseUp, 0, 0}), status::eventNotHandled);
    EXPECT_EQ(downs, 1);
}

TEST_F(CarbonGlobalShortcutsTest, ReservedShortcutsComeNormalised) {
    desktop->occupy({static_cast<std::uint32_t>(Key::tab.rawValue), 0x100});
    desktop->occupy({static_cast<std::uint32_t>(Key::space.rawValue), 0x300});
    const auto reserved = CarbonGlobalShortcuts::systemReservedShortcuts();
    EXPECT_EQ(reserved, (std::vector<Shortcut>{Shortcut(Key::tab, Flags::command), kSpace}));
}

}  // namespace
