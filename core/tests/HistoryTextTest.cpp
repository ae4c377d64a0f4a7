#include "core/HistoryText.h"

#include <gtest/gtest.h>

#include <tuple>

namespace core {
namespace {

using history::EntrySpan;

auto fields(const HistoryEntry& e) {
    return std::tuple(e.id.uuidString(), e.timestamp, e.modelName, e.input, e.selectedText, e.output,
                      e.applicationName);
}

void expectSameEntries(const std::vector<HistoryEntry>& actual, const std::vector<HistoryEntry>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) EXPECT_EQ(fields(actual[i]), fields(expected[i])) << "entry " << i;
}

HistoryEntry entry(std::string input, std::optional<std::string> selected = std::nullopt) {
    return {platform::Uuid::random(), 7e8 + 0.125, "model", std::move(input), std::move(selected), "out", "app"};
}

// The spans must be where a fresh decoding of the text finds the entries,
// and the text must decode to `expected`.
void expectConsistent(const HistoryText& text, const std::vector<HistoryEntry>& expected) {
    std::vector<EntrySpan> found;
    const auto decoded = history::decode(text.bytes(), nullptr, &found);
    ASSERT_TRUE(decoded) << text.bytes();
    expectSameEntries(*decoded, expected);
    EXPECT_EQ(text.spans(), found);
    ASSERT_EQ(text.spans().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& span = text.spans()[i];
        EXPECT_EQ(text.bytes().substr(span.begin, span.end - span.begin), history::encodeEntry(expected[i]));
    }
}

TEST(HistoryText, DecodingFindsEntriesInTextOfAnyLayout) {
    // Spaces, line ends, nested values under unknown keys, a null selection,
    // a lower-case id and a whole-number timestamp: all as another writer
    // might have left them.
    const std::string bytes = R"( [
        {"id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f", "timestamp": 1, "modelName":"m","input":"a}",
         "extra": {"deep": [{"x": {}}]}, "selectedText": null, "output":"o","applicationName":"a"} ,
        {"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E50","timestamp":2.5,"modelName":"m","input":"b",
         "output":"o","applicationName":"a"}
    ] )";
    std::vector<EntrySpan> spans;
    const auto decoded = history::decode(bytes, nullptr, &spans);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(spans.size(), 2u);
    const auto spanText = [&](const EntrySpan& span) { return bytes.substr(span.begin, span.end - span.begin); };
    EXPECT_EQ(spanText(spans[0]).substr(0, 12), R"({"id":"e621e)");
    EXPECT_EQ(spanText(spans[0]).substr(spanText(spans[0]).size() - 22), R"("applicationName":"a"})");
    EXPECT_EQ(spanText(spans[1]).substr(0, 12), R"({"id":"E621E)");
    EXPECT_EQ(bytes.substr(spans[1].end), "\n    ] ");

    // Adding to that text keeps both entries exactly as they read.
    const HistoryText text(bytes, spans);
    const auto newest = entry("newest");
    const auto added = text.withNewest(newest, 1000);
    expectSameEntries(*history::decode(added.bytes()), {newest, (*decoded)[0], (*decoded)[1]});
    EXPECT_EQ(added.bytes().substr(added.spans()[1].begin, added.spans()[1].end - added.spans()[1].begin),
              spanText(spans[0]));

    // A failed decoding leaves no spans behind.
    std::vector<EntrySpan> none{{1, 2}};
    EXPECT_FALSE(history::decode(R"([{"id":"x"}])", nullptr, &none));
    EXPECT_TRUE(none.empty());
}

TEST(HistoryText, EncodingAndAddingKeepTheNewestAndTheSpansRight) {
    EXPECT_EQ(HistoryText(std::vector<HistoryEntry>{}).bytes(), "[]");
    std::vector<HistoryEntry> expected{entry("quotes \" and } {", std::string("{\"a\":[1]}")),
                                       entry("line\nbreak", std::string())};
    HistoryText text(expected);
    expectConsistent(text, expected);
    for (int i = 0; i < 6; ++i) {
        const auto added = entry("entry " + std::to_string(i), i % 2 ? std::optional<std::string>("sel") : std::nullopt);
        text = text.withNewest(added, 4);
        expected.insert(expected.begin(), added);
        if (expected.size() > 4) expected.pop_back();
        expectConsistent(text, expected);
        EXPECT_EQ(text.bytes(), history::encode(expected));  // the same bytes as encoding the whole list
    }
    EXPECT_EQ(text.withNewest(entry("alone"), 1).spans().size(), 1u);
}

}  // namespace
}  // namespace core
