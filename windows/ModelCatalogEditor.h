#pragma once

// The "Available Models" block of the Models tab: its title, its
// explanation, and one ModelGroupSection per group of the catalogue, in
// stored order, each bound to its group by position.
//
// When the catalogue changes, the sections are refreshed in place. A
// section whose position now holds a group of another name counts as a new
// section: its add form starts closed and empty again.

#include <QWidget>
#include <vector>

#include "core/Settings.h"

class QVBoxLayout;

namespace windows {

class ModelGroupSection;

class ModelCatalogEditor : public QWidget {
public:
    explicit ModelCatalogEditor(core::Settings& settings, QWidget* parent = nullptr);

    void refresh();

    std::size_t sectionCount() const { return sections_.size(); }
    ModelGroupSection* section(std::size_t index) const { return sections_.at(index); }

private:
    core::Settings& settings_;
    QVBoxLayout* column_;
    std::vector<ModelGroupSection*> sections_;
    std::vector<std::string> shownNames_;
};

}  // namespace windows
