// What a program waiting in the tray holds: the network stack is loaded by
// the first provider request, the sound and speech libraries by the first
// recording, neither at start.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/tests/x11/RunningProgram.h"
#include "testsupport/TempHome.h"

namespace {

namespace fs = std::filesystem;

TEST(IdleProgram, MapsNeitherTheNetworkNorTheSpeechLibrariesUntilTheirFirstUse) {
    apptest::X11Probe display;
    ASSERT_NE(display.get(), nullptr) << "x11 tests need DISPLAY (scripts/test starts Xvfb and jwm)";
    const fs::path home = testsupport::freshDirectory("idle-home");
    fs::create_directories(home / "config" / "quillary");
    std::ofstream(home / "config" / "quillary" / "defaults.json") << R"({"has_launched_before": true})";

    apptest::Program quillary(home);
    ASSERT_TRUE(apptest::waitUntil([&] { return display.mainShortcutGrabbedElsewhere(); })) << quillary.standardError();
    const std::string maps = apptest::readFile("/proc/" + std::to_string(quillary.pid()) + "/maps");
    ASSERT_NE(maps.find("libQt6Widgets"), std::string::npos) << "the maps were read";
    for (const char* library : {"libcurl", "libquillary_http", "libssl", "libgnutls", "libquillary_speech", "libpulse",
                                "libpocketsphinx", "libsphinxbase"})
        EXPECT_EQ(maps.find(library), std::string::npos) << library << " is loaded at start";
    kill(quillary.pid(), SIGTERM);
    EXPECT_EQ(quillary.exitCode(), 0) << quillary.ending() << "\n" << quillary.standardError();
}

}  // namespace
