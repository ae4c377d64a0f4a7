#pragma once

#include <filesystem>
#include <string>

namespace desktop {

// One running Quillary per user: an exclusive flock on `quillary.lock` in the
// settings folder, held as long as this object lives. The kernel drops the
// lock when the process ends in any way, so a crash never blocks the next
// start, and the descriptor is close-on-exec, so programs Quillary starts
// (a desktop settings page) never inherit it.
class SingleInstanceLock {
public:
    enum class State {
        Acquired,    // this process is the one instance
        HeldByOther, // another Quillary runs: say so and exit
        Unavailable, // the lock file cannot be made; run without the guarantee
    };

    explicit SingleInstanceLock(const std::filesystem::path& file);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    State state() const { return state_; }
    // Why the lock is unavailable (empty otherwise).
    const std::string& problem() const { return problem_; }

    // $XDG_CONFIG_HOME/quillary/quillary.lock, beside the settings file.
    static std::filesystem::path defaultPath();

    static constexpr const char* kAlreadyRunning = "Quillary is already running";

private:
    int fd_ = -1;
    State state_ = State::Unavailable;
    std::string problem_;
};

}  // namespace desktop
