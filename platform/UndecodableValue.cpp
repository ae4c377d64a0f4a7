#include "core/UndecodableValue.h"

#include <fmt/format.h>

#include "platform/Logger.h"

namespace core {

std::string keepUndecodableValue(platform::UserDefaults& defaults, std::string_view key,
                                 const platform::DefaultsValue& value, std::string_view reason) {
    static const platform::Logger logger("quillary", "storage");
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
    logger.error(fmt::format("The stored value of \"{}\" could not be read ({}); it was kept under \"{}\"", key,
                             reason, sideKey));
    return sideKey;
}

}  // namespace core
