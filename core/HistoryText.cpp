#include "core/HistoryText.h"

#include <algorithm>

namespace core {

HistoryText::HistoryText(const std::vector<HistoryEntry>& entries) { bytes_ = history::encode(entries, &spans_); }

HistoryText::HistoryText(std::string bytes, std::vector<history::EntrySpan> spans)
    : bytes_(std::move(bytes)), spans_(std::move(spans)) {}

HistoryText HistoryText::withNewest(const HistoryEntry& entry, std::size_t maxEntries) const {
    const std::string newest = history::encodeEntry(entry);
    const std::size_t kept = std::min(spans_.size(), std::max<std::size_t>(maxEntries, 1) - 1);

    HistoryText out;
    out.spans_.reserve(kept + 1);
    const std::size_t from = kept ? spans_.front().begin : 0;
    const std::size_t to = kept ? spans_[kept - 1].end : 0;
    out.bytes_.reserve(newest.size() + (to - from) + 3);
    out.bytes_ += '[';
    out.bytes_ += newest;
    out.spans_.push_back({1, out.bytes_.size()});
    if (kept) {
        // The kept entries go over as one run of text, with whatever lay
        // between them; only their positions move.
        out.bytes_ += ',';
        const std::size_t base = out.bytes_.size();
        out.bytes_.append(bytes_, from, to - from);
        for (std::size_t i = 0; i < kept; ++i)
            out.spans_.push_back({base + (spans_[i].begin - from), base + (spans_[i].end - from)});
    }
    out.bytes_ += ']';
    return out;
}

}  // namespace core
