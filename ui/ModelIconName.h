#pragma once

#include <string_view>

#include "core/ModelInfo.h"

namespace ui {

// The provider image shown beside a model: "openai", "claude", "gemini" or
// "ollama", decided by the model's API name and, failing that, by the first
// word of its display name. Never fails; anything unknown is "openai".
std::string_view iconName(const core::ModelInfo& model);

}  // namespace ui
