// The OpenAI, Anthropic and Ollama clients against servers on 127.0.0.1 that
// answer with the providers' own reply and error bodies, and with the faults
// a real network produces: refused, dropped, stalled, oversized, malformed.
#include <algorithm>
#include <functional>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "core/AIService.h"
#include "core/JsonError.h"
#include "core/tests/net/Fixtures.h"
#include "platform/HttpClient.h"
#include "platform/HttpTransportModule.h"
#include "testsupport/LoopbackServer.h"

namespace core {
namespace {

using platform::URLError;
using testsupport::LoopbackServer;
using namespace std::chrono_literals;

using testdata::fixture;

struct Expected {
    std::string domain;
    long code;
    std::string description;
};

const Expected kNotJson{JsonError::kDomain, JsonError::kCode,
                        "The data couldn't be read because it isn't in the correct format."};
const std::string kHtml503 =
    "<html><head><title>503 Service Temporarily Unavailable</title></head>"
    "<body><center><h1>503 Service Temporarily Unavailable</h1></center></body></html>";

void expectError(const std::function<std::string()>& call, const Expected& expected, const std::string& label) {
    try {
        const auto answer = call();
        ADD_FAILURE() << label << ": expected " << expected.domain << " " << expected.code << ", got an answer of "
                      << answer.size() << " bytes";
    } catch (const platform::Error& e) {
        EXPECT_EQ(e.domain(), expected.domain) << label;
        EXPECT_EQ(e.code(), expected.code) << label;
        EXPECT_EQ(e.description(), expected.description) << label;
    }
}

// One provider as the tests see it: its path, how to call it, and where its
// answer sits in a reply body.
struct Provider {
    std::string name;
    std::string domain;
    std::string path;
    std::function<std::string(const AIService&, std::string_view prompt, const std::optional<std::string>&)> call;
    std::function<std::string(const std::string& answer)> replyWith;
    std::string emptyList;  // a 200 reply whose list of answers is empty
};

std::vector<Provider> providers() {
    return {
        {"OpenAI", "OpenAI", "/v1/chat/completions",
         [](const AIService& s, std::string_view p, const std::optional<std::string>& sel) {
             return s.sendOpenAIRequest("gpt-4o", p, sel);
         },
         [](const std::string& answer) {
             auto reply = nlohmann::json::parse(fixture("openai-chat-200.json"));
             reply["choices"][0]["message"]["content"] = answer;
             return reply.dump();
         },
         R"({"id":"chatcmpl-1","object":"chat.completion","choices":[]})"},
        {"Anthropic", "Claude", "/v1/messages",
         [](const AIService& s, std::string_view p, const std::optional<std::string>& sel) {
             return s.sendClaudeRequest("claude-3-5-sonnet-latest", p, sel);
         },
         [](const std::string& answer) {
             auto reply = nlohmann::json::parse(fixture("anthropic-messages-200.json"));
             reply["content"][0]["text"] = answer;
             return reply.dump();
         },
         R"({"id":"msg_1","type":"message","role":"assistant","content":[],"stop_reason":"end_turn"})"},
    };
}

// A service whose OpenAI and Anthropic endpoints are on `server`.
AIService serviceOn(LoopbackServer& server, std::chrono::milliseconds timeout = 10s, bool refused = false) {
    RequestSettings settings;
    settings.openaiKey = "sk-proj-test";
    settings.claudeKey = "sk-ant-test";
    AIService::Endpoints endpoints;
    endpoints.openai = refused ? server.refusedUrl("/v1/chat/completions") : server.url("/v1/chat/completions");
    endpoints.claude = refused ? server.refusedUrl("/v1/messages") : server.url("/v1/messages");
    endpoints.timeout = timeout;
    return AIService(settings, platform::HttpTransportModule::deferredClient(), endpoints);
}

class ProviderClientsTest : public ::testing::Test {
protected:
    AIService service() { return serviceOn(server); }

    LoopbackServer server;
};

TEST_F(ProviderClientsTest, AnswersFromTheProvidersRealReplies) {
    server.reply("POST", "/v1/chat/completions",
                 {200, {{"Content-Type", "application/json"}}, fixture("openai-chat-200.json")});
    server.reply("POST", "/v1/messages",
                 {200, {{"Content-Type", "application/json"}}, fixture("anthropic-messages-200.json")});
    const auto s = service();
    EXPECT_EQ(s.sendOpenAIRequest("gpt-4o", "Hello", std::nullopt), "Hello! How can I assist you today?");
    EXPECT_EQ(s.sendClaudeRequest("claude-3-5-sonnet-latest", "Hello", std::string("picked")),
              "Hi! My name is Claude.");

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].header("Authorization"), "Bearer sk-proj-test");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
    EXPECT_EQ(requests[1].header("x-api-key"), "sk-ant-test");
    EXPECT_EQ(requests[1].header("anthropic-api-key"), "sk-ant-test");
    EXPECT_EQ(requests[1].header("anthropic-version"), "2023-06-01");
    const auto claudeBody = nlohmann::json::parse(requests[1].body);
    EXPECT_EQ(claudeBody["messages"].size(), 1u);
    EXPECT_EQ(claudeBody["messages"][0]["role"], "user");
    EXPECT_TRUE(
        claudeBody["system"].get<std::string>().ends_with("\"picked\"\nProcess their next prompt in this context."));
}

TEST_F(ProviderClientsTest, ProviderErrorBodiesGiveTheirMessages) {
    struct Case {
        int status;
        std::string openaiBody, claudeBody;
        std::string openaiText, claudeText;
    };
    const std::vector<Case> cases{
        {400, fixture("openai-error-400-temperature.json"), fixture("anthropic-error-400-system-role.json"),
         "Unsupported value: 'temperature' does not support 0.7 with this model. Only the default (1) value is "
         "supported.",
         "messages: Unexpected role \"system\". The Messages API accepts a top-level `system` parameter, not "
         "\"system\" as an input message role."},
        {401, fixture("openai-error-401.json"), fixture("anthropic-error-401.json"),
         "Incorrect API key provided: sk-proj-****abcd. You can find your API key at "
         "https://platform.openai.com/account/api-keys.",
         "invalid x-api-key"},
        {429, fixture("openai-error-429.json"), fixture("anthropic-error-529.json"),
         "Rate limit reached for gpt-4o in organization org-abc on tokens per min (TPM): Limit 30000, Used 29800, "
         "Requested 900. Please try again in 1.4s.",
         "Overloaded"},
        {500, R"({"error":{"message":"The server had an error while processing your request.","type":"server_error"}})",
         R"({"type":"error","error":{"type":"api_error","message":"Internal server error"}})",
         "The server had an error while processing your request.", "Internal server error"},
        {503, kHtml503, kHtml503, "Unknown error", "Unknown error"},
        {500, "", "", "Unknown error", "Unknown error"},
    };
    for (const auto& c : cases) {
        LoopbackServer fresh;
        fresh.reply("POST", "/v1/chat/completions", {c.status, {}, c.openaiBody});
        fresh.reply("POST", "/v1/messages", {c.status, {}, c.claudeBody});
        const auto s = serviceOn(fresh);
        const auto label = std::to_string(c.status);
        expectError([&] { return s.sendOpenAIRequest("gpt-4o", "p", std::nullopt); },
                    {"OpenAI", c.status, c.openaiText}, "OpenAI " + label);
        expectError([&] { return s.sendClaudeRequest("claude", "p", std::nullopt); },
                    {"Claude", c.status, c.claudeText}, "Claude " + label);
    }
}

TEST_F(ProviderClientsTest, SuccessStatusWithWrongBodyIsNeverAnAnswer) {
    for (const auto& p : providers()) {
        const auto check = [&](int status, std::string body, const Expected& expected, const std::string& what) {
            LoopbackServer fresh;
            fresh.reply("POST", p.path, {status, {}, std::move(body)});
            const auto s = serviceOn(fresh);
            expectError([&] { return p.call(s, "p", std::nullopt); }, expected, p.name + ": " + what);
        };
        const Expected format{p.domain, -1, "Invalid response format"};
        check(200, "Hello, plain text", kNotJson, "not JSON");
        check(200, kHtml503, kNotJson, "HTML");
        check(200, "", kNotJson, "empty body");
        check(200, R"({"id":"x","object":"list","data":[]})", format, "wrong shape");
        check(200, p.emptyList, format, "empty list");
        check(200, p.name == "OpenAI" ? fixture("anthropic-messages-200.json") : fixture("openai-chat-200.json"),
              format, "the other provider's reply");
        check(201, p.replyWith("a fine answer"), {p.domain, 201, "Unknown error"}, "201");
    }
}

TEST_F(ProviderClientsTest, TransportFailuresPassThrough) {
    for (const auto& p : providers()) {
        {
            const auto s = serviceOn(server, 10s, true);
            expectError([&] { return p.call(s, "p", std::nullopt); },
                        {URLError::kDomain, URLError::CannotConnectToHost, "Could not connect to the server."},
                        p.name + " refused");
        }
        {
            LoopbackServer fresh;
            const auto body = p.replyWith(std::string(4000, 'x'));
            fresh.dropAfter("POST", p.path, {200, {}, body}, body.size() / 2);
            const auto s = serviceOn(fresh);
            expectError([&] { return p.call(s, "p", std::nullopt); },
                        {URLError::kDomain, URLError::NetworkConnectionLost, "The network connection was lost."},
                        p.name + " dropped");
        }
        {
            LoopbackServer fresh;
            fresh.stall("POST", p.path);
            const auto s = serviceOn(fresh, 300ms);
            expectError([&] { return p.call(s, "p", std::nullopt); },
                        {URLError::kDomain, URLError::TimedOut, "The request timed out."}, p.name + " stalled");
        }
    }
}

TEST_F(ProviderClientsTest, LargeAnswersAndInvalidUtf8) {
    for (const auto& p : providers()) {
        std::string big;
        big.reserve(5 * 1024 * 1024);
        while (big.size() < 5 * 1024 * 1024) big += "Line of a long answer, ünïcödé included.\n";
        LoopbackServer large;
        large.reply("POST", p.path, {200, {}, p.replyWith("\n" + big)});
        const auto answer = p.call(serviceOn(large), "p", std::nullopt);
        EXPECT_EQ(answer.size(), big.size() - 1) << p.name;
        EXPECT_TRUE(big.starts_with(answer)) << p.name;

        // A stray byte in the answer costs one character, not the answer; one
        // in the prompt or selection is replaced before it goes out.
        LoopbackServer broken;
        std::string reply = p.replyWith("caf@ au lait");
        reply.replace(reply.find('@'), 1, "\xC3");
        broken.reply("POST", p.path, {200, {}, reply});
        EXPECT_EQ(p.call(serviceOn(broken), "bad \xFF prompt", std::string("sel \xC0\x80 end")),
                  "caf\xEF\xBF\xBD au lait")
            << p.name;
        const auto sent = broken.requests().at(0).body;
        nlohmann::json body;
        ASSERT_NO_THROW(body = nlohmann::json::parse(sent)) << p.name;
        EXPECT_NE(sent.find("bad \xEF\xBF\xBD prompt"), std::string::npos) << p.name;
    }
}

OllamaService ollamaOn(LoopbackServer& server, std::chrono::milliseconds timeout = 10s, bool probeRefused = false) {
    OllamaService::Endpoints endpoints;
    endpoints.chat = server.url("/api/chat");
    endpoints.probe = probeRefused ? server.refusedUrl("/api/version") : server.url("/api/version");
    endpoints.timeout = timeout;
    return OllamaService(platform::HttpTransportModule::deferredClient(), endpoints);
}

class OllamaClientTest : public ::testing::Test {
protected:
    static std::string send(const OllamaService& service, const std::string& model = "llama3.2") {
        return service.sendMessage(model, "Hello", std::nullopt, {}, nullptr);
    }
    void serverUp(LoopbackServer& s) { s.reply("GET", "/api/version", {200, {}, fixture("ollama-version-200.json")}); }

    LoopbackServer server;
};

TEST_F(OllamaClientTest, AnswersAfterTheProbe) {
    serverUp(server);
    server.reply("POST", "/api/chat", {200, {}, fixture("ollama-chat-200.json")});
    EXPECT_EQ(send(ollamaOn(server)), "Hello! How are you today?");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].path, "/api/version");
    const auto body = nlohmann::json::parse(requests[1].body);
    EXPECT_EQ(body["model"], "llama3.2");
    EXPECT_EQ(body["stream"], false);
    EXPECT_FALSE(requests[1].header("Authorization"));
}

TEST_F(OllamaClientTest, DownServerIsNotRunningAndNothingIsPosted) {
    const auto down = ollamaOn(server, 10s, true);
    EXPECT_FALSE(down.isRunning());
    expectError([&] { return send(down); }, {"Ollama", -1, "Ollama is not running. Please start Ollama and try again."},
                "refused probe");

    server.stall("GET", "/api/version");
    expectError([&] { return send(ollamaOn(server, 200ms)); },
                {"Ollama", -1, "Ollama is not running. Please start Ollama and try again."}, "stalled probe");
    const auto requests = server.requests();
    EXPECT_TRUE(std::none_of(requests.begin(), requests.end(), [](const auto& r) { return r.method == "POST"; }));
}

TEST_F(OllamaClientTest, ChatFailures) {
    const auto chat = [&](auto script, const Expected& expected, const std::string& label) {
        LoopbackServer fresh;
        serverUp(fresh);
        script(fresh);
        expectError([&] { return send(ollamaOn(fresh, 300ms), "mistral"); }, expected, label);
    };
    const std::string reply = fixture("ollama-chat-200.json");
    chat(
        [&](LoopbackServer& s) {
            s.dropAfter("POST", "/api/chat", {200, {}, reply}, 20);
        },
        {"Ollama", -1, "Could not connect to Ollama. Please make sure it's running."}, "dropped");
    chat([&](LoopbackServer& s) { s.stall("POST", "/api/chat"); },
         {URLError::kDomain, URLError::TimedOut, "The request timed out."}, "stalled");
    chat(
        [&](LoopbackServer& s) {
            s.reply("POST", "/api/chat", {404, {}, fixture("ollama-error-404.json")});
        },
        {"Ollama", 404, "Model 'mistral' not found. Please run 'ollama pull mistral' first."}, "404");
    chat(
        [&](LoopbackServer& s) {
            s.reply("POST", "/api/chat", {500, {}, R"({"error":"llama runner process has terminated"})"});
        },
        {"Ollama", 500, "llama runner process has terminated"}, "500 json");
    chat(
        [&](LoopbackServer& s) {
            s.reply("POST", "/api/chat", {503, {}, kHtml503});
        },
        {"Ollama", 503, "Unknown error"}, "503 html");
    chat([&](LoopbackServer& s) { s.reply("POST", "/api/chat", {200, {}, ""}); }, kNotJson, "empty 200");
    chat(
        [&](LoopbackServer& s) {
            s.reply("POST", "/api/chat", {200, {}, R"({"model":"mistral","done":true})"});
        },
        {"Ollama", -1, "Invalid response format"}, "no message");
}

}  // namespace
}  // namespace core
