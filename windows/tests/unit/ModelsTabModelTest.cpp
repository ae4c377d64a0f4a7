#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "fakes/SettingsHarness.h"
#include "windows/ModelsTabModel.h"

namespace windows {
namespace {

using testing::SettingsHarness;

TEST(ModelsTabModel, DefaultsReadAsTheSliderStepAndTexts) {
    SettingsHarness h;
    ModelsTabModel model(h.settings);
    EXPECT_EQ(model.temperatureStep(), 7);
    EXPECT_EQ(model.temperatureText(), "0.7");
    EXPECT_EQ(model.maxTokensText(), "2000");
    EXPECT_EQ(model.customSystemMessage(), "");
}

TEST(ModelsTabModel, EverySliderStepStoresAMultipleOfATenthAndReportsIt) {
    SettingsHarness h;
    ModelsTabModel model(h.settings);
    std::vector<std::string> expected;
    for (int step = 0; step <= 10; ++step) {
        model.setTemperatureStep(step);
        const double stored = h.defaults->double_("model_temperature");
        EXPECT_EQ(stored, step / 10.0);
        EXPECT_EQ(model.temperatureStep(), step);
        expected.push_back(model.temperatureText().toStdString());
    }
    EXPECT_EQ(expected.front(), "0.0");
    EXPECT_EQ(expected.back(), "1.0");
    // The reported text is the shortest that reads back: "0.3", never
    // "0.30000000000000004".
    EXPECT_EQ(h.changes("model_temperature"), expected);

    model.setTemperatureStep(-3);
    EXPECT_EQ(h.settings.temperature(), 0.0);
    model.setTemperatureStep(42);
    EXPECT_EQ(h.settings.temperature(), 1.0);
}

TEST(ModelsTabModel, TemperaturesStoredElsewhereKeepTheSliderInItsRange) {
    SettingsHarness h;
    ModelsTabModel model(h.settings);
    h.settings.setTemperature(5.0);
    EXPECT_EQ(model.temperatureStep(), 10);
    EXPECT_EQ(model.temperatureText(), "5.0");
    h.settings.setTemperature(-1.0);
    EXPECT_EQ(model.temperatureStep(), 0);
    h.settings.setTemperature(0.26);
    EXPECT_EQ(model.temperatureStep(), 3);
    h.settings.setTemperature(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(model.temperatureStep(), 7);
}

TEST(ModelsTabModel, OnlyTextThatReadsAsAWholeNumberReachesMaxTokens) {
    SettingsHarness h;
    ModelsTabModel model(h.settings);
    for (const char* refused : {"abc", "", "-", "2.5", "1,000", " 12", "12 ", "+5", "99999999999999999999", "4k"}) {
        EXPECT_FALSE(model.setMaxTokensText(refused)) << refused;
    }
    EXPECT_EQ(h.settings.maxTokens(), 2000);
    EXPECT_TRUE(h.sink->events.empty());

    EXPECT_TRUE(model.setMaxTokensText("4096"));
    EXPECT_EQ(h.defaults->integer("model_max_tokens"), 4096);
    EXPECT_TRUE(model.setMaxTokensText("04096"));  // the same number: nothing new to store
    // No bound is set here: a negative count is the user's to give.
    EXPECT_TRUE(model.setMaxTokensText("-5"));
    EXPECT_EQ(h.settings.maxTokens(), -5);
    EXPECT_TRUE(model.setMaxTokensText("9223372036854775807"));
    EXPECT_EQ(h.changes("model_max_tokens"), (std::vector<std::string>{"4096", "-5", "9223372036854775807"}));
}

TEST(ModelsTabModel, TheSystemMessageIsStoredButNeverReported) {
    SettingsHarness h;
    ModelsTabModel model(h.settings);
    model.setCustomSystemMessage("Answer in French.");
    model.setCustomSystemMessage("Answer in French.");  // pushed back unchanged: no write
    EXPECT_EQ(h.defaults->string("custom_system_message"), "Answer in French.");
    model.setCustomSystemMessage("");
    EXPECT_EQ(h.defaults->string("custom_system_message"), "");
    EXPECT_EQ(h.changes("custom_system_message"), (std::vector<std::string>{"message_updated", "message_updated"}));
    EXPECT_FALSE(h.anyEventContains("French"));
}

}  // namespace
}  // namespace windows
