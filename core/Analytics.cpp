#include "core/Analytics.h"

#include <charconv>
#include <cmath>
#include <exception>

#include <fmt/format.h>

#include "Telemetry/TelemetrySDK.h"
#include "platform/LastActiveApplication.h"
#include "platform/LibraryDefaults.h"
#include "platform/Logger.h"
#include "platform/Unicode.h"

namespace core {
namespace {

const platform::Logger& log() {
    static const platform::Logger logger("quillary", "analytics");
    return logger;
}

// Property texts come from other applications and servers; the sink turns
// them into JSON, which needs valid UTF-8.
platform::AnalyticsValue text(std::string_view value) { return platform::unicode::sanitizeUtf8(value); }

platform::AnalyticsValue textOrUnknown(const std::optional<std::string>& value) {
    if (!value) return std::string("unknown");
    return text(*value);
}

std::string describeDouble(double value) {
    if (!std::isfinite(value)) return std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf");
    char buffer[64];
    const double magnitude = std::fabs(value);
    // Plain decimal in the everyday range, exponent form beyond it, as the
    // platform's own number description does.
    const bool plain = magnitude == 0.0 || (magnitude >= 1e-4 && magnitude < 1e16);
    const auto format = plain ? std::chars_format::fixed : std::chars_format::scientific;
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format);
    std::string out(buffer, result.ptr);
    if (plain && out.find('.') == std::string::npos) out += ".0";
    return out;
}

// The shared telemetry client of the moment: a program that installs its
// own client later still gets the events there.
class SharedTelemetrySink final : public platform::AnalyticsSink {
public:
    void capture(const std::string& event, const platform::AnalyticsProperties& properties) override {
        telemetry::TelemetrySDK::shared().capture(event, properties);
    }
};

// Before any sink was installed, the test main installs one that drops, as
// the shared instance did before it had a default.
class DroppingSink final : public platform::AnalyticsSink {
public:
    void capture(const std::string&, const platform::AnalyticsProperties&) override {}
};

[[maybe_unused]] const bool standIn = platform::LibraryDefaults::addStandIn([] {
    Analytics::shared().setSink(std::make_shared<DroppingSink>());
});

}  // namespace

Analytics& Analytics::shared() {
    static Analytics* const instance = [] {
        auto* made = new Analytics;  // never destroyed: late events still find it
        made->isShared_ = true;
        return made;
    }();
    return *instance;
}

void Analytics::setSink(std::shared_ptr<platform::AnalyticsSink> sink) {
    std::lock_guard lock(mutex_);
    if (sink) sinkEverSet_ = true;
    sink_ = std::move(sink);
}

std::shared_ptr<platform::AnalyticsSink> Analytics::sink() const {
    std::lock_guard lock(mutex_);
    if (sink_ || sinkEverSet_ || !isShared_) return sink_;
    static const auto made = platform::LibraryDefaults::make<platform::AnalyticsSink>(
        "the analytics sink", [] { return std::make_shared<SharedTelemetrySink>(); },
        platform::LibraryDefaults::Ending::nothing);
    return made;
}

void Analytics::capture(const std::string& event, platform::AnalyticsProperties properties) const {
    // Reporting must never break the action being reported.
    try {
        const auto sink = this->sink();
        if (!sink) return;
        sink->capture(event, properties);
    } catch (const std::exception& e) {
        log().error(fmt::format("Dropped the analytics event \"{}\": {}", event, platform::outsideText(e.what())));
    } catch (...) {
        log().error(fmt::format("Dropped the analytics event \"{}\"", event));
    }
}

void Analytics::trackModelUsed(std::string_view modelName, std::string_view modelApiName, std::string_view prompt,
                               std::optional<std::string_view> selectedText) {
    const auto app = platform::LastActiveApplication::get();
    capture("model_used",
            {
                {"model_name", text(modelName)},
                {"model_api", text(modelApiName)},
                {"had_selected_text", selectedText.has_value()},
                {"prompt_length", static_cast<std::int64_t>(platform::unicode::characterCount(prompt))},
                {"source_app_name", textOrUnknown(app ? app->localizedName : std::nullopt)},
                {"source_app_bundle_id", textOrUnknown(app ? app->bundleIdentifier : std::nullopt)},
            });
}

void Analytics::trackSettingChanged(std::string_view setting, const SettingValue& newValue) {
    capture("setting_changed", {{"setting", text(setting)}, {"new_value", text(describe(newValue))}});
}

void Analytics::trackChatModeUsed(bool startedWithVoice, std::optional<std::string_view> selectedText) {
    capture("chat_mode_used",
            {{"started_with_voice", startedWithVoice}, {"had_selected_text", selectedText.has_value()}});
}

void Analytics::trackChatMessageSent(bool isVoiceInput, std::int64_t messageLength) {
    capture("chat_message_sent", {{"is_voice_input", isVoiceInput}, {"message_length", messageLength}});
}

void Analytics::trackError(std::string_view type, std::string_view message) {
    capture("error", {{"error_type", text(type)}, {"error_message", text(message)}});
}

std::string Analytics::describe(const SettingValue& value) {
    if (const auto* s = std::get_if<std::string>(&value)) return *s;
    if (const auto* i = std::get_if<std::int64_t>(&value)) return std::to_string(*i);
    return describeDouble(std::get<double>(value));
}

}  // namespace core
