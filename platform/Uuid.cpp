#include "platform/Uuid.h"

#include <sys/random.h>

#include <cerrno>
#include <random>
#include <stdexcept>

namespace platform {

void randomBytes(std::uint8_t* out, std::size_t count) {
    std::size_t filled = 0;
    while (filled < count) {
        const ssize_t n = getrandom(out + filled, count - filled, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            // No kernel entropy call: fall back to the library's device.
            std::random_device device;
            for (; filled < count; ++filled) out[filled] = static_cast<std::uint8_t>(device());
            return;
        }
        filled += static_cast<std::size_t>(n);
    }
}

Uuid Uuid::random() {
    std::array<std::uint8_t, 16> b{};
    randomBytes(b.data(), b.size());
    b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x40);
    b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);
    return Uuid(b);
}

namespace {
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

std::optional<Uuid> Uuid::parse(std::string_view text) {
    if (text.size() != 36) return std::nullopt;
    std::array<std::uint8_t, 16> b{};
    std::size_t byte = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-') return std::nullopt;
            ++i;
            continue;
        }
        const int hi = hexValue(text[i]);
        const int lo = hexValue(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        b[byte++] = static_cast<std::uint8_t>(hi * 16 + lo);
        i += 2;
    }
    return Uuid(b);
}

std::string Uuid::uuidString() const {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(36);
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
        out.push_back(kHex[bytes_[i] >> 4]);
        out.push_back(kHex[bytes_[i] & 0x0F]);
    }
    return out;
}

}  // namespace platform
