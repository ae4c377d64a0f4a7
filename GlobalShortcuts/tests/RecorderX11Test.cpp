#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

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
#include "GlobalShortcuts/RecorderCocoa.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/qt/QtMainLoop.h"
#include "testsupport/QtEvents.h"
#include "testsupport/X11HotKeySession.h"
#include "testsupport/X11Test.h"
#include "platform/x11/X11HotKeyBackend.h"

using namespace GlobalShortcuts;
namespace Flags = GlobalShortcuts::ModifierFlags;

namespace {

using testsupport::runEventsUntil;

void xdotool(const std::string& arguments) {
    ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
}

// Real clicks and key presses, typed with xdotool on the test's X server,
// reach a recorder field through the X11 hot keys and Qt's own events.
class RecorderOnX11 : public ::testing::Test {
protected:
    void SetUp() override {
        QUILLARY_SKIP_WITHOUT_X11_KEYS();
        session.emplace(testsupport::X11HotKeySession::make<QApplication>());
    }
    void TearDown() override { session.reset(); }

    static void clickAndRecord(RecorderCocoa* recorder) {
        const QPoint centre = recorder->mapToGlobal(recorder->rect().center());
        xdotool("mousemove " + std::to_string(centre.x()) + " " + std::to_string(centre.y()) + " click 1");
        ASSERT_TRUE(runEventsUntil([&] { return recorder->isRecording(); }));
    }

    std::optional<testsupport::X11HotKeySession> session;
};

TEST_F(RecorderOnX11, RecordsTypedKeysWhileTheProgramsHotKeysArePaused) {
    const Shortcut superShiftSpace(Key::space, Flags::command | Flags::shift);
    const Name toggle("x11_toggle", superShiftSpace);
    int fired = 0;
    onKeyDown(toggle, [&] { ++fired; });
    const Name recorded = Name::fromRawValue("x11_recorded");
    QWidget window;
    auto* recorder = new RecorderCocoa(recorded, {}, &window);
    (new QVBoxLayout(&window))->addWidget(recorder);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    clickAndRecord(recorder);
    xdotool("key super+shift+space");
    xdotool("key ctrl+alt+k");
    ASSERT_TRUE(runEventsUntil([&] { return getShortcut(recorded).has_value(); }));
    EXPECT_EQ(getShortcut(recorded), Shortcut(Key::k, Flags::control | Flags::option));
    EXPECT_EQ(recorder->text(), QStringLiteral("⌃⌥K"));
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(fired, 0);  // pressed while recording

    xdotool("key super+shift+space");
    EXPECT_TRUE(runEventsUntil([&] { return fired == 1; }));
}

// A settings window is full of mnemonics and shortcuts; while the field
// records, their combinations are recorded instead of firing.
TEST_F(RecorderOnX11, TakesCombinationsThatTheWindowsOwnControlsUse) {
    const Name recorded = Name::fromRawValue("x11_recorded_override");
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* reset = new QPushButton(QStringLiteral("&Reset"), &window);
    int resets = 0, locks = 0;
    QObject::connect(reset, &QPushButton::clicked, [&] { ++resets; });
    auto* lock = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+L")), &window);
    QObject::connect(lock, &QShortcut::activated, [&] { ++locks; });
    auto* recorder = new RecorderCocoa(recorded, {}, &window);
    layout->addWidget(reset);
    layout->addWidget(recorder);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    clickAndRecord(recorder);
    xdotool("key alt+r");
    ASSERT_TRUE(runEventsUntil([&] { return getShortcut(recorded).has_value(); }));
    EXPECT_EQ(getShortcut(recorded), Shortcut(Key::r, Flags::option));

    clickAndRecord(recorder);
    xdotool("key ctrl+alt+l");
    ASSERT_TRUE(runEventsUntil([&] { return getShortcut(recorded) == Shortcut(Key::l, Flags::control | Flags::option); }));
    EXPECT_EQ(resets, 0);
    EXPECT_EQ(locks, 0);

    // Not recording: the button has its mnemonic back (Ctrl+Alt+L is now the
    // recorded global shortcut, taken from every window).
    xdotool("key alt+r");
    EXPECT_TRUE(runEventsUntil([&] { return resets == 1; }));
    EXPECT_TRUE(CarbonGlobalShortcuts::isRegistered(Shortcut(Key::l, Flags::control | Flags::option)));
}

}  // namespace
