#include "platform/Clock.h"

#include <chrono>
#include <cmath>
#include <ctime>

#include <fmt/format.h>

namespace platform {

double SystemClock::now() const {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

std::shared_ptr<Clock> Clock::system() {
    static const std::shared_ptr<Clock> clock = std::make_shared<SystemClock>();
    return clock;
}

std::string iso8601(double secondsSince1970) {
    double whole = std::floor(secondsSince1970);
    auto millis = static_cast<int>(std::lround((secondsSince1970 - whole) * 1000.0));
    if (millis >= 1000) {
        whole += 1;
        millis -= 1000;
    }
    const auto t = static_cast<std::time_t>(whole);
    std::tm tm{};
    gmtime_r(&t, &tm);
    return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}.{:03}Z", tm.tm_year + 1900, tm.tm_mon + 1,
                       tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, millis);
}

}  // namespace platform
