#include "windows/HistoryView.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/SymbolButton.h"
#include "ui/Palette.h"
#include "ui/SymbolView.h"
#include "ui/TextStyle.h"
#include "windows/HistoryDetailView.h"
#include "windows/HistoryListModel.h"
#include "windows/HistoryRowDelegate.h"

namespace windows {
namespace {

constexpr int kBarPadding = 10;
constexpr int kBarSpacing = 8;
constexpr int kSymbolSize = 14;
constexpr int kButtonPadding = 10;

}  // namespace

HistoryView::HistoryView(core::HistoryService& store, std::shared_ptr<platform::Clock> clock, QWidget* parent)
    : QWidget(parent), model_(std::make_unique<HistoryViewModel>(store)) {
    setPalette(ui::Palette::windowPalette());
    setAutoFillBackground(true);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(makeSearchBar());

    listModel_ = new HistoryListModel(*model_, this);
    list_ = new QListView(this);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setResizeMode(QListView::Adjust);
    // A full history is laid out a hundred rows at a time, so the first rows
    // show before the thousandth is measured.
    list_->setLayoutMode(QListView::Batched);
    list_->setBatchSize(100);
    list_->setModel(listModel_);
    list_->setItemDelegate(new HistoryRowDelegate(*listModel_, std::move(clock), list_));
    connect(list_, &QListView::clicked, this, [this](const QModelIndex& index) { openRow(index.row()); });
    column->addWidget(list_, 1);

    clearHistory_ = new QPushButton(tr("Clear History"), this);
    QPalette red = clearHistory_->palette();
    red.setColor(QPalette::ButtonText, ui::Palette::color(ui::Colour::Red));
    clearHistory_->setPalette(red);
    connect(clearHistory_, &QPushButton::clicked, this, [this] { model_->clearHistory(); });
    auto* buttonRow = new QHBoxLayout;
    buttonRow->setContentsMargins(kButtonPadding, kButtonPadding, kButtonPadding, kButtonPadding);
    buttonRow->addStretch(1);
    buttonRow->addWidget(clearHistory_);
    buttonRow->addStretch(1);
    column->addLayout(buttonRow);

    token_ = model_->subscribe([this] { clearSearch_->setVisible(model_->showsClearButton()); });
}

void HistoryView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    model_->reload();
}

HistoryView::~HistoryView() {
    // The list and its model listen to the view model: they go first.
    delete sheet_.data();
    delete list_;
    delete listModel_;
    model_->unsubscribe(token_);
}

QWidget* HistoryView::makeSearchBar() {
    searchBar_ = new QWidget(this);
    QPalette bar = searchBar_->palette();
    bar.setColor(QPalette::Window, ui::Palette::color(ui::Colour::Surface15));
    searchBar_->setPalette(bar);
    searchBar_->setAutoFillBackground(true);
    auto* row = new QHBoxLayout(searchBar_);
    row->setContentsMargins(kBarPadding, kBarPadding, kBarPadding, kBarPadding);
    row->setSpacing(kBarSpacing);

    const QColor grey = ui::Palette::color(ui::Colour::Grey);
    row->addWidget(new ui::SymbolView("magnifyingglass", grey, kSymbolSize, searchBar_));

    searchField_ = new QLineEdit(searchBar_);
    searchField_->setFrame(false);
    searchField_->setPlaceholderText(tr("Search history..."));
    searchField_->setFont(ui::TextStyles::font(ui::TextStyle::Body));
    QPalette plain = searchField_->palette();
    plain.setColor(QPalette::Base, Qt::transparent);
    searchField_->setPalette(plain);
    // The filter follows every keystroke; Return and leaving the field add nothing.
    connect(searchField_, &QLineEdit::textChanged, this,
            [this](const QString& text) { model_->setSearchText(text.toStdString()); });
    row->addWidget(searchField_, 1);

    auto* clear = new ui::SymbolButton("xmark.circle.fill", grey, kSymbolSize, QSize(kSymbolSize, kSymbolSize), searchBar_);
    clear->setVisible(false);
    connect(clear, &QAbstractButton::clicked, this, [this] { searchField_->clear(); });
    clearSearch_ = clear;
    row->addWidget(clear);
    return searchBar_;
}

HistoryDetailView* HistoryView::detailSheet() const { return sheet_.data(); }

void HistoryView::openRow(int row) {
    if (row < 0) return;
    model_->selectRow(static_cast<std::size_t>(row));
    if (!model_->selectedEntry()) return;
    delete sheet_.data();
    sheet_ = new HistoryDetailView(*model_->selectedEntry(), this);
    connect(sheet_, &QDialog::finished, this, [this] { model_->dismissDetail(); });
    sheet_->open();
}

}  // namespace windows
