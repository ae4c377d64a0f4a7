#include "windows/ModelsTabModel.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace windows {

int ModelsTabModel::temperatureStep() const {
    double temperature = settings_.temperature();
    if (!std::isfinite(temperature)) temperature = core::Settings::kDefaultTemperature;
    temperature = std::clamp(temperature, 0.0, 1.0);
    return static_cast<int>(std::lround(temperature * kTemperatureSteps));
}

void ModelsTabModel::setTemperatureStep(int step) {
    step = std::clamp(step, 0, kTemperatureSteps);
    // A division gives the double nearest each tenth; step * 0.1 would not
    // (3 * 0.1 is 0.30000000000000004).
    settings_.setTemperature(step / static_cast<double>(kTemperatureSteps));
}

QString ModelsTabModel::temperatureText() const { return QString::number(settings_.temperature(), 'f', 1); }

std::optional<std::int64_t> ModelsTabModel::readMaxTokens(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || next != end) return std::nullopt;
    return value;
}

bool ModelsTabModel::setMaxTokensText(std::string_view text) {
    const auto value = readMaxTokens(text);
    if (!value) return false;
    if (*value != settings_.maxTokens()) settings_.setMaxTokens(*value);
    return true;
}

void ModelsTabModel::setCustomSystemMessage(std::string message) {
    if (message != settings_.customSystemMessage()) settings_.setCustomSystemMessage(std::move(message));
}

}  // namespace windows
