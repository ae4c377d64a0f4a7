#include "panel/ChatView.h"

#include <QCoreApplication>
#include <QPointer>
#include <QPropertyAnimation>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "panel/ContextMessageView.h"
#include "panel/CustomScrollbar.h"
#include "panel/MessageBubble.h"
#include "ui/Animations.h"

namespace panel {

ChatView::ChatView(std::shared_ptr<platform::Pasteboard> pasteboard, QWidget* parent)
    : QWidget(parent), pasteboard_(std::move(pasteboard)) {
    scrollArea_ = new QScrollArea(this);
    scrollArea_->setFrameShape(QFrame::NoFrame);
    scrollArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollArea_->setWidgetResizable(true);
    // The keyboard belongs to the prompt: as the first widget of the panel
    // that takes focus, the transcript would catch the keys typed as soon as
    // a chat panel appears.
    scrollArea_->setFocusPolicy(Qt::NoFocus);
    scrollArea_->setAttribute(Qt::WA_TranslucentBackground);
    scrollArea_->viewport()->setAutoFillBackground(false);

    content_ = new QWidget;
    content_->setAutoFillBackground(false);
    column_ = new QVBoxLayout(content_);
    column_->setContentsMargins(0, kSpacing, 0, kSpacing);
    column_->setSpacing(kSpacing);
    anchor_ = new QWidget(content_);
    anchor_->setFixedHeight(1);
    anchor_->setObjectName(QStringLiteral("bottom"));
    column_->addWidget(anchor_);
    column_->addStretch();
    scrollArea_->setWidget(content_);
    // A scroll area keeps its content's size changes to itself; the
    // transcript's own height follows its content, so it listens.
    content_->installEventFilter(this);

    track_ = new CustomScrollbar(this);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QWidget* ChatView::makeRow(const core::ChatMessage& message) {
    if (message.role == core::MessageRole::system)
        return new ContextMessageView(message, content_);
    return new MessageBubble(message, pasteboard_, content_);
}

void ChatView::setMessages(const std::vector<core::ChatMessage>& messages) {
    const bool countChanged = messages.size() != ids_.size();
    // The usual change appends: keep the rows in front that still match.
    std::size_t kept = 0;
    while (kept < ids_.size() && kept < messages.size() && ids_[kept] == messages[kept].id)
        ++kept;
    for (std::size_t i = kept; i < rows_.size(); ++i) {
        rows_[i]->hide();
        rows_[i]->deleteLater();  // a row may be inside its own signal (a copy press)
    }
    rows_.resize(kept);
    ids_.resize(kept);
    for (std::size_t i = kept; i < messages.size(); ++i) {
        QWidget* row = makeRow(messages[i]);
        column_->insertWidget(static_cast<int>(i), row);
        rows_.push_back(row);
        ids_.push_back(messages[i].id);
    }
    updateGeometry();
    if (countChanged && hasMessages_)
        scrollToBottom();
    hasMessages_ = true;
}

void ChatView::setMaxHeight(int maxHeight) {
    maxHeight_ = maxHeight;
    updateGeometry();
}

void ChatView::scrollToBottom() {
    // After the new rows are laid out, so the anchor's place is known.
    QTimer::singleShot(0, this, [self = QPointer<ChatView>(this)] {
        if (!self)
            return;
        // Rows, the content and the scroll range settle one level per
        // layout request: let every level settle before reading the range.
        for (int level = 0; level < 4; ++level)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QScrollBar* bar = self->scrollArea_->verticalScrollBar();
        const QRect anchor = self->anchor_->geometry();
        const int target = std::clamp(anchor.bottom() + 1 - self->scrollArea_->viewport()->height(),
                                      bar->minimum(), bar->maximum());
        if (target == bar->value())
            return;
        auto* scroll = new QPropertyAnimation(bar, "value", self);
        scroll->setDuration(ui::Animations::durationMs(0.2));
        scroll->setEasingCurve(ui::Animations::easeOut());
        scroll->setStartValue(bar->value());
        scroll->setEndValue(target);
        ui::Animations::start(scroll);
    });
}

int ChatView::contentHeight(int width) const {
    const QLayout* layout = content_->layout();
    return layout->hasHeightForWidth() ? layout->heightForWidth(width) : layout->sizeHint().height();
}

int ChatView::heightForWidth(int width) const { return std::min(contentHeight(width), maxHeight_); }

QSize ChatView::sizeHint() const {
    const int width = std::max(this->width(), content_->sizeHint().width());
    return {content_->sizeHint().width(), heightForWidth(width)};
}

QSize ChatView::minimumSizeHint() const { return {0, std::min(2 * kSpacing + 1, maxHeight_)}; }

bool ChatView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == content_ && event->type() == QEvent::LayoutRequest)
        updateGeometry();
    return QWidget::eventFilter(watched, event);
}

void ChatView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    scrollArea_->setGeometry(rect());
    track_->setGeometry(CustomScrollbar::trackRect(size()));
    track_->raise();
}

}  // namespace panel
