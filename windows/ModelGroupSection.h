#pragma once

// One provider group in the "Available Models" panel: the header (provider
// image, group name, plus button), the add form while it is open, and one
// row per model. State and edits live in ModelGroupSectionModel; this widget
// draws them and forwards clicks and typing.

#include <QWidget>
#include <cstddef>
#include <vector>

#include "windows/ModelGroupSectionModel.h"

class QLineEdit;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace ui {
class PlainLabel;
class SymbolView;
}  // namespace ui

namespace windows {

class ModelRow;

class ModelGroupSection : public QWidget {
public:
    ModelGroupSection(core::Settings& settings, std::size_t index, QWidget* parent = nullptr);

    // Shows the group and the form as they are now. Rows are updated in
    // place; rows past the end of a shrunk group are removed after the
    // current event, never inside their own click.
    void refresh();

    ModelGroupSectionModel& model() { return model_; }
    ui::SymbolView* providerIcon() const { return icon_; }
    ui::PlainLabel* nameLabel() const { return name_; }
    QToolButton* plusButton() const { return plus_; }
    QWidget* addForm() const { return form_; }
    QLineEdit* displayNameField() const { return displayNameField_; }
    QLineEdit* apiNameField() const { return apiNameField_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* cancelButton() const { return cancel_; }
    std::size_t rowCount() const { return rows_.size(); }
    ModelRow* row(std::size_t position) const { return rows_.at(position); }

    static constexpr int iconSize = 16;
    static constexpr int fieldMaximumWidth = 300;

private:
    QWidget* makeHeader();
    QWidget* makeForm();
    void refreshForm();
    void refreshRows();

    ModelGroupSectionModel model_;
    ui::SymbolView* icon_ = nullptr;
    ui::PlainLabel* name_ = nullptr;
    QToolButton* plus_ = nullptr;
    QWidget* form_ = nullptr;
    QLineEdit* displayNameField_ = nullptr;
    QLineEdit* apiNameField_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QVBoxLayout* list_ = nullptr;
    std::vector<ModelRow*> rows_;
};

}  // namespace windows
