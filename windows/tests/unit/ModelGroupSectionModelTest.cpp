#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/ModelCatalog.h"
#include "fakes/SettingsHarness.h"
#include "windows/ModelGroupSectionModel.h"

namespace windows {
namespace {

using core::ModelInfo;
using testing::SettingsHarness;

constexpr std::size_t kOpenAI = 0;
constexpr std::size_t kOllama = 3;

void add(ModelGroupSectionModel& section, std::string displayName, std::string apiName) {
    section.toggleAdding();
    section.setNewDisplayName(std::move(displayName));
    section.setNewAPIName(std::move(apiName));
    section.addModel();
}

// The catalogue as the next start reads it back.
std::vector<core::ModelGroup> stored(const SettingsHarness& h) {
    const auto data = h.defaults->data("model_groups");
    return data ? core::catalog::decode(data->bytes).value_or(std::vector<core::ModelGroup>{})
                : std::vector<core::ModelGroup>{};
}

TEST(ModelGroupSectionModel, ProviderIconsFollowTheLowerCasedGroupName) {
    EXPECT_EQ(ModelGroupSectionModel::providerIconName("OpenAI"), "openai");
    EXPECT_EQ(ModelGroupSectionModel::providerIconName("aNtHrOpIc"), "claude");
    EXPECT_EQ(ModelGroupSectionModel::providerIconName("GEMINI"), "gemini");
    EXPECT_EQ(ModelGroupSectionModel::providerIconName("Ollama"), "ollama");
    for (const char* other : {"Mistral", "", "Anthropic ", "Claude", "ollama2"})
        EXPECT_EQ(ModelGroupSectionModel::providerIconName(other), "openai") << other;
}

TEST(ModelGroupSectionModel, ThePlusButtonKeepsTheTextsAndCancelClearsThem) {
    SettingsHarness h;
    ModelGroupSectionModel section(h.settings, kOpenAI);
    EXPECT_FALSE(section.isAddingModel());
    section.toggleAdding();
    section.setNewDisplayName("Mine");
    EXPECT_FALSE(section.canAdd());
    section.setNewAPIName("mine-1");
    EXPECT_TRUE(section.canAdd());

    section.toggleAdding();
    EXPECT_FALSE(section.isAddingModel());
    section.toggleAdding();
    EXPECT_EQ(section.newDisplayName(), "Mine");
    EXPECT_EQ(section.newAPIName(), "mine-1");

    section.cancel();
    EXPECT_FALSE(section.isAddingModel());
    EXPECT_EQ(section.newDisplayName(), "");
    EXPECT_EQ(section.newAPIName(), "");
    EXPECT_TRUE(h.sink->events.empty());
}

TEST(ModelGroupSectionModel, AddingAppendsAVisibleModelWithOneWriteAndClosesTheForm) {
    SettingsHarness h;
    ModelGroupSectionModel section(h.settings, kOpenAI);
    const std::size_t before = section.modelCount();
    add(section, "   ", "gpt-4o");  // spaces count as a name; an API name may repeat
    add(section, "GPT-4o", "custom");
    ASSERT_EQ(section.modelCount(), before + 2);
    EXPECT_EQ(section.group().models[before], (ModelInfo{"   ", "gpt-4o", true}));
    EXPECT_EQ(section.group().models[before + 1], (ModelInfo{"GPT-4o", "custom", true}));
    EXPECT_FALSE(section.isAddingModel());
    EXPECT_EQ(section.newDisplayName(), "");
    EXPECT_EQ(h.changes("model_groups"), (std::vector<std::string>{"configuration_updated", "configuration_updated"}));
    EXPECT_EQ(stored(h), h.settings.modelGroups());
    // The picker offers it after the group's other models.
    const auto available = h.settings.availableModels();
    EXPECT_EQ(available[before + 1].apiName, "custom");

    // Either text empty: nothing is added and the form stays as it was.
    section.toggleAdding();
    section.setNewDisplayName("Only a name");
    section.addModel();
    EXPECT_TRUE(section.isAddingModel());
    EXPECT_EQ(section.newDisplayName(), "Only a name");
    EXPECT_EQ(section.modelCount(), before + 2);
    EXPECT_EQ(h.changes("model_groups").size(), 2u);
}

TEST(ModelGroupSectionModel, OnlyModelsOutsideTheDefaultCatalogueCanBeDeleted) {
    SettingsHarness h;
    ModelGroupSectionModel section(h.settings, kOpenAI);
    for (std::size_t i = 0; i < section.modelCount(); ++i) EXPECT_FALSE(section.showsDeleteButton(i));

    section.setModelVisible(0, false);  // a default model switched off may go
    EXPECT_TRUE(section.showsDeleteButton(0));
    EXPECT_EQ(h.settings.availableModels().front().displayName, "GPT-4o-mini");
    section.setModelVisible(0, true);
    EXPECT_FALSE(section.showsDeleteButton(0));
    section.setModelVisible(0, true);  // already on: nothing written
    EXPECT_EQ(h.changes("model_groups").size(), 2u);

    // A custom model equal to a default one in all three fields stays.
    add(section, "o1", "o1");
    EXPECT_FALSE(section.showsDeleteButton(section.modelCount() - 1));
    add(section, "o1", "o1-custom");
    EXPECT_TRUE(section.showsDeleteButton(section.modelCount() - 1));

    section.setModelVisible(0, false);
    section.removeModel(0);
    EXPECT_EQ(section.group().models.front().displayName, "GPT-4o-mini");
    EXPECT_EQ(stored(h)[kOpenAI].models.front().displayName, "GPT-4o-mini");
    EXPECT_EQ(h.changes("model_groups").size(), 6u);
    EXPECT_FALSE(section.showsDeleteButton(section.modelCount()));
}

TEST(ModelGroupSectionModel, DeletingTheFirstOfThreeMovesTheOthersUpWithTheirSwitches) {
    SettingsHarness h;
    h.settings.setModelGroups({{"Ollama", {}}});
    ModelGroupSectionModel section(h.settings, 0);
    add(section, "A", "a");
    add(section, "B", "b");
    add(section, "C", "c");
    section.setModelVisible(2, false);
    section.removeModel(0);
    EXPECT_EQ(section.group().models, (std::vector<ModelInfo>{{"B", "b", true}, {"C", "c", false}}));

    const auto events = h.changes("model_groups").size();
    section.removeModel(2);  // past the end: nothing
    section.setModelVisible(7, false);
    EXPECT_EQ(h.changes("model_groups").size(), events);
}

TEST(ModelGroupSectionModel, SectionsAreBoundByPositionNotByName) {
    SettingsHarness h;
    h.settings.setModelGroups({{"OpenAI", {}}, {"OpenAI", {}}});
    ModelGroupSectionModel first(h.settings, 0);
    ModelGroupSectionModel second(h.settings, 1);
    add(second, "Second only", "s");
    EXPECT_EQ(first.modelCount(), 0u);
    EXPECT_EQ(second.modelCount(), 1u);

    // The catalogue shrank elsewhere: the stale section reads as empty and
    // changes nothing; the typed texts stay.
    h.settings.setModelGroups({{"OpenAI", {}}});
    EXPECT_EQ(second.group().name, "");
    second.toggleAdding();
    second.setNewDisplayName("X");
    second.setNewAPIName("x");
    second.addModel();
    second.removeModel(0);
    EXPECT_EQ(h.settings.modelGroups().size(), 1u);
    EXPECT_EQ(second.newDisplayName(), "X");
}

TEST(ModelGroupSectionModel, FiveHundredCustomModelsEachStoredOnce) {
    SettingsHarness h;
    ModelGroupSectionModel section(h.settings, kOllama);
    for (int i = 0; i < 500; ++i) add(section, "Model " + std::to_string(i), "m" + std::to_string(i));
    EXPECT_EQ(section.modelCount(), 503u);
    EXPECT_EQ(h.changes("model_groups").size(), 500u);
    EXPECT_EQ(stored(h)[kOllama].models.back(), (ModelInfo{"Model 499", "m499", true}));
    EXPECT_TRUE(section.showsDeleteButton(502));
}

}  // namespace
}  // namespace windows
