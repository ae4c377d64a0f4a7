#include "ui/PlainLabel.h"

namespace ui {

PlainLabel::PlainLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setOpenExternalLinks(false);
}

PlainLabel::PlainLabel(const QString& text, TextStyle style, const QColor& colour, QWidget* parent) : PlainLabel(parent) {
    setText(text);
    setTextStyle(style);
    setColour(colour);
}

void PlainLabel::setColour(const QColor& colour) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    setPalette(palette);
}

void PlainLabel::setTextStyle(TextStyle style) { setFont(TextStyles::font(style)); }

void PlainLabel::setSelectable(bool selectable) {
    setTextInteractionFlags(selectable ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard : Qt::NoTextInteraction);
}

}  // namespace ui
