#include "platform/MonotonicClock.h"

namespace platform {

namespace {

class SteadyClock final : public MonotonicClock {
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }
    bool waitUntil(std::condition_variable_any& cv, std::unique_lock<std::mutex>& lock, std::stop_token stop,
                   TimePoint deadline, const std::function<bool()>& ready) const override {
        return cv.wait_until(lock, std::move(stop), deadline, ready);
    }
};

}  // namespace

std::shared_ptr<MonotonicClock> MonotonicClock::steady() {
    static const std::shared_ptr<MonotonicClock> clock = std::make_shared<SteadyClock>();
    return clock;
}

}  // namespace platform
