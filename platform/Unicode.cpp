#include "platform/Unicode.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <utf8proc.h>

namespace platform::unicode {
namespace {

// Decodes one code point at `pos`; returns its length, or -1 when invalid.
utf8proc_ssize_t decodeAt(std::string_view text, std::size_t pos, utf8proc_int32_t& cp) {
    return utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data() + pos),
                            static_cast<utf8proc_ssize_t>(text.size() - pos), &cp);
}

bool isWhiteSpace(utf8proc_int32_t cp) {
    switch (cp) {
        case 0x09: case 0x0A: case 0x0B: case 0x0C: case 0x0D: case 0x20: case 0x85: case 0xA0:
        case 0x1680: case 0x2028: case 0x2029: case 0x202F: case 0x205F: case 0x3000:
            return true;
        default:
            return cp >= 0x2000 && cp <= 0x200A;
    }
}

// Length of the longest valid UTF-8 prefix of `text`. Runs of ASCII, which is
// most of what passes through here (JSON, protocol lines), are skipped eight
// bytes at a time; only the other bytes go through the decoder.
std::size_t validPrefixLength(std::string_view text) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (text.size() - pos >= sizeof(std::uint64_t)) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + pos, sizeof word);
            if (word & kHighBits) break;
            pos += sizeof word;
        }
        if (pos == text.size()) break;
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
        utf8proc_int32_t cp;
        const auto n = decodeAt(text, pos, cp);
        if (n <= 0) return pos;
        pos += static_cast<std::size_t>(n);
    }
    return text.size();
}

}  // namespace

bool isValidUtf8(std::string_view text) { return validPrefixLength(text) == text.size(); }

std::string latin1ToUtf8(std::string_view latin1) {
    std::string utf8;
    utf8.reserve(latin1.size());
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

std::string utf8ToLatin1(std::string_view utf8) {
    std::string latin1;
    latin1.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        utf8proc_int32_t cp = 0;
        const auto n = decodeAt(utf8, pos, cp);
        latin1 += n > 0 && cp <= 0xFF ? static_cast<char>(cp) : '?';
        pos += n > 0 ? static_cast<std::size_t>(n) : 1;
    }
    return latin1;
}

std::string sanitizeUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (;;) {
        const std::size_t valid = validPrefixLength(text);
        out.append(text.data(), valid);
        if (valid == text.size()) return out;
        out += "\xEF\xBF\xBD";
        text.remove_prefix(valid + 1);
    }
}

std::string trimWhitespaceAndNewlines(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
        utf8proc_int32_t cp;
        const auto n = decodeAt(text, start, cp);
        if (n <= 0 || !isWhiteSpace(cp)) break;
        start += static_cast<std::size_t>(n);
    }
    // Walk back from the end, so a megabyte answer costs only its ends.
    std::size_t end = text.size();
    while (end > start) {
        std::size_t lead = end - 1;
        while (lead > start && end - lead < 4 && (static_cast<unsigned char>(text[lead]) & 0xC0) == 0x80) --lead;
        utf8proc_int32_t cp;
        const auto n = decodeAt(text.substr(0, end), lead, cp);
        // Invalid bytes are text, not white space: they stay.
        if (n <= 0 || lead + static_cast<std::size_t>(n) != end || !isWhiteSpace(cp)) break;
        end = lead;
    }
    return std::string(text.substr(start, end - start));
}

namespace {
// Calls `onStart(offset)` at the first byte of every user-perceived character
// until it returns false.
template <class OnStart>
void forEachCharacterStart(std::string_view text, OnStart onStart) {
    utf8proc_int32_t previous = -1;
    utf8proc_int32_t state = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        utf8proc_int32_t cp;
        auto n = decodeAt(text, pos, cp);
        if (n <= 0) {
            // An invalid byte stands for one replacement character.
            cp = 0xFFFD;
            n = 1;
        }
        if ((previous < 0 || utf8proc_grapheme_break_stateful(previous, cp, &state)) && !onStart(pos))
            return;
        previous = cp;
        pos += static_cast<std::size_t>(n);
    }
}
}  // namespace

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    forEachCharacterStart(text, [&](std::size_t) {
        ++count;
        return true;
    });
    return count;
}

std::string_view characterPrefix(std::string_view text, std::size_t count) {
    std::size_t seen = 0;
    std::size_t end = text.size();
    forEachCharacterStart(text, [&](std::size_t offset) {
        if (seen == count) {
            end = offset;
            return false;
        }
        ++seen;
        return true;
    });
    return text.substr(0, end);
}

namespace {
std::string foldCase(std::string_view text) {
    const std::string clean = sanitizeUtf8(text);
    utf8proc_uint8_t* folded = nullptr;
    const auto options = static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE | UTF8PROC_COMPAT |
                                                        UTF8PROC_CASEFOLD | UTF8PROC_IGNORE);
    const auto n = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(clean.data()),
                                static_cast<utf8proc_ssize_t>(clean.size()), &folded, options);
    if (n < 0) return clean;
    std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owner(folded, &std::free);
    return std::string(reinterpret_cast<const char*>(folded), static_cast<std::size_t>(n));
}
}  // namespace

bool containsIgnoringCase(std::string_view haystack, std::string_view needle) {
    if (needle.empty()) return true;
    return foldCase(haystack).find(foldCase(needle)) != std::string::npos;
}

}  // namespace platform::unicode
