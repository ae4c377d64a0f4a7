#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/AnalyticsSink.h"

namespace core {

// The application's analytics vocabulary: each method turns its arguments
// into one event with a flat property map and hands it to the sink. Of user
// text only lengths and presence flags leave here, never the text itself.
//
// The application installs its sink at start-up. The shared instance with
// no sink ever installed hands its events to the shared telemetry client
// (which ignores them until it is set up), through a library default (see
// platform::LibraryDefaults); after a sink was uninstalled, and for any
// other instance without a sink, every call does nothing.
// Safe to call from any thread; no method throws.
class Analytics {
public:
    // A setting's new value as the settings object reports it.
    using SettingValue = std::variant<std::string, double, std::int64_t>;

    Analytics() = default;
    Analytics(const Analytics&) = delete;
    Analytics& operator=(const Analytics&) = delete;

    // The process-wide instance, made on first use.
    static Analytics& shared();

    void setSink(std::shared_ptr<platform::AnalyticsSink> sink);

    // "model_used". `selectedText` present (even empty) means there was a
    // selection; the source application is read from the last-active holder.
    void trackModelUsed(std::string_view modelName, std::string_view modelApiName, std::string_view prompt,
                        std::optional<std::string_view> selectedText);
    // "setting_changed" with the value's plain text (see describe()).
    void trackSettingChanged(std::string_view setting, const SettingValue& newValue);
    // "chat_mode_used".
    void trackChatModeUsed(bool startedWithVoice, std::optional<std::string_view> selectedText);
    // "chat_message_sent".
    void trackChatMessageSent(bool isVoiceInput, std::int64_t messageLength);
    // "error".
    void trackError(std::string_view type, std::string_view message);

    // The plain text of a setting value: strings unchanged, integers in
    // decimal, doubles as the shortest text that reads back as the same
    // value, with ".0" after whole numbers ("0.7", "1.0", "1e-05").
    static std::string describe(const SettingValue& value);

private:
    void capture(const std::string& event, platform::AnalyticsProperties properties) const;

    std::shared_ptr<platform::AnalyticsSink> sink() const;

    mutable std::mutex mutex_;
    std::shared_ptr<platform::AnalyticsSink> sink_;
    bool sinkEverSet_ = false;
    bool isShared_ = false;
};

}  // namespace core
