#pragma once

#include <QWidget>

#include <chrono>
#include <memory>

#include "core/ChatMessage.h"

class QAbstractButton;

namespace platform {
class Pasteboard;
}
namespace ui {
class PlainLabel;
class SymbolView;
}  // namespace ui

namespace panel {

// One user or assistant message of a chat: the user's on the trailing side
// on a blue bubble, the assistant's on the leading side on a dark grey one
// with a "Copy" button under it.
class MessageBubble final : public QWidget {
public:
    static constexpr int kMaxBubbleWidth = 400;
    static constexpr std::chrono::milliseconds kCopiedFor{1500};

    // `pasteboard` is where "Copy" puts the text (none: copying does nothing).
    MessageBubble(core::ChatMessage message, std::shared_ptr<platform::Pasteboard> pasteboard,
                  QWidget* parent = nullptr);
    ~MessageBubble() override;

    // The copy button's action: the message text becomes the clipboard's only
    // content and the button says "Copied!" for 1.5 s; when the clipboard
    // does not take it, the button says "Copy" and the failure is logged. Each press schedules
    // its own reset, which a later press does not cancel.
    void copyToPasteboard();

    bool showsCopied() const { return showCopied_; }
    bool isUser() const { return message_.role == core::MessageRole::user; }
    ui::PlainLabel* bubble() const { return bubble_; }
    QAbstractButton* copyButton() const { return copyButton_; }  // none for a user message
    ui::SymbolView* copySymbol() const { return copySymbol_; }
    QColor bubbleColour() const;

private:
    void setShowCopied(bool shown);

    core::ChatMessage message_;
    std::shared_ptr<platform::Pasteboard> pasteboard_;
    bool showCopied_ = false;
    ui::PlainLabel* bubble_;
    QAbstractButton* copyButton_ = nullptr;
    ui::SymbolView* copySymbol_ = nullptr;
    ui::PlainLabel* copyTitle_ = nullptr;
    // Resets scheduled on the main loop outlive the row; they check this.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace panel
