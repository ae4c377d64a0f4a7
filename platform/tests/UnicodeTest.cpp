#include <gtest/gtest.h>

#include "platform/Unicode.h"

using namespace platform::unicode;

TEST(Unicode, CountsUserPerceivedCharacters) {
    EXPECT_EQ(characterCount(""), 0u);
    EXPECT_EQ(characterCount("abc"), 3u);
    EXPECT_EQ(characterCount("\xF0\x9F\x98\x80\xF0\x9F\x8E\x89\xF0\x9F\x91\x8D"), 3u);  // three emoji
    EXPECT_EQ(characterCount("e\xCC\x81"), 1u);  // e + combining acute
    // family emoji joined with ZWJ is one character
    EXPECT_EQ(characterCount("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"), 1u);
    EXPECT_EQ(characterCount("\r\n"), 1u);
    EXPECT_EQ(characterCount("a\xFF" "b"), 3u);  // an invalid byte counts as one
}

TEST(Unicode, PrefixesCutBetweenUserPerceivedCharacters) {
    EXPECT_EQ(characterPrefix("abc", 2), "ab");
    EXPECT_EQ(characterPrefix("abc", 5), "abc");
    EXPECT_EQ(characterPrefix("", 1), "");
    EXPECT_EQ(characterPrefix("e\xCC\x81x", 1), "e\xCC\x81");  // the accent stays with its letter
    EXPECT_EQ(characterPrefix("\xF0\x9F\x98\x80\xF0\x9F\x8E\x89", 1), "\xF0\x9F\x98\x80");
    EXPECT_EQ(characterPrefix("ab", 0), "");
}

TEST(Unicode, TrimsWhiteSpaceAndLineEndsOnlyAtTheEnds) {
    EXPECT_EQ(trimWhitespaceAndNewlines("  \n\thello\nworld \r\n"), "hello\nworld");
    EXPECT_EQ(trimWhitespaceAndNewlines("\xC2\xA0x\xE3\x80\x80"), "x");  // NBSP and ideographic space
    EXPECT_EQ(trimWhitespaceAndNewlines(" \n "), "");
    EXPECT_EQ(trimWhitespaceAndNewlines("\xE2\x80\xA8x\xE2\x80\xA8"), "x");   // line separator
    EXPECT_EQ(trimWhitespaceAndNewlines(" \xC3\xA9t\xC3\xA9 "), "\xC3\xA9t\xC3\xA9");  // multi-byte ends stay
    EXPECT_EQ(trimWhitespaceAndNewlines("\xE2\x9C\x93"), "\xE2\x9C\x93");
    EXPECT_EQ(trimWhitespaceAndNewlines(""), "");
    // Invalid bytes are text: kept, also when white space or a cut-off
    // character sits next to them.
    EXPECT_EQ(trimWhitespaceAndNewlines("a\xFF "), "a\xFF");
    EXPECT_EQ(trimWhitespaceAndNewlines(" \x80\x80\x80\x80 "), "\x80\x80\x80\x80");
    EXPECT_EQ(trimWhitespaceAndNewlines("x \xE3\x80"), "x \xE3\x80");
}

TEST(Unicode, SanitizesInvalidUtf8) {
    EXPECT_TRUE(isValidUtf8("h\xC3\xA9llo"));
    EXPECT_FALSE(isValidUtf8("\xC3"));
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_EQ(sanitizeUtf8("a\xFF" "b\xC3"), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    EXPECT_EQ(sanitizeUtf8("ok"), "ok");
}

// Long ASCII runs are checked a word at a time: faults and multi-byte
// characters must be found wherever they fall relative to those words.
TEST(Unicode, ConvertsLatin1BothWays) {
    EXPECT_EQ(latin1ToUtf8("caf\xE9"), "caf\xC3\xA9");
    // The euro sign is not Latin-1; an invalid byte stands alone.
    EXPECT_EQ(utf8ToLatin1("caf\xC3\xA9 \xE2\x82\xAC \xC3" "A"), "caf\xE9 ? ?A");
}

TEST(Unicode, FindsFaultsAtEveryPositionOfLongAsciiRuns) {
    const std::string ascii(40, 'x');
    for (std::size_t at = 0; at <= ascii.size(); ++at) {
        SCOPED_TRACE(at);
        std::string bad = ascii;
        bad.insert(at, "\xFF");
        EXPECT_FALSE(isValidUtf8(bad));
        std::string fixed = ascii;
        fixed.insert(at, "\xEF\xBF\xBD");
        EXPECT_EQ(sanitizeUtf8(bad), fixed);

        std::string good = ascii;
        good.insert(at, "\xE2\x9C\x93");  // a check mark
        EXPECT_TRUE(isValidUtf8(good));
        EXPECT_EQ(sanitizeUtf8(good), good);

        const std::string truncated = ascii.substr(0, at) + "\xE2\x9C";
        EXPECT_FALSE(isValidUtf8(truncated));
        EXPECT_EQ(sanitizeUtf8(truncated), ascii.substr(0, at) + "\xEF\xBF\xBD\xEF\xBF\xBD");
    }
    EXPECT_TRUE(isValidUtf8(std::string(17, '\0')));
}

TEST(Unicode, SearchIgnoresCaseAndNormalisation) {
    EXPECT_TRUE(containsIgnoringCase("Hello World", "WORLD"));
    EXPECT_TRUE(containsIgnoringCase("Stra\xC3\x9F" "e", "STRASSE"));
    EXPECT_TRUE(containsIgnoringCase("Caf\xC3\xA9", "cafe\xCC\x81"));  // composed vs decomposed
    EXPECT_FALSE(containsIgnoringCase("abc", "abd"));
    EXPECT_TRUE(containsIgnoringCase("abc", ""));
}
