#pragma once

// The state of the History tab without its widgets: the search text, the
// entries it lets through, the entry whose detail sheet is open, and the
// "Clear History" action, over one history store it observes.
//
//   HistoryViewModel model(settingsView.historyService());
//   model.setSearchText("gpt");                 // rows: the matching entries, newest first
//   model.selectRow(0);                         // the sheet shows model.selectedEntry()
//   model.dismissDetail();
//   model.clearHistory();                       // the store empties and stores "[]"; the search text stays
//
// The searchable texts are folded when the store's list changes, never per
// keystroke. Main thread only; the store must outlive the model.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/HistoryEntry.h"
#include "core/HistoryService.h"
#include "core/ObserverList.h"
#include "windows/SearchableEntry.h"

namespace windows {

class HistoryViewModel {
public:
    explicit HistoryViewModel(core::HistoryService& store);
    ~HistoryViewModel();
    HistoryViewModel(const HistoryViewModel&) = delete;
    HistoryViewModel& operator=(const HistoryViewModel&) = delete;

    const std::string& searchText() const { return searchText_; }
    void setSearchText(std::string text);
    // The clear button, shown only while there is a search text.
    bool showsClearButton() const { return !searchText_.empty(); }

    // The rows: the store's entries that pass the search, in its order.
    std::size_t rowCount() const { return shown_.size(); }
    const core::HistoryEntry& entryAt(std::size_t row) const;

    // Opens the detail sheet on a row's entry (a copy: later changes of the
    // store do not reach it).
    void selectRow(std::size_t row);
    const std::optional<core::HistoryEntry>& selectedEntry() const { return selectedEntry_; }
    void dismissDetail() { selectedEntry_.reset(); }

    // Empties the store and stores the empty list at once.
    void clearHistory();

    // Takes up what is stored now: the panels record answers through stores
    // of their own while the settings window stays open, so the tab reads
    // the list again each time it is shown (nothing happens when it is
    // unchanged).
    void reload() { store_.loadHistory(); }

    // Called after the rows changed (a new search text, a cleared store).
    core::ObserverToken subscribe(std::function<void()> observer) { return observers_.subscribe(std::move(observer)); }
    void unsubscribe(core::ObserverToken token) { observers_.unsubscribe(token); }

private:
    void reindex();
    void refilter();

    core::HistoryService& store_;
    core::ObserverToken storeToken_;
    std::vector<SearchableEntry> searchable_;
    std::vector<std::size_t> shown_;
    std::string searchText_;
    std::optional<core::HistoryEntry> selectedEntry_;
    core::ObserverList<> observers_;
};

}  // namespace windows
