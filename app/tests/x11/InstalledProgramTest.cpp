// The program as `cmake --install` lays it out in a prefix of its own: it
// starts from there with the modules installed beside it, and its desktop
// entry and metadata pass the desktop's own validators.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "app/tests/x11/RunningProgram.h"
#include "testsupport/TempHome.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

struct Outcome {
    int status = -1;
    std::string output;
};

// Runs a shell command (arguments quoted by the caller), its standard error
// with its output.
Outcome run(const std::string& command) {
    Outcome outcome;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return outcome;
    std::array<char, 4096> buffer{};
    while (const std::size_t read = fread(buffer.data(), 1, buffer.size(), pipe)) outcome.output.append(buffer.data(), read);
    // The command's exit code (127: not found), not the raw wait status.
    const int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// The files the process has open, by their real paths.
std::set<fs::path> openFiles(pid_t pid) {
    std::set<fs::path> files;
    std::error_code error;
    for (const auto& link : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error))
        if (const auto target = fs::read_symlink(link.path(), error); !error) files.insert(target);
    return files;
}

TEST(InstalledProgram, StartsFromItsPrefixWithTheModulesInstalledThereAndValidDesktopFiles) {
    apptest::X11Probe display;
    ASSERT_NE(display.get(), nullptr) << "x11 tests need DISPLAY (scripts/test starts Xvfb and jwm)";
    const fs::path prefix = testsupport::freshDirectory("prefix");
    const Outcome install = run(std::string(QUILLARY_CMAKE) + " --install " + quoted(QUILLARY_BUILD_DIR) +
                                " --prefix " + quoted(prefix));
    ASSERT_EQ(install.status, 0) << install.output;

    const fs::path program = prefix / "bin" / "quillary";
    const fs::path share = prefix / "share";
    const fs::path entry = share / "applications" / "org.quillary.Quillary.desktop";
    EXPECT_TRUE(fs::exists(share / "icons/hicolor/scalable/apps/org.quillary.Quillary.svg"));
    EXPECT_THAT(apptest::readFile(entry), HasSubstr("\nExec=" + program.string() + "\n"));
    const Outcome entryCheck = run("desktop-file-validate " + quoted(entry));
    EXPECT_EQ(entryCheck.status, 0) << entryCheck.output << "(scripts/setup --test installs desktop-file-utils)";
    EXPECT_EQ(entryCheck.output, "");
    // The project names no licence yet; the metadata may be told so, and of
    // nothing else.
    const Outcome metadataCheck =
        run("appstreamcli validate --no-net " + quoted(share / "metainfo" / "org.quillary.Quillary.metainfo.xml"));
    EXPECT_NE(metadataCheck.status, 127) << "scripts/setup --test installs appstream";
    std::istringstream lines(metadataCheck.output);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("E:", 0) == 0 || line.rfind("W:", 0) == 0 || line.rfind("I:", 0) == 0) {
            EXPECT_THAT(line, HasSubstr("license"));
        }
    }

    const fs::path home = testsupport::freshDirectory("installed-home");
    fs::create_directories(home / "config" / "quillary");
    std::ofstream(home / "config" / "quillary" / "defaults.json") << R"({"has_launched_before": true})";
    apptest::Program quillary(home, {}, program.c_str());
    EXPECT_TRUE(apptest::waitUntil([&] {
        return display.trayIconEmbedded(quillary.pid()) && display.mainShortcutGrabbedElsewhere();
    })) << quillary.standardError();
    // Its modules are the prefix's: opened at start, loaded at first use.
    const fs::path modules = prefix / QUILLARY_INSTALL_LIBDIR / "quillary";
    const auto files = openFiles(quillary.pid());
    EXPECT_EQ(files.count(modules / "libquillary_http.so"), 1U);
    EXPECT_EQ(files.count(modules / "libquillary_speech.so"), 1U);
    kill(quillary.pid(), SIGTERM);
    EXPECT_EQ(quillary.exitCode(), 0) << quillary.ending() << "\n" << quillary.standardError();
}

}  // namespace
