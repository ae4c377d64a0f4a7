#pragma once

#include <deque>
#include <map>
#include <mutex>

#include "platform/MainLoop.h"

namespace platform {

// A main loop that runs only when a test tells it to. Time is virtual and
// moves only through `advance`; descriptors are "readable" when the test says
// so. `post` is thread-safe; everything else belongs to the test's thread.
class ManualMainLoop final : public MainLoop {
public:
    void post(Task task) override;
    Id watchReadable(int fd, Task onReadable) override;
    Id addTimer(std::chrono::milliseconds interval, bool repeats, Task onFire) override;
    void cancel(Id id) override;

    // Runs posted work, including work posted while running, until none is
    // left. Returns how many tasks ran.
    int runPending();

    // Moves virtual time forward, firing due timers in time order (running
    // posted work after each), then runs what is still posted.
    void advance(std::chrono::milliseconds by);

    // Calls the watchers of `fd` as if it had become readable; returns false
    // when nothing watches it.
    bool signalReadable(int fd);

    std::size_t pendingCount() const;
    std::size_t timerCount() const { return timers_.size(); }
    bool isWatching(int fd) const;
    std::chrono::milliseconds now() const { return now_; }

private:
    struct Timer {
        std::chrono::milliseconds due;
        std::chrono::milliseconds interval;
        bool repeats;
        Task onFire;
    };

    mutable std::mutex mutex_;
    std::deque<Task> posted_;
    std::map<Id, std::pair<int, Task>> watches_;
    std::map<Id, Timer> timers_;
    Id nextId_ = 1;
    std::chrono::milliseconds now_{0};
};

}  // namespace platform
