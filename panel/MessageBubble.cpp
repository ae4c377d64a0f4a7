#include "panel/MessageBubble.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

#include "panel/PlainButton.h"
#include "platform/Logger.h"
#include "platform/MainLoop.h"
#include "platform/Pasteboard.h"
#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "ui/RoundedSurface.h"
#include "ui/SymbolView.h"
#include "ui/TextStyle.h"

namespace panel {

namespace {

constexpr int kBubblePadding = 12;
constexpr qreal kBubbleRadius = 16;

// The message text on its filled, rounded bubble.
class BubbleLabel final : public ui::PlainLabel {
public:
    BubbleLabel(const QString& text, const QColor& fill, QWidget* parent)
        : ui::PlainLabel(text, ui::TextStyle::Body, ui::Palette::color(ui::Colour::White), parent), fill_(fill) {}
    QColor fill() const { return fill_; }

    // As wide as the text on one line, up to the bubble's limit; taller as
    // it wraps.
    QSize sizeHint() const override {
        int natural = 0;
        for (const QString& line : text().split(QLatin1Char('\n')))
            natural = std::max(natural, fontMetrics().horizontalAdvance(line));
        const int width = std::min(natural + 2 * margin() + 1, MessageBubble::kMaxBubbleWidth);
        return {width, heightForWidth(width)};
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        {
            QPainter painter(this);
            ui::RoundedSurface::paint(painter, QRectF(rect()), kBubbleRadius, fill_);
        }
        ui::PlainLabel::paintEvent(event);
    }

private:
    QColor fill_;
};

}  // namespace

MessageBubble::MessageBubble(core::ChatMessage message, std::shared_ptr<platform::Pasteboard> pasteboard,
                             QWidget* parent)
    : QWidget(parent), message_(std::move(message)), pasteboard_(std::move(pasteboard)) {
    const bool user = isUser();
    bubble_ = new BubbleLabel(QString::fromStdString(message_.content), bubbleColour(), this);
    bubble_->setWordWrap(true);
    bubble_->setSelectable(true);
    bubble_->setMargin(kBubblePadding);
    bubble_->setMaximumWidth(kMaxBubbleWidth);
    bubble_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);

    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(bubble_, 0, user ? Qt::AlignRight : Qt::AlignLeft);
    if (!user) {
        const QColor grey = ui::Palette::color(ui::Colour::Grey);
        copyButton_ = new PlainButton(this);
        auto* row = new QHBoxLayout(copyButton_);
        row->setContentsMargins(12, 4, 0, 0);
        row->setSpacing(4);
        copySymbol_ = new ui::SymbolView("doc.on.doc", grey, 11, copyButton_);
        copyTitle_ = new ui::PlainLabel(QStringLiteral("Copy"), ui::TextStyle::Subheadline, grey, copyButton_);
        copyTitle_->setFont(ui::TextStyles::system(11));
        row->addWidget(copySymbol_, 0, Qt::AlignVCenter);
        row->addWidget(copyTitle_, 0, Qt::AlignVCenter);
        connect(copyButton_, &QAbstractButton::clicked, this, [this] { copyToPasteboard(); });
        column->addWidget(copyButton_, 0, Qt::AlignLeft);
    }

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 0, 12, 0);
    if (user)
        row->addStretch();
    row->addLayout(column);
    if (!user)
        row->addStretch();
}

MessageBubble::~MessageBubble() { *alive_ = false; }

QColor MessageBubble::bubbleColour() const {
    return isUser() ? ui::Palette::color(ui::Colour::Blue, 0.3) : ui::Palette::grey(0.2);
}

void MessageBubble::copyToPasteboard() {
    if (!pasteboard_ || !pasteboard_->setString(message_.content)) {
        platform::Logger("quillary", "panel").error("The message could not be put on the clipboard");
        setShowCopied(false);
        return;
    }
    setShowCopied(true);
    const auto loop = platform::MainLoop::main();
    if (!loop)
        return;
    loop->addTimer(kCopiedFor, false, [this, alive = std::weak_ptr<bool>(alive_)] {
        if (const auto flag = alive.lock(); flag && *flag)
            setShowCopied(false);
    });
}

void MessageBubble::setShowCopied(bool shown) {
    showCopied_ = shown;
    if (!copyButton_)
        return;
    copySymbol_->setSymbol(shown ? "checkmark" : "doc.on.doc");
    copyTitle_->setText(shown ? QStringLiteral("Copied!") : QStringLiteral("Copy"));
}

}  // namespace panel
