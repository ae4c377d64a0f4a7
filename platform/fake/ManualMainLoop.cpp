#include "platform/fake/ManualMainLoop.h"

#include <algorithm>
#include <vector>

namespace platform {

void ManualMainLoop::post(Task task) {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(task));
}

MainLoop::Id ManualMainLoop::watchReadable(int fd, Task onReadable) {
    const auto id = nextId_++;
    watches_.emplace(id, std::make_pair(fd, std::move(onReadable)));
    return id;
}

MainLoop::Id ManualMainLoop::addTimer(std::chrono::milliseconds interval, bool repeats, Task onFire) {
    const auto id = nextId_++;
    timers_.emplace(id, Timer{now_ + interval, interval, repeats, std::move(onFire)});
    return id;
}

void ManualMainLoop::cancel(Id id) {
    watches_.erase(id);
    timers_.erase(id);
}

int ManualMainLoop::runPending() {
    int count = 0;
    for (;;) {
        Task task;
        {
            std::lock_guard lock(mutex_);
            if (posted_.empty())
                return count;
            task = std::move(posted_.front());
            posted_.pop_front();
        }
        task();
        ++count;
    }
}

void ManualMainLoop::advance(std::chrono::milliseconds by) {
    const auto end = now_ + by;
    for (;;) {
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it)
            if (it->second.due <= end && (next == timers_.end() || it->second.due < next->second.due))
                next = it;
        if (next == timers_.end())
            break;
        now_ = next->second.due;
        // Copy the callback: it may cancel its own timer while running.
        const Task onFire = next->second.onFire;
        if (next->second.repeats)
            next->second.due += std::max(next->second.interval, std::chrono::milliseconds(1));
        else
            timers_.erase(next);
        onFire();
        runPending();
    }
    now_ = end;
    runPending();
}

bool ManualMainLoop::signalReadable(int fd) {
    std::vector<Id> ids;
    for (const auto& [id, watch] : watches_)
        if (watch.first == fd)
            ids.push_back(id);
    for (const auto id : ids) {
        const auto it = watches_.find(id);
        if (it == watches_.end())
            continue;
        const Task onReadable = it->second.second;
        onReadable();
    }
    return !ids.empty();
}

std::size_t ManualMainLoop::pendingCount() const {
    std::lock_guard lock(mutex_);
    return posted_.size();
}

bool ManualMainLoop::isWatching(int fd) const {
    for (const auto& [id, watch] : watches_)
        if (watch.first == fd)
            return true;
    return false;
}

}  // namespace platform
