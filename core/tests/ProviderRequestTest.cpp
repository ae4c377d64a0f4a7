// Request bodies, headers and reply reading of the provider clients, against
// a scripted transport: what goes on the wire and how each reply is judged.
#include <gtest/gtest.h>

#include "core/AIService.h"
#include "core/JsonError.h"
#include "core/ProviderError.h"
#include "core/RequestBody.h"
#include "platform/fake/FakeHttpClient.h"

namespace core {
namespace {

using platform::HttpResponse;
using platform::URLError;

ChatMessage message(MessageRole role, std::string content) {
    return ChatMessage{platform::Uuid::random(), std::move(content), role, 0};
}

template <typename F>
void expectError(F&& call, const std::string& domain, long code, const std::string& description) {
    try {
        const auto answer = call();
        ADD_FAILURE() << "expected " << domain << " " << code << ", got answer: " << answer;
    } catch (const platform::Error& e) {
        EXPECT_EQ(e.domain(), domain);
        EXPECT_EQ(e.code(), code);
        EXPECT_EQ(e.description(), description);
    }
}

class ProviderRequestTest : public ::testing::Test {
protected:
    ProviderRequestTest() {
        settings.openaiKey = "sk-open";
        settings.claudeKey = "sk-ant";
        settings.temperature = 0.3;
        settings.maxTokens = 512;
        settings.customSystemMessage = "Be brief.";
    }
    AIService service() {
        AIService::Endpoints endpoints;
        endpoints.openai = "http://127.0.0.1:9/v1/chat/completions";
        endpoints.claude = "http://127.0.0.1:9/v1/messages";
        endpoints.timeout = std::chrono::milliseconds(1234);
        return AIService(settings, http, endpoints);
    }
    nlohmann::json sentBody(std::size_t i = 0) { return nlohmann::json::parse(http->requests().at(i).body); }

    RequestSettings settings;
    std::shared_ptr<platform::FakeHttpClient> http = std::make_shared<platform::FakeHttpClient>();
};

TEST_F(ProviderRequestTest, OpenAIRequestOnTheWire) {
    http->enqueue(200, R"({"choices":[{"message":{"role":"assistant","content":"\n  Hi there\nfriend  \n"}}]})");
    EXPECT_EQ(service().sendOpenAIRequest("gpt-4o", "Hello", std::string("sel")), "Hi there\nfriend");

    const auto request = http->requests().at(0);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.url, "http://127.0.0.1:9/v1/chat/completions");
    EXPECT_EQ(request.timeout, std::chrono::milliseconds(1234));
    const platform::HttpHeaders headers{{"Authorization", "Bearer sk-open"}, {"Content-Type", "application/json"}};
    EXPECT_EQ(request.headers, headers);

    const auto body = sentBody();
    EXPECT_EQ(body["model"], "gpt-4o");
    EXPECT_EQ(body["temperature"], 0.3);
    EXPECT_EQ(body["max_tokens"], 512);
    EXPECT_FALSE(body.contains("max_completion_tokens"));
    EXPECT_EQ(body["messages"][0]["content"], buildSystemMessage(std::string("sel"), &settings));
    EXPECT_EQ(body["messages"].size(), 2u);
}

TEST_F(ProviderRequestTest, ReasoningModelsGetCompletionTokensAndNoTemperature) {
    for (const char* model : {"o1", "o1-mini", "o1-preview", "o3-mini"}) {
        const auto body = AIService::openAIRequestBody(model, "p", std::nullopt, {}, settings);
        EXPECT_EQ(body["max_completion_tokens"], 512) << model;
        EXPECT_FALSE(body.contains("max_tokens")) << model;
        EXPECT_FALSE(body.contains("temperature")) << model;
        EXPECT_TRUE(body.contains("messages")) << model;
    }
    for (const char* model : {"gpt-4o-mini", "gpt-4o", "O1"}) {
        const auto body = AIService::openAIRequestBody(model, "p", std::nullopt, {}, settings);
        EXPECT_EQ(body["max_tokens"], 512) << model;
        EXPECT_EQ(body["temperature"], 0.3) << model;
    }
}

TEST_F(ProviderRequestTest, ClaudeRequestOnTheWire) {
    http->enqueue(200, R"({"content":[{"type":"text","text":"  answer\n\n"}]})");
    const std::vector<ChatMessage> history{
        message(MessageRole::system, "the selection"), message(MessageRole::user, "first"),
        message(MessageRole::assistant, "reply"), message(MessageRole::system, "later note")};
    EXPECT_EQ(service().sendClaudeRequest("claude-3-5-haiku-latest", "second", std::string("sel"), history), "answer");

    const auto request = http->requests().at(0);
    EXPECT_EQ(request.url, "http://127.0.0.1:9/v1/messages");
    const platform::HttpHeaders headers{{"x-api-key", "sk-ant"},
                                        {"anthropic-api-key", "sk-ant"},
                                        {"anthropic-version", "2023-06-01"},
                                        {"Content-Type", "application/json"}};
    EXPECT_EQ(request.headers, headers);

    const auto body = sentBody();
    EXPECT_EQ(body["model"], "claude-3-5-haiku-latest");
    EXPECT_EQ(body["max_tokens"], 512);
    EXPECT_EQ(body["temperature"], 0.3);
    EXPECT_EQ(body["system"], buildSystemMessage(std::string("sel"), &settings) + "\n\nthe selection\n\nlater note");
    const auto expectedMessages = nlohmann::json::parse(
        R"([{"role":"user","content":"first"},{"role":"assistant","content":"reply"},
            {"role":"user","content":"second"}])");
    EXPECT_EQ(body["messages"], expectedMessages);
}

TEST_F(ProviderRequestTest, EmptyKeysAreSentAsTheyAre) {
    settings.openaiKey.clear();
    http->enqueue(401, R"({"error":{"message":"You didn't provide an API key."}})");
    expectError([&] { return service().sendOpenAIRequest("gpt-4o", "p", std::nullopt); }, "OpenAI", 401,
                "You didn't provide an API key.");
    EXPECT_EQ(http->requests().at(0).headers.at(0).second, "Bearer ");
}

TEST_F(ProviderRequestTest, StatusAndShapeOfTheReply) {
    auto openai = [](int status, std::string body) {
        return [=] { return AIService::parseOpenAIReply(HttpResponse{status, {}, body}); };
    };
    auto claude = [](int status, std::string body) {
        return [=] { return AIService::parseClaudeReply(HttpResponse{status, {}, body}); };
    };
    const std::string goodOpenAI = R"({"choices":[{"message":{"content":"ok"}}]})";
    const std::string goodClaude = R"({"content":[{"text":"ok"}]})";

    expectError(openai(201, goodOpenAI), "OpenAI", 201, "Unknown error");
    expectError(claude(201, goodClaude), "Claude", 201, "Unknown error");
    expectError(openai(500, ""), "OpenAI", 500, "Unknown error");
    expectError(openai(400, R"({"error":"flat string"})"), "OpenAI", 400, "Unknown error");
    expectError(openai(400, R"({"error":{"message":42}})"), "OpenAI", 400, "Unknown error");
    expectError(claude(429, R"({"error":{"message":"slow down"}})"), "Claude", 429, "slow down");

    for (const char* shape : {R"({"choices":[]})", R"({"choices":{}})", R"({"choices":["x"]})",
                              R"({"choices":[{"message":{"content":"ok"}},"x"]})",
                              R"({"choices":[{"message":{"content":"ok"}},null]})",
                              R"({"choices":[{"message":"x"}]})", R"({"choices":[{"message":{"content":1}}]})",
                              R"({"choices":[{"message":{"content":null}}]})", "[]", "\"text\""})
        expectError(openai(200, shape), "OpenAI", -1, "Invalid response format");
    for (const char* shape :
         {R"({"content":[]})", R"({"content":[{"type":"text"}]})", R"({"content":"text"})", R"({"completion":"old"})",
          R"({"content":[{"text":"ok"},1]})", R"({"content":[{"text":"ok"},[{"text":"ok"}]]})"})
        expectError(claude(200, shape), "Claude", -1, "Invalid response format");

    expectError(openai(200, "not json"), JsonError::kDomain, JsonError::kCode,
                "The data couldn't be read because it isn't in the correct format.");
    expectError(
        [&] {
            return AIService::parseClaudeReply(HttpResponse{std::nullopt, {}, goodClaude});
        },
        "AI", -1, "Invalid response");
}

class OllamaRequestTest : public ProviderRequestTest {
protected:
    OllamaService ollama() {
        OllamaService::Endpoints endpoints;
        endpoints.chat = "http://127.0.0.1:9/api/chat";
        endpoints.probe = "http://127.0.0.1:9/api/version";
        endpoints.timeout = std::chrono::milliseconds(777);
        return OllamaService(http, endpoints);
    }
    std::string send(const std::string& model = "llama3.2") {
        return ollama().sendMessage(model, "Hello", std::nullopt, {}, &settings);
    }
};

TEST_F(OllamaRequestTest, ProbesThenPosts) {
    http->enqueue(200, R"({"version":"0.12.6"})");
    http->enqueue(200, R"({"message":{"role":"assistant","content":"  Hi!\n"}})");
    EXPECT_EQ(send(), "Hi!");

    ASSERT_EQ(http->requests().size(), 2u);
    const auto requests = http->requests();
    const auto& probe = requests[0];
    EXPECT_EQ(probe.method, "GET");
    EXPECT_EQ(probe.url, "http://127.0.0.1:9/api/version");
    EXPECT_TRUE(probe.headers.empty());
    EXPECT_TRUE(probe.body.empty());
    EXPECT_EQ(probe.timeout, std::chrono::milliseconds(777));

    const auto& chat = requests[1];
    EXPECT_EQ(chat.method, "POST");
    EXPECT_EQ(chat.url, "http://127.0.0.1:9/api/chat");
    EXPECT_EQ(chat.headers, (platform::HttpHeaders{{"Content-Type", "application/json"}}));
    const auto body = sentBody(1);
    EXPECT_EQ(body["model"], "llama3.2");
    EXPECT_EQ(body["stream"], false);
    EXPECT_EQ(body["temperature"], 0.3);
    EXPECT_EQ(body["max_tokens"], 512);
    EXPECT_EQ(body["messages"].size(), 2u);
}

TEST_F(OllamaRequestTest, ProbeFailuresMeanNotRunningAndNothingIsPosted) {
    const std::string notRunning = "Ollama is not running. Please start Ollama and try again.";
    http->enqueueError(URLError(URLError::CannotConnectToHost));
    expectError([&] { return send(); }, "Ollama", -1, notRunning);
    http->enqueue(503, "");
    expectError([&] { return send(); }, "Ollama", -1, notRunning);
    http->enqueue(HttpResponse{});
    expectError([&] { return send(); }, "Ollama", -1, notRunning);
    http->enqueueError(URLError(URLError::TimedOut));
    EXPECT_FALSE(ollama().isRunning());
    for (const auto& request : http->requests()) EXPECT_EQ(request.method, "GET");
}

TEST_F(OllamaRequestTest, ChatFailures) {
    const std::string lost = "Could not connect to Ollama. Please make sure it's running.";
    auto afterProbe = [&](auto&& script) {
        http->enqueue(200, "{}");
        script();
    };
    afterProbe([&] { http->enqueueError(URLError(URLError::NetworkConnectionLost)); });
    expectError([&] { return send(); }, "Ollama", -1, lost);
    afterProbe([&] { http->enqueueError(URLError(URLError::CannotConnectToHost)); });
    expectError([&] { return send(); }, "Ollama", -1, lost);
    afterProbe([&] { http->enqueueError(URLError(URLError::TimedOut)); });
    expectError([&] { return send(); }, URLError::kDomain, URLError::TimedOut, "The request timed out.");

    afterProbe([&] { http->enqueue(500, R"({"error":12})"); });
    expectError([&] { return send(); }, "Ollama", 500, "Unknown error");
    afterProbe([&] { http->enqueue(HttpResponse{}); });
    expectError([&] { return send(); }, "Ollama", -1, "Invalid response");
}

TEST_F(OllamaRequestTest, ReplyShapes) {
    auto parse = [](std::string body) {
        return [=] { return OllamaService::parseReply("m", HttpResponse{200, {}, body}); };
    };
    for (const char* shape : {R"({"message":{"role":"assistant"}})", R"({"done":true})", "[]", R"({"message":"text"})",
                              R"({"message":{"content":5}})"})
        expectError(parse(shape), "Ollama", -1, "Invalid response format");
    expectError(parse(""), JsonError::kDomain, JsonError::kCode,
                "The data couldn't be read because it isn't in the correct format.");
    EXPECT_EQ(parse(R"({"message":{"content":" \n\t "}})")(), "");
}

}  // namespace
}  // namespace core
