// One submission through AIService to each of the four providers, each
// served on 127.0.0.1 with its own real reply, chosen by the model's group.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "core/AIService.h"
#include "core/RequestBody.h"
#include "core/tests/net/Fixtures.h"
#include "platform/HttpTransportModule.h"
#include "testsupport/LoopbackServer.h"

namespace core {
namespace {

using testsupport::LoopbackServer;

using testdata::fixture;

constexpr const char* kGeminiPath = "/v1beta/models/gemini-2.0-flash:generateContent";

class ProviderDispatchTest : public ::testing::Test {
protected:
    ProviderDispatchTest() {
        server.reply("POST", "/v1/chat/completions", {200, {}, fixture("openai-chat-200.json")});
        server.reply("POST", "/v1/messages", {200, {}, fixture("anthropic-messages-200.json")});
        server.reply("POST", kGeminiPath, {200, {}, fixture("gemini-generate-200.json")});
        server.reply("GET", "/api/version", {200, {}, fixture("ollama-version-200.json")});
        server.reply("POST", "/api/chat", {200, {}, fixture("ollama-chat-200.json")});

        settings.openaiKey = "sk-openai";
        settings.claudeKey = "sk-ant";
        settings.geminiKey = "gemini-key";
        settings.customSystemMessage = "Be brief.";
        settings.modelGroups = {
            {"OpenAI", {{"GPT-4o", "gpt-4o", true}}},
            {"Anthropic", {{"Claude 3.5 Sonnet", "claude-3-5-sonnet-latest", true}}},
            {"Gemini", {{"Gemini 2.0 Flash", "gemini-2.0-flash", false}}},
            {"Ollama", {{"Llama 3.2", "llama3.2", true}}},
        };
    }

    AIService service() const {
        AIService::Endpoints endpoints;
        endpoints.openai = server.url("/v1/chat/completions");
        endpoints.claude = server.url("/v1/messages");
        endpoints.ollama.chat = server.url("/api/chat");
        endpoints.ollama.probe = server.url("/api/version");
        endpoints.gemini = server.url("");
        return AIService(settings, platform::HttpTransportModule::deferredClient(), endpoints);
    }

    std::vector<std::string> paths() const {
        std::vector<std::string> out;
        for (const auto& r : server.requests()) out.push_back(r.path);
        return out;
    }

    LoopbackServer server;
    RequestSettings settings;
};

TEST_F(ProviderDispatchTest, EachGroupReachesItsProvider) {
    const auto s = service();
    const std::vector<ChatMessage> history{ChatMessage::make("the selection", MessageRole::system),
                                           ChatMessage::make("earlier", MessageRole::user),
                                           ChatMessage::make("reply", MessageRole::assistant)};
    const std::optional<std::string> selection = "the selection";

    EXPECT_EQ(s.sendMessage({"GPT-4o", "gpt-4o", true}, "Hi", selection, history),
              "Hello! How can I assist you today?");
    EXPECT_EQ(s.sendMessage({"Claude 3.5 Sonnet", "claude-3-5-sonnet-latest", true}, "Hi", selection, history),
              "Hi! My name is Claude.");
    EXPECT_EQ(s.sendMessage({"Gemini 2.0 Flash", "gemini-2.0-flash", false}, "Hi", selection, history),
              "Hello! How can I help you today?")
        << "a hidden model is dispatched like a visible one";
    EXPECT_EQ(s.sendMessage({"Llama 3.2", "llama3.2", true}, "Hi", selection, history), "Hello! How are you today?");

    EXPECT_EQ(paths(), (std::vector<std::string>{"/v1/chat/completions", "/v1/messages", kGeminiPath, "/api/version",
                                                 "/api/chat"}));
    const auto requests = server.requests();
    const auto openai = nlohmann::json::parse(requests[0].body);
    EXPECT_EQ(openai["model"], "gpt-4o");
    EXPECT_EQ(openai["messages"].size(), 5u);
    EXPECT_EQ(nlohmann::json::parse(requests[1].body)["model"], "claude-3-5-sonnet-latest");
    EXPECT_EQ(requests[2].header("x-goog-api-key"), "gemini-key");
    const auto gemini = nlohmann::json::parse(requests[2].body);
    EXPECT_EQ(gemini["contents"][0]["parts"][0]["text"], GeminiService::promptText("Hi", selection, history));
    EXPECT_EQ(gemini.dump().find("Be brief."), std::string::npos) << "no custom instructions for Gemini";
    const auto ollama = nlohmann::json::parse(requests[4].body);
    EXPECT_EQ(ollama["model"], "llama3.2");
    EXPECT_EQ(ollama["messages"][0]["content"], buildSystemMessage(selection, &settings));
}

TEST_F(ProviderDispatchTest, UnplacedModelsGoToOllama) {
    auto s = service();
    EXPECT_EQ(s.sendMessage({"Unknown", "mistral", true}, "Hi", std::nullopt), "Hello! How are you today?");
    settings.modelGroups.clear();
    EXPECT_EQ(service().sendMessage({"GPT-4o", "gpt-4o", true}, "Hi", std::nullopt), "Hello! How are you today?");
    EXPECT_EQ(paths(), (std::vector<std::string>{"/api/version", "/api/chat", "/api/version", "/api/chat"}));
    EXPECT_EQ(nlohmann::json::parse(server.requests()[3].body)["model"], "gpt-4o");

    // With no Ollama running, that is what the user hears about.
    AIService::Endpoints endpoints;
    endpoints.ollama.probe = server.refusedUrl("/api/version");
    const AIService down(settings, platform::HttpTransportModule::deferredClient(), endpoints);
    try {
        down.sendMessage({"Nowhere", "nowhere", true}, "Hi", std::nullopt);
        ADD_FAILURE() << "answered without a server";
    } catch (const platform::Error& e) {
        EXPECT_EQ(e.domain(), "Ollama");
        EXPECT_EQ(e.code(), -1);
        EXPECT_EQ(e.description(), "Ollama is not running. Please start Ollama and try again.");
    }
}

}  // namespace
}  // namespace core
