#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>

namespace platform {

// A property value of an analytics event; each keeps its JSON kind.
using AnalyticsValue = std::variant<std::string, bool, std::int64_t, double>;
using AnalyticsProperties = std::map<std::string, AnalyticsValue>;

// Where analytics events go. The program's sink is the telemetry client;
// tests record the events. `capture` returns at once and never throws.
class AnalyticsSink {
public:
    virtual ~AnalyticsSink() = default;
    virtual void capture(const std::string& event, const AnalyticsProperties& properties) = 0;
};

}  // namespace platform
