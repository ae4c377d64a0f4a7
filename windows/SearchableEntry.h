#pragma once

// The history search: which entries contain a search text in their input,
// output, model name or application name. Letter case is ignored and
// canonically equivalent texts compare equal ("e" + U+0301 finds "É"), but
// accents still count ("e" does not find "é").
//
//   std::vector<SearchableEntry> texts;                  // once, when the list loads
//   for (const auto& entry : store.entries()) texts.push_back(SearchableEntry::make(entry));
//   auto shown = filteredEntries(texts, "gpt");          // on every keystroke
//
// Every text is folded once (canonical decomposition, then case folding),
// so a keystroke costs one fold of the search text and plain byte searches.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/HistoryEntry.h"

namespace windows {

struct SearchableEntry {
    // The folded fields, in the order they are tried. The selected text and
    // the date are not searched.
    std::string input;
    std::string output;
    std::string modelName;
    std::string applicationName;

    static SearchableEntry make(const core::HistoryEntry& entry);

    // The canonical decomposition of `text`, case-folded. Invalid UTF-8 is
    // read as U+FFFD first.
    static std::string fold(std::string_view text);

    // Whether folded `haystack` holds folded `needle` as a whole run of
    // user-perceived characters: a hit that starts or ends inside one (a
    // letter and its accents, a Hangul syllable, an emoji and its modifier)
    // does not count.
    static bool containsFolded(std::string_view haystack, std::string_view needle);
};

// The positions, in order, of the entries whose searched fields contain
// `searchText`; all of them when `searchText` is empty. A text of spaces is
// not empty: it keeps the entries with a space in a searched field.
std::vector<std::size_t> filteredEntries(const std::vector<SearchableEntry>& entries, std::string_view searchText);

}  // namespace windows
