#include "windows/SettingsPanel.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "ui/Palette.h"

namespace windows {

SettingsPanel::SettingsPanel(QWidget* content, QWidget* parent)
    : SettingsPanel(content, ui::Palette::color(ui::Colour::Surface15), defaultCornerRadius, defaultInset, parent) {}

SettingsPanel::SettingsPanel(QWidget* content, const QColor& background, qreal cornerRadius, int inset, QWidget* parent)
    : QWidget(parent), content_(content), background_(background), cornerRadius_(cornerRadius) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(inset, inset, inset, inset);
    layout->setSpacing(0);
    layout->addWidget(content);
}

void SettingsPanel::paintEvent(QPaintEvent*) {
    // Only the rounded shape is filled: no square corner of the grey shows.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), cornerRadius_, cornerRadius_);
    painter.fillPath(shape, background_);
}

}  // namespace windows
