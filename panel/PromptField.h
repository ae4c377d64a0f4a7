#pragma once

// The panel's prompt: plain text, white, 14 px, no frame and no background.
// It starts one line high, grows with its lines (wrapped ones count) up to
// five, then scrolls. Return submits (once while held); Shift+Return inserts
// a line break.
//
//   auto* field = new panel::PromptField(row);
//   field->setOnSubmit([&] { model.submit(); });
//   field->setOnTextChanged([&](const QString& text) { model.setText(text.toStdString()); });
//   field->setTextIfDifferent(QString::fromStdString(model.text()));

#include <QTextEdit>
#include <cstdint>
#include <functional>

namespace panel {

class PromptField final : public QTextEdit {
public:
    static constexpr int kMinLines = 1;
    static constexpr int kMaxLines = 5;
    static constexpr int kFontPixels = 14;

    explicit PromptField(QWidget* parent = nullptr);

    void setOnSubmit(std::function<void()> onSubmit) { onSubmit_ = std::move(onSubmit); }
    void setOnTextChanged(std::function<void(const QString&)> onTextChanged) {
        onTextChanged_ = std::move(onTextChanged);
    }
    // Replaces the text without telling the text-changed handler; does
    // nothing (and keeps the cursor) when the text is already this.
    void setTextIfDifferent(const QString& text);

    // The laid-out lines of the text (wrapped lines count), at least 1.
    int lineCount() const;
    // How many lines tall the field is now: lineCount() kept within 1..5.
    int visibleLines() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void contentChanged();
    int heightForLines(int lines) const;
    // Whether the Return key of `press` was already down: a repeat.
    bool isHeldReturn(const QKeyEvent& press);

    std::function<void()> onSubmit_;
    std::function<void(const QString&)> onTextChanged_;
    int shownLines_ = kMinLines;
    bool returnDown_ = false;
    std::uint64_t returnReleasedAt_ = 0;  // server time, 0: none
};

}  // namespace panel
