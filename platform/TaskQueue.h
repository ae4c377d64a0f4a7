#pragma once

#include <cstddef>
#include <deque>
#include <mutex>

#include "platform/MainLoop.h"

namespace platform {

// The posted work of a main loop: filled from any thread, taken in order on
// the main thread, one task at a time (a task may post more while it runs).
class TaskQueue {
public:
    // An empty task is ignored: taking it would read as "nothing left".
    void push(MainLoop::Task task) {
        if (!task)
            return;
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    // The oldest task, or an empty one when none waits.
    MainLoop::Task pop() {
        std::lock_guard lock(mutex_);
        if (tasks_.empty())
            return {};
        MainLoop::Task task = std::move(tasks_.front());
        tasks_.pop_front();
        return task;
    }
    std::size_t size() const {
        std::lock_guard lock(mutex_);
        return tasks_.size();
    }

private:
    mutable std::mutex mutex_;
    std::deque<MainLoop::Task> tasks_;
};

}  // namespace platform
