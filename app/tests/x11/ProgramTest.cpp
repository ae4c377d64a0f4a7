#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "testsupport/TempHome.h"
#include "app/tests/x11/RunningProgram.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class QuillaryProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(display.get(), nullptr) << "x11 tests need DISPLAY (scripts/test starts Xvfb and jwm)";
        home = testsupport::freshDirectory("home");
        fs::create_directories(home / "config" / "quillary");
    }

    // A settings file of a program that ran before, so no first-launch window.
    void launchedBefore() { std::ofstream(settingsFile()) << R"({"has_launched_before": true})"; }
    fs::path settingsFile() const { return home / "config" / "quillary" / "defaults.json"; }

    static bool lockHeld(const fs::path& file) {
        const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
        close(fd);
        return held;
    }

    apptest::X11Probe display;
    fs::path home;
};

TEST_F(QuillaryProgram, ShowsItsTrayIconAndQuitsCleanlyOnTermAndInt) {
    launchedBefore();
    for (int signal : {SIGTERM, SIGINT}) {
        apptest::Program quillary(home);
        ASSERT_TRUE(apptest::waitUntil([&] { return display.trayIconEmbedded(quillary.pid()); })) << quillary.standardError();
        EXPECT_TRUE(display.visibleWindowTitles(quillary.pid()).empty() ||
                    !display.hasWindowTitled(quillary.pid(), "Accessibility Permissions"))
            << "no window at a later launch";
        kill(quillary.pid(), signal);
        EXPECT_EQ(quillary.exitCode(), 0) << quillary.ending() << "\n" << quillary.standardError();
    }
    // Nothing half-written: the settings file is still whole JSON with its value.
    EXPECT_NE(apptest::readFile(settingsFile()).find("\"has_launched_before\": true"), std::string::npos) << apptest::readFile(settingsFile());
}

// With a panel open (the capture's connections made): its end leaves none of
// its threads or X connections to exit, and it made no library default.
TEST_F(QuillaryProgram, EndsEveryThreadAndXConnectionOfItsOwnBeforeMainReturns) {
    launchedBefore();
    apptest::Program quillary(home, {"QUILLARY_CHECK_END=1"});
    ASSERT_TRUE(apptest::waitUntil([&] { return display.mainShortcutGrabbedElsewhere(); })) << quillary.standardError();
    ASSERT_EQ(std::system("xdotool key super+shift+space"), 0);
    ASSERT_TRUE(apptest::waitUntil([&] { return display.widestVisibleWindow(quillary.pid()) >= 500; }))
        << quillary.standardError();
    kill(quillary.pid(), SIGTERM);
    EXPECT_EQ(quillary.exitCode(), 0) << quillary.ending() << "\n" << quillary.standardError();
    EXPECT_NE(quillary.standardError().find(
                  "ended with 0 threads and 0 X connections of its own left; library defaults made: none"),
              std::string::npos)
        << quillary.standardError();
}

TEST_F(QuillaryProgram, StartedWithHangUpIgnoredItOutlivesItsTerminal) {
    launchedBefore();
    // As `nohup` starts it: SIGHUP ignored, which the program inherits.
    apptest::Program quillary(home, {}, QUILLARY_EXECUTABLE, -1, apptest::HangUp::Ignored);
    ASSERT_TRUE(apptest::waitUntil([&] { return display.mainShortcutGrabbedElsewhere(); })) << quillary.standardError();
    kill(quillary.pid(), SIGHUP);
    // Still at work after the signal: the main shortcut opens the panel.
    ASSERT_EQ(std::system("xdotool key super+shift+space"), 0);
    EXPECT_TRUE(apptest::waitUntil([&] { return display.widestVisibleWindow(quillary.pid()) >= 500; }))
        << quillary.ending() << "\n" << quillary.standardError();
    EXPECT_TRUE(quillary.running());
    kill(quillary.pid(), SIGTERM);
    EXPECT_EQ(quillary.exitCode(), 0) << quillary.ending() << "\n" << quillary.standardError();
}

TEST_F(QuillaryProgram, ASignalDuringStartUpStillQuitsCleanly) {
    launchedBefore();
    apptest::Program quillary(home);
    // The lock is the program's first step: once it is held, start-up is under way.
    const fs::path lock = home / "config" / "quillary" / "quillary.lock";
    ASSERT_TRUE(apptest::waitUntil([&] { return lockHeld(lock); }, 10s, 1ms));
    kill(quillary.pid(), SIGTERM);
    EXPECT_EQ(quillary.exitCode(), 0) << quillary.ending() << "\n" << quillary.standardError();
}

TEST_F(QuillaryProgram, HoldsItsMainShortcutWhileItRuns) {
    launchedBefore();
    EXPECT_FALSE(display.mainShortcutGrabbedElsewhere()) << "the display starts with Super+Shift+Space free";
    {
        apptest::Program quillary(home);
        ASSERT_TRUE(apptest::waitUntil([&] { return display.trayIconEmbedded(quillary.pid()); }));
        EXPECT_TRUE(apptest::waitUntil([&] { return display.mainShortcutGrabbedElsewhere(); })) << quillary.standardError();
        kill(quillary.pid(), SIGTERM);
        EXPECT_EQ(quillary.exitCode(), 0) << quillary.ending() << "\n" << quillary.standardError();
    }
    EXPECT_FALSE(display.mainShortcutGrabbedElsewhere()) << "the grab ends with the program";
}

TEST_F(QuillaryProgram, TheMainShortcutTogglesThePanel) {
    launchedBefore();
    apptest::Program quillary(home);
    ASSERT_TRUE(apptest::waitUntil([&] { return display.mainShortcutGrabbedElsewhere(); }));
    EXPECT_LT(display.widestVisibleWindow(quillary.pid()), 400) << "only the tray icon at first";
    ASSERT_EQ(std::system("xdotool key super+shift+space"), 0);
    EXPECT_TRUE(apptest::waitUntil([&] { return display.widestVisibleWindow(quillary.pid()) >= 500; }))
        << quillary.standardError();
    ASSERT_EQ(std::system("xdotool key super+shift+space"), 0);
    EXPECT_TRUE(apptest::waitUntil([&] { return display.widestVisibleWindow(quillary.pid()) < 400; }))
        << quillary.standardError();
    kill(quillary.pid(), SIGTERM);
    EXPECT_EQ(quillary.exitCode(), 0) << quillary.ending() << "\n" << quillary.standardError();
}

TEST_F(QuillaryProgram, QuitsOnTermWhileAPanelIsOpen) {
    launchedBefore();
    // Which window Qt offers a close first changes from run to run, so a
    // few runs, each with a panel that replaced a closed one.
    for (int run = 0; run < 3; ++run) {
        apptest::Program quillary(home);
        ASSERT_TRUE(apptest::waitUntil([&] { return display.mainShortcutGrabbedElsewhere(); }));
        for (int press = 0; press < 3; ++press) {
            ASSERT_EQ(std::system("xdotool key super+shift+space"), 0);
            const bool open = press % 2 == 0;
            ASSERT_TRUE(apptest::waitUntil([&] { return (display.widestVisibleWindow(quillary.pid()) >= 500) == open; }))
                << quillary.standardError();
        }
        kill(quillary.pid(), SIGTERM);
        EXPECT_EQ(quillary.exitCode(), 0) << quillary.ending() << "\n" << quillary.standardError();
    }
}

TEST_F(QuillaryProgram, ASecondStartSaysSoAndLeavesTheFirstRunning) {
    launchedBefore();
    apptest::Program first(home);
    ASSERT_TRUE(apptest::waitUntil([&] { return display.trayIconEmbedded(first.pid()); })) << first.standardError();

    apptest::Program second(home);
    EXPECT_EQ(second.exitCode(), 0) << second.ending() << "\n" << second.standardError();
    EXPECT_EQ(second.standardOutput(), "Quillary is already running\n");
    // Said into a pipe whose reader has gone, the sentence is lost, and
    // nothing else: the write fails instead of ending the program.
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    close(pipeEnds[0]);
    apptest::Program unread(home, {}, QUILLARY_EXECUTABLE, pipeEnds[1]);
    close(pipeEnds[1]);
    EXPECT_EQ(unread.exitCode(), 0) << unread.ending() << "\n" << unread.standardError();
    EXPECT_TRUE(first.running());
    kill(first.pid(), SIGTERM);
    EXPECT_EQ(first.exitCode(), 0) << first.ending() << "\n" << first.standardError();
}

TEST_F(QuillaryProgram, StartsAgainAfterTheFirstWasKilled) {
    launchedBefore();
    apptest::Program first(home);
    ASSERT_TRUE(apptest::waitUntil([&] { return display.trayIconEmbedded(first.pid()); }));
    kill(first.pid(), SIGKILL);
    first.exitCode();
    ASSERT_TRUE(first.killedBy(SIGKILL));

    apptest::Program again(home);
    EXPECT_TRUE(apptest::waitUntil([&] { return display.trayIconEmbedded(again.pid()); })) << again.standardOutput() << again.standardError();
    kill(again.pid(), SIGTERM);
    EXPECT_EQ(again.exitCode(), 0) << again.ending() << "\n" << again.standardError();
}

TEST_F(QuillaryProgram, FirstLaunchOpensThePermissionWindow) {
    apptest::Program quillary(home);
    ASSERT_TRUE(apptest::waitUntil([&] { return display.trayIconEmbedded(quillary.pid()); }));
    EXPECT_TRUE(apptest::waitUntil([&] { return display.hasWindowTitled(quillary.pid(), "Accessibility Permissions"); }))
        << quillary.standardError();
    kill(quillary.pid(), SIGTERM);
    EXPECT_EQ(quillary.exitCode(), 0) << quillary.ending() << "\n" << quillary.standardError();
    EXPECT_NE(apptest::readFile(settingsFile()).find("has_launched_before"), std::string::npos);
}

TEST_F(QuillaryProgram, ACorruptSettingsFileIsKeptAsideAndTheProgramRuns) {
    std::ofstream(settingsFile()) << "{\"openai_api_key\": \"sk-kept\", ";  // cut off mid-write
    apptest::Program quillary(home);
    ASSERT_TRUE(apptest::waitUntil([&] { return display.trayIconEmbedded(quillary.pid()); })) << quillary.standardError();
    kill(quillary.pid(), SIGTERM);
    EXPECT_EQ(quillary.exitCode(), 0) << quillary.ending() << "\n" << quillary.standardError();
    bool kept = false;
    for (const auto& entry : fs::directory_iterator(settingsFile().parent_path()))
        if (entry.path().filename().string().rfind("defaults.json.corrupt", 0) == 0)
            kept = apptest::readFile(entry.path()).find("sk-kept") != std::string::npos;
    EXPECT_TRUE(kept) << "the unreadable file is kept, not overwritten";
}

TEST_F(QuillaryProgram, WithoutADisplayItSaysSoAndExitsWithOne) {
    for (const char* display : {"DISPLAY=", "DISPLAY=:4242"}) {
        apptest::Program quillary(home, {display});
        EXPECT_EQ(quillary.exitCode(), 1) << display;
        EXPECT_NE(quillary.standardError().find("Quillary needs an X11 display"), std::string::npos)
            << quillary.standardError();
    }
}

}  // namespace
