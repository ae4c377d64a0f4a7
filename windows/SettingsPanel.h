#pragma once

// The rounded dark frame around each block of settings: the content inset
// 16 px on every edge, on Surface15, clipped to a 12 px rounded rectangle.
//
//   auto* panel = new SettingsPanel(section, page);       // takes ownership of `section`
//
// The same frame with other values draws the rounded fields of the tabs:
//
//   new SettingsPanel(field, ui::Palette::color(ui::Colour::Surface20), 8, 0, row);

#include "ui/RoundedSurface.h"

namespace windows {

class SettingsPanel : public ui::RoundedSurface {
public:
    explicit SettingsPanel(QWidget* content, QWidget* parent = nullptr);
    SettingsPanel(QWidget* content, const QColor& background, qreal cornerRadius, int inset, QWidget* parent = nullptr);

    QWidget* content() const { return content_; }

    static constexpr int defaultInset = 16;
    static constexpr qreal defaultCornerRadius = 12.0;

private:
    QWidget* content_;
};

}  // namespace windows
