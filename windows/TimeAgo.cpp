#include "windows/TimeAgo.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace windows {

std::string timeAgo(double now, double date) {
    const double minutes = std::trunc((now - date) / 60.0);
    if (std::isnan(minutes) || minutes < 1) return "Just now";
    // 2^63 as a double; anything at or past it does not fit a signed 64-bit count.
    constexpr double kLimit = 9223372036854775808.0;
    const std::int64_t whole =
        minutes >= kLimit ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(minutes);
    if (whole < 60) return std::to_string(whole) + "m ago";
    if (whole < 1440) return std::to_string(whole / 60) + "h ago";
    return std::to_string(whole / 1440) + "d ago";
}

}  // namespace windows
