#include "windows/SettingsTabPage.h"

#include <QVBoxLayout>

#include "ui/Palette.h"

namespace windows {

SettingsTabPage::SettingsTabPage(QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWidgetResizable(true);

    auto* content = new QWidget;
    content->setAutoFillBackground(true);
    column_ = new QVBoxLayout(content);
    column_->setContentsMargins(inset, inset, inset, inset);
    column_->setSpacing(spacing);
    column_->addStretch(1);
    setWidget(content);
    setBackground(ui::Colour::Surface10);
}

void SettingsTabPage::setBackground(ui::Colour colour) {
    QPalette palette = widget()->palette();
    palette.setColor(QPalette::Window, ui::Palette::color(colour));
    widget()->setPalette(palette);
    setPalette(palette);
}

void SettingsTabPage::addPanel(QWidget* panel) {
    // Before the closing stretch, so the panels stay at the top.
    column_->insertWidget(column_->count() - 1, panel);
}

}  // namespace windows
