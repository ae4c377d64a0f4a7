#pragma once

// What the Models tab's "Model Configuration" panel shows and does, without a
// display: the temperature as a slider step of 0.1, the maximum tokens as
// text, and the user's extra system message. Every write goes to the shared
// settings, which store it and report "setting_changed".
//
//   ModelsTabModel model(settings);
//   model.setTemperatureStep(3);          // settings.temperature() == 0.3, reported as "0.3"
//   model.setMaxTokensText("abc");        // refused: the stored value stays
//   model.temperatureText();              // "0.3"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <QString>

#include "core/Settings.h"

namespace windows {

class ModelsTabModel {
public:
    // The slider runs over 0.0 ... 1.0 in steps of 0.1: positions 0 ... 10.
    static constexpr int kTemperatureSteps = 10;

    explicit ModelsTabModel(core::Settings& settings) : settings_(settings) {}

    // The slider position nearest the stored temperature, within 0 ... 10
    // (a value stored elsewhere may lie outside the slider's range).
    int temperatureStep() const;
    // Stores step / 10.0, the step clamped to 0 ... 10, so every stored
    // value is the nearest double to a multiple of 0.1.
    void setTemperatureStep(int step);
    // The stored temperature with one decimal ("0.7"), whatever the locale.
    QString temperatureText() const;

    std::int64_t maxTokens() const { return settings_.maxTokens(); }
    QString maxTokensText() const { return QString::number(settings_.maxTokens()); }
    // Stores the number the text reads as, when it differs from the stored
    // one; text that does not read as a whole number that fits (letters,
    // fractions, "99999999999999999999") changes nothing. Returns whether
    // the text read as a number.
    bool setMaxTokensText(std::string_view text);
    // Decimal digits with an optional leading minus, nothing else.
    static std::optional<std::int64_t> readMaxTokens(std::string_view text);

    const std::string& customSystemMessage() const { return settings_.customSystemMessage(); }
    // Stores the message only when it differs from the stored one, so a
    // control that pushes the stored text back never reports a change.
    void setCustomSystemMessage(std::string message);

private:
    core::Settings& settings_;
};

}  // namespace windows
