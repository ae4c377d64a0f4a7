#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A 128-bit identifier. Text form is upper-case with dashes, as the stored
// records use ("E621E1F8-C36C-495A-93FC-0C247A3E6E5F").
class Uuid {
public:
    Uuid() = default;  // the nil identifier
    explicit Uuid(const std::array<std::uint8_t, 16>& bytes) : bytes_(bytes) {}

    static Uuid random();  // version 4
    // Accepts upper- or lower-case hex with dashes in the 8-4-4-4-12 layout.
    static std::optional<Uuid> parse(std::string_view text);

    std::string uuidString() const;
    const std::array<std::uint8_t, 16>& bytes() const { return bytes_; }

    friend bool operator==(const Uuid&, const Uuid&) = default;
    friend auto operator<=>(const Uuid&, const Uuid&) = default;

private:
    std::array<std::uint8_t, 16> bytes_{};
};

// Fills `out` with cryptographically random bytes (getrandom).
void randomBytes(std::uint8_t* out, std::size_t count);

}  // namespace platform
