#include "core/HistoryService.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/tests/RecordingSinks.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/linux/JsonFileUserDefaults.h"
#include "testsupport/TempHome.h"

namespace core {
namespace {

using platform::Data;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Starts at 2026-01-01 and moves on a quarter second per reading.
struct SteppingClock final : platform::Clock {
    double now() const override { return current += 0.25; }
    mutable double current = 1767225600.0;
};

std::vector<std::string> inputs(const std::vector<HistoryEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& entry : entries) out.push_back(entry.input);
    return out;
}

std::string storedList(int count) {
    std::vector<HistoryEntry> entries;
    for (int i = 0; i < count; ++i)
        entries.push_back({platform::Uuid::random(), 7e8 + i, "m", "prompt " + std::to_string(i), {}, "o", "a"});
    return history::encode(entries);
}

class HistoryServiceTest : public ::testing::Test {
protected:
    std::unique_ptr<HistoryService> open() { return std::make_unique<HistoryService>(store, clock); }
    void add(HistoryService& service, std::string input, std::optional<std::string> selected = std::nullopt) {
        service.addEntry("GPT-4o", std::move(input), std::move(selected), "answer", "Text Editor");
    }
    nlohmann::json storedJson() const { return nlohmann::json::parse(store->data("quillary_history")->bytes); }

    std::shared_ptr<platform::InMemoryUserDefaults> store = std::make_shared<platform::InMemoryUserDefaults>();
    std::shared_ptr<SteppingClock> clock = std::make_shared<SteppingClock>();
};

TEST_F(HistoryServiceTest, AddedEntriesAreStoredNewestFirstInTheRecordShape) {
    const auto service = open();
    EXPECT_EQ(store->setCount(), 0);  // nothing written before the first addition
    add(*service, "fix this");
    add(*service, "and this", std::string());

    const auto stored = storedJson();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0]["selectedText"], "");  // present though empty
    EXPECT_FALSE(stored[1].contains("selectedText"));
    EXPECT_EQ(stored[1]["input"], "fix this");
    EXPECT_EQ(stored[1]["timestamp"].get<double>(), 1767225600.25 - platform::kReferenceDateOffset);
    EXPECT_THAT(stored[1]["id"].get<std::string>(),
                ::testing::MatchesRegex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}"));
    EXPECT_EQ(stored[1]["id"], service->entries()[1].id.uuidString());
}

TEST_F(HistoryServiceTest, StoredRecordsReadBackExactly) {
    store->setData("quillary_history", R"([
        {"id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f","timestamp":754390800.123456789,"modelName":"m",
         "input":"i","selectedText":null,"output":"o","applicationName":"a","unknownKey":[1]},
        {"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E50","timestamp":1,"modelName":"m",
         "input":"i","selectedText":"sel","output":"o","applicationName":"a"}])");
    const auto service = open();
    ASSERT_EQ(service->entries().size(), 2u);
    EXPECT_EQ(service->entries()[0].id.uuidString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(service->entries()[0].timestamp, 754390800.123456789);
    EXPECT_EQ(service->entries()[0].selectedText, std::nullopt);
    EXPECT_EQ(service->entries()[1].selectedText, "sel");
}

TEST_F(HistoryServiceTest, CapKeepsTheNewestThousand) {
    for (const int stored : {1000, 1200}) {
        store->setData("quillary_history", storedList(stored));
        const auto service = open();
        EXPECT_EQ(service->entries().size(), static_cast<std::size_t>(stored));  // loading never trims
        add(*service, "newest");
        EXPECT_EQ(service->entries().size(), 1000u);
        EXPECT_EQ(service->entries().front().input, "newest");
        EXPECT_EQ(service->entries().back().input, "prompt 998");
        EXPECT_EQ(storedJson().size(), 1000u);
    }
}

TEST_F(HistoryServiceTest, ServicesOverOneKeyNeitherLoseEntriesNorBringBackACleared) {
    const auto app = open();
    const auto panel = open();
    add(*app, "from app");
    add(*panel, "from panel");  // opened before the app's entry existed
    EXPECT_THAT(inputs(open()->entries()), ElementsAre("from panel", "from app"));

    const auto settingsWindow = open();
    settingsWindow->setEntries({});
    EXPECT_THAT(open()->entries(), ::testing::SizeIs(2));  // not kept until saved
    settingsWindow->saveHistory();
    EXPECT_EQ(store->data("quillary_history"), Data{"[]"});

    add(*panel, "after clear");
    EXPECT_THAT(inputs(panel->entries()), ElementsAre("after clear"));
    EXPECT_THAT(inputs(open()->entries()), ElementsAre("after clear"));
}

TEST_F(HistoryServiceTest, UnreadableStoredListIsKeptAsideBeforeItIsReplaced) {
    const platform::DefaultsValue bad[] = {
        Data{R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","timestamp":1,"modelName":"m","input":"i","output":"o"}])"},
        Data{R"([{"id":"E621E1F8-C36C-4)"},
        std::string("[]"),
    };
    for (const auto& value : bad) {
        store = std::make_shared<platform::InMemoryUserDefaults>();
        store->set("quillary_history", value);
        testing::CapturedLog log;
        const auto service = open();
        EXPECT_THAT(service->entries(), IsEmpty());
        EXPECT_EQ(store->setCount(), 1);  // loading wrote nothing

        add(*service, "new");
        EXPECT_EQ(store->object("quillary_history.corrupt"), value);
        EXPECT_THAT(inputs(open()->entries()), ElementsAre("new"));
        EXPECT_TRUE(log.contains("quillary_history.corrupt"));
    }
    // A clear over an unreadable list keeps it too.
    store->setData("quillary_history", "[{");
    open()->saveHistory();
    EXPECT_EQ(store->data("quillary_history.corrupt.2"), Data{"[{"});
}

TEST_F(HistoryServiceTest, HugeAndMalformedTextIsStoredSafely) {
    const auto service = open();
    add(*service, "first");
    const std::string huge(10 * 1024 * 1024, 'x');
    add(*service, "big", huge);
    EXPECT_NO_THROW(service->addEntry("m\xFF", "bad \xC3\x28 text", std::string("\xED\xA0\x80"), "o", "a"));

    const auto reloaded = open();
    ASSERT_EQ(reloaded->entries().size(), 3u);
    EXPECT_EQ(reloaded->entries()[0].input, "bad \xEF\xBF\xBD( text");
    EXPECT_EQ(reloaded->entries()[0].modelName, "m\xEF\xBF\xBD");
    EXPECT_EQ(reloaded->entries()[1].selectedText, huge);
    EXPECT_EQ(reloaded->entries()[2].input, "first");
}

TEST(HistoryServiceFileStore, HistorySurvivesARestartInOrder) {
    const auto file = testsupport::freshDirectory("history") / "defaults.json";
    std::vector<HistoryEntry> before;
    {
        HistoryService service(std::make_shared<platform::JsonFileUserDefaults>(file));
        for (const char* input : {"one", "two", "three"}) service.addEntry("m", input, std::nullopt, "o", "a");
        before = service.entries();
    }
    HistoryService restarted(std::make_shared<platform::JsonFileUserDefaults>(file));
    EXPECT_THAT(inputs(restarted.entries()), ElementsAre("three", "two", "one"));
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(restarted.entries()[i].id, before[i].id);
        EXPECT_EQ(restarted.entries()[i].timestamp, before[i].timestamp);
    }
}

}  // namespace
}  // namespace core
