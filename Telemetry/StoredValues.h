#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

namespace telemetry {

// The client's own stored values: one JSON file per key in the client's
// folder ("<folder>/<key>.json"). Keys begin with "telemetry.". Values are
// written atomically and durably; a file that does not parse reads as
// nothing stored. Failures are logged, never thrown.
class StoredValues {
public:
    explicit StoredValues(std::filesystem::path folder);

    std::optional<nlohmann::json> get(std::string_view key) const;
    // False (and a log line) when the value could not be stored.
    bool set(std::string_view key, const nlohmann::json& value);

    std::filesystem::path pathFor(std::string_view key) const;

private:
    std::filesystem::path folder_;
};

}  // namespace telemetry
