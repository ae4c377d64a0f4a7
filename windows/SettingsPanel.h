#pragma once

// The rounded dark frame around each block of settings: the content inset
// 16 px on every edge, on Surface15, clipped to a 12 px rounded rectangle.
//
//   auto* panel = new SettingsPanel(section, page);       // takes ownership of `section`
//
// The rounded grey box of the tabs' text fields (8 px inset, Surface20,
// radius 8) is the same frame with other values:
//
//   row->addWidget(SettingsPanel::fieldBox(lineEdit));    // the field's own background turns clear

#include "ui/RoundedSurface.h"

namespace windows {

class SettingsPanel : public ui::RoundedSurface {
public:
    explicit SettingsPanel(QWidget* content, QWidget* parent = nullptr);
    SettingsPanel(QWidget* content, const QColor& background, qreal cornerRadius, int inset, QWidget* parent = nullptr);

    // A text field or editor framed as the tabs' rounded grey box.
    static SettingsPanel* fieldBox(QWidget* field);

    QWidget* content() const { return content_; }

    static constexpr int defaultInset = 16;
    static constexpr qreal defaultCornerRadius = 12.0;
    static constexpr int fieldInset = 8;
    static constexpr qreal fieldCornerRadius = 8.0;

private:
    QWidget* content_;
};

}  // namespace windows
