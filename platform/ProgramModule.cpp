#include "platform/ProgramModule.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <deque>
#include <system_error>
#include <utility>

#include "platform/Error.h"

#if !defined(QUILLARY_MODULE_DIR_FROM_PROGRAM) || !defined(QUILLARY_BUILD_TOP_DIR) || !defined(QUILLARY_BUILD_MODULE_DIR)
#error "the build gives the path from the program's folder to its modules' folder, and its own folders"
#endif

namespace platform {
namespace {

std::mutex& directoryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::filesystem::path& chosenDirectory() {
    static std::filesystem::path directory;
    return directory;
}

class Descriptor {
public:
    explicit Descriptor(int descriptor = -1) : descriptor_(descriptor) {}
    ~Descriptor() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    Descriptor(Descriptor&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(descriptor_, other.descriptor_);
        return *this;
    }
    int get() const { return descriptor_; }
    int release() { return std::exchange(descriptor_, -1); }

private:
    int descriptor_;
};

// The private group that some systems give each user (its name is the
// user's, no one else is in it), where a umask of 002 leaves every folder
// writable by that group: writable by the user alone.
bool isUsersOwnGroup(gid_t group) {
    if (group != ::getegid()) return false;
    std::vector<char> userBuffer(16384), groupBuffer(16384);
    passwd user{};
    passwd* userFound = nullptr;
    struct group entry {};
    struct group* groupFound = nullptr;
    if (getpwuid_r(::geteuid(), &user, userBuffer.data(), userBuffer.size(), &userFound) != 0 || !userFound ||
        getgrgid_r(group, &entry, groupBuffer.data(), groupBuffer.size(), &groupFound) != 0 || !groupFound)
        return false;
    if (std::strcmp(user.pw_name, entry.gr_name) != 0) return false;
    for (char** member = entry.gr_mem; *member; ++member)
        if (std::strcmp(*member, user.pw_name) != 0) return false;
    return true;
}

// Why someone other than the user and root could write through the group
// bits of a folder's or file's mode, or nothing. Without a POSIX access list
// those bits are the owning group's. With one they are its mask, which caps
// every entry but the owner's and the others': the owning group's own
// permission is then its entry in the list, and entries naming further users
// and groups grant what the mask lets through. So the list matters only where
// the mode shows group write.
//
// The list is read through /proc/self/fd of the descriptor already checked
// (extended attributes cannot be read from an O_PATH descriptor itself), and
// its bytes are taken as untrusted: a list that does not parse is refused.
std::string whyGroupBitsLetOthersWrite(int descriptor, const struct stat& status) {
    enum : unsigned { userObj = 0x01, user = 0x02, groupObj = 0x04, group = 0x08, mask = 0x10, other = 0x20 };
    constexpr unsigned writeBit = 2;
    if (!(status.st_mode & S_IWGRP)) return {};
    std::vector<unsigned char> list(XATTR_SIZE_MAX);
    const std::string byDescriptor = "/proc/self/fd/" + std::to_string(descriptor);
    const auto length = ::getxattr(byDescriptor.c_str(), "system.posix_acl_access", list.data(), list.size());
    if (length < 0) {
        const int error = errno;
        // No list, or a file system that keeps none: the bits are the group's.
        if (error == ENODATA || error == ENOTSUP)
            return isUsersOwnGroup(status.st_gid) ? std::string() : "writable by its group";
        return std::string("guarded by an access list that cannot be read (") + std::strerror(error) + ")";
    }
    // Version 2, then entries of a 16-bit tag, 16-bit permissions and a
    // 32-bit id, all little-endian.
    const auto size = static_cast<std::size_t>(length);
    const auto at16 = [&](std::size_t at) { return unsigned(list[at]) | unsigned(list[at + 1]) << 8; };
    const auto at32 = [&](std::size_t at) { return at16(at) | std::uint32_t(at16(at + 2)) << 16; };
    if (size < 4 || at32(0) != 2 || (size - 4) % 8 != 0) return "guarded by an access list that is malformed";
    // Where an entry is missing, assume the most it could grant.
    unsigned owningGroup = (status.st_mode >> 3) & 7, limit = 7;
    std::string namedWriter;
    for (std::size_t entry = 4; entry < size; entry += 8) {
        const unsigned tag = at16(entry), permissions = at16(entry + 2);
        const std::uint32_t id = at32(entry + 4);
        switch (tag) {
        case userObj:
        case other:  // the same as the mode's bits, checked already
            break;
        case user:  // the user and root may write
            if ((permissions & writeBit) && namedWriter.empty() && id != ::geteuid() && id != 0)
                namedWriter = "user " + std::to_string(id);
            break;
        case group:
            if ((permissions & writeBit) && namedWriter.empty()) namedWriter = "group " + std::to_string(id);
            break;
        case groupObj:
            owningGroup = permissions;
            break;
        case mask:
            limit = permissions;
            break;
        default:
            return "guarded by an access list that is malformed";
        }
    }
    if ((limit & writeBit) && !namedWriter.empty()) return "writable by " + namedWriter + " through its access list";
    if ((owningGroup & limit & writeBit) && !isUsersOwnGroup(status.st_gid)) return "writable by its group";
    return {};
}

// Why someone other than the user and root could change what this folder or
// file holds, or nothing. A folder with the sticky bit (/tmp) is fine on the
// way: others may add entries there but not replace ours, and what lies
// below is checked in turn.
std::string whyOthersCouldChange(int descriptor, const struct stat& status, bool onTheWay) {
    if (status.st_uid != ::geteuid() && status.st_uid != 0) return "owned by another user";
    if (onTheWay && S_ISDIR(status.st_mode) && (status.st_mode & S_ISVTX)) return {};
    if (status.st_mode & S_IWOTH) return "writable by other users";
    return whyGroupBitsLetOthersWrite(descriptor, status);
}

struct OpenedModule {
    Descriptor file;
    std::string problem;
    bool refused = false;  // a folder or file that others could change, as opposed to a miss
};

// Opens `file` for loading code from, refusing it unless no one but the user
// and root could change it, its folder, the folders above and the symbolic
// links on the way. Each step is taken from a descriptor of the folder just
// checked, never by name again, so a folder swapped for a link once checked
// cannot lead elsewhere; the result is a descriptor of the very file checked.
OpenedModule openModuleFile(const std::filesystem::path& file) {
    const auto fail = [](const std::filesystem::path& at, int error) {
        return OpenedModule{Descriptor(), at.string() + ": " + std::strerror(error), false};
    };
    const auto refuse = [&](const std::filesystem::path& at, const std::string& why) {
        return OpenedModule{Descriptor(),
                            file.string() + ": not loaded, as " + at.string() + " is " + why +
                                ": modules are loaded only from folders that no one but the user and root can change",
                            true};
    };
    std::error_code error;
    const auto absolute = std::filesystem::absolute(file, error);
    if (error) return fail(file, error.value());

    std::vector<Descriptor> folders;  // from the root to the current folder, each one checked
    std::filesystem::path here("/");
    struct stat status {};
    folders.emplace_back(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (folders.back().get() < 0 || ::fstat(folders.back().get(), &status) != 0) return fail(file, errno);
    if (auto why = whyOthersCouldChange(folders.back().get(), status, true); !why.empty()) return refuse(here, why);

    std::deque<std::string> rest;
    for (const auto& name : absolute.relative_path()) rest.push_back(name.string());
    int links = 0;
    while (!rest.empty()) {
        const std::string name = std::move(rest.front());
        rest.pop_front();
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            if (folders.size() > 1) {
                folders.pop_back();
                here = here.parent_path();
            }
            continue;
        }
        Descriptor next(::openat(folders.back().get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (next.get() < 0 || ::fstat(next.get(), &status) != 0) return fail(file, errno);
        const auto at = here / name;
        if (S_ISLNK(status.st_mode)) {
            if (status.st_uid != ::geteuid() && status.st_uid != 0)
                return refuse(at, "a symbolic link owned by another user");
            if (++links > 40) return fail(file, ELOOP);
            std::string target(PATH_MAX, '\0');
            const auto length = ::readlinkat(next.get(), "", target.data(), target.size());
            if (length < 0) return fail(at, errno);
            target.resize(static_cast<std::size_t>(length));
            const std::filesystem::path targetPath(target);
            if (targetPath.is_absolute()) {
                folders.resize(1);
                here = "/";
            }
            std::vector<std::string> names;
            for (const auto& part : targetPath.relative_path()) names.push_back(part.string());
            rest.insert(rest.begin(), names.begin(), names.end());
            continue;
        }
        if (S_ISDIR(status.st_mode)) {
            if (auto why = whyOthersCouldChange(next.get(), status, true); !why.empty()) return refuse(at, why);
            folders.push_back(std::move(next));
            here = at;
            continue;
        }
        if (!rest.empty()) return fail(file, ENOTDIR);
        if (!S_ISREG(status.st_mode)) return refuse(at, "not a regular file");
        if (auto why = whyOthersCouldChange(next.get(), status, false); !why.empty()) return refuse(at, why);
        // The folder that holds it, this time with no sticky bit allowed: in
        // a folder where anyone may add files, anyone could have added this one.
        if (::fstat(folders.back().get(), &status) != 0) return fail(file, errno);
        if (auto why = whyOthersCouldChange(folders.back().get(), status, false); !why.empty())
            return refuse(here, why);
        return OpenedModule{std::move(next), {}, false};
    }
    return fail(file, EISDIR);
}

}  // namespace

ProgramModule::ProgramModule(std::string fileName, std::filesystem::path directory)
    : fileName_(std::move(fileName)), directory_(std::move(directory)) {}

ProgramModule::~ProgramModule() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

ProgramModule& ProgramModule::http() {
    static ProgramModule module("libquillary_http.so");
    return module;
}

ProgramModule& ProgramModule::speech() {
    static ProgramModule module("libquillary_speech.so");
    return module;
}

void ProgramModule::openAll() {
    http().open();
    speech().open();
}

std::filesystem::path ProgramModule::directory() {
    const auto folders = searchedDirectories();
    return folders.empty() ? std::filesystem::path() : folders.front();
}

std::vector<std::filesystem::path> ProgramModule::searchedDirectories() {
    {
        const std::lock_guard lock(directoryMutex());
        if (!chosenDirectory().empty()) return {chosenDirectory()};
    }
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    std::vector<std::filesystem::path> folders{
        (executable.parent_path() / QUILLARY_MODULE_DIR_FROM_PROGRAM).lexically_normal()};
    // Any program built in this build tree (a tool, a test, a program that
    // uses the libraries alone) finds the modules where the build put them.
    std::error_code buildError;
    const auto program = std::filesystem::canonical(executable, error);
    const auto buildTop = std::filesystem::canonical(QUILLARY_BUILD_TOP_DIR, buildError);
    if (!error && !buildError) {
        const auto inside = program.lexically_relative(buildTop);
        if (!inside.empty() && *inside.begin() != "..") folders.emplace_back(QUILLARY_BUILD_MODULE_DIR);
    }
    return folders;
}

void ProgramModule::setDirectory(std::filesystem::path directory) {
    const std::lock_guard lock(directoryMutex());
    chosenDirectory() = std::move(directory);
}

void ProgramModule::open() {
    const std::lock_guard lock(mutex_);
    openLocked();
}

void ProgramModule::openLocked() {
    if (descriptor_ >= 0 || !openProblem_.empty()) return;
    const auto folders = directory_.empty() ? searchedDirectories() : std::vector{directory_};
    if (folders.empty()) {
        openProblem_ = "the program's own folder is unknown, so " + fileName_ +
                       " cannot be found (platform::ProgramModule::setDirectory names its folder)";
        return;
    }
    bool refused = false;
    for (const auto& folder : folders) {
        path_ = folder / fileName_;
        auto opened = openModuleFile(path_);
        if (opened.file.get() >= 0) {
            descriptor_ = opened.file.release();
            openProblem_.clear();  // an earlier folder's miss is no problem now
            return;
        }
        // A refusal tells more than a miss elsewhere.
        if (openProblem_.empty() || (opened.refused && !refused)) openProblem_ = std::move(opened.problem);
        refused = refused || opened.refused;
    }
    path_ = folders.front() / fileName_;
    if (directory_.empty()) {
        std::string searched;
        for (const auto& folder : folders) searched += (searched.empty() ? "" : " and ") + folder.string();
        openProblem_ += " (the modules were looked for in " + searched +
                        "; platform::ProgramModule::setDirectory names another folder)";
    } else if (refused) {
        openProblem_ += " (platform::ProgramModule::setDirectory names another folder)";
    }
}

void* ProgramModule::symbol(const char* name) {
    const std::lock_guard lock(mutex_);
    if (!handle_) {
        openLocked();
        if (descriptor_ < 0) throw Error("ProgramModule", 1, openProblem_);
        const std::string byDescriptor = "/proc/self/fd/" + std::to_string(descriptor_);
        handle_ = dlopen(byDescriptor.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_) {
            const char* problem = dlerror();
            throw Error("ProgramModule", 2, path_.string() + ": " + (problem ? problem : "cannot be loaded"));
        }
    }
    void* found = dlsym(handle_, name);
    if (!found) throw Error("ProgramModule", 3, path_.string() + " has no " + name);
    return found;
}

}  // namespace platform
