#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/ModelInfo.h"

namespace core {

// A copy of what a provider request needs from the settings, taken on the
// thread that owns the live `Settings` and handed to a worker, so that
// provider calls never read the live object from another thread.
struct RequestSettings {
    std::string openaiKey;
    std::string claudeKey;
    std::string geminiKey;
    double temperature = 0.7;
    std::int64_t maxTokens = 2000;
    std::string customSystemMessage;
    std::vector<ModelGroup> modelGroups;
};

}  // namespace core
