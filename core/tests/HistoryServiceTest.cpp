#include "core/HistoryService.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "core/tests/RecordingSinks.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/linux/JsonFileUserDefaults.h"
#include "testsupport/TempHome.h"
#include "testsupport/TestData.h"

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

// An addition reuses the text of the list it last read or wrote; each of
// these changes to the store in between must still be taken up.
TEST_F(HistoryServiceTest, AdditionsTakeUpEveryChangeMadeBetweenThem) {
    const auto app = open();
    const auto panel = open();
    add(*app, "a1");
    add(*panel, "p1");
    add(*app, "a2");
    add(*panel, "p2");
    EXPECT_THAT(inputs(panel->entries()), ElementsAre("p2", "a2", "p1", "a1"));
    EXPECT_THAT(inputs(open()->entries()), ElementsAre("p2", "a2", "p1", "a1"));

    // Edited elsewhere, without a change of length, since the panel wrote it.
    std::string bytes = store->data("quillary_history")->bytes;
    bytes.replace(bytes.find("\"a1\""), 4, "\"A1\"");
    store->setData("quillary_history", bytes);
    add(*panel, "p3");
    EXPECT_THAT(inputs(panel->entries()), ElementsAre("p3", "p2", "a2", "p1", "A1"));
    EXPECT_THAT(inputs(open()->entries()), ElementsAre("p3", "p2", "a2", "p1", "A1"));

    // Rewritten in another layout, with a key this version does not know.
    store->setData("quillary_history", R"( [ {"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F", "timestamp" : 3,
        "modelName":"m","input":"kept","selectedText":null,"output":"o","applicationName":"a","x":{"y":[]}} ] )");
    add(*panel, "p4");
    add(*panel, "p5");
    EXPECT_THAT(inputs(panel->entries()), ElementsAre("p5", "p4", "kept"));
    EXPECT_EQ(storedJson()[2]["id"], "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");

    // Removed altogether, then cleared to an empty list.
    store->remove("quillary_history");
    add(*app, "after removal");
    EXPECT_THAT(inputs(app->entries()), ElementsAre("after removal"));
    store->setData("quillary_history", "[]");
    add(*app, "after clear");
    EXPECT_THAT(inputs(app->entries()), ElementsAre("after clear"));
    EXPECT_THAT(inputs(open()->entries()), ElementsAre("after clear"));
}

TEST_F(HistoryServiceTest, StoredTextAlwaysReadsBackAsTheList) {
    store->setData("quillary_history", storedList(999));
    const auto service = open();
    add(*service, "one", std::string("sel"));
    add(*service, "two");
    add(*service, "three");
    EXPECT_EQ(service->entries().size(), 1000u);
    EXPECT_EQ(service->entries().back().input, "prompt 996");

    const auto reread = history::decode(store->data("quillary_history")->bytes);
    ASSERT_TRUE(reread);
    ASSERT_EQ(reread->size(), service->entries().size());
    for (std::size_t i = 0; i < reread->size(); ++i) {
        EXPECT_EQ((*reread)[i].id, service->entries()[i].id);
        EXPECT_EQ((*reread)[i].input, service->entries()[i].input);
        EXPECT_EQ((*reread)[i].selectedText, service->entries()[i].selectedText);
    }
    EXPECT_EQ(store->data("quillary_history")->bytes, history::encode(service->entries()));

    // A list assigned and saved here is added to like one read.
    auto kept = service->entries();
    kept.resize(2);
    service->setEntries(kept);
    service->saveHistory();
    add(*service, "after save");
    EXPECT_THAT(inputs(open()->entries()), ElementsAre("after save", "three", "two"));

    // An observer that replaces the list while told of an addition gets
    // its list stored.
    const auto token = service->subscribe([&] {
        if (!service->entries().empty()) service->setEntries({});
    });
    add(*service, "four");
    service->unsubscribe(token);
    EXPECT_EQ(store->data("quillary_history"), Data{"[]"});
}

TEST_F(HistoryServiceTest, UnreadableStoredListIsKeptAsideBeforeItIsReplaced) {
    const platform::DefaultsValue bad[] = {
        Data{R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","timestamp":1,"modelName":"m","input":"i","output":"o"}])"},
        Data{R"([{"id":"E621E1F8-C36C-4)"},
        Data{std::string(100000, '[') + std::string(100000, ']')},
        Data{R"([{"input":")" + std::string(800000, 'x')},  // the parser quotes all of it
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
        for (const auto& line : log.messages()) EXPECT_LT(line.size(), 500u);
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

TEST(HistoryServiceFileStore, AListInAShapeTheFileStoreCannotReadIsKeptAsItWasInTheFile) {
    const std::string list = storedList(2);
    const std::string shapes[] = {
        list,  // plain JSON from a hand edit
        nlohmann::json{{"data", list}, {"note", "edited"}}.dump(),
        R"({"base64": "not base64!"})",
    };
    for (const auto& shape : shapes) {
        const auto file = testsupport::freshDirectory("history") / "defaults.json";
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << R"({"quillary_history": )" << shape << "}";
        {
            testing::CapturedLog log;
            HistoryService service(std::make_shared<platform::JsonFileUserDefaults>(file));
            EXPECT_THAT(service.entries(), IsEmpty());
            service.addEntry("m", "new", std::nullopt, "o", "a");
            EXPECT_TRUE(log.contains("quillary_history.corrupt")) << shape;
        }
        const auto stored = nlohmann::json::parse(testsupport::readFile(file));
        EXPECT_EQ(stored["quillary_history.corrupt"], nlohmann::json::parse(shape));
        HistoryService restarted(std::make_shared<platform::JsonFileUserDefaults>(file));
        EXPECT_THAT(inputs(restarted.entries()), ElementsAre("new"));
    }
}

TEST(HistoryServiceFileStore, ClearingRemovesEveryCopyKeptAsideButNothingElse) {
    const auto file = testsupport::freshDirectory("history") / "defaults.json";
    std::filesystem::create_directories(file.parent_path());
    // Copies kept by earlier runs, readable ones and ones of a shape the
    // store does not read, over a list that is itself unreadable.
    std::ofstream(file) << R"({"quillary_history": [1],
        "quillary_history.corrupt": {"data": "[{\"input\":\"secret"},
        "quillary_history.corrupt.2": {"data": "x", "extra": 1},
        "quillary_history.corrupt.10": "[{",
        "quillary_history.corrupted": "not a copy", "quillary_history.corrupt.x": "not a copy",
        "model_groups.corrupt": "not the history"})";
    {
        HistoryService service(std::make_shared<platform::JsonFileUserDefaults>(file));
        service.clearHistory();
    }
    std::vector<std::string> keys;
    const auto stored = nlohmann::json::parse(testsupport::readFile(file));
    for (const auto& [key, value] : stored.items()) keys.push_back(key);
    EXPECT_THAT(keys, ElementsAre("model_groups.corrupt", "quillary_history", "quillary_history.corrupt.x",
                                  "quillary_history.corrupted"));
    EXPECT_EQ(stored["quillary_history"], nlohmann::json::parse(R"({"data": "[]"})"));
}

TEST(HistoryServiceFileStore, AFullHistoryInsideTheSettingsFileMovesToAFileOfItsOwnAtTheFirstAddition) {
    const auto file = testsupport::freshDirectory("history") / "defaults.json";
    std::filesystem::create_directories(file.parent_path());
    std::vector<HistoryEntry> entries;
    for (int i = 0; i < 1000; ++i)
        entries.push_back({platform::Uuid::random(), 7e8 + i, "m", "prompt " + std::to_string(i),
                           std::string(200, 's'), "answer \"quoted\"\n", "a"});
    // The settings file as earlier versions wrote it: the list inside it.
    std::ofstream(file) << nlohmann::json{{"quillary_history", {{"data", history::encode(entries)}}},
                                          {"openai_api_key", "sk-open"}}.dump();
    {
        HistoryService service(std::make_shared<platform::JsonFileUserDefaults>(file));
        ASSERT_EQ(service.entries().size(), 1000u);
        EXPECT_EQ(service.entries()[999].input, "prompt 999");
        service.addEntry("m", "new", std::nullopt, "o", "a");
    }
    const auto stored = nlohmann::json::parse(testsupport::readFile(file));
    const std::string name = stored["quillary_history"]["dataFile"];
    EXPECT_EQ(stored["openai_api_key"], "sk-open");
    EXPECT_LT(std::filesystem::file_size(file), 1000u);
    HistoryService restarted(std::make_shared<platform::JsonFileUserDefaults>(file));
    ASSERT_EQ(restarted.entries().size(), 1000u);
    EXPECT_EQ(restarted.entries()[0].input, "new");
    EXPECT_EQ(restarted.entries()[999].input, "prompt 998");
    EXPECT_EQ(restarted.entries()[1].id, entries[0].id);
    EXPECT_EQ(testsupport::readFile(file.parent_path() / name), history::encode(restarted.entries()));
}

}  // namespace
}  // namespace core
