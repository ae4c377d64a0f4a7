#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <utility>
#include <vector>

#include <fmt/format.h>

namespace platform::atomic_file {
namespace {

// Closes the descriptor on every path out.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = other.release();
        }
        return *this;
    }
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Writes the pieces in order, resuming after short writes.
bool writeAll(int fd, std::span<const std::string_view> pieces) {
    std::vector<iovec> vec;
    vec.reserve(pieces.size());
    for (const auto piece : pieces)
        if (!piece.empty()) vec.push_back(iovec{const_cast<char*>(piece.data()), piece.size()});
    std::size_t first = 0;
    while (first < vec.size()) {
        const int count = static_cast<int>(std::min<std::size_t>(vec.size() - first, IOV_MAX));
        const ssize_t written = ::writev(fd, vec.data() + first, count);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        auto left = static_cast<std::size_t>(written);
        while (first < vec.size() && left >= vec[first].iov_len) left -= vec[first++].iov_len;
        if (left > 0) {
            vec[first].iov_base = static_cast<char*>(vec[first].iov_base) + left;
            vec[first].iov_len -= left;
        }
    }
    return true;
}

std::string failure(const char* what, const std::filesystem::path& file, int err) {
    return std::string(what) + " " + file.string() + ": " + std::strerror(err);
}

// Makes a file that did not exist, never following a link planted at its
// name; makes the folder on first use (or again, if someone removed it).
FileDescriptor create(const std::filesystem::path& path) {
    const auto open = [&] {
        return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    };
    FileDescriptor fd(open());
    if (fd.get() < 0 && errno == ENOENT && !makeFolders(path.parent_path())) fd = FileDescriptor(open());
    return fd;
}

// A number no other writer picks, for a name whose first choice was taken.
unsigned long long randomNumber() {
    std::random_device device;
    return (static_cast<unsigned long long>(device()) << 32) | device();
}

// Writes, syncs and closes; removes the file when any of it failed. A file
// that held more before is cut to what was written.
std::optional<std::string> fill(FileDescriptor fd, const std::filesystem::path& path,
                                std::span<const std::string_view> pieces, Sync sync) {
    off_t size = 0;
    for (const auto piece : pieces) size += static_cast<off_t>(piece.size());
    const bool written = writeAll(fd.get(), pieces) && ::ftruncate(fd.get(), size) == 0 &&
                         (sync == Sync::None || ::fsync(fd.get()) == 0);
    const int writeErrno = errno;
    const bool closed = ::close(fd.release()) == 0;
    if (written && closed) return std::nullopt;
    const int err = written ? errno : writeErrno;
    ::unlink(path.c_str());
    return failure("cannot write", path, err);
}

// Unique per process and call, so the value files of one process never
// share a name.
std::atomic<unsigned long> sequence{0};

std::string processTag() { return std::to_string(::getpid()); }

constexpr int kNameAttempts = 100;

}  // namespace

std::optional<std::string> write(const std::filesystem::path& file, std::string_view bytes, Sync sync) {
    return write(file, std::span<const std::string_view>(&bytes, 1), sync);
}

std::optional<std::string> write(const std::filesystem::path& file, std::span<const std::string_view> pieces,
                                 Sync sync) {
    // The first name is the same on every write of this process; when it is
    // taken (a write of another thread, a crash, anything planted there), a
    // random one, as mkostemp does.
    auto temporary = file;
    temporary += fmt::format(".{}-0{}", processTag(), kTemporarySuffix);
    FileDescriptor fd = create(temporary);
    for (int attempt = 0; fd.get() < 0 && errno == EEXIST && attempt < kNameAttempts; ++attempt) {
        temporary = file;
        temporary += fmt::format(".{}-{}{}", processTag(), randomNumber(), kTemporarySuffix);
        fd = create(temporary);
    }
    if (fd.get() < 0) return failure("cannot create", temporary, errno);
    if (auto error = fill(std::move(fd), temporary, pieces, sync)) return error;
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        const int err = errno;
        ::unlink(temporary.c_str());
        return failure("cannot replace", file, err);
    }
    if (sync == Sync::ToDisk) {
        // Make the rename itself durable.
        FileDescriptor dir(::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() >= 0) ::fsync(dir.get());
    }
    return std::nullopt;
}

NewFile writeNew(const std::filesystem::path& file, std::string_view tag, std::string_view suffix,
                 std::string_view bytes, Sync sync, const std::filesystem::path& reuse) {
    bool reusing = !reuse.empty();
    for (;;) {
        auto path = file;
        path += fmt::format(".{}.{}-{}{}", tag, processTag(), sequence++, suffix);
        FileDescriptor fd(-1);
        if (reusing) {
            if (::renameat2(AT_FDCWD, reuse.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) {
                fd = FileDescriptor(::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
                if (fd.get() < 0) ::unlink(path.c_str());
            } else if (errno == EEXIST) {
                continue;
            } else {
                ::unlink(reuse.c_str());  // no use to anyone
            }
            if (fd.get() < 0) reusing = false;  // a fresh file, then
        }
        if (fd.get() < 0) fd = create(path);
        // Taken by an earlier process that had the same id: try the next number.
        if (fd.get() < 0 && errno == EEXIST) continue;
        if (fd.get() < 0) return {{}, failure("cannot create", path, errno)};
        if (auto error = fill(std::move(fd), path, std::span<const std::string_view>(&bytes, 1), sync))
            return {{}, std::move(error)};
        return {std::move(path), std::nullopt};
    }
}

bool isLeftByEndedProcess(const std::filesystem::path& file, std::string_view name, std::string_view suffix) {
    const std::string prefix = file.filename().string() + ".";
    if (!name.starts_with(prefix)) return false;
    if (name.ends_with(kTemporarySuffix)) {
        name.remove_suffix(kTemporarySuffix.size());
    } else if (!suffix.empty() && name.ends_with(suffix)) {
        name.remove_suffix(suffix.size());
    } else {
        return false;
    }
    name.remove_prefix(prefix.size());
    // What is left is "PID-N" or "TAG.PID-N".
    if (const auto dot = name.rfind('.'); dot != std::string_view::npos) name.remove_prefix(dot + 1);
    const auto dash = name.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 == name.size()) return false;
    const auto digits = [](std::string_view text) {
        return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    const auto pid = name.substr(0, dash);
    if (!digits(pid) || !digits(name.substr(dash + 1)) || pid.size() > 9) return false;
    const pid_t writer = static_cast<pid_t>(std::stol(std::string(pid)));
    if (writer <= 0 || writer == ::getpid()) return false;
    // A process that runs, or runs as another user, is left alone.
    return ::kill(writer, 0) != 0 && errno == ESRCH;
}

void removeStaleTemporaries(const std::filesystem::path& file) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path(), ec)) {
        const auto name = entry.path().filename().string();
        if (name.ends_with(kTemporarySuffix) && isLeftByEndedProcess(file, name, {}))
            std::filesystem::remove(entry.path(), ec);
    }
}

std::optional<std::string> makeFolders(const std::filesystem::path& folder) {
    if (::mkdir(folder.c_str(), 0700) == 0) return std::nullopt;
    if (errno == ENOENT && folder.has_relative_path() && folder.parent_path() != folder) {
        if (auto error = makeFolders(folder.parent_path())) return error;
        if (::mkdir(folder.c_str(), 0700) == 0) return std::nullopt;
    }
    int err = errno;
    struct stat status {};
    if (err == EEXIST && ::stat(folder.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) return std::nullopt;
        err = ENOTDIR;
    }
    return failure("cannot make the folder", folder, err);
}

std::optional<std::string> makePrivateFolder(const std::filesystem::path& folder) {
    if (auto error = makeFolders(folder)) return error;
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0) return failure("cannot read", folder, errno);
    if ((status.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0)
        return failure("cannot make private", folder, errno);
    return std::nullopt;
}

std::optional<std::string> read(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return std::move(buffer).str();
}

}  // namespace platform::atomic_file
