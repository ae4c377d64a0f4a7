#include "windows/ModelGroupSectionModel.h"

#include <algorithm>
#include <utility>

namespace windows {

const core::ModelGroup& ModelGroupSectionModel::group() const {
    static const core::ModelGroup none;
    const auto& groups = settings_.modelGroups();
    return index_ < groups.size() ? groups[index_] : none;
}

bool ModelGroupSectionModel::write(core::ModelGroup group) {
    auto groups = settings_.modelGroups();
    if (index_ >= groups.size()) return false;
    groups[index_] = std::move(group);
    settings_.setModelGroups(std::move(groups));
    return true;
}

void ModelGroupSectionModel::addModel() {
    if (!canAdd()) return;
    core::ModelGroup changed = group();
    changed.models.push_back(core::ModelInfo{newDisplayName_, newAPIName_, true});
    // The texts stay when there is no group left to take the model.
    if (write(std::move(changed))) cancel();
}

void ModelGroupSectionModel::cancel() {
    newDisplayName_.clear();
    newAPIName_.clear();
    isAddingModel_ = false;
}

void ModelGroupSectionModel::reset() { cancel(); }

void ModelGroupSectionModel::removeModel(std::size_t at) {
    if (at >= modelCount()) return;
    core::ModelGroup changed = group();
    changed.models.erase(changed.models.begin() + static_cast<std::ptrdiff_t>(at));
    write(std::move(changed));
}

void ModelGroupSectionModel::setModelVisible(std::size_t at, bool visible) {
    if (at >= modelCount() || group().models[at].isVisible == visible) return;
    core::ModelGroup changed = group();
    changed.models[at].isVisible = visible;
    write(std::move(changed));
}

bool ModelGroupSectionModel::showsDeleteButton(std::size_t at) const {
    return at < modelCount() && !isDefaultModel(group().models[at]);
}

bool ModelGroupSectionModel::isDefaultModel(const core::ModelInfo& model) {
    for (const auto& group : core::Settings::defaultModelGroups())
        if (std::find(group.models.begin(), group.models.end(), model) != group.models.end()) return true;
    return false;
}

std::string_view ModelGroupSectionModel::providerIconName(std::string_view groupName) {
    std::string lowered(groupName);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    if (lowered == "anthropic") return "claude";
    if (lowered == "gemini") return "gemini";
    if (lowered == "ollama") return "ollama";
    return "openai";
}

}  // namespace windows
