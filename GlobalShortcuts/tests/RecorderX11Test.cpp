#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QVBoxLayout>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/KeyCharacters.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "GlobalShortcuts/RecorderCocoa.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/qt/QtMainLoop.h"
#include "testsupport/QtEvents.h"
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
TEST(RecorderOnX11, RecordsTypedKeysWhileTheProgramsHotKeysArePaused) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no DISPLAY";
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no xdotool";
    static int argc = 1;
    static char programName[] = "recorder_x11_tests";
    static char* argv[] = {programName, nullptr};
    static auto* application = new QApplication(argc, argv);  // lives as long as the process
    (void)application;
    platform::UserDefaults::setStandard(std::make_shared<platform::InMemoryUserDefaults>());
    const auto loop = std::make_shared<platform::QtMainLoop>();
    platform::MainLoop::setMain(loop);
    setKeyboardLayout(nullptr);  // the server's own layout
    CarbonGlobalShortcuts::setBackend(std::make_shared<platform::X11HotKeyBackend>(loop));

    const Shortcut superShiftSpace(Key::space, Flags::command | Flags::shift);
    const Name toggle("x11_toggle", superShiftSpace);
    int fired = 0;
    onKeyDown(toggle, [&] { ++fired; });
    const Name recorded = Name::fromRawValue("x11_recorded");
    {
        QWidget window;
        auto* recorder = new RecorderCocoa(recorded, {}, &window);
        (new QVBoxLayout(&window))->addWidget(recorder);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

        const QPoint centre = recorder->mapToGlobal(recorder->rect().center());
        xdotool("mousemove " + std::to_string(centre.x()) + " " + std::to_string(centre.y()) + " click 1");
        ASSERT_TRUE(runEventsUntil([&] { return recorder->isRecording(); }));

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
    GlobalShortcuts::resetForTesting();
    CarbonGlobalShortcuts::setBackend(nullptr);
    platform::MainLoop::setMain(nullptr);
    platform::UserDefaults::setStandard(nullptr);
}

}  // namespace
