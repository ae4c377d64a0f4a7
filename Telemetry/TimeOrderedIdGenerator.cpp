#include "Telemetry/TimeOrderedIdGenerator.h"

#include <array>
#include <cmath>

namespace telemetry {

platform::Uuid TimeOrderedIdGenerator::next(double unixSeconds) {
    std::array<std::uint8_t, 16> bytes{};
    platform::randomBytes(bytes.data(), bytes.size());

    const double millis = std::floor(unixSeconds * 1000.0);
    const auto now = millis > 0 ? static_cast<std::uint64_t>(millis) & 0xFFFF'FFFF'FFFFull : 0;
    std::uint64_t stamp = 0;
    std::uint32_t counter = 0;
    {
        std::lock_guard lock(mutex_);
        if (now > lastMillis_) {
            lastMillis_ = now;
            // A random start leaves room for 2048 more identifiers in the
            // same millisecond while keeping the value hard to guess.
            counter_ = static_cast<std::uint32_t>(((bytes[6] << 8) | bytes[7]) & 0x7FF);
        } else if (++counter_ > 0xFFF) {
            // Counter spent: borrow the next millisecond rather than repeat.
            ++lastMillis_;
            counter_ = 0;
        }
        stamp = lastMillis_;
        counter = counter_;
    }

    for (int i = 0; i < 6; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(stamp >> (40 - 8 * i));
    bytes[6] = static_cast<std::uint8_t>(0x70 | ((counter >> 8) & 0x0F));
    bytes[7] = static_cast<std::uint8_t>(counter & 0xFF);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    return platform::Uuid(bytes);
}

}  // namespace telemetry
