#include <gtest/gtest.h>

#include "core/Settings.h"
#include "ui/ModelIconName.h"
#include "panel/ModelPickerList.h"

namespace panel {
namespace {

struct IconCase {
    const char* apiName;
    const char* displayName;
    const char* icon;
};

TEST(ModelIconName, ApiNameTestsInOrderThenFirstWordOfDisplayName) {
    const IconCase cases[] = {
        {"llama3.2", "Llama 3.2", "ollama"},
        {"mistral:7b", "Anything", "ollama"},
        {"claude-3-5-haiku-latest", "x", "claude"},
        {"anthropic.claude-v2", "x", "claude"},
        {"gemini-1.5-flash", "x", "gemini"},
        {"gpt-4o", "x", "openai"},
        {"o1-mini", "Claude lookalike", "openai"},
        // "ollama:" before the "o" rule; "llama" inside a gpt name wins.
        {"ollama:phi3", "x", "ollama"},
        {"gpt-llama", "x", "ollama"},
        // Case-sensitive on the API name: the display name decides.
        {"Claude-Custom", "Claude Custom", "claude"},
        {"Claude-Custom", "Custom", "openai"},
        {"deepseek-r1", "DeepSeek R1", "ollama"},
        {"deepseek-r1", "  deepseek", "ollama"},
        {"x", "CODELLAMA 7b", "ollama"},
        {"x", "Anthropic", "claude"},
        {"x", "GEMINI", "gemini"},
        // Only U+0020 splits: "gemini\tpro" is one word.
        {"x", "gemini\tpro", "openai"},
        {"qwen2", "Qwen 2", "openai"},
        {"", "", "openai"},
        {"", "   ", "openai"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ui::iconName({c.displayName, c.apiName, true}), c.icon) << c.apiName << " / " << c.displayName;
}

TEST(ModelIconName, EveryDefaultModelShowsItsProvider) {
    const std::map<std::string, std::string> expected = {
        {"OpenAI", "openai"}, {"Anthropic", "claude"}, {"Gemini", "gemini"}, {"Ollama", "ollama"}};
    for (const auto& group : core::Settings::defaultModelGroups())
        for (const auto& model : group.models) EXPECT_EQ(ui::iconName(model), expected.at(group.name)) << model.apiName;
}

TEST(ModelPickerList, RowsAreTheVisibleModelsWithTheSelectedOneMarkedByName) {
    auto groups = core::Settings::defaultModelGroups();
    std::vector<core::ModelInfo> visible;
    for (const auto& g : groups)
        for (const auto& m : g.models) visible.push_back(m);
    ASSERT_EQ(visible.size(), 17u);

    // Same name, other API name: still the selected row (rows match by name).
    const core::ModelInfo selected{"Claude 3.5 Haiku", "something-else", false};
    const auto rows = ModelPickerList::rows(visible, selected);
    ASSERT_EQ(rows.size(), 17u);
    EXPECT_EQ(rows.front().model.displayName, "GPT-4o");
    EXPECT_EQ(rows.back().model.displayName, "CodeLlama");
    int selectedRows = 0;
    for (const auto& row : rows) {
        selectedRows += row.isSelected;
        EXPECT_EQ(row.isSelected, row.model.displayName == "Claude 3.5 Haiku");
        EXPECT_EQ(row.iconName, ui::iconName(row.model));
    }
    EXPECT_EQ(selectedRows, 1);

    EXPECT_TRUE(ModelPickerList::rows({}, selected).empty());
    for (const auto& row : ModelPickerList::rows(visible, std::nullopt)) EXPECT_FALSE(row.isSelected);
}

}  // namespace
}  // namespace panel
