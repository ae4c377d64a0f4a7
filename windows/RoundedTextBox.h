#pragma once

// A block of selectable plain text on a rounded background: the bodies of
// the history detail sheet. The text is 14 px white with 12 px of padding, on
// a rectangle with 8 px corners, shown in full: it wraps between words, and
// inside a word wider than the box (a long link), and the box grows to fit.
//
//   auto* body = new RoundedTextBox(QString::fromStdString(entry.output), ui::Palette::grey(0.1), parent);
//   body->text();                                  // the text as given
//   body->textView()->textInteractionFlags();      // selectable by mouse and keys

#include "ui/RoundedSurface.h"

class QTextEdit;

namespace windows {

class RoundedTextBox final : public ui::RoundedSurface {
public:
    RoundedTextBox(const QString& text, const QColor& background, QWidget* parent = nullptr);

    static constexpr int kPadding = 12;
    static constexpr qreal kCornerRadius = 8.0;

    QString text() const;
    QTextEdit* textView() const { return text_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitHeight();

    QTextEdit* text_;
};

}  // namespace windows
