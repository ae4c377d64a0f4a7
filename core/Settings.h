#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Analytics.h"
#include "core/ModelInfo.h"
#include "core/ObserverList.h"
#include "core/RequestSettings.h"
#include "platform/UserDefaults.h"

namespace core {

// The program's one settings object: provider keys, sampling parameters,
// the user's extra instructions and the model catalogue.
//
// Everything is read from the store once, in the constructor; from then on
// this object holds the truth. Every assignment (also of an unchanged value)
// notifies the observers, stores the value under its key and reports
// "setting_changed" — never with the text of a key or of the message.
//
// Main thread only. Work on other threads takes a `requestSettings()` copy.
class Settings {
public:
    enum class Property { OpenaiKey, ClaudeKey, GeminiKey, Temperature, MaxTokens, CustomSystemMessage, ModelGroups };

    static constexpr std::string_view kOpenaiKeyKey = "openai_api_key";
    static constexpr std::string_view kClaudeKeyKey = "claude_api_key";
    static constexpr std::string_view kGeminiKeyKey = "gemini_api_key";
    static constexpr std::string_view kTemperatureKey = "model_temperature";
    static constexpr std::string_view kMaxTokensKey = "model_max_tokens";
    static constexpr std::string_view kCustomSystemMessageKey = "custom_system_message";
    static constexpr std::string_view kModelGroupsKey = "model_groups";

    static constexpr double kDefaultTemperature = 0.7;
    static constexpr std::int64_t kDefaultMaxTokens = 2000;

    // Loads every setting, merges the stored catalogue with the default
    // groups and writes the merged catalogue back (without a report). A
    // stored catalogue that cannot be read is kept under a side key first.
    explicit Settings(std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::standard(),
                      Analytics& analytics = Analytics::shared());
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    const std::string& openaiKey() const { return openaiKey_; }
    const std::string& claudeKey() const { return claudeKey_; }
    const std::string& geminiKey() const { return geminiKey_; }
    double temperature() const { return temperature_; }
    std::int64_t maxTokens() const { return maxTokens_; }
    const std::string& customSystemMessage() const { return customSystemMessage_; }
    const std::vector<ModelGroup>& modelGroups() const { return modelGroups_; }

    void setOpenaiKey(std::string value);
    void setClaudeKey(std::string value);
    void setGeminiKey(std::string value);
    void setTemperature(double value);
    void setMaxTokens(std::int64_t value);
    void setCustomSystemMessage(std::string value);
    void setModelGroups(std::vector<ModelGroup> value);

    // Every visible model, groups in catalogue order, models in group order;
    // duplicates stay.
    std::vector<ModelInfo> availableModels() const;
    // The first model, hidden or not, whose display name equals `displayName`
    // exactly.
    std::optional<ModelInfo> findModel(std::string_view displayName) const;

    // A copy of what a provider request needs, for use on another thread.
    RequestSettings requestSettings() const;

    static const std::vector<ModelGroup>& defaultModelGroups();

    // Called after a property took its new value, before it is stored.
    ObserverToken subscribe(std::function<void(Property)> observer) { return observers_.subscribe(std::move(observer)); }
    void unsubscribe(ObserverToken token) { observers_.unsubscribe(token); }

private:
    void loadScalars();
    void loadModelGroups();
    void storeModelGroups();
    void setString(std::string& field, std::string value, Property property, std::string_view key,
                   std::string_view reportedValue);

    std::shared_ptr<platform::UserDefaults> defaults_;
    Analytics& analytics_;
    ObserverList<Property> observers_;

    std::string openaiKey_;
    std::string claudeKey_;
    std::string geminiKey_;
    double temperature_ = kDefaultTemperature;
    std::int64_t maxTokens_ = kDefaultMaxTokens;
    std::string customSystemMessage_;
    std::vector<ModelGroup> modelGroups_;
};

}  // namespace core
