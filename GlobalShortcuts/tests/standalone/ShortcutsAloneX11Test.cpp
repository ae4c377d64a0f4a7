// The shortcut library in a Qt program of its own on X11 that installs
// nothing: the hot keys go to the library's own X11 backend and events to
// its own main loop, including a shortcut registered before the application
// existed.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "testsupport/QtEvents.h"
#include "testsupport/X11Test.h"

namespace {

using namespace GlobalShortcuts;
constexpr std::int64_t kCommandShift = ModifierFlags::command | ModifierFlags::shift;

TEST(ShortcutsAloneOnX11, ANamesActionAndAnotherNamesStreamGetTheirPresses) {
    QUILLARY_SKIP_WITHOUT_X11_KEYS();
    // No display to grab on yet: kept until the application exists.
    const Name early("aloneEarly", Shortcut(Key::j, kCommandShift));
    int downs = 0;
    onKeyDown(early, [&] { ++downs; });

    qputenv("QT_QPA_PLATFORM", "xcb");
    static int argc = 1;
    static char name[] = "globalshortcuts_x11_standalone_tests";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);  // lives as long as the process

    const Name later("aloneLater", Shortcut(Key::k, kCommandShift));
    auto stream = events(EventType::keyDown, later);
    // The stream's registration waits for a turn of the loop.
    ASSERT_TRUE(testsupport::runEventsUntil([] { return registeredShortcuts().size() == 2; }));

    ASSERT_TRUE(testsupport::xdotool("key super+shift+j"));
    EXPECT_TRUE(testsupport::runEventsUntil([&] { return downs == 1; }));
    ASSERT_TRUE(testsupport::xdotool("key super+shift+k"));
    EXPECT_TRUE(testsupport::runEventsUntil([&] { return stream.buffered() == 1; }));
}

}  // namespace
