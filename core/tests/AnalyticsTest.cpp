#include "core/Analytics.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "core/tests/RecordingSinks.h"
#include "platform/LastActiveApplication.h"

namespace core {
namespace {

using Properties = platform::AnalyticsProperties;

class AnalyticsTest : public ::testing::Test {
protected:
    void SetUp() override { analytics.setSink(sink); }
    void TearDown() override { platform::LastActiveApplication::set(std::nullopt); }

    std::shared_ptr<testing::RecordingAnalyticsSink> sink = std::make_shared<testing::RecordingAnalyticsSink>();
    Analytics analytics;
};

TEST_F(AnalyticsTest, ModelUsedCountsCharactersKeepsKindsAndFallsBackToUnknown) {
    const std::string threeEmoji = "\xF0\x9F\x98\x80\xF0\x9F\x91\x8D\xF0\x9F\x8E\x89";
    analytics.trackModelUsed("GPT-4o", "gpt-4o", threeEmoji, std::nullopt);
    platform::LastActiveApplication::set(platform::RunningApplicationInfo{"Text Editor", std::nullopt});
    analytics.trackModelUsed("o1", "o1", "secret prompt", std::string());  // empty but present selection

    ASSERT_EQ(sink->events.size(), 2u);
    EXPECT_EQ(sink->events[0].name, "model_used");
    EXPECT_EQ(sink->events[0].properties,
              (Properties{{"model_name", std::string("GPT-4o")},
                          {"model_api", std::string("gpt-4o")},
                          {"had_selected_text", false},
                          {"prompt_length", std::int64_t{3}},
                          {"source_app_name", std::string("unknown")},
                          {"source_app_bundle_id", std::string("unknown")}}));
    const auto& second = sink->events[1].properties;
    EXPECT_EQ(second.at("had_selected_text"), platform::AnalyticsValue(true));
    EXPECT_EQ(second.at("source_app_name"), platform::AnalyticsValue(std::string("Text Editor")));
    EXPECT_EQ(second.at("source_app_bundle_id"), platform::AnalyticsValue(std::string("unknown")));
    for (const auto& [name, value] : second)
        EXPECT_NE(value, platform::AnalyticsValue(std::string("secret prompt"))) << name;
}

TEST_F(AnalyticsTest, ChatAndErrorEventsKeepTheirKinds) {
    analytics.trackChatModeUsed(true, std::string());
    analytics.trackChatMessageSent(false, 42);
    analytics.trackError("completion_error", "bad \xC3\x28 byte");

    ASSERT_EQ(sink->events.size(), 3u);
    EXPECT_EQ(sink->events[0].properties, (Properties{{"started_with_voice", true}, {"had_selected_text", true}}));
    EXPECT_EQ(sink->events[1].name, "chat_message_sent");
    EXPECT_EQ(sink->events[1].properties,
              (Properties{{"is_voice_input", false}, {"message_length", std::int64_t{42}}}));
    // Server text reaches the JSON encoder only as valid UTF-8.
    EXPECT_EQ(sink->events[2].properties,
              (Properties{{"error_type", std::string("completion_error")},
                          {"error_message", std::string("bad \xEF\xBF\xBD( byte")}}));
}

TEST(AnalyticsDescribe, NumbersReadAsThePlatformPrintsThem) {
    const std::pair<Analytics::SettingValue, const char*> cases[] = {
        {0.7, "0.7"},           {1.0, "1.0"},        {-0.0, "-0.0"},        {0.1 + 0.2, "0.30000000000000004"},
        {100000.0, "100000.0"}, {1e-5, "1e-05"},     {1e16, "1e+16"},       {std::int64_t{2000}, "2000"},
        {std::string("key_changed"), "key_changed"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(Analytics::describe(value), text);
}

TEST(AnalyticsSinks, NoSinkOrAFailingSinkNeverReachesTheCaller) {
    Analytics analytics;
    EXPECT_NO_THROW(analytics.trackError("x", "y"));

    struct ThrowingSink final : platform::AnalyticsSink {
        void capture(const std::string&, const Properties&) override { throw std::runtime_error("queue full"); }
    };
    testing::CapturedLog log;
    analytics.setSink(std::make_shared<ThrowingSink>());
    EXPECT_NO_THROW(analytics.trackSettingChanged("model_temperature", 0.5));
    EXPECT_TRUE(log.contains("queue full"));
}

}  // namespace
}  // namespace core
