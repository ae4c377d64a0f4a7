#include "windows/SettingsPanel.h"

#include <QVBoxLayout>

#include "ui/Palette.h"

namespace windows {

SettingsPanel::SettingsPanel(QWidget* content, QWidget* parent)
    : SettingsPanel(content, ui::Palette::color(ui::Colour::Surface15), defaultCornerRadius, defaultInset, parent) {}

SettingsPanel::SettingsPanel(QWidget* content, const QColor& background, qreal cornerRadius, int inset, QWidget* parent)
    : ui::RoundedSurface(background, cornerRadius, parent), content_(content) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(inset, inset, inset, inset);
    layout->setSpacing(0);
    layout->addWidget(content);
}

SettingsPanel* SettingsPanel::fieldBox(QWidget* field) {
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    field->setPalette(palette);
    return new SettingsPanel(field, ui::Palette::color(ui::Colour::Surface20), fieldCornerRadius, fieldInset);
}

}  // namespace windows
