#include "core/HistoryService.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/tests/RecordingSinks.h"
#include "platform/Unicode.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/linux/JsonFileUserDefaults.h"
#include "testsupport/TempHome.h"

namespace core {
namespace {

using nlohmann::json;
using platform::Data;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class SteppingClock final : public platform::Clock {
public:
    // Starts at 2026-01-01 and moves on a quarter second per reading.
    double now() const override { return current_ += 0.25; }

private:
    mutable double current_ = 1767225600.0;
};

std::vector<std::string> inputs(const std::vector<HistoryEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& entry : entries) out.push_back(entry.input);
    return out;
}

HistoryEntry makeEntry(int n) {
    return HistoryEntry{platform::Uuid::random(), 700000000.0 + n, "GPT-4o", "prompt " + std::to_string(n),
                        std::nullopt,              "answer",           "Terminal"};
}

std::string storedList(int count) {
    std::vector<HistoryEntry> entries;
    for (int i = 0; i < count; ++i) entries.push_back(makeEntry(i));
    return history::encode(entries);
}

class HistoryServiceTest : public ::testing::Test {
protected:
    std::unique_ptr<HistoryService> makeService() { return std::make_unique<HistoryService>(store, clock); }

    json storedJson() const {
        const auto data = store->data("quillary_history");
        return data ? json::parse(data->bytes) : json();
    }

    std::shared_ptr<platform::InMemoryUserDefaults> store = std::make_shared<platform::InMemoryUserDefaults>();
    std::shared_ptr<SteppingClock> clock = std::make_shared<SteppingClock>();
};

TEST_F(HistoryServiceTest, NewStoreStartsEmptyAndWritesNothingUntilAsked) {
    const auto service = makeService();
    EXPECT_THAT(service->entries(), IsEmpty());
    EXPECT_EQ(store->setCount(), 0);
}

TEST_F(HistoryServiceTest, AddedEntryIsStoredInTheRecordShape) {
    const auto service = makeService();
    service->addEntry("GPT-4o", "fix this", std::nullopt, "fixed", "Text Editor");
    service->addEntry("Mistral", "and this", std::string(), "done", "unknown");

    ASSERT_EQ(service->entries().size(), 2u);
    const auto& newest = service->entries()[0];
    EXPECT_EQ(newest.modelName, "Mistral");
    EXPECT_EQ(newest.selectedText, std::string());  // present though empty
    EXPECT_EQ(newest.timestamp, 1767225600.5 - platform::kReferenceDateOffset);

    const json stored = storedJson();
    ASSERT_TRUE(stored.is_array());
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0]["selectedText"], "");
    EXPECT_FALSE(stored[1].contains("selectedText"));
    EXPECT_EQ(stored[1]["input"], "fix this");
    EXPECT_EQ(stored[1]["applicationName"], "Text Editor");
    EXPECT_EQ(stored[1]["timestamp"].get<double>(), 1767225600.25 - platform::kReferenceDateOffset);
    const std::string id = stored[1]["id"];
    EXPECT_EQ(id, service->entries()[1].id.uuidString());
    EXPECT_THAT(id, ::testing::MatchesRegex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}"));
}

TEST_F(HistoryServiceTest, StoredRecordsReadBackWithTheirOptionalsAndExactTimes) {
    store->setData("quillary_history", R"([
        {"id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f","timestamp":754390800.123456789,"modelName":"m",
         "input":"i","selectedText":null,"output":"o","applicationName":"a","unknownKey":[1]},
        {"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E50","timestamp":1,"modelName":"m",
         "input":"i","selectedText":"sel","output":"o","applicationName":"a"}
    ])");
    const auto service = makeService();
    ASSERT_EQ(service->entries().size(), 2u);
    EXPECT_EQ(service->entries()[0].id.uuidString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(service->entries()[0].timestamp, 754390800.123456789);
    EXPECT_EQ(service->entries()[0].selectedText, std::nullopt);
    EXPECT_EQ(service->entries()[1].timestamp, 1.0);
    EXPECT_EQ(service->entries()[1].selectedText, "sel");
}

TEST_F(HistoryServiceTest, CapKeepsTheNewestThousand) {
    store->setData("quillary_history", storedList(1000));
    auto service = makeService();
    service->addEntry("m", "newest", std::nullopt, "o", "a");
    ASSERT_EQ(service->entries().size(), 1000u);
    EXPECT_EQ(service->entries().front().input, "newest");
    EXPECT_EQ(service->entries().back().input, "prompt 998");

    // A longer stored list loads whole; the next addition trims it.
    store->setData("quillary_history", storedList(1200));
    service = makeService();
    EXPECT_EQ(service->entries().size(), 1200u);
    service->addEntry("m", "newest", std::nullopt, "o", "a");
    EXPECT_EQ(service->entries().size(), 1000u);
    EXPECT_EQ(service->entries().back().input, "prompt 998");
    EXPECT_EQ(storedJson().size(), 1000u);
}

TEST_F(HistoryServiceTest, AssigningWithoutSavingKeepsTheStoredList) {
    const auto service = makeService();
    service->addEntry("m", "one", std::nullopt, "o", "a");
    service->setEntries({});
    EXPECT_THAT(service->entries(), IsEmpty());
    EXPECT_THAT(inputs(makeService()->entries()), ElementsAre("one"));
    service->saveHistory();
    EXPECT_THAT(makeService()->entries(), IsEmpty());
    EXPECT_EQ(store->data("quillary_history"), Data{"[]"});
}

TEST_F(HistoryServiceTest, ServicesOverTheSameKeyDoNotLoseEachOthersEntries) {
    const auto app = makeService();
    const auto panel = makeService();
    app->addEntry("m", "from app", std::nullopt, "o", "a");
    panel->addEntry("m", "from panel", std::nullopt, "o", "a");  // opened before the app's entry existed

    EXPECT_THAT(inputs(panel->entries()), ElementsAre("from panel", "from app"));
    EXPECT_THAT(inputs(makeService()->entries()), ElementsAre("from panel", "from app"));
}

TEST_F(HistoryServiceTest, ClearedHistoryDoesNotComeBackFromAStaleService) {
    const auto panel = makeService();
    panel->addEntry("m", "old", std::nullopt, "o", "a");
    const auto settingsWindow = makeService();
    settingsWindow->setEntries({});
    settingsWindow->saveHistory();

    panel->addEntry("m", "after clear", std::nullopt, "o", "a");
    EXPECT_THAT(inputs(panel->entries()), ElementsAre("after clear"));
    EXPECT_THAT(inputs(makeService()->entries()), ElementsAre("after clear"));
}

TEST_F(HistoryServiceTest, UnreadableStoredListIsKeptAsideBeforeItIsReplaced) {
    const std::vector<std::pair<const char*, platform::DefaultsValue>> bad = {
        {"entry without applicationName",
         Data{R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","timestamp":1,"modelName":"m","input":"i","output":"o"}])"}},
        {"id that is not a UUID",
         Data{R"([{"id":"42","timestamp":1,"modelName":"m","input":"i","output":"o","applicationName":"a"}])"}},
        {"timestamp as text",
         Data{R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","timestamp":"now","modelName":"m","input":"i","output":"o","applicationName":"a"}])"}},
        {"truncated", Data{R"([{"id":"E621E1F8-C36C-4)"}},
        {"not an array", Data{R"({"entries":[]})"}},
        {"string value", std::string("[]")},
    };
    for (const auto& [what, value] : bad) {
        SCOPED_TRACE(what);
        store = std::make_shared<platform::InMemoryUserDefaults>();
        store->set("quillary_history", value);
        testing::CapturedLog log;

        const auto service = makeService();
        EXPECT_THAT(service->entries(), IsEmpty());
        EXPECT_EQ(store->object("quillary_history"), value);  // loading touches nothing
        EXPECT_EQ(store->setCount(), 1);

        service->addEntry("m", "new", std::nullopt, "o", "a");
        EXPECT_EQ(store->object("quillary_history.corrupt"), value);
        EXPECT_THAT(inputs(makeService()->entries()), ElementsAre("new"));
        EXPECT_TRUE(log.contains("quillary_history.corrupt"));
    }
}

TEST_F(HistoryServiceTest, ClearingOverAnUnreadableListAlsoKeepsItAside) {
    store->setData("quillary_history", "[{");
    const auto service = makeService();
    service->saveHistory();
    EXPECT_EQ(store->data("quillary_history.corrupt"), Data{"[{"});
    EXPECT_EQ(store->data("quillary_history"), Data{"[]"});
}

TEST_F(HistoryServiceTest, HugeAndMalformedTextIsStoredSafely) {
    const auto service = makeService();
    service->addEntry("m", "first", std::nullopt, "o", "a");
    const std::string huge(10 * 1024 * 1024, 'x');
    service->addEntry("m", "big", huge, "o", "a");
    EXPECT_NO_THROW(service->addEntry("m\xFF", "bad \xC3\x28 text", std::string("\xED\xA0\x80"), "o\xFE", "a"));

    const auto reloaded = makeService();
    ASSERT_EQ(reloaded->entries().size(), 3u);
    const auto& bad = reloaded->entries()[0];
    for (const auto& text : {bad.modelName, bad.input, *bad.selectedText, bad.output})
        EXPECT_TRUE(platform::unicode::isValidUtf8(text)) << text;
    EXPECT_EQ(bad.input, "bad \xEF\xBF\xBD( text");
    EXPECT_EQ(reloaded->entries()[1].selectedText->size(), huge.size());
    EXPECT_EQ(reloaded->entries()[2].input, "first");
}

TEST_F(HistoryServiceTest, ObserversHearEachChange) {
    const auto service = makeService();
    int changes = 0;
    const auto token = service->subscribe([&] { ++changes; });
    service->addEntry("m", "i", std::nullopt, "o", "a");
    const int afterAdd = changes;
    service->setEntries({});
    EXPECT_GE(afterAdd, 1);
    EXPECT_EQ(changes, afterAdd + 1);
    service->unsubscribe(token);
    service->addEntry("m", "i", std::nullopt, "o", "a");
    EXPECT_EQ(changes, afterAdd + 1);
}

TEST(HistoryServiceFileStore, HistorySurvivesARestartInOrder) {
    const auto file = testsupport::freshDirectory("history") / "defaults.json";
    std::vector<HistoryEntry> before;
    {
        HistoryService service(std::make_shared<platform::JsonFileUserDefaults>(file));
        service.addEntry("GPT-4o", "one", std::nullopt, "1", "Editor");
        service.addEntry("GPT-4o", "two", std::string("sel"), "2", "Editor");
        service.addEntry("GPT-4o", "three", std::nullopt, "3", "Editor");
        before = service.entries();
    }
    HistoryService restarted(std::make_shared<platform::JsonFileUserDefaults>(file));
    ASSERT_EQ(restarted.entries().size(), 3u);
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(restarted.entries()[i].id, before[i].id);
        EXPECT_EQ(restarted.entries()[i].timestamp, before[i].timestamp);
        EXPECT_EQ(restarted.entries()[i].input, before[i].input);
        EXPECT_EQ(restarted.entries()[i].selectedText, before[i].selectedText);
    }
    EXPECT_THAT(inputs(restarted.entries()), ElementsAre("three", "two", "one"));
}

}  // namespace
}  // namespace core
