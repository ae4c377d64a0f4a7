#include "panel/PromptField.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>

#include "ui/Palette.h"
#include "ui/TextStyle.h"

namespace panel {

PromptField::PromptField(QWidget* parent) : QTextEdit(parent) {
    setAcceptRichText(false);
    setFrameShape(QFrame::NoFrame);
    setFont(ui::TextStyles::system(kFontPixels));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setTabChangesFocus(true);
    setPlaceholderText(QString());
    document()->setDocumentMargin(0);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    QPalette colours = palette();
    colours.setColor(QPalette::Text, ui::Palette::color(ui::Colour::White));
    colours.setColor(QPalette::Base, ui::Palette::color(ui::Colour::Clear));
    colours.setColor(QPalette::Window, ui::Palette::color(ui::Colour::Clear));
    setPalette(colours);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(this, &QTextEdit::textChanged, this, [this] {
        contentChanged();
        if (onTextChanged_) onTextChanged_(toPlainText());
    });
    setFixedHeight(heightForLines(kMinLines));
}

void PromptField::setTextIfDifferent(const QString& text) {
    if (toPlainText() == text) return;
    {
        const QSignalBlocker blocker(this);
        setPlainText(text);
        moveCursor(QTextCursor::End);
    }
    contentChanged();
}

int PromptField::lineCount() const {
    int lines = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        lines += (layout != nullptr && layout->lineCount() > 0) ? layout->lineCount() : 1;
    }
    return std::max(lines, 1);
}

int PromptField::visibleLines() const { return shownLines_; }

int PromptField::heightForLines(int lines) const {
    return fontMetrics().lineSpacing() * lines + 2 * frameWidth();
}

QSize PromptField::sizeHint() const { return {QTextEdit::sizeHint().width(), heightForLines(shownLines_)}; }

QSize PromptField::minimumSizeHint() const { return {0, heightForLines(shownLines_)}; }

void PromptField::keyPressEvent(QKeyEvent* event) {
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool repeated = isReturn && isHeldReturn(*event);
    if (isReturn && (event->modifiers() & Qt::ShiftModifier)) {
        textCursor().insertText(QStringLiteral("\n"));
        ensureCursorVisible();
        return;
    }
    if (isReturn && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        // A held Return repeats some thirty times a second, and each submit
        // is a paid request: only the press itself sends.
        if (!repeated && onSubmit_) onSubmit_();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

// X11 repeats a held key as a release and a press of one server time, which
// Qt marks as a repeat only when both are already queued together; with
// detectable repeat there are only presses. So a Return pressed while down,
// or at the very time it was released, is held, not pressed again.
bool PromptField::isHeldReturn(const QKeyEvent& press) {
    const bool held = press.isAutoRepeat() || returnDown_ ||
                      (press.timestamp() != 0 && press.timestamp() == returnReleasedAt_);
    returnDown_ = true;
    return held;
}

void PromptField::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        returnDown_ = false;
        returnReleasedAt_ = event->timestamp();
    }
    QTextEdit::keyReleaseEvent(event);
}

void PromptField::focusOutEvent(QFocusEvent* event) {
    // The release of a key held now goes to another window.
    returnDown_ = false;
    QTextEdit::focusOutEvent(event);
}

void PromptField::resizeEvent(QResizeEvent* event) {
    QTextEdit::resizeEvent(event);
    contentChanged();
}

// The document is laid out against the new width before this runs, so
// wrapped lines are counted at the width the user sees.
void PromptField::contentChanged() {
    document()->setTextWidth(viewport()->width());
    const int lines = std::clamp(lineCount(), kMinLines, kMaxLines);
    if (lines != shownLines_) {
        shownLines_ = lines;
        setFixedHeight(heightForLines(lines));
        updateGeometry();
    }
    ensureCursorVisible();
}

}  // namespace panel
