#include "windows/HelpView.h"

#include <QVBoxLayout>

#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "ui/SymbolView.h"
#include "ui/TextStyle.h"
#include "windows/FAQItemView.h"

namespace windows {

namespace {

constexpr int horizontalPadding = 16;

}  // namespace

HelpView::HelpView(std::function<void()> onClose, std::shared_ptr<platform::AnalyticsSink> analytics,
                   QWidget* parent)
    : QScrollArea(parent), onClose_(std::move(onClose)), faqs_(FAQItem::all()) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QPalette background = palette();
    background.setColor(QPalette::Window, ui::Palette::color(ui::Colour::Surface12));
    setPalette(background);
    setAutoFillBackground(true);
    viewport()->setAutoFillBackground(true);
    viewport()->setPalette(background);

    auto* page = new QWidget;
    page->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 40);
    column->setSpacing(24);

    auto* header = new QVBoxLayout;
    header->setContentsMargins(0, 20, 0, 0);
    header->setSpacing(16);
    header->addWidget(new ui::SymbolView("questionmark.circle", ui::Palette::color(ui::Colour::Accent), 48, page), 0,
                      Qt::AlignHCenter);
    auto* title = new ui::PlainLabel(QStringLiteral("Quillary Help & FAQs"), ui::TextStyle::Title,
                                     ui::Palette::color(ui::Colour::White), page);
    title->setFont(ui::TextStyles::font(ui::TextStyle::Title, QFont::Bold));
    header->addWidget(title, 0, Qt::AlignHCenter);
    column->addLayout(header);

    auto* questions = new QVBoxLayout;
    questions->setContentsMargins(horizontalPadding, 0, horizontalPadding, 0);
    questions->setSpacing(24);
    for (const FAQItem& item : faqs_) {
        auto* row = new FAQItemView(item.question, item.answer, analytics, page);
        row->setObjectName(QString::fromStdString(item.id));
        rows_.push_back(row);
        questions->addWidget(row);
    }
    column->addLayout(questions);
    column->addStretch(1);
    setWidget(page);
}

}  // namespace windows
