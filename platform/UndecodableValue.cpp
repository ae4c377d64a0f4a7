#include "platform/UndecodableValue.h"

#include <fmt/format.h>

#include "platform/Logger.h"

namespace platform {

std::string keepUndecodableValue(UserDefaults& defaults, std::string_view key, const DefaultsValue& value,
                                 std::string_view reason) {
    static const Logger logger("quillary", "storage");
    const std::string base = fmt::format("{}.corrupt", key);
    std::string sideKey = base;
    // Never overwrite an earlier rescued value: it may be the only copy of
    // something different.
    for (int n = 2;; ++n) {
        const auto existing = defaults.object(sideKey);
        if (!existing) break;
        if (*existing == value) return {};
        sideKey = fmt::format("{}.{}", base, n);
    }
    defaults.set(sideKey, value);
    logger.error(fmt::format("The stored value of \"{}\" could not be read ({}); it was kept under \"{}\"",
                             outsideText(key), outsideText(reason), outsideText(sideKey)));
    return sideKey;
}

}  // namespace platform
