#include "windows/HistoryViewModel.h"

namespace windows {

HistoryViewModel::HistoryViewModel(core::HistoryService& store) : store_(store) {
    storeToken_ = store_.subscribe([this] {
        reindex();
        refilter();
    });
    reindex();
    refilter();
}

HistoryViewModel::~HistoryViewModel() { store_.unsubscribe(storeToken_); }

void HistoryViewModel::setSearchText(std::string text) {
    if (text == searchText_) return;
    searchText_ = std::move(text);
    refilter();
}

const core::HistoryEntry& HistoryViewModel::entryAt(std::size_t row) const { return store_.entries().at(shown_.at(row)); }

void HistoryViewModel::selectRow(std::size_t row) {
    if (row < shown_.size()) selectedEntry_ = entryAt(row);
}

void HistoryViewModel::clearHistory() { store_.clearHistory(); }

void HistoryViewModel::reindex() {
    const auto& entries = store_.entries();
    searchable_.clear();
    searchable_.reserve(entries.size());
    for (const auto& entry : entries) searchable_.push_back(SearchableEntry::make(entry));
}

void HistoryViewModel::refilter() {
    shown_ = filteredEntries(searchable_, searchText_);
    observers_.notify();
}

}  // namespace windows
