#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform::unicode {

bool isValidUtf8(std::string_view text);

// Replaces every invalid UTF-8 sequence with U+FFFD, so text from other
// applications can always be put into JSON.
std::string sanitizeUtf8(std::string_view text);

// Latin-1 (ISO 8859-1, the X selections' STRING) as UTF-8, and back, with
// "?" for each character Latin-1 lacks (and each invalid byte).
std::string latin1ToUtf8(std::string_view latin1);
std::string utf8ToLatin1(std::string_view utf8);

// Removes white space and line ends (Unicode White_Space) from both ends.
std::string trimWhitespaceAndNewlines(std::string_view text);

// User-perceived characters (extended grapheme clusters): three emoji count 3.
std::size_t characterCount(std::string_view text);

// The first `count` user-perceived characters of `text` (the whole text when
// it has no more), cut only between characters.
std::string_view characterPrefix(std::string_view text, std::size_t count);

// Case-insensitive, normalisation-insensitive containment (NFKC casefold).
bool containsIgnoringCase(std::string_view haystack, std::string_view needle);

}  // namespace platform::unicode
