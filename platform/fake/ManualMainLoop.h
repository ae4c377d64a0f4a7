#pragma once

#include <map>
#include <utility>

#include "platform/MainLoop.h"
#include "platform/TaskQueue.h"

namespace platform {

// A main loop that runs only when a test tells it to. Time is virtual and
// moves only through `advance`; descriptors are "readable" when the test says
// so. `post` is thread-safe; everything else belongs to the test's thread.
// While the loop is held, `runPending` runs nothing and `advance` only moves
// the time: what fell due meanwhile runs on the next call after the hold.
class ManualMainLoop final : public MainLoop {
public:
    using MainLoop::post;
    void post(Task task) override;
    Id watchReadable(int fd, Task onReadable) override;
    Id addTimer(std::chrono::milliseconds interval, bool repeats, Task onFire) override;
    void cancel(Id id) override;
    bool isHeld() const override { return holds_ > 0; }

    // Runs posted work, including work posted while running, until none is
    // left. Returns how many tasks ran.
    int runPending();

    // Moves virtual time forward, firing due timers in time order (equal
    // times in the order the timers were armed), running posted work after
    // each, then runs what is still posted.
    void advance(std::chrono::milliseconds by);

    // Calls the watchers of `fd` as if it had become readable; returns false
    // when nothing watches it.
    bool signalReadable(int fd);

    std::size_t pendingCount() const;
    std::size_t timerCount() const { return timers_.size(); }
    bool isWatching(int fd) const;
    std::chrono::milliseconds now() const { return now_; }

protected:
    void beginHold() override { ++holds_; }
    void endHold() override { --holds_; }

private:
    struct Timer {
        std::chrono::milliseconds interval;
        bool repeats;
        Task onFire;
        std::pair<std::chrono::milliseconds, std::uint64_t> slot;  // key in schedule_
    };

    void arm(Id id, Timer& timer, std::chrono::milliseconds due);

    TaskQueue posted_;
    std::map<Id, std::pair<int, Task>> watches_;
    std::map<Id, Timer> timers_;
    // Due time and arming order -> timer: the firing order.
    std::map<std::pair<std::chrono::milliseconds, std::uint64_t>, Id> schedule_;
    std::uint64_t armed_ = 0;
    Id nextId_ = 1;
    std::chrono::milliseconds now_{0};
    int holds_ = 0;
};

}  // namespace platform
