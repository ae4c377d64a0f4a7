#pragma once

#include <memory>
#include <string>

namespace platform {

// Seconds between 1970-01-01 and 2001-01-01 (UTC), the reference date of the
// timestamps the stored records use.
inline constexpr double kReferenceDateOffset = 978307200.0;

// Wall-clock time in seconds since 1970-01-01 UTC, with a sub-second part.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
    double nowSinceReferenceDate() const { return now() - kReferenceDateOffset; }

    static std::shared_ptr<Clock> system();
};

class SystemClock final : public Clock {
public:
    double now() const override;
};

// ISO-8601 text in UTC with milliseconds, e.g. "2026-12-07T08:00:00.123Z".
std::string iso8601(double secondsSince1970);

}  // namespace platform
