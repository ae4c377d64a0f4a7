#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <utility>

namespace gemini {

// Each wire enumeration specialises this next to its declaration:
//   static constexpr std::string_view name = "FinishReason";
//   static constexpr std::array<std::pair<E, std::string_view>, N> table = {...};
// and, for those the server sends, `static constexpr E unknown`.
template <class E>
struct EnumTraits;

template <class E>
std::string_view rawValue(E value) {
    for (const auto& [e, raw] : EnumTraits<E>::table)
        if (e == value) return raw;
    return {};
}

// Exact, case-sensitive; any other text gives nothing.
template <class E>
std::optional<E> fromRawValue(std::string_view raw) {
    for (const auto& [e, r] : EnumTraits<E>::table)
        if (r == raw) return e;
    return std::nullopt;
}

}  // namespace gemini
