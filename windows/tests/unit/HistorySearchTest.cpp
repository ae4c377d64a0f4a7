#include <gtest/gtest.h>

#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "fakes/HistoryFixture.h"
#include "windows/HistoryDateFormat.h"
#include "windows/HistoryViewModel.h"
#include "windows/SearchableEntry.h"
#include "windows/TimeAgo.h"

namespace windows {
namespace {

using testing::historyEntry;
using Rows = std::vector<std::size_t>;

std::vector<SearchableEntry> index(const std::vector<core::HistoryEntry>& entries) {
    std::vector<SearchableEntry> out;
    for (const auto& entry : entries) out.push_back(SearchableEntry::make(entry));
    return out;
}

TEST(TimeAgo, WholeMinutesHoursAndDaysTruncated) {
    const double now = 757782240.0;
    EXPECT_EQ(timeAgo(now, now), "Just now");
    EXPECT_EQ(timeAgo(now, now - 59), "Just now");
    EXPECT_EQ(timeAgo(now, now - 60), "1m ago");
    EXPECT_EQ(timeAgo(now, now - (59 * 60 + 59)), "59m ago");
    EXPECT_EQ(timeAgo(now, now - 60 * 60), "1h ago");
    EXPECT_EQ(timeAgo(now, now - 1439 * 60), "23h ago");
    EXPECT_EQ(timeAgo(now, now - 1440 * 60), "1d ago");
    EXPECT_EQ(timeAgo(now, now - 2879 * 60), "1d ago");
    EXPECT_EQ(timeAgo(now, now - 400.0 * 86400), "400d ago");  // no larger unit, no grouping
    EXPECT_EQ(timeAgo(now, now + 3600), "Just now");
}

TEST(TimeAgo, DatesOutsideAnyCountStillGiveAText) {
    const double now = 757782240.0;
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(timeAgo(now, std::nan("")), "Just now");
    EXPECT_EQ(timeAgo(now, inf), "Just now");
    EXPECT_EQ(timeAgo(now, -inf), "6405119470038038d ago");  // the largest count of minutes, in days
    EXPECT_EQ(timeAgo(now, -1e300), "6405119470038038d ago");
}

TEST(HistorySearch, IgnoresCaseAndCanonicalFormButNotAccents) {
    const auto entries = index({historyEntry("Café au lait"), historyEntry("ÉCOLE"), historyEntry("cafe"),
                                historyEntry("straße")});
    EXPECT_EQ(filteredEntries(entries, "CAFÉ"), (Rows{0}));
    EXPECT_EQ(filteredEntries(entries, "cafe\xCC\x81"), (Rows{0}));  // e + combining acute finds é
    EXPECT_EQ(filteredEntries(entries, "e\xCC\x81"), (Rows{0, 1}));  // ... and É
    EXPECT_EQ(filteredEntries(entries, "ecole"), Rows{});            // accents count
    EXPECT_EQ(filteredEntries(entries, "caf"), (Rows{0, 2}));
    EXPECT_EQ(filteredEntries(entries, "cafe"), (Rows{2}));          // not the start of "café"
    EXPECT_EQ(filteredEntries(entries, "STRASSE"), (Rows{3}));
}

TEST(HistorySearch, MarksInAnyCanonicalOrderAfterPlainLettersMatch) {
    // e + cedilla + acute, typed with the marks the other way round and with
    // the precomposed e-cedilla; the Kelvin sign is a K.
    const auto entries = index({historyEntry("x e\xCC\xA7\xCC\x81 y"), historyEntry("\xE2\x84\xAA" "elvin scale")});
    EXPECT_EQ(filteredEntries(entries, "E\xCC\x81\xCC\xA7"), (Rows{0}));
    EXPECT_EQ(filteredEntries(entries, "\xC8\xA9\xCC\x81"), (Rows{0}));
    EXPECT_EQ(filteredEntries(entries, "\xC8\xA9"), Rows{});  // the acute still counts
    EXPECT_EQ(filteredEntries(entries, "KELVIN"), (Rows{1}));
}

TEST(HistorySearch, AHitStartsAndEndsBetweenUserPerceivedCharacters) {
    // Hangul syllables decompose into jamo that are letters, not marks; a
    // skin-tone modifier and a joined emoji continue the emoji before them.
    const auto entries = index({historyEntry("\uAC01 \uAC04"), historyEntry("\U0001F44D\U0001F3FD"),
                                historyEntry("\U0001F468\u200D\U0001F4BB"), historyEntry("\uAC00!")});
    EXPECT_EQ(filteredEntries(entries, "\uAC00"), (Rows{3}));
    EXPECT_EQ(filteredEntries(entries, "\uAC01"), (Rows{0}));
    EXPECT_EQ(filteredEntries(entries, "\U0001F44D"), Rows{});
    EXPECT_EQ(filteredEntries(entries, "\U0001F44D\U0001F3FD"), (Rows{1}));
    EXPECT_EQ(filteredEntries(entries, "\U0001F468"), Rows{});
    EXPECT_EQ(filteredEntries(entries, "\U0001F4BB"), Rows{});
}

TEST(HistorySearch, SearchesFourFieldsInStoreOrderAndNeverTheSelection) {
    const auto entries = index({
        historyEntry("hello world", "answer", "secret words", "gpt-4o", "Text Editor"),
        historyEntry("nospace", "nospace", std::nullopt, "Claude", "Terminal"),
        historyEntry("x", "the output", std::nullopt, "Claude", "Mail"),
        historyEntry("y", "z", std::nullopt, "Claude", "Web Browser"),
    });
    EXPECT_EQ(filteredEntries(entries, ""), (Rows{0, 1, 2, 3}));
    EXPECT_EQ(filteredEntries(entries, "GPT"), (Rows{0}));
    EXPECT_EQ(filteredEntries(entries, "secret"), Rows{});
    EXPECT_EQ(filteredEntries(entries, "OUTPUT"), (Rows{2}));
    EXPECT_EQ(filteredEntries(entries, "browser"), (Rows{3}));
    // One space is a search, not an empty text: every entry with a space in a searched field.
    EXPECT_EQ(filteredEntries(entries, " "), (Rows{0, 2, 3}));
    EXPECT_EQ(filteredEntries(entries, "nothing like this"), Rows{});
}

TEST(HistorySearch, BrokenBytesAreSearchedAsTheReplacementCharacter) {
    const auto entries = index({historyEntry("ab\xFF" "cd")});
    EXPECT_EQ(filteredEntries(entries, "B\xEF\xBF\xBD" "C"), (Rows{0}));
    EXPECT_EQ(filteredEntries(entries, "\xFF"), (Rows{0}));
}

TEST(HistoryDate, MediumDateAndShortTimeOfTheLocaleAndZone) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale savedLocale = icu::Locale::getDefault();
    icu::Locale::setDefault(icu::Locale("en_US"), status);
    ASSERT_TRUE(U_SUCCESS(status));
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("UTC"));
    const double jan5At1504Utc = 757782240.0;  // 2025-01-05 15:04:00 UTC
    EXPECT_EQ(formatHistoryDate(jan5At1504Utc), "Jan 5, 2025, 3:04\u202FPM");
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("America/New_York"));
    EXPECT_EQ(formatHistoryDate(jan5At1504Utc), "Jan 5, 2025, 10:04\u202F" "AM");
    EXPECT_EQ(formatHistoryDate(std::nan("")), "");
    icu::TimeZone::adoptDefault(icu::TimeZone::detectHostTimeZone());
    icu::Locale::setDefault(savedLocale, status);
}

TEST(HistoryViewModel, FiltersSelectsAndClearsKeepingTheSearchText) {
    testing::HistoryFixture f({historyEntry("first prompt"), historyEntry("second", "has prompt inside"),
                               historyEntry("third")});
    HistoryViewModel model(*f.store);
    int changes = 0;
    model.subscribe([&] { ++changes; });
    EXPECT_EQ(model.rowCount(), 3u);
    EXPECT_FALSE(model.showsClearButton());

    model.setSearchText("PROMPT");
    EXPECT_TRUE(model.showsClearButton());
    ASSERT_EQ(model.rowCount(), 2u);
    EXPECT_EQ(model.entryAt(1).input, "second");

    model.selectRow(1);
    ASSERT_TRUE(model.selectedEntry());
    EXPECT_EQ(model.selectedEntry()->input, "second");
    model.dismissDetail();
    EXPECT_FALSE(model.selectedEntry());
    model.selectRow(7);  // no such row: nothing opens
    EXPECT_FALSE(model.selectedEntry());

    model.clearHistory();
    EXPECT_EQ(model.rowCount(), 0u);
    EXPECT_EQ(model.searchText(), "PROMPT");
    EXPECT_EQ(f.stored(), "[]");
    EXPECT_EQ(changes, 2);

    model.setSearchText("");
    EXPECT_EQ(model.rowCount(), 0u);
    model.clearHistory();  // an empty history clears again and stores the empty list again
    EXPECT_EQ(f.stored(), "[]");
}

TEST(HistoryViewModel, TheSheetKeepsItsCopyWhenTheStoreChanges) {
    testing::HistoryFixture f({historyEntry("kept")});
    HistoryViewModel model(*f.store);
    model.selectRow(0);
    f.store->setEntries({historyEntry("replaced")});
    ASSERT_TRUE(model.selectedEntry());
    EXPECT_EQ(model.selectedEntry()->input, "kept");
    EXPECT_EQ(model.entryAt(0).input, "replaced");
}

}  // namespace
}  // namespace windows
