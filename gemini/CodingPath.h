#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace gemini {

// One step from an enclosing JSON value to a member (by key) or an element
// (by index).
struct CodingKey {
    std::string name;
    std::optional<std::size_t> index;

    static CodingKey key(std::string name) { return {std::move(name), std::nullopt}; }
    static CodingKey element(std::size_t i) { return {{}, i}; }
    friend bool operator==(const CodingKey&, const CodingKey&) = default;
};

// Where in a JSON document a failure happened, outermost step first.
using CodingPath = std::vector<CodingKey>;

// "candidates[0].content.parts"; empty text for the top level.
std::string describe(const CodingPath& path);

}  // namespace gemini
