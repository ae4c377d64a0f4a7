#include "platform/ProgramModule.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/Error.h"
#include "testsupport/TempHome.h"

namespace {

namespace fs = std::filesystem;

// Why loading `name` from `folder` failed.
std::string refusal(const fs::path& folder, const std::string& name) {
    platform::ProgramModule module(name, folder);
    try {
        module.symbol("quillary_entry");
    } catch (const platform::Error& error) {
        return error.description();
    }
    return "loaded";
}

TEST(ProgramModule, LoadsNothingFromAFolderThatOtherUsersCouldChange) {
    const std::string name = "libquillary_planted.so";
    const fs::path shared = testsupport::freshDirectory("shared");
    std::ofstream(shared / name) << "not ours";
    fs::permissions(shared, fs::perms::others_write, fs::perm_options::add);
    const auto inShared = refusal(shared, name);
    EXPECT_NE(inShared.find(shared.string() + " is writable by other users"), std::string::npos) << inShared;
    EXPECT_NE(inShared.find("platform::ProgramModule::setDirectory"), std::string::npos) << inShared;

    // Our own folder does not help under a parent that anyone may change.
    const fs::path below = shared / "lib";
    fs::create_directory(below);
    std::ofstream(below / name) << "not ours";
    const auto inBelow = refusal(below, name);
    EXPECT_NE(inBelow.find(shared.string() + " is writable by other users"), std::string::npos) << inBelow;

    // A folder made again by someone else as a link to a folder of theirs
    // (only root can give a link away to show it).
    if (::geteuid() == 0) {
        const fs::path theirs = testsupport::freshDirectory("theirs");
        std::ofstream(theirs / name) << "not ours";
        const fs::path link = testsupport::freshDirectory("build") / "lib";
        fs::create_directory_symlink(theirs, link);
        ASSERT_EQ(::lchown(link.c_str(), 65534, 65534), 0);
        const auto viaLink = refusal(link, name);
        EXPECT_NE(viaLink.find(link.string() + " is a symbolic link owned by another user"), std::string::npos)
            << viaLink;
    }
}

}  // namespace
