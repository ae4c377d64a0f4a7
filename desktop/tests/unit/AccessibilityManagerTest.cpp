#include <gtest/gtest.h>

#include <stdexcept>

#include "desktop/AccessibilityManager.h"
#include "testsupport/LogCapture.h"
#include "unit/PermissionFakes.h"

namespace desktop {
namespace {

using namespace std::chrono_literals;
using testing::PermissionFixture;
using Strings = std::vector<std::string>;

class AccessibilityManagerTest : public ::testing::Test, protected PermissionFixture {
protected:
    std::unique_ptr<AccessibilityManager> make() { return std::make_unique<AccessibilityManager>(dependencies()); }
    void launchedBefore() { defaults->setBool(AccessibilityManager::launchedBeforeKey, true); }

    testsupport::LogCapture log;
};

// A test that forgets a fake gets an error, not the real X11 probe or the
// program's settings file; nothing is stored or shown.
TEST_F(AccessibilityManagerTest, AMissingServiceIsRefusedAtConstruction) {
    auto withoutTrust = dependencies();
    withoutTrust.trust = nullptr;
    EXPECT_THROW(AccessibilityManager{std::move(withoutTrust)}, std::logic_error);
    auto withoutDefaults = dependencies();
    withoutDefaults.defaults = nullptr;
    EXPECT_THROW(AccessibilityManager{std::move(withoutDefaults)}, std::logic_error);
    EXPECT_FALSE(defaults->contains(AccessibilityManager::launchedBeforeKey));
    EXPECT_TRUE(analytics->events.empty());
}

TEST_F(AccessibilityManagerTest, FirstLaunchMarksTheLaunchThenShowsTheWindowHalfASecondLater) {
    auto manager = make();

    EXPECT_TRUE(defaults->bool_("has_launched_before"));
    ASSERT_EQ(analytics->events, Strings{"first_launch"});
    EXPECT_EQ(analytics->propertyCounts[0], 0u);
    EXPECT_TRUE(analytics->launchedBeforeStored[0]) << "the key is written before the event is captured";
    EXPECT_FALSE(manager->isAccessibilityEnabled());
    EXPECT_EQ((Strings{"Initializing AccessibilityManager", "Setting up accessibility observer"}), log.messages());
    EXPECT_EQ(trust->promptCalls, 0);

    loop->advance(499ms);
    EXPECT_EQ(windows->created, 0);
    loop->advance(1ms);
    EXPECT_EQ(windows->created, 1);
    EXPECT_EQ(windows->calls, Strings{"show 1"});
    EXPECT_EQ(trust->promptCalls, 1);
    EXPECT_EQ(log.messages().back(), "AXIsProcessTrustedWithOptions result: false");
}

TEST_F(AccessibilityManagerTest, FirstLaunchWithTrustStillExplainsThePermission) {
    trust->trusted = true;
    auto manager = make();
    EXPECT_TRUE(manager->isAccessibilityEnabled());
    loop->advance(500ms);
    EXPECT_EQ(windows->calls, Strings{"show 1"});
    EXPECT_EQ(log.messages().back(), "AXIsProcessTrustedWithOptions result: true");
}

TEST_F(AccessibilityManagerTest, LaterLaunchesShowTheWindowOnlyWithoutTrust) {
    launchedBefore();
    trust->trusted = true;
    {
        auto manager = make();
        loop->advance(2s);
        EXPECT_EQ(windows->created, 0);
        EXPECT_EQ(trust->promptCalls, 0);
        // Both probes, every time.
        EXPECT_EQ(trust->plainCalls, 1);
        EXPECT_EQ(trust->optionsCalls, 1);
    }
    trust->trusted = false;
    auto manager = make();
    loop->advance(499ms);
    EXPECT_EQ(windows->created, 0);
    loop->advance(1ms);
    EXPECT_EQ(windows->calls, Strings{"show 1"});
    EXPECT_TRUE(analytics->events.empty());
    EXPECT_EQ(defaults->setCount(), 1) << "only the test's own write";
}

TEST_F(AccessibilityManagerTest, ShowIsAlwaysPostedAndTwoShowsMakeOneWindowAndPromptOnce) {
    launchedBefore();
    trust->trusted = true;
    auto manager = make();

    manager->showPermissionWindow();
    EXPECT_EQ(windows->created, 0) << "the caller returns before the window exists";
    manager->showPermissionWindow();
    loop->runPending();

    EXPECT_EQ(windows->created, 1);
    EXPECT_EQ(windows->calls, (Strings{"show 1", "show 1"}));
    EXPECT_EQ(trust->promptCalls, 1);
    EXPECT_TRUE(manager->hasPermissionWindow());
}

TEST_F(AccessibilityManagerTest, SettingsLinkHidesTheWindowAndTheNextShowBringsTheSameOneBack) {
    launchedBefore();
    auto manager = make();
    loop->advance(500ms);

    manager->openSystemPreferences();
    EXPECT_EQ(settingsLink->opened, std::vector{platform::SettingsPane::Accessibility});
    manager->showPermissionWindow();
    loop->runPending();

    EXPECT_EQ(windows->calls, (Strings{"show 1", "hide 1", "show 1"}));
    EXPECT_EQ(trust->promptCalls, 1);
}

TEST_F(AccessibilityManagerTest, ActivationsReportTheStatusAndCloseTheWindowOnceTrusted) {
    launchedBefore();
    auto manager = make();
    loop->advance(500ms);
    int changes = 0;
    manager->subscribe([&] { ++changes; });

    std::size_t from = log.messages().size();
    activations->applicationActivated(7);
    auto lines = log.messages();
    EXPECT_EQ(Strings(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end()),
              (Strings{"Accessibility Status:", "- AXIsProcessTrusted(): false",
                       "- AXIsProcessTrustedWithOptions(nil): false", "❌ Accessibility permissions not granted"}));
    EXPECT_EQ(windows->calls, Strings{"show 1"}) << "left open";
    EXPECT_EQ(changes, 0);

    trust->trusted = true;
    from = log.messages().size();
    activations->applicationActivated(8);
    lines = log.messages();
    EXPECT_EQ(Strings(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end()),
              (Strings{"Accessibility Status:", "- AXIsProcessTrusted(): true",
                       "- AXIsProcessTrustedWithOptions(nil): true", "✅ Accessibility permissions granted"}));
    EXPECT_EQ(windows->calls, (Strings{"show 1", "close 1"}));
    EXPECT_FALSE(manager->hasPermissionWindow());
    EXPECT_FALSE(manager->isWindowVisible());
    EXPECT_TRUE(manager->isAccessibilityEnabled());
    EXPECT_EQ(changes, 1);

    // A closed window is gone: the next show makes a new one and prompts.
    manager->showPermissionWindow();
    loop->runPending();
    EXPECT_EQ(windows->created, 2);
    EXPECT_EQ(trust->promptCalls, 2);
}

TEST_F(AccessibilityManagerTest, AWindowShownWithTrustOutlivesTheActivationItsShowingCauses) {
    trust->trusted = true;
    auto manager = make();  // first launch: shown although trusted
    loop->advance(500ms);
    activations->applicationActivated(42);  // the window itself became active
    EXPECT_EQ(log.messages().back(), "✅ Accessibility permissions granted");
    EXPECT_EQ(windows->calls, Strings{"show 1"});
    EXPECT_TRUE(manager->hasPermissionWindow());

    // Shown again from the menu while untrusted, then trust arrives.
    trust->trusted = false;
    manager->showPermissionWindow();
    loop->runPending();
    trust->trusted = true;
    activations->applicationActivated(43);
    EXPECT_EQ(windows->calls, (Strings{"show 1", "show 1", "close 1"}));
}

TEST_F(AccessibilityManagerTest, CheckingPermissionsOpensNothingAndAsksNothing) {
    launchedBefore();
    trust->trusted = true;
    auto manager = make();
    trust->trusted = false;

    EXPECT_FALSE(manager->checkAccessibilityPermissions());
    EXPECT_FALSE(manager->isAccessibilityEnabled());
    EXPECT_EQ(loop->pendingCount(), 0u);
    loop->advance(1s);
    EXPECT_EQ(windows->created, 0);
    EXPECT_EQ(trust->promptCalls, 0);

    trust->trusted = true;
    EXPECT_TRUE(manager->checkAccessibilityPermissions());
}

TEST_F(AccessibilityManagerTest, AGoneManagerHearsNothingAndItsScheduledShowsDoNothing) {
    auto manager = make();  // first launch: a show is scheduled
    manager->showPermissionWindow();
    EXPECT_EQ(activations->observerCount(), 1u);
    manager->setupObserver();
    EXPECT_EQ(activations->observerCount(), 1u) << "set up again, still one registration";
    manager.reset();

    EXPECT_EQ(activations->observerCount(), 0u);
    activations->applicationActivated(3);
    loop->advance(1s);
    EXPECT_EQ(windows->created, 0);
}

TEST(ApplicationActivationEventsTest, EachChangeOfActiveWindowIsHeardOnce) {
    platform::ApplicationActivationEvents events;
    std::vector<std::uint64_t> heard;
    auto token = events.addObserver([&](std::uint64_t window) { heard.push_back(window); });
    events.applicationActivated(10);
    events.applicationActivated(10);  // the same activation seen by a second backing
    events.applicationActivated(11);
    events.applicationActivated(0);   // the desktop took the focus: nothing activated
    events.applicationActivated(11);  // back to the same window: a new activation
    EXPECT_EQ(heard, (std::vector<std::uint64_t>{10, 11, 11}));
    token.reset();
    events.applicationActivated(12);
    EXPECT_EQ(heard.size(), 3u);
}

TEST(SettingsLinkTest, KnownDesktopsOpenTheirOwnSettingsAndOthersNothing) {
    using platform::SettingsLink;
    using platform::SettingsPane;
    using Command = std::vector<std::string>;
    EXPECT_EQ(SettingsLink::commandFor(SettingsPane::Accessibility, "ubuntu:GNOME"),
              (Command{"gnome-control-center", "universal-access"}));
    EXPECT_EQ(SettingsLink::commandFor(SettingsPane::Microphone, "GNOME"), (Command{"gnome-control-center", "sound"}));
    EXPECT_EQ(SettingsLink::commandFor(SettingsPane::Accessibility, "KDE"), (Command{"systemsettings", "kcm_access"}));
    EXPECT_EQ(SettingsLink::commandFor(SettingsPane::Microphone, "KDE"), (Command{"systemsettings", "kcm_pulseaudio"}));
    EXPECT_FALSE(SettingsLink::commandFor(SettingsPane::Accessibility, "XFCE"));
    EXPECT_FALSE(SettingsLink::commandFor(SettingsPane::Accessibility, ""));
    EXPECT_FALSE(SettingsLink::commandFor(SettingsPane::Accessibility, "GNOME-Flashback")) << "whole names only";
}

}  // namespace
}  // namespace desktop
