#pragma once

// The scrolling page of a settings tab: a vertical scroll bar (shown while
// the content is taller than the page), inside it one leading-aligned column
// with 16 px between its children and 24 px of inset, on Surface10 unless the
// tab sets its own background.
//
//   auto* page = new SettingsTabPage(tab);
//   page->addPanel(new SettingsPanel(section));

#include <QScrollArea>

#include "ui/Palette.h"

class QVBoxLayout;

namespace windows {

class SettingsTabPage : public QScrollArea {
public:
    explicit SettingsTabPage(QWidget* parent = nullptr);

    void addPanel(QWidget* panel);
    // What lies behind the panels, under every edge of the page.
    void setBackground(ui::Colour colour);
    QVBoxLayout* column() const { return column_; }

    static constexpr int spacing = 16;
    static constexpr int inset = 24;

private:
    QVBoxLayout* column_;
};

}  // namespace windows
