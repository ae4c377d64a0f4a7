#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>

namespace platform {

// Monotonic time for a worker that waits between attempts (back-off,
// intervals): the real steady clock in the program, moved by hand in tests,
// so that a test drives the waiting instead of sleeping through it.
class MonotonicClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~MonotonicClock() = default;
    virtual TimePoint now() const = 0;

    // Waits on `cv`, with `lock` held as for any condition-variable wait,
    // until `ready()` holds, `stop` is requested, or this clock reaches
    // `deadline`. Returns ready().
    virtual bool waitUntil(std::condition_variable_any& cv, std::unique_lock<std::mutex>& lock, std::stop_token stop,
                           TimePoint deadline, const std::function<bool()>& ready) const = 0;

    // std::chrono::steady_clock.
    static std::shared_ptr<MonotonicClock> steady();
};

}  // namespace platform
