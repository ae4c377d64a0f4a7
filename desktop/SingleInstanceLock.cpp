#include "desktop/SingleInstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/linux/JsonFileUserDefaults.h"

namespace desktop {

SingleInstanceLock::SingleInstanceLock(const std::filesystem::path& file) {
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        problem_ = "cannot open " + file.string() + ": " + std::strerror(errno);
        return;
    }
    int result;
    do {
        result = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        state_ = State::Acquired;
    } else if (errno == EWOULDBLOCK) {
        state_ = State::HeldByOther;
    } else {
        problem_ = "cannot lock " + file.string() + ": " + std::strerror(errno);
    }
}

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the only descriptor releases the lock
}

std::filesystem::path SingleInstanceLock::defaultPath() {
    return platform::JsonFileUserDefaults::defaultPath().parent_path() / "quillary.lock";
}

}  // namespace desktop
