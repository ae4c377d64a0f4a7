#include "core/Settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "core/ModelCatalog.h"
#include "core/tests/RecordingSinks.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/linux/JsonFileUserDefaults.h"
#include "testsupport/TempHome.h"
#include "testsupport/TestData.h"

namespace core {
namespace {

using platform::Data;
using platform::DefaultsValue;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

std::vector<std::string> groupNames(const std::vector<ModelGroup>& groups) {
    std::vector<std::string> names;
    for (const auto& group : groups) names.push_back(group.name);
    return names;
}

class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() { analytics.setSink(sink); }

    std::unique_ptr<Settings> startWith(std::map<std::string, DefaultsValue> stored) {
        store = std::make_shared<platform::InMemoryUserDefaults>();
        for (auto& [key, value] : stored) store->set(key, value);
        return std::make_unique<Settings>(store, analytics);
    }

    std::vector<ModelGroup> storedCatalogue() const {
        return catalog::decode(store->data("model_groups").value_or(Data{}).bytes).value_or(std::vector<ModelGroup>{});
    }

    std::shared_ptr<platform::InMemoryUserDefaults> store;
    std::shared_ptr<testing::RecordingAnalyticsSink> sink = std::make_shared<testing::RecordingAnalyticsSink>();
    Analytics analytics;
};

TEST_F(SettingsTest, FirstStartGivesDefaultsAndStoresTheDefaultCatalogueSilently) {
    const auto settings = startWith({});
    EXPECT_EQ(settings->openaiKey(), "");
    EXPECT_EQ(settings->temperature(), 0.7);
    EXPECT_EQ(settings->maxTokens(), 2000);
    EXPECT_THAT(groupNames(settings->modelGroups()), ElementsAre("OpenAI", "Anthropic", "Gemini", "Ollama"));
    EXPECT_EQ(storedCatalogue(), Settings::defaultModelGroups());
    EXPECT_THAT(store->keys(), ElementsAre("model_groups"));
    EXPECT_THAT(sink->events, IsEmpty());
}

TEST_F(SettingsTest, StoredNumbersAreReadWithTheirFallbacks) {
    struct Case {
        DefaultsValue temperature, maxTokens;
        double expectedTemperature;
        std::int64_t expectedMaxTokens;
    };
    const Case cases[] = {
        {0.0, std::int64_t{0}, 0.0, 2000},  // a chosen 0.0 survives; 0 tokens is never usable
        {0.3, std::int64_t{100}, 0.3, 100},
        {std::int64_t{1}, 1500.0, 1.0, 1500},
        {std::string("hot"), std::string("many"), 0.7, 2000},  // wrong kinds count as nothing stored
    };
    for (const auto& c : cases) {
        const auto settings = startWith({{"model_temperature", c.temperature}, {"model_max_tokens", c.maxTokens}});
        EXPECT_EQ(settings->temperature(), c.expectedTemperature);
        EXPECT_EQ(settings->maxTokens(), c.expectedMaxTokens);
    }
}

TEST_F(SettingsTest, ValuesSurviveARestartOfTheFileStore) {
    const auto file = testsupport::freshDirectory("settings") / "defaults.json";
    {
        Settings settings(std::make_shared<platform::JsonFileUserDefaults>(file), analytics);
        settings.setOpenaiKey("sk-open");
        settings.setTemperature(0.0);
    }
    Settings restarted(std::make_shared<platform::JsonFileUserDefaults>(file), analytics);
    EXPECT_EQ(restarted.openaiKey(), "sk-open");
    EXPECT_EQ(restarted.temperature(), 0.0);
}

TEST_F(SettingsTest, StoredCatalogueIsKeptAndMissingProvidersAreAppended) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {R"([{"name":"OpenAI","models":[{"displayName":"Mine","apiName":"m","isVisible":false,"x":1}]}])",
         {"OpenAI", "Anthropic", "Gemini", "Ollama"}},
        {"[]", {"OpenAI", "Anthropic", "Gemini", "Ollama"}},
        // Names match exactly; odd, empty and duplicate groups stay as stored.
        {R"([{"name":"Gemini","models":[]},{"name":"openai","models":[]},{"name":"","models":[]},
            {"name":"Gemini","models":[]}])",
         {"Gemini", "openai", "", "Gemini", "OpenAI", "Anthropic", "Ollama"}},
    };
    for (const auto& [stored, names] : cases) {
        const auto settings = startWith({{"model_groups", Data{stored}}});
        EXPECT_THAT(groupNames(settings->modelGroups()), ElementsAreArray(names));
        EXPECT_EQ(storedCatalogue(), settings->modelGroups());
        EXPECT_EQ(settings->modelGroups().back(), Settings::defaultModelGroups().back());
        EXPECT_THAT(store->keys("model_groups."), IsEmpty());
    }
}

TEST_F(SettingsTest, UnreadableCatalogueFallsBackToDefaultsAndIsKeptAside) {
    const DefaultsValue bad[] = {
        Data{R"([{"name":"OpenAI","models":[{"displayName":"a","apiName":"a"}]}])"},  // no isVisible
        Data{R"([{"name":"OpenAI","models":[)"},
        Data{"[{\"name\":\"Open\xC3\x28\",\"models\":[]}]"},
        Data{std::string(100000, '[') + std::string(100000, ']')},
        std::string("[]"),
    };
    for (const auto& value : bad) {
        testing::CapturedLog log;
        const auto settings = startWith({{"model_groups", value}});
        EXPECT_EQ(settings->modelGroups(), Settings::defaultModelGroups());
        EXPECT_EQ(storedCatalogue(), Settings::defaultModelGroups());
        EXPECT_EQ(store->object("model_groups.corrupt"), value);
        EXPECT_TRUE(log.contains("model_groups.corrupt"));
    }
    // An earlier rescued copy is never overwritten, and an identical one is not repeated.
    startWith({{"model_groups", Data{"{broken"}}, {"model_groups.corrupt", Data{"old"}}});
    store->setData("model_groups", "{broken");
    Settings again(store, analytics);
    EXPECT_EQ(store->data("model_groups.corrupt"), Data{"old"});
    EXPECT_EQ(store->data("model_groups.corrupt.2"), Data{"{broken"});
    EXPECT_THAT(store->keys("model_groups."), ::testing::SizeIs(2));
}

TEST_F(SettingsTest, SettingsOfAnotherShapeReadAsUnsetAndAreKeptOnceBeforeAChangeReplacesThem) {
    const std::map<std::string, DefaultsValue> handEdited = {
        {"openai_api_key", std::int64_t{12345}},
        {"custom_system_message", true},
        {"model_temperature", std::string("warm")},
        {"model_max_tokens", Data{"many"}},
    };
    testing::CapturedLog log;
    const auto settings = startWith(handEdited);
    EXPECT_EQ(settings->openaiKey(), "");
    EXPECT_EQ(settings->customSystemMessage(), "");
    EXPECT_EQ(settings->temperature(), Settings::kDefaultTemperature);
    EXPECT_EQ(settings->maxTokens(), Settings::kDefaultMaxTokens);
    settings->setOpenaiKey("sk-typed");
    for (const auto& [key, value] : handEdited) EXPECT_EQ(store->object(key + ".corrupt"), value) << key;
    EXPECT_EQ(store->string("openai_api_key"), "sk-typed");
    EXPECT_EQ(log.errors().size(), handEdited.size());

    // Read again by the next start: nothing more is kept or logged.
    Settings again(store, analytics);
    EXPECT_EQ(log.errors().size(), handEdited.size());
    EXPECT_THAT(store->keys("model_temperature."), ::testing::SizeIs(1));
}

TEST_F(SettingsTest, ACatalogueInAShapeTheFileStoreCannotReadIsKeptAsItWasInTheFile) {
    // A hand edit that left plain JSON, a data object with a member too
    // many, data that is not base64.
    const char* shapes[] = {
        R"([{"name":"OpenAI","models":[]}])",
        R"({"data": "[{\"name\":\"Mine\",\"models\":[]}]", "note": "edited"})",
        R"({"base64": "not base64!"})",
    };
    for (const char* shape : shapes) {
        const auto file = testsupport::freshDirectory("settings") / "defaults.json";
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << R"({"model_groups": )" << shape << "}";
        {
            testing::CapturedLog log;
            Settings settings(std::make_shared<platform::JsonFileUserDefaults>(file), analytics);
            EXPECT_EQ(settings.modelGroups(), Settings::defaultModelGroups());
            EXPECT_TRUE(log.contains("model_groups.corrupt")) << shape;
        }
        const auto stored = nlohmann::json::parse(testsupport::readFile(file));
        EXPECT_EQ(stored["model_groups.corrupt"], nlohmann::json::parse(shape));
        EXPECT_EQ(catalog::decode(stored["model_groups"]["data"].get<std::string>()), Settings::defaultModelGroups());
    }
}

TEST_F(SettingsTest, EveryAssignmentStoresThenReportsWithoutSecrets) {
    const auto settings = startWith({});
    settings->setOpenaiKey("sk-secret-1");
    settings->setClaudeKey("sk-secret-2");
    settings->setGeminiKey("sk-secret-3");
    settings->setTemperature(1.0);
    settings->setMaxTokens(2000);  // unchanged: still stored and reported
    settings->setCustomSystemMessage("secret instructions");
    auto groups = settings->modelGroups();
    groups[0].models[0] = {"bad \xFF name", "m", false};
    settings->setModelGroups(groups);

    EXPECT_EQ(store->string("claude_api_key"), "sk-secret-2");
    EXPECT_EQ(store->object("model_temperature"), DefaultsValue(1.0));
    EXPECT_EQ(store->object("model_max_tokens"), DefaultsValue(std::int64_t{2000}));
    EXPECT_EQ(store->string("custom_system_message"), "secret instructions");
    EXPECT_EQ(storedCatalogue()[0].models[0], (ModelInfo{"bad \xEF\xBF\xBD name", "m", false}));

    std::vector<std::pair<std::string, std::string>> reports;
    for (const auto& event : sink->events) {
        EXPECT_EQ(event.name, "setting_changed");
        reports.emplace_back(std::get<std::string>(event.properties.at("setting")),
                             std::get<std::string>(event.properties.at("new_value")));
    }
    using P = std::pair<std::string, std::string>;
    EXPECT_THAT(reports, ElementsAre(P{"openai_api_key", "key_changed"}, P{"claude_api_key", "key_changed"},
                                     P{"gemini_api_key", "key_changed"}, P{"model_temperature", "1.0"},
                                     P{"model_max_tokens", "2000"}, P{"custom_system_message", "message_updated"},
                                     P{"model_groups", "configuration_updated"}));
}

TEST_F(SettingsTest, ObserversSeeTheNewValueAndMayLeaveWhileNotified) {
    const auto settings = startWith({});
    std::vector<double> seen;
    ObserverToken selfRemoving = 0;
    const auto token = settings->subscribe([&](Settings::Property) { seen.push_back(settings->temperature()); });
    selfRemoving = settings->subscribe([&](Settings::Property) { settings->unsubscribe(selfRemoving); });

    settings->setTemperature(0.2);
    settings->unsubscribe(token);
    settings->setTemperature(0.9);
    EXPECT_THAT(seen, ElementsAre(0.2));
}

TEST_F(SettingsTest, AvailableModelsAndLookupFollowCatalogueOrder) {
    const auto settings = startWith({});
    settings->setModelGroups({{"OpenAI", {{"Shared", "first", true}, {"Hidden", "h", false}}},
                              {"Ollama", {{"Shared", "second", true}}}});
    std::vector<std::string> apiNames;
    for (const auto& model : settings->availableModels()) apiNames.push_back(model.apiName);
    EXPECT_THAT(apiNames, ElementsAre("first", "second"));
    EXPECT_EQ(settings->findModel("Shared")->apiName, "first");
    EXPECT_EQ(settings->findModel("Hidden")->apiName, "h");  // visibility is the caller's business
    EXPECT_FALSE(settings->findModel("shared"));
}

TEST(ModelCatalogCodec, WritesTheStoredShape) {
    const std::vector<ModelGroup> groups{{"OpenAI", {{"GPT-4o", "gpt-4o", true}}}};
    EXPECT_EQ(catalog::encode(groups),
              R"([{"name":"OpenAI","models":[{"displayName":"GPT-4o","apiName":"gpt-4o","isVisible":true}]}])");
}

}  // namespace
}  // namespace core
