#include "windows/HistoryDetailView.h"

#include <QHBoxLayout>
#include <QScrollArea>
#include <QVBoxLayout>

#include "core/ModelInfo.h"
#include "ui/ModelIconView.h"
#include "ui/SymbolButton.h"
#include "ui/Badge.h"
#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "ui/SymbolView.h"
#include "ui/TextStyle.h"
#include "windows/HistoryDateFormat.h"
#include "windows/RoundedTextBox.h"

namespace windows {
namespace {

constexpr int kHeaderPadding = 12;
constexpr int kHeaderSpacing = 8;
constexpr int kBadgeSpacing = 4;
constexpr int kCaptionSymbolSize = 10;
constexpr int kCloseSymbolSize = 18;
constexpr int kPagePadding = 16;
constexpr int kSectionGap = 24;
constexpr int kSectionSpacing = 12;
constexpr int kSectionHeaderSpacing = 6;

void fill(QWidget& widget, const QColor& colour) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, colour);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

QString fromUtf8(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

HistoryDetailView::HistoryDetailView(core::HistoryEntry entry, QWidget* parent)
    : QDialog(parent), entry_(std::move(entry)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    setFixedSize(kWidth, kHeight);
    setPalette(ui::Palette::windowPalette());
    fill(*this, ui::Palette::color(ui::Colour::Surface12));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(makeHeader());

    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->setWidget(makePage());
    layout->addWidget(scroll_, 1);
}

QWidget* HistoryDetailView::makeHeader() {
    header_ = new QWidget(this);
    fill(*header_, ui::Palette::color(ui::Colour::Surface15));
    auto* row = new QHBoxLayout(header_);
    row->setContentsMargins(kHeaderPadding, kHeaderPadding, kHeaderPadding, kHeaderPadding);
    row->setSpacing(kHeaderSpacing);

    const QColor grey = ui::Palette::color(ui::Colour::Grey);
    const QColor white = ui::Palette::color(ui::Colour::White);

    auto* app = new ui::Badge(ui::Palette::color(ui::Colour::Grey, 0.2), header_);
    app->setObjectName("applicationBadge");
    app->setSpacing(kBadgeSpacing);
    app->addWidget(new ui::SymbolView("app.fill", grey, kCaptionSymbolSize, app));
    app->addWidget(new ui::PlainLabel(fromUtf8(entry_.applicationName), ui::TextStyle::Caption, white, app));
    row->addWidget(app);

    auto* model = new ui::Badge(ui::Palette::color(ui::Colour::Purple, 0.2), header_);
    model->setObjectName("modelBadge");
    model->setSpacing(kBadgeSpacing);
    model->addWidget(new ui::ModelIconView(core::ModelInfo{entry_.modelName, entry_.modelName, true},
                                              /*isSelected=*/true, model));
    model->addWidget(new ui::PlainLabel(fromUtf8(entry_.modelName), ui::TextStyle::Caption, white, model));
    row->addWidget(model);

    row->addWidget(new ui::PlainLabel(QString(QChar(0x2022)), ui::TextStyle::Caption, grey, header_));
    date_ = new ui::PlainLabel(fromUtf8(formatHistoryDate(entry_.timestamp)), ui::TextStyle::Caption, grey, header_);
    row->addWidget(date_);
    row->addStretch(1);

    auto* close = new ui::SymbolButton("xmark.circle.fill", grey, kCloseSymbolSize,
                                          QSize(kCloseSymbolSize, kCloseSymbolSize), header_);
    connect(close, &QAbstractButton::clicked, this, &QDialog::reject);
    close_ = close;
    row->addWidget(close);
    return header_;
}

QWidget* HistoryDetailView::makePage() {
    auto* page = new QWidget;
    fill(*page, ui::Palette::color(ui::Colour::Surface12));
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(kPagePadding, kPagePadding, kPagePadding, kPagePadding);
    column->setSpacing(kSectionGap);

    const QColor blue = ui::Palette::color(ui::Colour::Blue);
    const QColor grey = ui::Palette::color(ui::Colour::Grey);
    const QColor box = ui::Palette::color(ui::Colour::Surface10);
    const auto addSection = [&](const char* symbol, const QColor& symbolColour, const char* title,
                                const std::string& text, const QColor& background) {
        auto* section = new QWidget(page);
        auto* stack = new QVBoxLayout(section);
        stack->setContentsMargins(0, 0, 0, 0);
        stack->setSpacing(kSectionSpacing);
        auto* head = new QHBoxLayout;
        head->setSpacing(kSectionHeaderSpacing);
        head->addWidget(new ui::SymbolView(symbol, symbolColour, ui::TextStyles::pixelSize(ui::TextStyle::Headline), section));
        head->addWidget(new ui::PlainLabel(QString::fromLatin1(title), ui::TextStyle::Headline, grey, section));
        head->addStretch(1);
        stack->addLayout(head);
        auto* body = new RoundedTextBox(fromUtf8(text), background, section);
        stack->addWidget(body);
        column->addWidget(section);
        sections_.push_back(Section{QString::fromLatin1(title), QString::fromLatin1(symbol), body});
    };
    addSection("arrow.up.circle.fill", blue, "Input", entry_.input, box);
    if (entry_.selectedText) {
        addSection("text.quote.rtl", blue, "Selected Text", *entry_.selectedText, ui::Palette::color(ui::Colour::Blue, 0.1));
    }
    addSection("arrow.down.circle.fill", ui::Palette::color(ui::Colour::Green), "Output", entry_.output, box);
    column->addStretch(1);
    return page;
}

}  // namespace windows
