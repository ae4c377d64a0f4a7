#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Uuid.h"

namespace core {

// One answered prompt as the history keeps it. Never changed once made.
//
// Stored as a JSON object: "id" (upper-case UUID text), "timestamp" (seconds
// since 2001-01-01 00:00:00 UTC, with fraction), "modelName", "input",
// "selectedText" (left out when there was no selection; null reads as
// none), "output" and "applicationName". Everything but "selectedText" is
// required when reading.
struct HistoryEntry {
    platform::Uuid id;
    double timestamp = 0;  // seconds since the 2001 reference date
    std::string modelName;
    std::string input;
    std::optional<std::string> selectedText;
    std::string output;
    std::string applicationName;
};

namespace history {

// Where one entry's JSON object lies in the text of a stored list:
// text[begin, end).
struct EntrySpan {
    std::size_t begin = 0;
    std::size_t end = 0;
    friend bool operator==(const EntrySpan&, const EntrySpan&) = default;
};

// One entry as a compact JSON object. Invalid UTF-8 in any text is replaced
// (U+FFFD), so encoding cannot fail.
std::string encodeEntry(const HistoryEntry& entry);

// The stored list: a compact JSON array of `encodeEntry` texts in list
// order. Gives where each entry lies in the result when `spans` is set.
std::string encode(const std::vector<HistoryEntry>& entries, std::vector<EntrySpan>* spans = nullptr);

// Reads the stored list. One malformed entry makes the whole list unreadable
// (nothing is returned, the reason goes to `error` when asked), so a partial
// list is never mistaken for the whole. When `spans` is set it receives
// where each entry's object lies in `bytes`, or stays empty should that not
// be made out for certain.
std::optional<std::vector<HistoryEntry>> decode(std::string_view bytes, std::string* error = nullptr,
                                                std::vector<EntrySpan>* spans = nullptr);

}  // namespace history
}  // namespace core
