#pragma once

// The History tab: a search bar ("magnifyingglass", a plain field with the
// placeholder "Search history...", and "xmark.circle.fill" to empty it while
// there is a search text) on a grey 0.15 bar, the list of entries that match
// (newest first, painted rows, no selection of its own), and a red
// "Clear History" button. A click on a row opens the entry's detail sheet.
//
//   auto* tab = new HistoryView(settingsView.historyService());
//
// The state and the filtering live in HistoryViewModel; this widget only
// forwards keys and clicks and draws.

#include <QPointer>
#include <QWidget>
#include <memory>

#include "core/HistoryService.h"
#include "core/ObserverList.h"
#include "platform/Clock.h"
#include "windows/HistoryViewModel.h"

class QAbstractButton;
class QLineEdit;
class QListView;
class QPushButton;

namespace windows {

class HistoryDetailView;
class HistoryListModel;

class HistoryView final : public QWidget {
public:
    explicit HistoryView(core::HistoryService& store, std::shared_ptr<platform::Clock> clock = platform::Clock::system(),
                         QWidget* parent = nullptr);
    ~HistoryView() override;

    HistoryViewModel& model() { return *model_; }
    QWidget* searchBar() const { return searchBar_; }
    QLineEdit* searchField() const { return searchField_; }
    QAbstractButton* clearSearchButton() const { return clearSearch_; }
    QListView* list() const { return list_; }
    QPushButton* clearHistoryButton() const { return clearHistory_; }
    // The open detail sheet, if any.
    HistoryDetailView* detailSheet() const;

    // What a click on a row does: opens its entry's sheet.
    void openRow(int row);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* makeSearchBar();

    std::unique_ptr<HistoryViewModel> model_;
    HistoryListModel* listModel_ = nullptr;
    core::ObserverToken token_ = 0;
    QWidget* searchBar_ = nullptr;
    QLineEdit* searchField_ = nullptr;
    QAbstractButton* clearSearch_ = nullptr;
    QListView* list_ = nullptr;
    QPushButton* clearHistory_ = nullptr;
    QPointer<HistoryDetailView> sheet_;
};

}  // namespace windows
