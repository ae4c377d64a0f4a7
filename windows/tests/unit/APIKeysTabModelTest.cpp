#include <gtest/gtest.h>

#include <string>

#include "fakes/SettingsHarness.h"
#include "windows/APIKeysTabModel.h"

namespace windows {
namespace {

using testing::SettingsHarness;

TEST(APIKeysTabModel, ProvidersInOrderWithTheirLinks) {
    const auto& providers = APIKeysTabModel::providers();
    ASSERT_EQ(providers.size(), 3u);
    EXPECT_EQ(providers[0].title, "OpenAI");
    EXPECT_EQ(providers[0].description, "Required for GPT models");
    EXPECT_EQ(providers[1].title, "Anthropic");
    EXPECT_EQ(providers[1].description, "Required for Claude models");
    EXPECT_EQ(providers[2].title, "Google");
    EXPECT_EQ(providers[2].description, "Required for Gemini models");
    for (const auto& provider : providers) {
        EXPECT_EQ(APIKeysTabModel::linkText(provider), "Get API key from " + std::string(provider.host));
        EXPECT_EQ(APIKeysTabModel::link(provider), "https://" + std::string(provider.host));
    }
    EXPECT_EQ(APIKeysTabModel::ollamaLinkText(), "Download Ollama from ollama.com");
    EXPECT_EQ(APIKeysTabModel::ollamaLink(), "https://ollama.com");
}

TEST(APIKeysTabModel, EveryKeystrokeStoresTheKeyAndReportsOnlyThatItChanged) {
    SettingsHarness h;
    APIKeysTabModel model(h.settings);
    model.setKey(0, "a");
    model.setKey(0, "ab");
    model.setKey(0, "abc");
    EXPECT_EQ(h.settings.openaiKey(), "abc");
    EXPECT_EQ(h.defaults->string("openai_api_key"), "abc");
    EXPECT_EQ(h.changes("openai_api_key"), (std::vector<std::string>{"key_changed", "key_changed", "key_changed"}));
    EXPECT_FALSE(h.anyEventContains("abc"));

    model.setKey(0, "");
    EXPECT_EQ(h.defaults->string("openai_api_key"), "");
    EXPECT_EQ(h.changes("openai_api_key").size(), 4u);
}

TEST(APIKeysTabModel, EachSectionEditsItsOwnKey) {
    SettingsHarness h;
    APIKeysTabModel model(h.settings);
    model.setKey(1, "claude");
    model.setKey(2, "gemini");
    EXPECT_EQ(h.settings.openaiKey(), "");
    EXPECT_EQ(h.defaults->string("claude_api_key"), "claude");
    EXPECT_EQ(h.defaults->string("gemini_api_key"), "gemini");
    EXPECT_EQ(model.key(1), "claude");
    EXPECT_EQ(APIKeysTabModel::sectionOf(core::Settings::Property::GeminiKey), 2u);
    EXPECT_EQ(APIKeysTabModel::sectionOf(core::Settings::Property::Temperature), 3u);
}

TEST(APIKeysTabModel, KeysAreStoredAsTypedWhateverTheirSizeOrCharacters) {
    SettingsHarness h;
    APIKeysTabModel model(h.settings);
    const std::string huge(100 * 1024, 'k');
    model.setKey(0, huge);
    EXPECT_EQ(h.defaults->string("openai_api_key"), huge);
    model.setKey(1, " with\nnewline ");
    EXPECT_EQ(h.settings.claudeKey(), " with\nnewline ");
    EXPECT_FALSE(h.anyEventContains("newline"));
}

TEST(APIKeysTabModel, SectionsHideTheirKeysOnTheirOwn) {
    SettingsHarness h;
    APIKeysTabModel model(h.settings);
    for (std::size_t i = 0; i < model.sectionCount(); ++i) EXPECT_TRUE(model.isSecured(i));
    model.toggleSecured(1);
    EXPECT_TRUE(model.isSecured(0));
    EXPECT_FALSE(model.isSecured(1));
    EXPECT_TRUE(model.isSecured(2));
    model.toggleSecured(1);
    EXPECT_TRUE(model.isSecured(1));
}

TEST(APIKeysTabModel, IndexesOutOfRangeChangeNothing) {
    SettingsHarness h;
    APIKeysTabModel model(h.settings);
    model.setKey(3, "x");
    model.toggleSecured(99);
    EXPECT_EQ(model.key(3), "");
    EXPECT_TRUE(model.isSecured(99));
    EXPECT_TRUE(h.sink->events.empty());
}

}  // namespace
}  // namespace windows
