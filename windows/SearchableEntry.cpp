#include "windows/SearchableEntry.h"

#include <string.h>
#include <utf8proc.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/Unicode.h"

namespace windows {
namespace {

struct FreeDeleter {
    void operator()(utf8proc_uint8_t* p) const { std::free(p); }
};

std::string mapFolded(std::string_view text, bool& ok) {
    utf8proc_uint8_t* out = nullptr;
    const auto options = static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_DECOMPOSE | UTF8PROC_CASEFOLD);
    const utf8proc_ssize_t length = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                                                 static_cast<utf8proc_ssize_t>(text.size()), &out, options);
    std::unique_ptr<utf8proc_uint8_t, FreeDeleter> owned(out);
    ok = length >= 0;
    if (!ok) return {};
    return std::string(reinterpret_cast<const char*>(out), static_cast<std::size_t>(length));
}

bool isAscii(char c) { return static_cast<unsigned char>(c) < 0x80; }

// Which byte positions of a text start a user-perceived character, worked
// out from the start of the text only as far as a question needs: most
// texts searched have no hit at all, and a break can depend on everything
// before it (flags pair up, emoji join).
class GraphemeBoundaries {
public:
    explicit GraphemeBoundaries(std::string_view text) : text_(text) {}

    bool at(std::size_t pos) {
        if (pos == 0 || pos >= text_.size()) return true;
        // Between two ASCII characters only CR LF holds together: no scan.
        const char before = text_[pos - 1];
        if (isAscii(before) && isAscii(text_[pos])) return !(before == '\r' && text_[pos] == '\n');
        if (starts_.empty()) starts_.assign(text_.size(), false);
        while (scanned_ <= pos) {
            utf8proc_int32_t cp = -1;
            const auto length =
                utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text_.data() + scanned_),
                                 static_cast<utf8proc_ssize_t>(text_.size() - scanned_), &cp);
            if (length <= 0) cp = 0xFFFD;
            starts_[scanned_] = previous_ < 0 || utf8proc_grapheme_break_stateful(previous_, cp, &state_);
            previous_ = cp;
            scanned_ += length > 0 ? static_cast<std::size_t>(length) : 1;
        }
        return starts_[pos];
    }

private:
    std::string_view text_;
    std::vector<bool> starts_;
    std::size_t scanned_ = 0;
    utf8proc_int32_t previous_ = -1;
    utf8proc_int32_t state_ = 0;
};

// Folds text that is valid UTF-8, or reports that it is not. ASCII is its
// own decomposition and folds to lower case, so only the runs of other
// characters go through utf8proc. Cutting at ASCII is safe: every ASCII
// character is a starter, so no reordering of marks crosses it.
bool foldValid(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (isAscii(text[i])) {
            const char c = text[i++];
            out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !isAscii(text[end])) ++end;
        bool ok = false;
        out += mapFolded(text.substr(i, end - i), ok);
        if (!ok) return false;
        i = end;
    }
    return true;
}

}  // namespace

std::string SearchableEntry::fold(std::string_view text) {
    std::string folded;
    if (foldValid(text, folded)) return folded;
    // Text from other programs may hold broken bytes: search what a reader sees.
    foldValid(platform::unicode::sanitizeUtf8(text), folded);
    return folded;
}

SearchableEntry SearchableEntry::make(const core::HistoryEntry& entry) {
    return SearchableEntry{fold(entry.input), fold(entry.output), fold(entry.modelName), fold(entry.applicationName)};
}

bool SearchableEntry::containsFolded(std::string_view haystack, std::string_view needle) {
    if (needle.empty()) return true;
    const char* const begin = haystack.data();
    GraphemeBoundaries boundaries(haystack);
    std::size_t from = 0;
    while (from + needle.size() <= haystack.size()) {
        const void* hit = ::memmem(begin + from, haystack.size() - from, needle.data(), needle.size());
        if (!hit) return false;
        const auto at = static_cast<std::size_t>(static_cast<const char*>(hit) - begin);
        // Both texts are decomposed, so "e" is a prefix of "é" (e + U+0301)
        // and "가" of "각" (three jamo): a hit counts only when it starts and
        // ends between user-perceived characters.
        if (boundaries.at(at) && boundaries.at(at + needle.size())) return true;
        from = at + 1;
    }
    return false;
}

std::vector<std::size_t> filteredEntries(const std::vector<SearchableEntry>& entries, std::string_view searchText) {
    std::vector<std::size_t> shown;
    shown.reserve(entries.size());
    if (searchText.empty()) {
        for (std::size_t i = 0; i < entries.size(); ++i) shown.push_back(i);
        return shown;
    }
    const std::string needle = SearchableEntry::fold(searchText);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const SearchableEntry& e = entries[i];
        if (SearchableEntry::containsFolded(e.input, needle) || SearchableEntry::containsFolded(e.output, needle) ||
            SearchableEntry::containsFolded(e.modelName, needle) ||
            SearchableEntry::containsFolded(e.applicationName, needle)) {
            shown.push_back(i);
        }
    }
    return shown;
}

}  // namespace windows
