#include "platform/Pasteboard.h"

namespace platform {

std::size_t PasteboardSnapshot::byteCount() const {
    std::size_t total = 0;
    for (const auto& [type, bytes] : formats) total += bytes.size();
    return total;
}

}  // namespace platform
