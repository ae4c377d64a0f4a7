#pragma once

// One model's row in a group section: display name over API name, the
// on/off switch, and the trash button for models that may be deleted.
// The row edits the model at its position through the section's model;
// after a deletion the rows stay in place and show the models that moved up.

#include <QWidget>
#include <cstddef>

#include "core/ModelInfo.h"

class QToolButton;

namespace ui {
class PlainLabel;
class ToggleSwitch;
}  // namespace ui

namespace windows {

class ModelGroupSectionModel;

class ModelRow : public QWidget {
public:
    ModelRow(ModelGroupSectionModel& model, std::size_t position, QWidget* parent = nullptr);

    // Shows the model at this row's position; values are pushed only when
    // they differ, with the switch's signals blocked.
    void refresh();

    std::size_t position() const { return position_; }
    ui::PlainLabel* displayNameLabel() const { return displayName_; }
    ui::PlainLabel* apiNameLabel() const { return apiName_; }
    ui::ToggleSwitch* visibilitySwitch() const { return switch_; }
    QToolButton* deleteButton() const { return delete_; }

private:
    ModelGroupSectionModel& model_;
    std::size_t position_;
    ui::PlainLabel* displayName_;
    ui::PlainLabel* apiName_;
    ui::ToggleSwitch* switch_;
    QToolButton* delete_;
};

}  // namespace windows
