#include "core/Settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/ModelCatalog.h"
#include "core/tests/RecordingSinks.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/linux/JsonFileUserDefaults.h"
#include "testsupport/TempHome.h"

namespace core {
namespace {

using platform::AnalyticsValue;
using platform::Data;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> groupNames(const std::vector<ModelGroup>& groups) {
    std::vector<std::string> names;
    for (const auto& group : groups) names.push_back(group.name);
    return names;
}

class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() { analytics.setSink(sink); }

    std::unique_ptr<Settings> makeSettings() { return std::make_unique<Settings>(store, analytics); }

    void storeCatalogue(std::string bytes) { store->setData("model_groups", std::move(bytes)); }

    std::vector<ModelGroup> storedCatalogue() const {
        const auto data = store->data("model_groups");
        if (!data) return {};
        return catalog::decode(data->bytes).value_or(std::vector<ModelGroup>{});
    }

    std::shared_ptr<platform::InMemoryUserDefaults> store = std::make_shared<platform::InMemoryUserDefaults>();
    std::shared_ptr<testing::RecordingAnalyticsSink> sink = std::make_shared<testing::RecordingAnalyticsSink>();
    Analytics analytics;
};

TEST_F(SettingsTest, FirstStartGivesDefaultsAndStoresTheDefaultCatalogueWithoutReport) {
    const auto settings = makeSettings();

    EXPECT_EQ(settings->openaiKey(), "");
    EXPECT_EQ(settings->claudeKey(), "");
    EXPECT_EQ(settings->geminiKey(), "");
    EXPECT_EQ(settings->customSystemMessage(), "");
    EXPECT_EQ(settings->temperature(), 0.7);
    EXPECT_EQ(settings->maxTokens(), 2000);
    EXPECT_EQ(settings->modelGroups(), Settings::defaultModelGroups());
    EXPECT_EQ(storedCatalogue(), Settings::defaultModelGroups());
    EXPECT_THAT(store->keys(), ElementsAre("model_groups"));
    EXPECT_THAT(sink->events(), IsEmpty());
}

TEST_F(SettingsTest, DefaultCatalogueHasFourVisibleGroupsInProviderOrder) {
    const auto& groups = Settings::defaultModelGroups();
    EXPECT_THAT(groupNames(groups), ElementsAre("OpenAI", "Anthropic", "Gemini", "Ollama"));
    std::vector<std::size_t> counts;
    for (const auto& group : groups) {
        counts.push_back(group.models.size());
        for (const auto& model : group.models) EXPECT_TRUE(model.isVisible) << model.displayName;
    }
    EXPECT_THAT(counts, ElementsAre(6u, 3u, 5u, 3u));
    EXPECT_EQ(groups[0].models[4], (ModelInfo{"o1 Preview", "o1-preview", true}));
    EXPECT_EQ(groups[2].models[1], (ModelInfo{"Gemini 2.0 Flash-Lite", "gemini-2.0-flash-lite-preview-02-05", true}));
}

TEST_F(SettingsTest, StoredScalarsAreReadWithTheirFallbacks) {
    struct Case {
        std::optional<platform::DefaultsValue> temperature;
        std::optional<platform::DefaultsValue> maxTokens;
        double expectedTemperature;
        std::int64_t expectedMaxTokens;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, 0.7, 2000},
        // A deliberate temperature of 0 survives; 0 tokens is never usable.
        {0.0, std::int64_t{0}, 0.0, 2000},
        {0.3, std::int64_t{100}, 0.3, 100},
        {1.7, std::int64_t{-5}, 1.7, -5},
        {std::int64_t{1}, 1500.0, 1.0, 1500},
        // Values of the wrong kind count as nothing stored.
        {std::string("hot"), std::string("many"), 0.7, 2000},
        {Data{"0.2"}, Data{"10"}, 0.7, 2000},
    };
    for (const auto& c : cases) {
        store = std::make_shared<platform::InMemoryUserDefaults>();
        if (c.temperature) store->set("model_temperature", *c.temperature);
        if (c.maxTokens) store->set("model_max_tokens", *c.maxTokens);
        const auto settings = makeSettings();
        EXPECT_EQ(settings->temperature(), c.expectedTemperature);
        EXPECT_EQ(settings->maxTokens(), c.expectedMaxTokens);
    }
}

TEST_F(SettingsTest, StringSettingsOfTheWrongKindReadAsEmpty) {
    store->setString("openai_api_key", "sk-1");
    store->setInteger("claude_api_key", 5);
    store->setData("gemini_api_key", "raw");
    store->setBool("custom_system_message", true);
    const auto settings = makeSettings();
    EXPECT_EQ(settings->openaiKey(), "sk-1");
    EXPECT_EQ(settings->claudeKey(), "");
    EXPECT_EQ(settings->geminiKey(), "");
    EXPECT_EQ(settings->customSystemMessage(), "");
}

TEST_F(SettingsTest, ValuesSurviveARestartOfTheFileStore) {
    const auto file = testsupport::freshDirectory("settings") / "defaults.json";
    {
        Settings settings(std::make_shared<platform::JsonFileUserDefaults>(file), analytics);
        settings.setOpenaiKey("sk-open");
        settings.setTemperature(0.0);
        settings.setMaxTokens(0);
        settings.setCustomSystemMessage("Answer in French.");
        auto groups = settings.modelGroups();
        groups[1].models[0].isVisible = false;
        settings.setModelGroups(groups);
    }
    Settings restarted(std::make_shared<platform::JsonFileUserDefaults>(file), analytics);
    EXPECT_EQ(restarted.openaiKey(), "sk-open");
    EXPECT_EQ(restarted.temperature(), 0.0);
    EXPECT_EQ(restarted.maxTokens(), 2000);
    EXPECT_EQ(restarted.customSystemMessage(), "Answer in French.");
    EXPECT_FALSE(restarted.modelGroups()[1].models[0].isVisible);
    EXPECT_EQ(restarted.modelGroups().size(), 4u);
}

TEST_F(SettingsTest, StoredCatalogueKeepsItsGroupsAndGetsMissingProvidersAppended) {
    storeCatalogue(R"([{"name":"OpenAI","models":[{"displayName":"Mine","apiName":"my-model","isVisible":false}]}])");
    const auto settings = makeSettings();

    EXPECT_THAT(groupNames(settings->modelGroups()), ElementsAre("OpenAI", "Anthropic", "Gemini", "Ollama"));
    EXPECT_THAT(settings->modelGroups()[0].models, ElementsAre(ModelInfo{"Mine", "my-model", false}));
    EXPECT_EQ(settings->modelGroups()[1], Settings::defaultModelGroups()[1]);
    EXPECT_EQ(storedCatalogue(), settings->modelGroups());
    EXPECT_THAT(sink->events(), IsEmpty());
}

TEST_F(SettingsTest, GroupNamesMatchExactlyAndOddGroupsStayAsStored) {
    storeCatalogue(R"([
        {"name":"Gemini","models":[]},
        {"name":"openai","models":[{"displayName":"x","apiName":"x","isVisible":true}]},
        {"name":"","models":[]},
        {"name":"Gemini","models":[{"displayName":"y","apiName":"y","isVisible":true,"extra":1}]}
    ])");
    const auto settings = makeSettings();
    EXPECT_THAT(groupNames(settings->modelGroups()),
                ElementsAre("Gemini", "openai", "", "Gemini", "OpenAI", "Anthropic", "Ollama"));
    EXPECT_THAT(settings->modelGroups()[0].models, IsEmpty());  // models the user removed stay removed
    EXPECT_EQ(settings->modelGroups()[4], Settings::defaultModelGroups()[0]);
}

TEST_F(SettingsTest, StoredEmptyArrayGivesExactlyTheDefaultCatalogue) {
    storeCatalogue("[]");
    EXPECT_EQ(makeSettings()->modelGroups(), Settings::defaultModelGroups());
    EXPECT_THAT(store->keys("model_groups."), IsEmpty());
}

TEST_F(SettingsTest, UnreadableCatalogueFallsBackToDefaultsAndIsKeptAside) {
    const std::vector<std::pair<const char*, platform::DefaultsValue>> bad = {
        {"missing isVisible", Data{R"([{"name":"OpenAI","models":[{"displayName":"a","apiName":"a"}]}])"}},
        {"isVisible as text", Data{R"([{"name":"OpenAI","models":[{"displayName":"a","apiName":"a","isVisible":"true"}]}])"}},
        {"truncated", Data{R"([{"name":"OpenAI","models":[)"}},
        {"object instead of array", Data{R"({"name":"OpenAI","models":[]})"}},
        {"invalid UTF-8", Data{"[{\"name\":\"Open\xC3\x28\",\"models\":[]}]"}},
        {"string value", std::string("[]")},
    };
    for (const auto& [what, value] : bad) {
        SCOPED_TRACE(what);
        store = std::make_shared<platform::InMemoryUserDefaults>();
        store->set("model_groups", value);
        testing::CapturedLog log;

        const auto settings = makeSettings();

        EXPECT_EQ(settings->modelGroups(), Settings::defaultModelGroups());
        EXPECT_EQ(storedCatalogue(), Settings::defaultModelGroups());
        EXPECT_EQ(store->object("model_groups.corrupt"), value);
        EXPECT_TRUE(log.contains("model_groups.corrupt"));
    }
}

TEST_F(SettingsTest, EarlierRescuedCataloguesAreNeverOverwritten) {
    storeCatalogue("not json");
    makeSettings();
    storeCatalogue("not json");  // the same bytes again: no second copy
    makeSettings();
    storeCatalogue("{broken");
    makeSettings();

    EXPECT_EQ(store->data("model_groups.corrupt"), Data{"not json"});
    EXPECT_EQ(store->data("model_groups.corrupt.2"), Data{"{broken"});
    EXPECT_THAT(store->keys("model_groups."), ::testing::SizeIs(2));
}

TEST_F(SettingsTest, EveryAssignmentStoresThenReportsWithoutSecrets) {
    const auto settings = makeSettings();
    settings->setOpenaiKey("sk-secret-1");
    settings->setClaudeKey("sk-secret-2");
    settings->setGeminiKey("sk-secret-3");
    settings->setTemperature(1.0);
    settings->setMaxTokens(2000);  // unchanged, still stored and reported
    settings->setCustomSystemMessage("secret instructions");
    auto groups = settings->modelGroups();
    groups[0].models[0].isVisible = false;
    settings->setModelGroups(groups);

    EXPECT_EQ(store->string("openai_api_key"), "sk-secret-1");
    EXPECT_EQ(store->string("claude_api_key"), "sk-secret-2");
    EXPECT_EQ(store->string("gemini_api_key"), "sk-secret-3");
    EXPECT_EQ(store->object("model_temperature"), platform::DefaultsValue(1.0));
    EXPECT_EQ(store->object("model_max_tokens"), platform::DefaultsValue(std::int64_t{2000}));
    EXPECT_EQ(store->string("custom_system_message"), "secret instructions");
    EXPECT_FALSE(storedCatalogue()[0].models[0].isVisible);

    std::vector<std::pair<std::string, std::string>> reports;
    for (const auto& event : sink->events()) {
        ASSERT_EQ(event.name, "setting_changed");
        ASSERT_EQ(event.properties.size(), 2u);
        reports.emplace_back(std::get<std::string>(event.properties.at("setting")),
                             std::get<std::string>(event.properties.at("new_value")));
    }
    using P = std::pair<std::string, std::string>;
    EXPECT_THAT(reports, ElementsAre(P{"openai_api_key", "key_changed"}, P{"claude_api_key", "key_changed"},
                                     P{"gemini_api_key", "key_changed"}, P{"model_temperature", "1.0"},
                                     P{"model_max_tokens", "2000"}, P{"custom_system_message", "message_updated"},
                                     P{"model_groups", "configuration_updated"}));
}

TEST_F(SettingsTest, ObserversSeeTheNewValueAndCanLeaveWhileNotified) {
    const auto settings = makeSettings();
    std::vector<std::pair<Settings::Property, double>> seen;
    ObserverToken selfRemoving = 0;
    int selfRemovingCalls = 0;
    const auto token = settings->subscribe(
        [&](Settings::Property property) { seen.emplace_back(property, settings->temperature()); });
    selfRemoving = settings->subscribe([&](Settings::Property) {
        ++selfRemovingCalls;
        settings->unsubscribe(selfRemoving);
    });

    settings->setTemperature(0.2);
    settings->setMaxTokens(10);
    settings->unsubscribe(token);
    settings->setTemperature(0.9);

    EXPECT_THAT(seen, ElementsAre(std::pair{Settings::Property::Temperature, 0.2},
                                  std::pair{Settings::Property::MaxTokens, 0.2}));
    EXPECT_EQ(selfRemovingCalls, 1);
}

TEST_F(SettingsTest, AvailableModelsAndLookupFollowCatalogueOrder) {
    const auto settings = makeSettings();
    settings->setModelGroups({
        {"OpenAI", {{"Shared", "first", true}, {"Hidden", "h", false}}},
        {"Ollama", {{"Shared", "second", true}, {"Local", "l", true}}},
    });

    std::vector<std::string> apiNames;
    for (const auto& model : settings->availableModels()) apiNames.push_back(model.apiName);
    EXPECT_THAT(apiNames, ElementsAre("first", "second", "l"));
    EXPECT_EQ(settings->findModel("Shared")->apiName, "first");
    EXPECT_EQ(settings->findModel("Hidden")->apiName, "h");  // visibility is the caller's business
    EXPECT_FALSE(settings->findModel("shared"));
    EXPECT_FALSE(settings->findModel(""));

    settings->setModelGroups({{"OpenAI", {{"a", "a", false}}}});
    EXPECT_THAT(settings->availableModels(), IsEmpty());
}

TEST_F(SettingsTest, RequestSettingsIsASnapshot) {
    const auto settings = makeSettings();
    settings->setClaudeKey("sk-ant");
    settings->setTemperature(0.25);
    const RequestSettings copy = settings->requestSettings();
    settings->setClaudeKey("changed");
    settings->setModelGroups({});

    EXPECT_EQ(copy.claudeKey, "sk-ant");
    EXPECT_EQ(copy.temperature, 0.25);
    EXPECT_EQ(copy.maxTokens, 2000);
    EXPECT_EQ(copy.modelGroups, Settings::defaultModelGroups());
}

TEST_F(SettingsTest, InvalidUtf8InTheCatalogueIsStoredAsReadableJson) {
    const auto settings = makeSettings();
    EXPECT_NO_THROW(settings->setModelGroups({{"OpenAI", {{"bad \xFF name", "m", true}}}}));
    const auto stored = storedCatalogue();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].models[0].displayName, "bad \xEF\xBF\xBD name");
}

TEST(ModelCatalogCodec, WritesTheDocumentedShapeAndReadsItBack) {
    const std::vector<ModelGroup> groups{{"OpenAI", {{"GPT-4o", "gpt-4o", true}}}, {"Empty", {}}};
    const std::string text = catalog::encode(groups);
    EXPECT_EQ(text,
              R"([{"name":"OpenAI","models":[{"displayName":"GPT-4o","apiName":"gpt-4o","isVisible":true}]},)"
              R"({"name":"Empty","models":[]}])");
    EXPECT_EQ(catalog::decode(text), groups);
    std::string error;
    EXPECT_FALSE(catalog::decode(R"([{"models":[]}])", &error));
    EXPECT_THAT(error, ::testing::HasSubstr("name"));
}

}  // namespace
}  // namespace core
