#include <gtest/gtest.h>

#include "core/AIService.h"

namespace core {
namespace {

using Provider = AIService::Provider;

ModelGroup group(std::string name, std::vector<std::string> displayNames, bool visible = true) {
    ModelGroup g{std::move(name), {}};
    for (auto& n : displayNames) g.models.push_back({n, n + "-api", visible});
    return g;
}

TEST(ProviderChoice, ByTheGroupHoldingTheModel) {
    const std::vector<ModelGroup> groups{group("OpenAI", {"GPT-4o"}), group("Anthropic", {"Claude"}),
                                         group("Gemini", {"Gemini"}), group("Ollama", {"Llama"}),
                                         group("Mine", {"Custom"})};
    EXPECT_EQ(AIService::providerFor(groups, "GPT-4o"), Provider::openai);
    EXPECT_EQ(AIService::providerFor(groups, "Claude"), Provider::anthropic);
    EXPECT_EQ(AIService::providerFor(groups, "Gemini"), Provider::gemini);
    EXPECT_EQ(AIService::providerFor(groups, "Llama"), Provider::ollama);
    EXPECT_EQ(AIService::providerFor(groups, "Custom"), Provider::ollama) << "unknown group name";
    EXPECT_EQ(AIService::providerFor(groups, "Nowhere"), Provider::ollama) << "found in no group";
    EXPECT_EQ(AIService::providerFor(groups, "gpt-4o"), Provider::ollama) << "names match exactly";
    EXPECT_EQ(AIService::providerFor({}, "GPT-4o"), Provider::ollama) << "empty catalogue";
}

TEST(ProviderChoice, OllamaFirstThenEarliestGroup) {
    EXPECT_EQ(AIService::providerFor({group("OpenAI", {"Shared"}), group("Ollama", {"Shared"})}, "Shared"),
              Provider::ollama);
    EXPECT_EQ(AIService::providerFor({group("OpenAI", {"Shared"}), group("Anthropic", {"Shared"})}, "Shared"),
              Provider::openai);
    // Only the first "Ollama" group is asked first; a later one is an ordinary group.
    EXPECT_EQ(AIService::providerFor({group("Ollama", {}), group("Anthropic", {"M"}), group("Ollama", {"M"})}, "M"),
              Provider::anthropic);
    EXPECT_EQ(AIService::providerFor({group("openai", {"GPT"})}, "GPT"), Provider::ollama);
    EXPECT_EQ(AIService::providerFor({group("Gemini", {"Hidden"}, false)}, "Hidden"), Provider::gemini);
}

}  // namespace
}  // namespace core
