#include "panel/ContextMessageView.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "panel/PlainButton.h"
#include "platform/Unicode.h"
#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "ui/RoundedSurface.h"
#include "ui/SymbolView.h"
#include "ui/TextStyle.h"

namespace panel {

namespace {

// The grey text on a faint grey card with rounded corners.
class ContextText final : public ui::PlainLabel {
public:
    using ui::PlainLabel::PlainLabel;

protected:
    void paintEvent(QPaintEvent* event) override {
        {
            QPainter painter(this);
            ui::RoundedSurface::paint(painter, QRectF(rect()), 8, ui::Palette::color(ui::Colour::Grey, 0.1));
        }
        ui::PlainLabel::paintEvent(event);
    }
};

}  // namespace

ContextMessageView::ContextMessageView(core::ChatMessage message, QWidget* parent)
    : QWidget(parent), message_(std::move(message)) {
    const QColor grey = ui::Palette::color(ui::Colour::Grey);

    header_ = new PlainButton(this);
    auto* headerRow = new QHBoxLayout(header_);
    headerRow->setContentsMargins(0, 0, 0, 0);
    headerRow->setSpacing(6);
    headerRow->addWidget(new ui::SymbolView("text.quote", grey, 10, header_), 0, Qt::AlignVCenter);
    auto* title = new ui::PlainLabel(QStringLiteral("Context"), ui::TextStyle::Subheadline, grey, header_);
    title->setFont(ui::TextStyles::system(11, QFont::Medium));
    headerRow->addWidget(title, 0, Qt::AlignVCenter);
    chevron_ = new ui::SymbolView("chevron.down", grey, 9, header_);
    headerRow->addWidget(chevron_, 0, Qt::AlignVCenter);
    headerRow->addStretch();
    connect(header_, &QAbstractButton::clicked, this, [this] { toggle(); });

    text_ = new ContextText(QString(), ui::TextStyle::Callout, grey, this);
    text_->setFont(ui::TextStyles::system(12));
    text_->setWordWrap(true);
    text_->setSelectable(true);
    text_->setMargin(8);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 0, 12, 0);
    column->setSpacing(4);
    column->addWidget(header_, 0, Qt::AlignLeft);
    column->addWidget(text_);
    refresh();
}

std::string ContextMessageView::displayText(std::string_view content, bool isExpanded) {
    if (isExpanded)
        return std::string(content);
    const auto prefix = platform::unicode::characterPrefix(content, kFoldedLength);
    if (prefix.size() == content.size())
        return std::string(content);
    return std::string(prefix) + "...";
}

void ContextMessageView::toggle() {
    isExpanded_ = !isExpanded_;
    refresh();
}

void ContextMessageView::refresh() {
    chevron_->setSymbol(isExpanded_ ? "chevron.up" : "chevron.down");
    text_->setText(QString::fromStdString(displayText(message_.content, isExpanded_)));
    updateGeometry();
}

}  // namespace panel
