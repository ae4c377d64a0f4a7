#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/linux/XdgAutostartLoginItemService.h"
#include "testsupport/TempHome.h"
#include "testsupport/TestData.h"

using platform::LoginItemStatus;
using platform::XdgAutostartLoginItemService;
namespace fs = std::filesystem;

namespace {

using Arguments = std::vector<std::string>;

void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The Exec line of the entry file, as written.
std::string execLine(const fs::path& file) {
    std::istringstream lines(testsupport::readFile(file));
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with("Exec=")) return line.substr(5);
    return {};
}

fs::path programFile(const fs::path& path) {
    writeFile(path, "");
    return path;
}

class XdgAutostart : public ::testing::Test {
protected:
    fs::path config = testsupport::freshDirectory("config");
    fs::path entry = config / "autostart" / "quillary.desktop";
    fs::path executable = programFile(config / "bin" / "quillary");
    XdgAutostartLoginItemService service{entry, executable};
};

TEST_F(XdgAutostart, TheEntryLivesInTheConfigFolderOfTheEnvironment) {
    EXPECT_EQ(XdgAutostartLoginItemService::defaultEntryFile(),
              fs::path(std::getenv("XDG_CONFIG_HOME")) / "autostart" / "quillary.desktop");
    XdgAutostartLoginItemService own;
    EXPECT_EQ(own.executable(), fs::read_symlink("/proc/self/exe"));
}

TEST_F(XdgAutostart, RegisteringMakesTheMissingFolderAndAPrivateEntryThatStartsThisProgramWithTheMarker) {
    ASSERT_FALSE(fs::exists(entry.parent_path()));
    EXPECT_EQ(service.status(), LoginItemStatus::NotRegistered);
    service.register_();
    EXPECT_EQ(service.status(), LoginItemStatus::Enabled);

    struct stat info {};
    ASSERT_EQ(::stat(entry.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const std::string text = testsupport::readFile(entry);
    EXPECT_TRUE(text.starts_with("[Desktop Entry]\n"));
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
    EXPECT_NE(text.find("\nName=Quillary\n"), std::string::npos);
    EXPECT_EQ(execLine(entry), executable.string() + " --launched-at-login");
    EXPECT_EQ(XdgAutostartLoginItemService::execArguments(execLine(entry)),
              (Arguments{executable.string(), "--launched-at-login"}));
    // Nothing but the entry is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(entry.parent_path()), fs::directory_iterator()), 1);

    // Registering again writes the same entry over it.
    service.register_();
    EXPECT_EQ(testsupport::readFile(entry), text);

    service.unregister();
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_EQ(service.status(), LoginItemStatus::NotRegistered);
    service.unregister();  // nothing there: nothing to do
}

TEST_F(XdgAutostart, PathsWithSpacesAndReservedCharactersAreQuotedAndReadBack) {
    // As the Desktop Entry rules write them: quoted when a reserved character
    // is in it, with \ " ` $ escaped inside the quotes, % doubled, and then
    // every backslash doubled again for the string value.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/home/u/My Apps/quillary", R"("/home/u/My Apps/quillary")"},
        {"/opt/it's/q", R"("/opt/it's/q")"},
        {"/opt/a\"b/q", R"("/opt/a\\"b/q")"},
        {"/opt/a\\b/q", R"("/opt/a\\\\b/q")"},
        {"/opt/$HOME/`q`", R"("/opt/\\$HOME/\\`q\\`")"},
        {"/opt/100%/q", "/opt/100%%/q"},
        {"/opt/tab\there", R"("/opt/tab\there")"},
        {"", R"("")"},
    };
    for (const auto& [path, written] : cases) {
        EXPECT_EQ(XdgAutostartLoginItemService::execValue({path}), written) << path;
        EXPECT_EQ(XdgAutostartLoginItemService::execArguments(written), Arguments{path}) << written;
    }

    const fs::path spaced = programFile(config / "My Programs" / "quillary");
    XdgAutostartLoginItemService withSpaces(entry, spaced);
    withSpaces.register_();
    EXPECT_EQ(execLine(entry), "\"" + spaced.string() + "\" --launched-at-login");
    EXPECT_EQ(withSpaces.status(), LoginItemStatus::Enabled);

    EXPECT_EQ(XdgAutostartLoginItemService::execValue({"/opt/bell\a"}), std::nullopt);
    XdgAutostartLoginItemService unwritable(entry, programFile(config / "bell\a" / "quillary"));
    EXPECT_THROW(unwritable.register_(), platform::Error);
}

TEST_F(XdgAutostart, BrokenQuotingReadsAsNoCommand) {
    EXPECT_EQ(XdgAutostartLoginItemService::execArguments(R"("/opt/q)"), std::nullopt);
    EXPECT_EQ(XdgAutostartLoginItemService::execArguments(R"("/opt/q"x)"), std::nullopt);
    EXPECT_EQ(XdgAutostartLoginItemService::execArguments(R"(  /a   b\sc  )"), (Arguments{"/a", "b", "c"}));
}

TEST_F(XdgAutostart, OurEntryIsOnWhateverPathItNamesUnlessHidden) {
    const std::string group = "# written by hand\n[Desktop Entry]\nType=Application\n";
    const std::vector<std::pair<std::string, LoginItemStatus>> cases = {
        // Written by another build, or before the program moved.
        {group + "Exec = \"/opt/other build/quillary\" --launched-at-login\n", LoginItemStatus::Enabled},
        {group + "Exec=/opt/quillary/bin/quillary --launched-at-login\nHidden=true\n", LoginItemStatus::NotRegistered},
        {group + "Exec=/opt/quillary/bin/quillary --launched-at-login\nX-GNOME-Autostart-enabled=false\n",
         LoginItemStatus::NotRegistered},
        // Not ours: no marker argument.
        {group + "Exec=" + executable.string() + "\n", LoginItemStatus::NotRegistered},
        {group + "Exec=--launched-at-login\n", LoginItemStatus::NotRegistered},
        {group + "Name=Quillary\n", LoginItemStatus::NotRegistered},
        {"[Other Group]\nExec=/opt/quillary/bin/quillary --launched-at-login\n", LoginItemStatus::NotRegistered},
        {group + "Exec=\"/opt/quillary/bin/quillary --launched-at-login\n", LoginItemStatus::NotRegistered},
        {std::string("\0\xff\xfe garbage", 11), LoginItemStatus::NotRegistered},
        {"", LoginItemStatus::NotRegistered},
    };
    for (const auto& [text, status] : cases) {
        writeFile(entry, text);
        EXPECT_EQ(service.status(), status) << text;
    }

    // Registering replaces whatever was there.
    writeFile(entry, group + "Exec=/usr/bin/other\n");
    service.register_();
    EXPECT_EQ(service.status(), LoginItemStatus::Enabled);
}

// A running copy of a real program whose file is replaced, as an upgrade does.
TEST_F(XdgAutostart, AReplacedExecutableIsRegisteredUnderItsPathAndAMissingOneNotAtAll) {
    const fs::path program = config / "bin" / "quillary";
    fs::copy_file("/bin/sleep", program, fs::copy_options::overwrite_existing);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl(program.c_str(), program.c_str(), "60", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const fs::path link = "/proc/" + std::to_string(child) + "/exe";
    // Until the exec, the link names this test.
    while (XdgAutostartLoginItemService::runningExecutable(link) != program) {
        ASSERT_EQ(::waitpid(child, nullptr, WNOHANG), 0) << "the copy of sleep did not start";
        ::sched_yield();
    }
    fs::remove(program);
    EXPECT_EQ(fs::read_symlink(link), program.string() + " (deleted)");
    fs::copy_file("/bin/sleep", program);

    XdgAutostartLoginItemService upgraded(entry, XdgAutostartLoginItemService::runningExecutable(link));
    EXPECT_EQ(upgraded.executable(), program);
    upgraded.register_();
    EXPECT_EQ(execLine(entry), program.string() + " --launched-at-login");

    // Removed, not replaced: nothing to start at login, and the entry stays.
    const std::string before = testsupport::readFile(entry);
    fs::remove(program);
    EXPECT_THROW(upgraded.register_(), platform::Error);
    EXPECT_EQ(testsupport::readFile(entry), before);
    EXPECT_EQ(XdgAutostartLoginItemService(entry, {}).status(), LoginItemStatus::Enabled);
    EXPECT_THROW(XdgAutostartLoginItemService(entry, {}).register_(), platform::Error);

    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

TEST_F(XdgAutostart, FailuresToWriteOrRemoveAreThrownWithWhatWentWrong) {
    // A folder the program may not write. Root writes through any mode, so
    // there the autostart folder is a plain file instead.
    fs::create_directories(config);
    if (::geteuid() == 0) {
        writeFile(entry.parent_path(), "not a folder");
    } else {
        fs::create_directories(entry.parent_path());
        fs::permissions(entry.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
    }
    try {
        service.register_();
        ADD_FAILURE() << "registered into a folder that cannot be written";
    } catch (const platform::Error& error) {
        EXPECT_NE(std::string(error.what()).find(entry.parent_path().string()), std::string::npos) << error.what();
    }
    EXPECT_EQ(service.status(), LoginItemStatus::NotRegistered);
    fs::permissions(entry.parent_path(), fs::perms::owner_all);
    fs::remove_all(entry.parent_path());

    // An entry that cannot be removed (a folder with something in it).
    writeFile(entry / "inside", "");
    EXPECT_THROW(service.unregister(), platform::Error);
}

}  // namespace
