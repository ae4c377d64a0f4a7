#pragma once

// A label that always shows its text as plain text: model answers, prompts,
// history entries, provider and user texts never turn into markup, links or
// images ("<img src=...>" shows as those characters).
//
//   auto* title = new ui::PlainLabel("Input", ui::TextStyle::Headline, ui::Palette::color(ui::Colour::Grey), parent);
//   title->setText(entry.input);           // QLabel's setText, still plain
//   title->setWordWrap(true);              // any QLabel setting applies
//
// Use it (not QLabel) for every text that is not a fixed string of ours.

#include <QColor>
#include <QLabel>

#include "ui/TextStyle.h"

namespace ui {

class PlainLabel : public QLabel {
public:
    explicit PlainLabel(QWidget* parent = nullptr);
    PlainLabel(const QString& text, TextStyle style, const QColor& colour, QWidget* parent = nullptr);

    void setColour(const QColor& colour);
    void setTextStyle(TextStyle style);
    // Lets the user select and copy the text with the mouse and keyboard.
    void setSelectable(bool selectable);
};

}  // namespace ui
