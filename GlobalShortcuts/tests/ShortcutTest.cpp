#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "Fixture.h"
#include "GlobalShortcuts/Localization.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "GlobalShortcuts/SpecialKey.h"
#include "platform/KeyPositions.h"
#include "platform/x11/XkbKeyboardLayout.h"

using namespace GlobalShortcuts;
namespace Flags = GlobalShortcuts::ModifierFlags;

namespace {

constexpr std::int64_t kCommandShift = Flags::command | Flags::shift;

class ShortcutTest : public ShortcutsFixture {};

TEST_F(ShortcutTest, ConstructionKeepsOnlyTheFiveKnownModifierBits) {
    // Caps lock (0x400) is dropped from a Carbon mask.
    EXPECT_EQ(Shortcut(49, 0x700).carbonModifiers(), 0x300);
    // The defaults of the program: command + shift as event flags.
    EXPECT_EQ(Shortcut(Key::space, 0x120000).carbonModifiers(), 0x300);
    EXPECT_EQ(Shortcut(Key::v, 0x120000), Shortcut(9, 0x300));
    // Every bit outside the table goes, in both directions.
    EXPECT_EQ(Shortcut(0, -1).carbonModifiers(), 0x1000 | 0x800 | 0x200 | 0x100 | 0x20000);
    EXPECT_EQ(Flags::toCarbon(Flags::capsLock | Flags::numericPad | Flags::help | 0xff), 0);
    EXPECT_EQ(Flags::fromCarbon(0x1000 | 0x800 | 0x200 | 0x100 | 0x20000),
              Flags::control | Flags::option | Flags::shift | Flags::command | Flags::function);
}

TEST_F(ShortcutTest, EventsGiveShortcutsWithoutTheFunctionModifier) {
    const auto arrow = Shortcut::fromEvent(Event{Event::keyDown, Key::rightArrow.rawValue,
                                                 Flags::command | Flags::function | Flags::capsLock});
    ASSERT_TRUE(arrow);
    EXPECT_EQ(arrow->carbonModifiers(), 0x100);
    EXPECT_TRUE(Shortcut::fromEvent(Event{Event::keyUp, 0, 0}));
    EXPECT_FALSE(Shortcut::fromEvent(Event{Event::leftMouseUp, 0, 0}));
    EXPECT_FALSE(Shortcut::fromEvent(Event{12, 56, Flags::shift}));
}

TEST_F(ShortcutTest, JsonHasExactlyTheTwoKeysAndDecodingKeepsTheRawMask) {
    EXPECT_EQ(Shortcut(Key::space, kCommandShift).toJson(), R"({"carbonKeyCode":49,"carbonModifiers":768})");
    // Decoded values are taken as they stand, also with unknown bits.
    const auto raw = Shortcut::fromJson(R"({"carbonModifiers":1792,"carbonKeyCode":49,"extra":true})");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->carbonModifiers(), 0x700);
    EXPECT_NE(*raw, Shortcut(49, 0x300));
    EXPECT_EQ(Shortcut::fromJson(raw->toJson()), raw);

    for (const char* corrupt : {"", "not json", "[]", "{}", R"({"carbonKeyCode":49})",
                                R"({"carbonKeyCode":"49","carbonModifiers":768})",
                                R"({"carbonKeyCode":49.5,"carbonModifiers":768})",
                                R"({"carbonKeyCode":18446744073709551615,"carbonModifiers":0})",
                                R"({"carbonKeyCode":49,"carbonModifiers":null})", "{\"carbonKeyCode\":\xff}"})
        EXPECT_FALSE(Shortcut::fromJson(corrupt)) << corrupt;
}

TEST_F(ShortcutTest, ModifierSymbolsFollowTheirFixedOrderInEveryCombination) {
    const std::pair<std::int64_t, const char*> symbols[] = {
        {Flags::control, "\u2303"}, {Flags::option, "\u2325"}, {Flags::shift, "\u21E7"},
        {Flags::command, "\u2318"}, {Flags::function, "\U0001F310\uFE0E"}};
    for (int combination = 0; combination < 32; ++combination) {
        std::int64_t flags = 0;
        std::string expected;
        for (int bit = 0; bit < 5; ++bit) {
            if (combination & (1 << bit)) {
                flags |= symbols[bit].first;
                expected += symbols[bit].second;
            }
        }
        EXPECT_EQ(Flags::symbols(flags), expected);
        EXPECT_EQ(Shortcut(Key::a, flags).description(), expected + "A");
    }
}

TEST_F(ShortcutTest, SpecialKeysShowTheirSymbols) {
    EXPECT_EQ(Shortcut(Key::space, kCommandShift).description(), "\u21E7\u2318Space");
    EXPECT_EQ(Shortcut(Key::v, kCommandShift).description(), "\u21E7\u2318V");
    EXPECT_EQ(Shortcut(Key::return_, 0).description(), "\u21A9");
    EXPECT_EQ(Shortcut(Key::delete_, 0).description(), "\u232B");
    EXPECT_EQ(Shortcut(Key::deleteForward, 0).description(), "\u2326");
    EXPECT_EQ(Shortcut(Key::help, 0).description(), "?\u20DD");
    EXPECT_EQ(Shortcut(Key::escape, Flags::control).description(), "\u2303\u238B");
    EXPECT_EQ(Shortcut(Key::leftArrow, 0).description(), "\u2190");
    EXPECT_EQ(Shortcut(Key::f1, 0).description(), "F1");
    EXPECT_EQ(Shortcut(Key::f20, 0).description(), "F20");

    // All 53 special keys are found and every one shows something of its own.
    std::set<std::string> shown;
    int specials = 0;
    for (const Key key : Key::all) {
        if (const auto special = specialKey(key.rawValue)) {
            ++specials;
            const auto text = displayString(*special);
            EXPECT_FALSE(text.empty()) << key.rawValue;
            shown.insert(text);
        }
    }
    EXPECT_EQ(specials, 53);
    EXPECT_EQ(shown.size(), 53u);
}

TEST_F(ShortcutTest, KeysWithoutOneCharacterShowTheReplacementCharacter) {
    layout->set(30, "ab");  // a key typing two characters
    EXPECT_EQ(Shortcut(Key::a, Flags::command).description(), "\u2318\uFFFD");
    layout->clear(30);  // and one typing nothing
    EXPECT_EQ(Shortcut(Key::a, Flags::command).description(), "\u2318\uFFFD");
    // Codes outside 0...65535 are not wrapped onto a real key (65536 + 0).
    EXPECT_EQ(Shortcut(65536 + Key::b.rawValue, 0).description(), "\uFFFD");
    EXPECT_EQ(Shortcut(-1, 0).description(), "\uFFFD");
    // Non-ASCII characters are capitalised too.
    layout->set(30, "\u00E4");
    EXPECT_EQ(Shortcut(Key::a, 0).description(), "\u00C4");
    // A combining sequence is one character.
    layout->set(30, "e\u0301");
    EXPECT_EQ(Shortcut(Key::a, 0).description(), "E\u0301");
}

TEST_F(ShortcutTest, DeadKeysShowTheAccentPrintedOnThem) {
    // German: ^ left of 1 and the acute accent left of Backspace are dead keys.
    const auto german = platform::XkbKeyboardLayout::fromNames({"", "", "de", "", ""});
    ASSERT_TRUE(german);
    setKeyboardLayout(german);
    EXPECT_EQ(Shortcut(Key::backtick, Flags::command).description(), "\u2318^");
    EXPECT_EQ(Shortcut(Key::equal, Flags::command).description(), "\u2318\u00B4");
    EXPECT_EQ(Shortcut(Key::z, Flags::command).description(), "\u2318Y");  // the layout is really German
}

TEST_F(ShortcutTest, AKeyboardLayoutThatCannotBeReadGivesTheUSLayoutToEveryLookup) {
    setKeyboardLayout(nullptr);
    followKeyboardLayout([]() -> std::shared_ptr<const platform::KeyboardLayout> {
        throw std::runtime_error("no keymap");
    });
    EXPECT_EQ(Shortcut(Key::z, Flags::command).description(), "\u2318Z");
    EXPECT_EQ(Shortcut(Key::y, Flags::command).description(), "\u2318Y");
    followKeyboardLayout(nullptr);
}

TEST_F(ShortcutTest, KeyEquivalentsAndKeySequences) {
    EXPECT_EQ(Shortcut(Key::space, 0).keyEquivalent(), " ");
    EXPECT_EQ(Shortcut(Key::f1, 0).keyEquivalent(), "\uF704");
    EXPECT_EQ(Shortcut(Key::f20, 0).keyEquivalent(), "\uF717");
    EXPECT_EQ(Shortcut(Key::c, 0).keyEquivalent(), "c");
    EXPECT_EQ(Shortcut(Key::keypadEnter, 0).keyEquivalent(), std::nullopt);
    EXPECT_EQ(Shortcut(Key::keypadEnter, 0).description(), "Keypad \u2305");

    EXPECT_EQ(Shortcut(Key::space, kCommandShift).keySequence(), QKeySequence(Qt::META | Qt::SHIFT | Qt::Key_Space));
    EXPECT_EQ(Shortcut(Key::v, Flags::control | Flags::option).keySequence(),
              QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_V));
    EXPECT_EQ(Shortcut(Key::f5, 0).keySequence(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(Shortcut(Key::keypad1, 0).keySequence(), std::nullopt);
    EXPECT_EQ(Shortcut(Key::a, Flags::function).keySequence(), std::nullopt);
    EXPECT_EQ(Shortcut(Key::volumeUp, 0).keySequence(), std::nullopt);  // types nothing
}

TEST_F(ShortcutTest, MenuSearchReadsUpperCaseKeyEquivalentsAsShift) {
    const std::vector<MenuItem> menu{
        {"File", "", 0, {{"Save As…", "S", Flags::command, {}}, {"Close", "w", Flags::command, {}}}},
        {"Preferences…", ",", Flags::command, {}},
    };
    ASSERT_TRUE(Shortcut(Key::s, kCommandShift).takenBy(menu));
    EXPECT_EQ(Shortcut(Key::s, kCommandShift).takenBy(menu)->title, "Save As…");
    EXPECT_FALSE(Shortcut(Key::s, Flags::command).takenBy(menu));
    EXPECT_EQ(Shortcut(Key::comma, Flags::command).takenBy(menu)->title, "Preferences…");
    EXPECT_FALSE(Shortcut(Key::w, kCommandShift).takenBy(menu));  // mask must be equal
    EXPECT_FALSE(Shortcut(Key::keypadEnter, 0).takenBy({{"Odd", "", 0, {}}}));

    EXPECT_FALSE(Shortcut(Key::comma, Flags::command).takenByMainMenu());  // no main menu
    setMainMenu(menu);
    EXPECT_TRUE(Shortcut(Key::comma, Flags::command).takenByMainMenu());
    setMainMenu(std::nullopt);
}

TEST_F(ShortcutTest, TextsAreCompiledInAndUnknownKeysShowThemselves) {
    EXPECT_EQ(localizedString("space_key"), "space");
    EXPECT_EQ(localizedString("ok"), "OK");
    EXPECT_EQ(localizedString("no_such_key"), "no_such_key");
}

TEST_F(ShortcutTest, EveryNamedKeyHasAPositionThatMapsBack) {
    std::set<long long> codes;
    for (const Key key : Key::all) {
        codes.insert(key.rawValue);
        const auto evdev = platform::KeyPositions::linuxFromCarbon(key.rawValue);
        ASSERT_TRUE(evdev) << key.rawValue;
        EXPECT_EQ(platform::KeyPositions::carbonFromLinux(*evdev), key.rawValue);
        if (key != Key::function) {  // Fn has no X11 key code
            const auto x11 = platform::KeyPositions::x11FromCarbon(key.rawValue);
            ASSERT_TRUE(x11) << key.rawValue;
            EXPECT_EQ(platform::KeyPositions::carbonFromX11(*x11), key.rawValue);
        }
    }
    EXPECT_EQ(codes.size(), 113u);  // the constants are distinct
    // The table is one-to-one in both directions.
    std::set<int> carbon, evdev;
    for (const auto& [c, l] : platform::KeyPositions::table()) {
        EXPECT_TRUE(carbon.insert(c).second) << c;
        EXPECT_TRUE(evdev.insert(l).second) << l;
    }
    EXPECT_FALSE(platform::KeyPositions::carbonFromLinux(99));  // Print Screen has no Apple key
    EXPECT_FALSE(platform::KeyPositions::x11FromCarbon(Key::function.rawValue));
}

TEST_F(ShortcutTest, ProcessWideValues) {
    EXPECT_EQ(functionKeys().size(), 35u);
    EXPECT_TRUE(functionKeys().contains(0xF704));
    EXPECT_TRUE(functionKeys().contains(0xF726));
    EXPECT_FALSE(isSandboxed());
}

}  // namespace
