#pragma once

#include <cstdint>
#include <string>

// The "history" value of round `round` of the writer child: above the size
// that gets a file of its own, and naming its round at both ends so that a
// torn or mixed file shows.
inline std::string writerChildHistory(std::int64_t round) {
    const std::string mark = "round " + std::to_string(round) + "\n";
    return mark + std::string(150 * 1024, static_cast<char>('a' + round % 26)) + mark;
}
