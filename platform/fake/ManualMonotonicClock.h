#pragma once

#include <atomic>
#include <cstdint>
#include <map>

#include "platform/MonotonicClock.h"

namespace platform {

// A monotonic clock that moves only when the test says so. A worker waiting
// on it looks at it again about every millisecond of real time (a fake needs
// no wake-up machinery of its own); the test learns through `waitForSleeper`
// that a worker has seen the current time and chose to wait on.
class ManualMonotonicClock final : public MonotonicClock {
public:
    TimePoint now() const override { return TimePoint(std::chrono::nanoseconds(now_.load())); }
    bool waitUntil(std::condition_variable_any& cv, std::unique_lock<std::mutex>& lock, std::stop_token stop,
                   TimePoint deadline, const std::function<bool()>& ready) const override;

    void advance(std::chrono::nanoseconds by) { now_.fetch_add(by.count()); }

    // True once some thread waits on this clock until `deadline` after having
    // looked at the current time; false when none does within `limit` of
    // real time (a safety net for a failing test, not a timing).
    bool waitForSleeper(TimePoint deadline, std::chrono::milliseconds limit = std::chrono::seconds(10)) const;

private:
    // A clock far from zero, so that "now - delay" stays a valid time.
    std::atomic<std::int64_t> now_{std::chrono::nanoseconds(std::chrono::hours(24)).count()};

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    // Per waiting thread's wait: its deadline and the time it last looked at.
    mutable std::map<std::uint64_t, std::pair<TimePoint, TimePoint>> sleepers_;
    mutable std::uint64_t nextSleeper_ = 0;
};

}  // namespace platform
