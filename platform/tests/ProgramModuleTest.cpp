#include "platform/ProgramModule.h"

#include <gtest/gtest.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>

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

// `folder` given a POSIX access list of {tag, permissions, id} entries, in
// the kernel's own bytes: version 2, then each entry little-endian.
bool setAccessList(const fs::path& folder, std::initializer_list<std::array<std::uint32_t, 3>> entries) {
    std::string bytes;
    const auto put = [&](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xff);
    };
    put(2, 4);
    for (const auto& [tag, permissions, id] : entries) {
        put(tag, 2);
        put(permissions, 2);
        put(id, 4);
    }
    return ::setxattr(folder.c_str(), "system.posix_acl_access", bytes.data(), bytes.size(), 0) == 0;
}

TEST(ProgramModule, LoadsNothingFromAFolderThatItsAccessListLetsOthersChange) {
    const std::string name = "libquillary_planted.so";
    enum : std::uint32_t { owner = 1, user = 2, group = 4, mask = 0x10, others = 0x20, none = ~0u };
    // user:nobody:rwx on a folder of 755, which shows as 775: the mode's group
    // bits are the list's mask.
    const fs::path listed = testsupport::freshDirectory("listed");
    std::ofstream(listed / name) << "not ours";
    if (!setAccessList(listed,
                       {{owner, 7, none}, {user, 7, 65534}, {group, 5, none}, {mask, 7, none}, {others, 5, none}})) {
        GTEST_SKIP() << "no access lists here: " << std::strerror(errno);
    }
    const auto refused = refusal(listed, name);
    EXPECT_NE(refused.find(listed.string() + " is writable by user 65534 through its access list"), std::string::npos)
        << refused;

    // The same mask where only root is named and the owning group may not
    // write: no one else can change it, whoever its group is (root gives it
    // a group that is not its own).
    const fs::path rootsToo = testsupport::freshDirectory("roots-too");
    std::ofstream(rootsToo / name) << "not ours";
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(rootsToo.c_str(), 0, 65534), 0);
    }
    ASSERT_TRUE(setAccessList(rootsToo,
                              {{owner, 7, none}, {user, 7, 0}, {group, 5, none}, {mask, 7, none}, {others, 5, none}}));
    const auto loaded = refusal(rootsToo, name);
    EXPECT_EQ(loaded.find("not loaded"), std::string::npos) << loaded;
}

}  // namespace
