#include "desktop/SingleInstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/AtomicFile.h"
#include "platform/linux/JsonFileUserDefaults.h"

namespace desktop {

SingleInstanceLock::SingleInstanceLock(const std::filesystem::path& file) {
    // The settings folder, made private at the program's first step; one
    // that cannot be made is reported by the open below.
    (void)platform::atomic_file::makePrivateFolder(file.parent_path());
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
