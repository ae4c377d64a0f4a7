#include "Telemetry/StoredValues.h"

#include <string>
#include <utility>

#include "platform/AtomicFile.h"
#include "Telemetry/TelemetryLog.h"

namespace telemetry {

StoredValues::StoredValues(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::filesystem::path StoredValues::pathFor(std::string_view key) const {
    return folder_ / (std::string(key) + ".json");
}

std::optional<nlohmann::json> StoredValues::get(std::string_view key) const {
    const auto file = pathFor(key);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return std::nullopt;
    const auto text = platform::atomic_file::read(file);
    if (!text) {
        log().error("[Telemetry] cannot read " + file.string());
        return std::nullopt;
    }
    auto value = nlohmann::json::parse(*text, nullptr, /*allow_exceptions=*/false);
    if (value.is_discarded()) {
        log().error("[Telemetry] ignoring " + file.string() + ": not JSON");
        return std::nullopt;
    }
    return value;
}

bool StoredValues::set(std::string_view key, const nlohmann::json& value) {
    const auto text = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    if (auto error = platform::atomic_file::write(pathFor(key), text, platform::atomic_file::Sync::ToDisk)) {
        log().error("[Telemetry] cannot store " + std::string(key) + ": " + *error);
        return false;
    }
    return true;
}

}  // namespace telemetry
