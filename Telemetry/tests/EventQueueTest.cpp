#include <gtest/gtest.h>

#include <fstream>

#include "Telemetry/EventQueue.h"
#include "Telemetry/TimeOrderedIdGenerator.h"
#include "TelemetryTestSupport.h"
#include "testsupport/TempHome.h"

namespace telemetry {
namespace {

namespace fs = std::filesystem;

class EventQueueTest : public ::testing::Test {
protected:
    // Adds an event named `name` and returns its identifier.
    std::string add(EventQueue& queue, const std::string& name) {
        const auto id = ids_.next(1'700'000'000.0).uuidString();
        queue.add(id, {{"event", name}, {"uuid", id}});
        return id;
    }

    static std::vector<std::string> names(const EventQueue::Batch& batch) {
        std::vector<std::string> out;
        for (const auto& e : batch.events) out.push_back(e.at("event").get<std::string>());
        return out;
    }

    static std::size_t filesIn(const fs::path& folder) {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++n;
        return n;
    }

    TimeOrderedIdGenerator ids_;
    fs::path folder_ = testsupport::freshDirectory("queue");
};

TEST_F(EventQueueTest, EventsComeBackOldestFirstAndLeaveDiskWhenRemoved) {
    EventQueue queue(folder_, 100);
    const auto first = add(queue, "a");
    add(queue, "b");
    add(queue, "c");
    EXPECT_EQ(filesIn(folder_), 3u);
    EXPECT_TRUE(fs::exists(folder_ / (first + ".json")));

    auto batch = queue.oldest(2);
    EXPECT_EQ(names(batch), (std::vector<std::string>{"a", "b"}));
    queue.remove(batch.ids);
    EXPECT_EQ(queue.size(), 1u);
    EXPECT_EQ(filesIn(folder_), 1u);
    EXPECT_EQ(names(queue.oldest(10)), std::vector<std::string>{"c"});
}

TEST_F(EventQueueTest, AFullQueueDropsTheOldestAndSaysSo) {
    test::LogCapture logs;
    EventQueue queue(folder_, 3);
    const auto oldest = add(queue, "1");
    for (const char* name : {"2", "3", "4", "5"}) add(queue, name);

    EXPECT_EQ(queue.size(), 3u);
    EXPECT_EQ(filesIn(folder_), 3u);
    EXPECT_EQ(names(queue.oldest(10)), (std::vector<std::string>{"3", "4", "5"}));
    EXPECT_TRUE(logs.contains("[Telemetry] queue full (3 events): dropped the oldest event " + oldest));
    for (const auto& line : logs.messages()) EXPECT_EQ(line.rfind("[Telemetry] ", 0), 0u) << line;
}

TEST_F(EventQueueTest, ARestartFindsTheEventsLeftOnDiskAndCleansUpAfterACrash) {
    {
        EventQueue queue(folder_, 100);
        for (const char* name : {"a", "b", "c"}) add(queue, name);
    }
    // What a crash leaves: a half-written temporary file and a torn event.
    std::ofstream(folder_ / "0000.json.123-4.tmp") << R"({"event":)";
    std::ofstream(folder_ / "00000000-torn.json") << R"({"event":"tor)";
    std::ofstream(folder_ / "notes.txt") << "not an event";

    test::LogCapture logs;
    EventQueue reopened(folder_, 100);
    EXPECT_FALSE(fs::exists(folder_ / "0000.json.123-4.tmp"));
    EXPECT_EQ(reopened.size(), 4u);
    const auto batch = reopened.oldest(10);
    EXPECT_EQ(names(batch), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(logs.contains("dropping unreadable event file"));
    EXPECT_FALSE(fs::exists(folder_ / "00000000-torn.json"));
    EXPECT_EQ(reopened.size(), 3u);
    EXPECT_TRUE(fs::exists(folder_ / "notes.txt"));  // not ours: left alone

    EventQueue smaller(folder_, 2);  // a limit lowered since the last run trims at start
    EXPECT_EQ(names(smaller.oldest(10)), (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(filesIn(folder_), 3u);  // two events and the notes
}

}  // namespace
}  // namespace telemetry
