// The program's end check when something reads a process-wide slot after
// the end emptied it (a window's destructor, a late analytics event): the
// read gets an inert object, and no library default is made.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include <cstdlib>
#include <memory>

#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/KeyCharacters.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "Telemetry/TelemetrySDK.h"
#include "app/ProgramEnd.h"
#include "core/Analytics.h"
#include "platform/HttpTransportModule.h"
#include "platform/LibraryDefaults.h"
#include "platform/UnavailableHotKeyBackend.h"
#include "platform/linux/JsonFileUserDefaults.h"
#include "platform/qt/QtMainLoop.h"
#include "platform/x11/XkbKeyboardLayout.h"
#include "testsupport/X11Test.h"

namespace {

using namespace GlobalShortcuts;

TEST(ProgramEnd, LateReadsOfTheEmptiedSlotsMakeNoDefault) {
    QUILLARY_SKIP_WITHOUT_X11_KEYS();
    qputenv("QT_QPA_PLATFORM", "xcb");
    int argc = 1;
    char name[] = "app_end_check_standalone_tests";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);
    {
        // Each slot filled as the program fills it, then emptied by its end.
        const ProgramEnd end;
        platform::MainLoop::setMain(std::make_shared<platform::QtMainLoop>());
        CarbonGlobalShortcuts::setBackend(std::make_shared<platform::UnavailableHotKeyBackend>());
        followKeyboardLayout([] { return platform::XkbKeyboardLayout::us(); });
        platform::UserDefaults::setStandard(
            std::make_shared<platform::JsonFileUserDefaults>(platform::JsonFileUserDefaults::defaultPath()));
        const auto client = std::make_shared<telemetry::TelemetrySDK>(
            telemetry::TelemetrySDK::Dependencies{platform::HttpTransportModule::deferredClient(), {}, {}});
        telemetry::TelemetrySDK::install(client);
        core::Analytics::shared().setSink(client);
    }

    platform::UserDefaults::standard()->setString("late", "value");
    telemetry::TelemetrySDK::shared().capture("late");
    core::Analytics::shared().trackError("late", "after the end");
    EXPECT_NE(CarbonGlobalShortcuts::register_(Shortcut(Key::j, ModifierFlags::command | ModifierFlags::shift), {}, {}),
              0);
    (void)events(Name::fromRawValue("late"));
    (void)keyboardLayout();

    ::setenv("QUILLARY_CHECK_END", "1", 1);
    EXPECT_EQ(ProgramEnd::checked(0), 0);
    EXPECT_EQ(platform::LibraryDefaults::made(), std::vector<std::string>{});
}

}  // namespace
