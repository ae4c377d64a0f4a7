#include "panel/ModelPickerList.h"

#include "ui/ModelIconName.h"

namespace panel {

std::vector<ModelPickerList::Row> ModelPickerList::rows(const std::vector<core::ModelInfo>& availableModels,
                                                        const std::optional<core::ModelInfo>& selectedModel) {
    std::vector<Row> rows;
    rows.reserve(availableModels.size());
    for (const auto& model : availableModels) {
        const bool selected = selectedModel && model.displayName == selectedModel->displayName;
        rows.push_back(Row{model, selected, ui::iconName(model)});
    }
    return rows;
}

}  // namespace panel
