#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "core/ModelInfo.h"

namespace panel {

// The rows of the model picker: every visible model, flat, groups in
// catalogue order and models in group order.
class ModelPickerList {
public:
    struct Row {
        core::ModelInfo model;
        // The row of the model the next prompt goes to (same display name).
        bool isSelected;
        std::string_view iconName;
    };

    static std::vector<Row> rows(const std::vector<core::ModelInfo>& availableModels,
                                 const std::optional<core::ModelInfo>& selectedModel);
};

}  // namespace panel
