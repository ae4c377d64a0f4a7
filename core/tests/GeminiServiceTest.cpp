#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/GeminiService.h"
#include "core/ProviderError.h"
#include "core/RequestBody.h"
#include "gemini/GenerateContentError.h"
#include "platform/fake/FakeHttpClient.h"
#include "testsupport/LogCapture.h"

namespace core {
namespace {

using nlohmann::json;

// Keeps the client's log lines out of the test output.
using QuietLog = testsupport::LogCapture;

std::string answer(const std::string& text) {
    return json{{"candidates", {{{"content", {{"role", "model"}, {"parts", {{{"text", text}}}}}}, {"finishReason", "STOP"}}}}}
        .dump();
}

ChatMessage message(std::string content, MessageRole role) {
    ChatMessage m;
    m.content = std::move(content);
    m.role = role;
    return m;
}

class GeminiServiceTest : public ::testing::Test {
protected:
    GeminiService service() const { return GeminiService("gem-key", http, "https://gemini.test"); }
    json sentBody() const { return json::parse(http->requests().at(0).body); }
    std::string sentText() const {
        const auto body = sentBody();
        EXPECT_EQ(body["contents"].size(), 1u);
        EXPECT_EQ(body["contents"][0]["role"], "user");
        EXPECT_EQ(body["contents"][0]["parts"].size(), 1u);
        return body["contents"][0]["parts"][0]["text"];
    }

    const QuietLog quiet;
    std::shared_ptr<platform::FakeHttpClient> http = std::make_shared<platform::FakeHttpClient>();
};

TEST_F(GeminiServiceTest, SendsTheFlattenedPromptAsOneUserTurn) {
    http->enqueue(200, answer("  \nParis.\n\n "));
    EXPECT_EQ(service().generate("gemini-2.0-flash", "Capital of France?", std::nullopt, std::nullopt), "Paris.");
    EXPECT_EQ(sentText(), std::string(baseSystemPrompt) + "\n\nUser: Capital of France?");

    const auto request = http->requests().at(0);
    EXPECT_EQ(request.url, "https://gemini.test/v1beta/models/gemini-2.0-flash:generateContent");
    EXPECT_EQ(request.timeout, std::chrono::milliseconds(300'000));
    EXPECT_EQ(request.headers.at(0), (std::pair<std::string, std::string>{"x-goog-api-key", "gem-key"}));
    // No configuration of any kind goes with it.
    const auto body = sentBody();
    for (const char* key : {"generation_config", "safety_settings", "tools", "tool_config", "system_instruction"})
        EXPECT_FALSE(body.contains(key)) << key;
}

TEST_F(GeminiServiceTest, SelectionAndHistoryBlocks) {
    const std::vector<ChatMessage> history = {message("the selection", MessageRole::system),
                                              message("first question", MessageRole::user),
                                              message("first answer", MessageRole::assistant)};
    EXPECT_EQ(GeminiService::promptText("next", std::string("sel"), history),
              std::string(baseSystemPrompt) +
                  "\n\nThe user has selected the following text:\n\"sel\"\nProcess their next prompt in this context." +
                  "\n\nSystem: the selection\n\nUser: first question\n\nAssistant: first answer\n\nUser: next");
    // An empty selection still adds its paragraph; an empty history adds nothing.
    EXPECT_EQ(GeminiService::promptText("p", std::string(), std::vector<ChatMessage>{}),
              std::string(baseSystemPrompt) + selectionParagraph("") + "\n\nUser: p");
}

TEST_F(GeminiServiceTest, NoTextIsAGeminiProviderError) {
    for (const char* body : {R"({"candidates": []})", R"({"candidates": [{"content": {"parts": []}}]})"}) {
        http->enqueue(200, body);
        try {
            (void)service().generate("gemini-2.0-flash", "p", std::nullopt, std::nullopt);
            FAIL() << body;
        } catch (const ProviderError& e) {
            EXPECT_EQ(e.domain(), "Gemini");
            EXPECT_EQ(e.code(), -1);
            EXPECT_STREQ(e.what(), "No response text received from Gemini");
        }
    }
}

TEST_F(GeminiServiceTest, ClientErrorsPassThroughUnchanged) {
    http->enqueue(400, R"({"error": {"code": 400, "message": "API key not valid. Please pass a valid API key.",
        "details": [{"@type": "type.googleapis.com/google.rpc.ErrorInfo", "reason": "API_KEY_INVALID"}]}})");
    try {
        (void)service().generate("gemini-2.0-flash", "p", std::nullopt, std::nullopt);
        FAIL();
    } catch (const gemini::GenerateContentError& e) {
        EXPECT_EQ(e.kind(), gemini::GenerateContentError::Kind::invalidAPIKey);
        EXPECT_STREQ(e.what(), "API key not valid. Please pass a valid API key.");
    }
    http->enqueueError(platform::URLError(platform::URLError::TimedOut));
    try {
        (void)service().generate("gemini-2.0-flash", "p", std::nullopt, std::nullopt);
        FAIL();
    } catch (const platform::Error& e) {
        EXPECT_STREQ(e.what(), "The request timed out.");
    }
}

}  // namespace
}  // namespace core
