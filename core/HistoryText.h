#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "core/HistoryEntry.h"

namespace core {

// The stored text of a history list together with where each entry's
// object lies in it. Entries never change once made, so their text never
// goes stale: putting a new entry first encodes that entry alone and copies
// the others' text as it stands, instead of encoding the whole list again.
// The text never changes once made, so it is shared, not copied, with the
// settings store that keeps it.
class HistoryText {
public:
    // The text of `entries`, as `history::encode` writes it.
    explicit HistoryText(const std::vector<HistoryEntry>& entries);
    // Text as read, with the spans `history::decode` found in it (one per
    // entry, in order).
    HistoryText(std::string bytes, std::vector<history::EntrySpan> spans);
    HistoryText(std::shared_ptr<const std::string> bytes, std::vector<history::EntrySpan> spans);

    const std::string& bytes() const { return *bytes_; }
    const std::shared_ptr<const std::string>& sharedBytes() const { return bytes_; }
    const std::vector<history::EntrySpan>& spans() const { return spans_; }

    // This list with `entry` first, cut to its newest `maxEntries` (at least 1).
    HistoryText withNewest(const HistoryEntry& entry, std::size_t maxEntries) const;

private:
    std::shared_ptr<const std::string> bytes_;
    std::vector<history::EntrySpan> spans_;
};

}  // namespace core
