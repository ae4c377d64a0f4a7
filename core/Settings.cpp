#include "core/Settings.h"

#include <cmath>

#include "core/ModelCatalog.h"
#include "platform/Required.h"
#include "platform/UndecodableValue.h"

namespace core {

Settings::Settings(std::shared_ptr<platform::UserDefaults> defaults, Analytics& analytics)
    : defaults_(platform::required(std::move(defaults), "Settings: the settings store")), analytics_(analytics) {
    loadScalars();
    loadModelGroups();
    storeModelGroups();
}

namespace {

// A text setting; anything else stored under its key (a number from a hand
// edit) is kept aside before the user's next change replaces it.
std::string storedText(platform::UserDefaults& defaults, std::string_view key) {
    if (!platform::holdsReadable<std::string>(defaults, key, "not a text value")) return {};
    return defaults.string(key).value_or("");
}

}  // namespace

void Settings::loadScalars() {
    openaiKey_ = storedText(*defaults_, kOpenaiKeyKey);
    claudeKey_ = storedText(*defaults_, kClaudeKeyKey);
    geminiKey_ = storedText(*defaults_, kGeminiKeyKey);

    // The default applies only when no number is stored: a temperature of
    // exactly 0.0 is a deliberate choice (deterministic answers) and must
    // survive a restart.
    const bool isNumber = platform::holdsReadable<double, std::int64_t>(*defaults_, kTemperatureKey, "not a number");
    const double temperature = defaults_->double_(kTemperatureKey);
    temperature_ = isNumber && std::isfinite(temperature) ? temperature : kDefaultTemperature;

    // 0 tokens is never usable, so a stored 0 (or nothing) means the default.
    const bool isCount =
        platform::holdsReadable<std::int64_t, double, bool>(*defaults_, kMaxTokensKey, "not a number");
    const std::int64_t maxTokens = isCount ? defaults_->integer(kMaxTokensKey) : 0;
    maxTokens_ = maxTokens == 0 ? kDefaultMaxTokens : maxTokens;

    customSystemMessage_ = storedText(*defaults_, kCustomSystemMessageKey);
}

void Settings::loadModelGroups() {
    const auto stored = defaults_->object(kModelGroupsKey);
    if (!stored) {
        modelGroups_ = catalog::defaultModelGroups();
        return;
    }
    std::string error = "not a data value";
    std::optional<std::vector<ModelGroup>> decoded;
    if (const auto* data = std::get_if<platform::Data>(&*stored)) decoded = catalog::decode(data->bytes, &error);
    if (!decoded) {
        // The start-up write-back below would destroy it.
        platform::keepUndecodableValue(*defaults_, kModelGroupsKey, *stored, error);
        modelGroups_ = catalog::defaultModelGroups();
        return;
    }
    modelGroups_ = catalog::mergingDefaultGroups(std::move(*decoded));
}

void Settings::storeModelGroups() { defaults_->setData(kModelGroupsKey, catalog::encode(modelGroups_)); }

void Settings::setString(std::string& field, std::string value, Property property, std::string_view key,
                         std::string_view reportedValue) {
    field = std::move(value);
    observers_.notify(property);
    defaults_->setString(key, field);
    analytics_.trackSettingChanged(key, std::string(reportedValue));
}

void Settings::setOpenaiKey(std::string value) {
    setString(openaiKey_, std::move(value), Property::OpenaiKey, kOpenaiKeyKey, "key_changed");
}

void Settings::setClaudeKey(std::string value) {
    setString(claudeKey_, std::move(value), Property::ClaudeKey, kClaudeKeyKey, "key_changed");
}

void Settings::setGeminiKey(std::string value) {
    setString(geminiKey_, std::move(value), Property::GeminiKey, kGeminiKeyKey, "key_changed");
}

void Settings::setCustomSystemMessage(std::string value) {
    setString(customSystemMessage_, std::move(value), Property::CustomSystemMessage, kCustomSystemMessageKey,
              "message_updated");
}

void Settings::setTemperature(double value) {
    temperature_ = value;
    observers_.notify(Property::Temperature);
    defaults_->setDouble(kTemperatureKey, temperature_);
    analytics_.trackSettingChanged(kTemperatureKey, temperature_);
}

void Settings::setMaxTokens(std::int64_t value) {
    maxTokens_ = value;
    observers_.notify(Property::MaxTokens);
    defaults_->setInteger(kMaxTokensKey, maxTokens_);
    analytics_.trackSettingChanged(kMaxTokensKey, maxTokens_);
}

void Settings::setModelGroups(std::vector<ModelGroup> value) {
    modelGroups_ = std::move(value);
    observers_.notify(Property::ModelGroups);
    storeModelGroups();
    analytics_.trackSettingChanged(kModelGroupsKey, std::string("configuration_updated"));
}

std::vector<ModelInfo> Settings::availableModels() const {
    std::vector<ModelInfo> models;
    for (const auto& group : modelGroups_)
        for (const auto& model : group.models)
            if (model.isVisible) models.push_back(model);
    return models;
}

std::optional<ModelInfo> Settings::findModel(std::string_view displayName) const {
    for (const auto& group : modelGroups_)
        for (const auto& model : group.models)
            if (model.displayName == displayName) return model;
    return std::nullopt;
}

RequestSettings Settings::requestSettings() const {
    return RequestSettings{openaiKey_, claudeKey_, geminiKey_, temperature_, maxTokens_, customSystemMessage_,
                           modelGroups_};
}

const std::vector<ModelGroup>& Settings::defaultModelGroups() { return catalog::defaultModelGroups(); }

}  // namespace core
