#pragma once

#include <QWidget>

#include <memory>
#include <vector>

#include "core/ChatMessage.h"

class QScrollArea;
class QVBoxLayout;

namespace platform {
class Pasteboard;
}

namespace panel {

class CustomScrollbar;

// The chat transcript: one row per message (the context row for the system
// message, bubbles for the others), then a 1 px anchor, spaced 12 apart with
// 12 above and below, scrolled with the system scroll bars hidden and the
// thin track drawn over its trailing edge. It is as tall as its content up
// to `maxHeight`, and scrolls the anchor into view (0.2 s, ease-out) each
// time the number of messages changes, never on its first showing.
//
// A widget per row: chats in the panel run to tens or a few hundred
// messages, where that costs little and keeps selection and wrapping Qt's.
class ChatView final : public QWidget {
public:
    static constexpr int kSpacing = 12;
    static constexpr int kDefaultMaxHeight = 400;

    explicit ChatView(std::shared_ptr<platform::Pasteboard> pasteboard, QWidget* parent = nullptr);

    // The host's message list, oldest first. Rows of messages already shown
    // are kept (with their expanded or "Copied!" state).
    void setMessages(const std::vector<core::ChatMessage>& messages);
    void setMaxHeight(int maxHeight);
    int maxHeight() const { return maxHeight_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

    // For tests and the host's layout.
    QScrollArea* scrollArea() const { return scrollArea_; }
    QWidget* anchor() const { return anchor_; }
    CustomScrollbar* track() const { return track_; }
    const std::vector<QWidget*>& rows() const { return rows_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* makeRow(const core::ChatMessage& message);
    void scrollToBottom();
    int contentHeight(int width) const;

    std::shared_ptr<platform::Pasteboard> pasteboard_;
    int maxHeight_ = kDefaultMaxHeight;
    QScrollArea* scrollArea_;
    QWidget* content_;
    QVBoxLayout* column_;
    QWidget* anchor_;
    CustomScrollbar* track_;
    std::vector<QWidget*> rows_;
    std::vector<platform::Uuid> ids_;
    bool hasMessages_ = false;  // set once the first list was given
};

}  // namespace panel
