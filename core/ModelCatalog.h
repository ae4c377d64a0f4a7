#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/ModelInfo.h"

namespace core {

// JSON of one model: {"displayName", "apiName", "isVisible"}, all required
// with those kinds when decoding; other keys are ignored.
void to_json(nlohmann::ordered_json& j, const ModelInfo& model);
void from_json(const nlohmann::json& j, ModelInfo& model);

// JSON of one group: {"name", "models"}, both required.
void to_json(nlohmann::ordered_json& j, const ModelGroup& group);
void from_json(const nlohmann::json& j, ModelGroup& group);

namespace catalog {

// The provider names that always have a group, in the order their default
// groups are appended.
inline constexpr std::string_view kProviderNames[] = {"OpenAI", "Anthropic", "Gemini", "Ollama"};

// The built-in catalogue: four groups, every model visible. Made once.
const std::vector<ModelGroup>& defaultModelGroups();

// The stored form: a compact JSON array of groups. Invalid UTF-8 in names
// is replaced, so encoding cannot fail.
std::string encode(const std::vector<ModelGroup>& groups);

// Reads the stored form. Anything but a JSON array of complete groups gives
// nothing (with the reason in `error` when asked).
std::optional<std::vector<ModelGroup>> decode(std::string_view bytes, std::string* error = nullptr);

// Appends, for each provider name that no group carries exactly
// (case-sensitive), that provider's default group. Existing groups, their
// order and their models are left exactly as they are.
std::vector<ModelGroup> mergingDefaultGroups(std::vector<ModelGroup> groups);

}  // namespace catalog
}  // namespace core
