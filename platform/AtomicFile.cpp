#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
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

}  // namespace

std::optional<std::string> write(const std::filesystem::path& file, std::string_view bytes, Sync sync) {
    return write(file, std::span<const std::string_view>(&bytes, 1), sync);
}

std::optional<std::string> write(const std::filesystem::path& file, std::span<const std::string_view> pieces,
                                 Sync sync) {
    // Unique per process and call, so concurrent writers never share one.
    static std::atomic<unsigned long> sequence{0};
    auto temporary = file;
    temporary += fmt::format(".{}-{}{}", ::getpid(), sequence++, kTemporarySuffix);

    const auto create = [&] { return ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600); };
    FileDescriptor fd(create());
    if (fd.get() < 0 && errno == ENOENT) {
        // The folder is made on first use (or again, if someone removed it).
        std::error_code ignored;
        std::filesystem::create_directories(file.parent_path(), ignored);
        fd = FileDescriptor(create());
    }
    if (fd.get() < 0) return failure("cannot create", temporary, errno);
    const bool written = writeAll(fd.get(), pieces) && (sync == Sync::None || ::fsync(fd.get()) == 0);
    const int writeErrno = errno;
    const bool closed = ::close(fd.release()) == 0;
    if (!written || !closed) {
        const int err = written ? errno : writeErrno;
        ::unlink(temporary.c_str());
        return failure("cannot write", temporary, err);
    }
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

std::optional<std::string> read(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return std::move(buffer).str();
}

}  // namespace platform::atomic_file
