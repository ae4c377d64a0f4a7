#include "core/HistoryText.h"

#include <algorithm>

namespace core {

HistoryText::HistoryText(const std::vector<HistoryEntry>& entries) {
    bytes_ = std::make_shared<const std::string>(history::encode(entries, &spans_));
}

HistoryText::HistoryText(std::string bytes, std::vector<history::EntrySpan> spans)
    : HistoryText(std::make_shared<const std::string>(std::move(bytes)), std::move(spans)) {}

HistoryText::HistoryText(std::shared_ptr<const std::string> bytes, std::vector<history::EntrySpan> spans)
    : bytes_(bytes ? std::move(bytes) : std::make_shared<const std::string>()), spans_(std::move(spans)) {}

HistoryText HistoryText::withNewest(const HistoryEntry& entry, std::size_t maxEntries) const {
    const std::string newest = history::encodeEntry(entry);
    const std::size_t kept = std::min(spans_.size(), std::max<std::size_t>(maxEntries, 1) - 1);

    std::vector<history::EntrySpan> spans;
    spans.reserve(kept + 1);
    const std::size_t from = kept ? spans_.front().begin : 0;
    const std::size_t to = kept ? spans_[kept - 1].end : 0;
    std::string bytes;
    bytes.reserve(newest.size() + (to - from) + 3);
    bytes += '[';
    bytes += newest;
    spans.push_back({1, bytes.size()});
    if (kept) {
        // The kept entries go over as one run of text, with whatever lay
        // between them; only their positions move.
        bytes += ',';
        const std::size_t base = bytes.size();
        bytes.append(*bytes_, from, to - from);
        for (std::size_t i = 0; i < kept; ++i)
            spans.push_back({base + (spans_[i].begin - from), base + (spans_[i].end - from)});
    }
    bytes += ']';
    return HistoryText(std::move(bytes), std::move(spans));
}

}  // namespace core
