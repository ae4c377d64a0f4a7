#include "platform/fake/ManualMonotonicClock.h"

namespace platform {

bool ManualMonotonicClock::waitUntil(std::condition_variable_any& cv, std::unique_lock<std::mutex>& lock,
                                     std::stop_token stop, TimePoint deadline,
                                     const std::function<bool()>& ready) const {
    std::uint64_t id;
    {
        std::lock_guard guard(mutex_);
        id = nextSleeper_++;
    }
    // `ready` may consume what it looks at (a nudge): asked once per look.
    bool isReady = ready();
    while (!isReady) {
        const auto seen = now();
        if (stop.stop_requested() || seen >= deadline)
            break;
        {
            std::lock_guard guard(mutex_);
            sleepers_[id] = {deadline, seen};
        }
        changed_.notify_all();
        isReady = cv.wait_for(lock, stop, std::chrono::milliseconds(1), ready);
    }
    {
        std::lock_guard guard(mutex_);
        sleepers_.erase(id);
    }
    return isReady;
}

bool ManualMonotonicClock::waitForSleeper(TimePoint deadline, std::chrono::milliseconds limit) const {
    std::unique_lock guard(mutex_);
    return changed_.wait_for(guard, limit, [&] {
        const auto current = now();
        for (const auto& [id, sleeper] : sleepers_)
            if (sleeper.first == deadline && sleeper.second >= current)
                return true;
        return false;
    });
}

}  // namespace platform
