#pragma once

#include <QWidget>

#include <string>
#include <string_view>

#include "core/ChatMessage.h"

class QAbstractButton;

namespace ui {
class PlainLabel;
class SymbolView;
}  // namespace ui

namespace panel {

// The "Context" row of a chat: the text that was selected when the chat
// began, folded to its first 100 characters behind a header that unfolds it.
class ContextMessageView final : public QWidget {
public:
    static constexpr std::size_t kFoldedLength = 100;

    explicit ContextMessageView(core::ChatMessage message, QWidget* parent = nullptr);

    // What the row shows: the whole text when expanded, else its first 100
    // user-perceived characters, followed by "..." when there were more.
    static std::string displayText(std::string_view content, bool isExpanded);

    bool isExpanded() const { return isExpanded_; }
    void toggle();

    QAbstractButton* header() const { return header_; }
    ui::PlainLabel* textLabel() const { return text_; }
    ui::SymbolView* chevron() const { return chevron_; }

private:
    void refresh();

    core::ChatMessage message_;
    bool isExpanded_ = false;
    QAbstractButton* header_;
    ui::SymbolView* chevron_;
    ui::PlainLabel* text_;
};

}  // namespace panel
