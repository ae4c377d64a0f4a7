#include "core/Analytics.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "core/tests/RecordingSinks.h"
#include "platform/LastActiveApplication.h"
#include "platform/Unicode.h"

namespace core {
namespace {

using platform::AnalyticsValue;

class AnalyticsTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::LastActiveApplication::set(std::nullopt);
        analytics.setSink(sink);
    }
    void TearDown() override { platform::LastActiveApplication::set(std::nullopt); }

    const testing::RecordingAnalyticsSink::Event& onlyEvent() {
        events = sink->events();
        EXPECT_EQ(events.size(), 1u);
        if (events.empty()) throw std::runtime_error("no event captured");
        return events.front();
    }

    std::shared_ptr<testing::RecordingAnalyticsSink> sink = std::make_shared<testing::RecordingAnalyticsSink>();
    Analytics analytics;
    std::vector<testing::RecordingAnalyticsSink::Event> events;
};

TEST_F(AnalyticsTest, ModelUsedKeepsPropertyKindsAndSaysUnknownWithoutSourceApplication) {
    analytics.trackModelUsed("GPT-4o", "gpt-4o", "\xF0\x9F\x98\x80\xF0\x9F\x91\x8D\xF0\x9F\x8E\x89", std::nullopt);

    const auto& event = onlyEvent();
    EXPECT_EQ(event.name, "model_used");
    const platform::AnalyticsProperties expected{
        {"model_name", std::string("GPT-4o")},
        {"model_api", std::string("gpt-4o")},
        {"had_selected_text", false},
        {"prompt_length", std::int64_t{3}},  // three emoji, twelve bytes
        {"source_app_name", std::string("unknown")},
        {"source_app_bundle_id", std::string("unknown")},
    };
    EXPECT_EQ(event.properties, expected);
}

TEST_F(AnalyticsTest, ModelUsedReadsTheSourceApplicationAtTheMomentOfTheCall) {
    platform::LastActiveApplication::set(platform::RunningApplicationInfo{"Text Editor", std::nullopt});
    analytics.trackModelUsed("Mistral", "mistral", "hi", std::string());
    platform::LastActiveApplication::set(platform::RunningApplicationInfo{std::nullopt, "org.example.Mail"});
    analytics.trackModelUsed("Mistral", "mistral", "hi", std::string());

    events = sink->events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].properties.at("source_app_name"), AnalyticsValue(std::string("Text Editor")));
    EXPECT_EQ(events[0].properties.at("source_app_bundle_id"), AnalyticsValue(std::string("unknown")));
    EXPECT_EQ(events[1].properties.at("source_app_name"), AnalyticsValue(std::string("unknown")));
    EXPECT_EQ(events[1].properties.at("source_app_bundle_id"), AnalyticsValue(std::string("org.example.Mail")));
    // An empty selection is still a selection.
    EXPECT_EQ(events[0].properties.at("had_selected_text"), AnalyticsValue(true));
}

TEST_F(AnalyticsTest, UserTextNeverLeavesOnlyItsLengthAndPresence) {
    const std::string prompt = "summarise my secret plan";
    const std::string selection = "the secret plan itself";
    analytics.trackModelUsed("o1", "o1", prompt, selection);
    analytics.trackChatModeUsed(true, selection);

    for (const auto& event : sink->events()) {
        for (const auto& [name, value] : event.properties) {
            if (const auto* text = std::get_if<std::string>(&value)) {
                EXPECT_EQ(text->find("secret"), std::string::npos) << event.name << "." << name;
            }
        }
    }
}

TEST_F(AnalyticsTest, ChatAndErrorEventsCarryTheirArgumentsWithTheirKinds) {
    analytics.trackChatModeUsed(true, std::string());
    analytics.trackChatModeUsed(false, std::nullopt);
    analytics.trackChatMessageSent(true, 42);
    analytics.trackError("completion_error", "The request timed out.");

    events = sink->events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].name, "chat_mode_used");
    EXPECT_EQ(events[0].properties, (platform::AnalyticsProperties{{"started_with_voice", true},
                                                                   {"had_selected_text", true}}));
    EXPECT_EQ(events[1].properties, (platform::AnalyticsProperties{{"started_with_voice", false},
                                                                   {"had_selected_text", false}}));
    EXPECT_EQ(events[2].name, "chat_message_sent");
    EXPECT_EQ(events[2].properties, (platform::AnalyticsProperties{{"is_voice_input", true},
                                                                   {"message_length", std::int64_t{42}}}));
    EXPECT_EQ(events[3].name, "error");
    EXPECT_EQ(events[3].properties,
              (platform::AnalyticsProperties{{"error_type", std::string("completion_error")},
                                             {"error_message", std::string("The request timed out.")}}));
}

TEST_F(AnalyticsTest, SettingValuesAreDescribedAsThePlatformPrintsThem) {
    EXPECT_EQ(Analytics::describe(0.7), "0.7");
    EXPECT_EQ(Analytics::describe(1.0), "1.0");
    EXPECT_EQ(Analytics::describe(0.0), "0.0");
    EXPECT_EQ(Analytics::describe(-0.0), "-0.0");
    EXPECT_EQ(Analytics::describe(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(Analytics::describe(100000.0), "100000.0");  // not "1e+05"
    EXPECT_EQ(Analytics::describe(1e-5), "1e-05");
    EXPECT_EQ(Analytics::describe(std::int64_t{2000}), "2000");
    EXPECT_EQ(Analytics::describe(std::int64_t{-1}), "-1");
    EXPECT_EQ(Analytics::describe(std::string("key_changed")), "key_changed");

    analytics.trackSettingChanged("model_temperature", 1.0);
    analytics.trackSettingChanged("model_max_tokens", std::int64_t{2000});
    events = sink->events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].name, "setting_changed");
    EXPECT_EQ(events[0].properties, (platform::AnalyticsProperties{{"setting", std::string("model_temperature")},
                                                                   {"new_value", std::string("1.0")}}));
    EXPECT_EQ(events[1].properties.at("new_value"), AnalyticsValue(std::string("2000")));
}

TEST_F(AnalyticsTest, InvalidUtf8InTextPropertiesIsReplacedNotPassedOn) {
    analytics.trackError("completion_error", "bad \xC3\x28 byte");
    const auto& event = onlyEvent();
    const auto& message = std::get<std::string>(event.properties.at("error_message"));
    EXPECT_TRUE(platform::unicode::isValidUtf8(message));
    EXPECT_EQ(message.rfind("bad ", 0), 0u);
}

TEST(AnalyticsWithoutSink, CallsDoNothingAndRaiseNothing) {
    Analytics analytics;
    EXPECT_NO_THROW({
        analytics.trackModelUsed("a", "b", "c", std::nullopt);
        analytics.trackSettingChanged("model_temperature", 0.5);
        analytics.trackChatModeUsed(false, std::nullopt);
        analytics.trackChatMessageSent(false, 0);
        analytics.trackError("x", "y");
    });

    auto sink = std::make_shared<testing::RecordingAnalyticsSink>();
    analytics.setSink(sink);
    analytics.setSink(nullptr);
    analytics.trackError("x", "y");
    EXPECT_TRUE(sink->events().empty());
}

TEST(AnalyticsWithFailingSink, AFailingSinkNeverBreaksTheCaller) {
    struct ThrowingSink final : platform::AnalyticsSink {
        void capture(const std::string&, const platform::AnalyticsProperties&) override {
            throw std::runtime_error("queue full");
        }
    };
    testing::CapturedLog log;
    Analytics analytics;
    analytics.setSink(std::make_shared<ThrowingSink>());
    EXPECT_NO_THROW(analytics.trackError("x", "y"));
    EXPECT_TRUE(log.contains("queue full"));
}

TEST(AnalyticsShared, IsOneInstance) { EXPECT_EQ(&Analytics::shared(), &Analytics::shared()); }

}  // namespace
}  // namespace core
