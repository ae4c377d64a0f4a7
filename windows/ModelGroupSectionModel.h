#pragma once

// What one group's section of the "Available Models" panel shows and does,
// without a display: the group at a position of the settings' catalogue,
// the add form's state, and the edits (add at the end, switch on or off,
// delete). Every edit replaces that one group and writes the whole catalogue
// once, which stores it and reports "configuration_updated".
//
//   ModelGroupSectionModel section(settings, 0);        // the first group
//   section.toggleAdding();                             // the plus button
//   section.setNewDisplayName("GPT-5");
//   section.setNewAPIName("gpt-5");
//   section.addModel();                                 // appended, switched on; the form closes
//
// Sections are bound by position, so two groups with one name each edit their
// own. A position past the end of the catalogue (the list shrank elsewhere)
// reads as an empty group and every edit there changes nothing.

#include <cstddef>
#include <string>
#include <string_view>

#include "core/Settings.h"

namespace windows {

class ModelGroupSectionModel {
public:
    ModelGroupSectionModel(core::Settings& settings, std::size_t index) : settings_(settings), index_(index) {}

    std::size_t index() const { return index_; }
    const core::ModelGroup& group() const;
    std::size_t modelCount() const { return group().models.size(); }

    // The add form. Its texts live only as long as the section does; closing
    // the form with the plus button keeps them.
    bool isAddingModel() const { return isAddingModel_; }
    void toggleAdding() { isAddingModel_ = !isAddingModel_; }
    const std::string& newDisplayName() const { return newDisplayName_; }
    const std::string& newAPIName() const { return newAPIName_; }
    void setNewDisplayName(std::string text) { newDisplayName_ = std::move(text); }
    void setNewAPIName(std::string text) { newAPIName_ = std::move(text); }
    // Both texts hold at least one character (spaces count; nothing is trimmed).
    bool canAdd() const { return !newDisplayName_.empty() && !newAPIName_.empty(); }
    // Appends a visible model made of the two texts, then empties and closes
    // the form. Does nothing unless canAdd().
    void addModel();
    // Empties both texts and closes the form.
    void cancel();
    // Back to a closed, empty form: the section is shown anew.
    void reset();

    void removeModel(std::size_t at);
    void setModelVisible(std::size_t at, bool visible);
    // Whether the row at `at` offers deletion: its model is not one of the
    // default catalogue's, compared in all three fields (a default model
    // switched off can be deleted).
    bool showsDeleteButton(std::size_t at) const;
    static bool isDefaultModel(const core::ModelInfo& model);

    // The provider image for a group name, by its lower-cased name: "openai",
    // "claude" (for "anthropic"), "gemini", "ollama"; any other name "openai".
    static std::string_view providerIconName(std::string_view groupName);

private:
    bool write(core::ModelGroup group);

    core::Settings& settings_;
    std::size_t index_;
    bool isAddingModel_ = false;
    std::string newDisplayName_;
    std::string newAPIName_;
};

}  // namespace windows
