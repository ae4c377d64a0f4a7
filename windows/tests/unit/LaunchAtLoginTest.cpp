#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/fake/FakeLoginItemService.h"
#include "platform/linux/XdgAutostartLoginItemService.h"
#include "testsupport/LogCapture.h"
#include "testsupport/TempHome.h"
#include "windows/LaunchAtLogin.h"

namespace windows {
namespace {

using platform::LoginItemStatus;
using Calls = std::vector<std::string>;

class LaunchAtLoginTest : public ::testing::Test {
protected:
    LaunchAtLoginTest() { LaunchAtLogin::setService(registry); }
    ~LaunchAtLoginTest() override { LaunchAtLogin::setService(nullptr); }

    std::shared_ptr<platform::FakeLoginItemService> registry = std::make_shared<platform::FakeLoginItemService>();
    testsupport::LogCapture log;
};

TEST_F(LaunchAtLoginTest, OnlyAnEnabledItemReadsAsOn) {
    const std::vector<std::pair<LoginItemStatus, bool>> cases = {{LoginItemStatus::NotRegistered, false},
                                                                 {LoginItemStatus::Enabled, true},
                                                                 {LoginItemStatus::RequiresApproval, false},
                                                                 {LoginItemStatus::NotFound, false}};
    for (const auto& [status, on] : cases) {
        registry->current = status;
        EXPECT_EQ(LaunchAtLogin::isEnabled(), on) << int(status);
        EXPECT_EQ(LaunchAtLogin::Observable::shared().isEnabled(), on);
    }
    EXPECT_TRUE(registry->calls.empty());
}

TEST_F(LaunchAtLoginTest, SwitchingOnRegistersOverWhateverIsThere) {
    LaunchAtLogin::setEnabled(true);
    EXPECT_EQ(registry->calls, Calls{"register"});
    EXPECT_TRUE(LaunchAtLogin::isEnabled());

    registry->calls.clear();
    LaunchAtLogin::Observable::shared().setIsEnabled(true);
    EXPECT_EQ(registry->calls, Calls{"register"});

    registry->calls.clear();
    registry->current = LoginItemStatus::RequiresApproval;
    registry->afterRegister = LoginItemStatus::RequiresApproval;
    LaunchAtLogin::setEnabled(true);
    EXPECT_EQ(registry->calls, Calls{"register"});
    EXPECT_FALSE(LaunchAtLogin::isEnabled());

    registry->calls.clear();
    LaunchAtLogin::setEnabled(false);
    EXPECT_EQ(registry->calls, Calls{"unregister"});
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(LaunchAtLoginTest, FailuresAreLoggedWithTheirActionAndNeverThrown) {
    registry->registerFailure = "Operation not permitted";
    EXPECT_NO_THROW(LaunchAtLogin::setEnabled(true));
    EXPECT_FALSE(LaunchAtLogin::isEnabled());

    // A failed registration over a working one leaves it working.
    registry->current = LoginItemStatus::Enabled;
    EXPECT_NO_THROW(LaunchAtLogin::setEnabled(true));
    EXPECT_TRUE(LaunchAtLogin::isEnabled());

    registry->registerFailure.reset();
    registry->unregisterFailure = "busy";

    EXPECT_NO_THROW(LaunchAtLogin::setEnabled(false));
    EXPECT_TRUE(LaunchAtLogin::isEnabled());  // still on: the switch shows what the registry says

    EXPECT_EQ(log.errors(), (std::vector<std::string>{"Failed to enable launch at login: Operation not permitted",
                                                      "Failed to enable launch at login: Operation not permitted",
                                                      "Failed to disable launch at login: busy"}));
    ASSERT_EQ(log.lines().size(), 3u);
    EXPECT_EQ(log.lines()[0].category, "main");
}

TEST_F(LaunchAtLoginTest, ObserversHearOfEveryChangeBeforeItIsMade) {
    std::vector<bool> heardWhileOn;
    const auto token = LaunchAtLogin::Observable::shared().subscribe(
        [&] { heardWhileOn.push_back(LaunchAtLogin::isEnabled()); });
    LaunchAtLogin::setEnabled(true);
    registry->unregisterFailure = "refused";
    LaunchAtLogin::setEnabled(false);  // refused, still announced
    LaunchAtLogin::Observable::shared().unsubscribe(token);
    LaunchAtLogin::setEnabled(false);
    EXPECT_EQ(heardWhileOn, (std::vector<bool>{false, true}));
}

TEST_F(LaunchAtLoginTest, OnlyTheLoginItemsMarkerMeansLaunchedAtLogin) {
    const char* byUser[] = {"/usr/bin/quillary", nullptr};
    LaunchAtLogin::setLaunchArguments(1, byUser);
    EXPECT_FALSE(LaunchAtLogin::wasLaunchedAtLogin());

    const char* atLogin[] = {"/usr/bin/quillary", "--launched-at-login", nullptr};
    LaunchAtLogin::setLaunchArguments(2, atLogin);
    EXPECT_TRUE(LaunchAtLogin::wasLaunchedAtLogin());

    // The program's own name is not an argument, and a look-alike is not the marker.
    const char* lookAlike[] = {"--launched-at-login", "--launched-at-login=no", nullptr};
    LaunchAtLogin::setLaunchArguments(2, lookAlike);
    EXPECT_FALSE(LaunchAtLogin::wasLaunchedAtLogin());
    LaunchAtLogin::setLaunchArguments(0, nullptr);
    EXPECT_FALSE(LaunchAtLogin::wasLaunchedAtLogin());
}

// The switch over the real autostart entry in a fresh configuration folder.
TEST(LaunchAtLoginAutostart, AFolderThatCannotBeWrittenLeavesTheSwitchOffWithTheFailureLogged) {
    const auto config = testsupport::freshDirectory("autostart-config");
    const auto autostart = config / "autostart";
    // Root writes through any mode: there the folder is a plain file instead.
    if (::geteuid() == 0) {
        std::ofstream(autostart) << "not a folder";
    } else {
        std::filesystem::create_directories(autostart);
        std::filesystem::permissions(autostart, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    }
    LaunchAtLogin::setService(std::make_shared<platform::XdgAutostartLoginItemService>(
        autostart / "quillary.desktop", std::filesystem::read_symlink("/proc/self/exe")));
    testsupport::LogCapture log;
    LaunchAtLogin::setEnabled(true);
    EXPECT_FALSE(LaunchAtLogin::isEnabled());
    ASSERT_EQ(log.errors().size(), 1u);
    EXPECT_TRUE(log.errors()[0].starts_with("Failed to enable launch at login: ")) << log.errors()[0];

    std::filesystem::permissions(autostart, std::filesystem::perms::owner_all);
    std::filesystem::remove(autostart);
    LaunchAtLogin::setEnabled(true);
    EXPECT_TRUE(LaunchAtLogin::isEnabled());
    LaunchAtLogin::setEnabled(false);
    EXPECT_FALSE(std::filesystem::exists(autostart / "quillary.desktop"));
    LaunchAtLogin::setService(nullptr);
}

}  // namespace
}  // namespace windows
