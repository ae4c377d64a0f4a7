#pragma once

#include <cstdint>
#include <mutex>

#include "platform/Uuid.h"

namespace telemetry {

// Makes time-ordered identifiers in the UUID version 7 layout: 48 bits of
// Unix milliseconds, a 12-bit counter, then random bits. Identifiers from one
// generator always increase, also within one millisecond and when the clock
// steps back, so their text sorts in the order they were made; the event
// queue relies on that to find its oldest files. Safe from any thread.
class TimeOrderedIdGenerator {
public:
    platform::Uuid next(double unixSeconds);

private:
    std::mutex mutex_;
    std::uint64_t lastMillis_ = 0;
    std::uint32_t counter_ = 0;
};

}  // namespace telemetry
