#include "platform/fake/ManualMainLoop.h"

#include <algorithm>
#include <vector>

namespace platform {

void ManualMainLoop::post(Task task) { posted_.push(std::move(task)); }

MainLoop::Id ManualMainLoop::watchReadable(int fd, Task onReadable) {
    const auto id = nextId_++;
    watches_.emplace(id, std::make_pair(fd, std::move(onReadable)));
    return id;
}

void ManualMainLoop::arm(Id id, Timer& timer, std::chrono::milliseconds due) {
    timer.slot = {due, armed_++};
    schedule_.emplace(timer.slot, id);
}

MainLoop::Id ManualMainLoop::addTimer(std::chrono::milliseconds interval, bool repeats, Task onFire) {
    const auto id = nextId_++;
    auto& timer = timers_.emplace(id, Timer{interval, repeats, std::move(onFire), {}}).first->second;
    arm(id, timer, now_ + interval);
    return id;
}

void ManualMainLoop::cancel(Id id) {
    watches_.erase(id);
    if (const auto it = timers_.find(id); it != timers_.end()) {
        schedule_.erase(it->second.slot);
        timers_.erase(it);
    }
}

int ManualMainLoop::runPending() {
    int count = 0;
    while (!isHeld()) {
        const Task task = posted_.pop();
        if (!task)
            break;
        task();
        ++count;
    }
    return count;
}

void ManualMainLoop::advance(std::chrono::milliseconds by) {
    const auto end = now_ + by;
    while (!isHeld() && !schedule_.empty() && schedule_.begin()->first.first <= end) {
        const auto [slot, id] = *schedule_.begin();
        schedule_.erase(schedule_.begin());
        // Time never runs backwards, also for a timer that fell due during a
        // hold or inside a nested advance.
        now_ = std::max(now_, slot.first);
        auto& timer = timers_.at(id);
        // Copy the callback: it may cancel its own timer while running.
        const Task onFire = timer.onFire;
        if (timer.repeats)
            arm(id, timer, slot.first + std::max(timer.interval, std::chrono::milliseconds(1)));
        else
            timers_.erase(id);
        onFire();
        runPending();
    }
    now_ = std::max(now_, end);
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

std::size_t ManualMainLoop::pendingCount() const { return posted_.size(); }

bool ManualMainLoop::isWatching(int fd) const {
    for (const auto& [id, watch] : watches_)
        if (watch.first == fd)
            return true;
    return false;
}

}  // namespace platform
