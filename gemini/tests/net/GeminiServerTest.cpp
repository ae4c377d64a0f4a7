// The client against a Gemini server on 127.0.0.1 that answers with the
// service's own bodies and with the faults of a real network.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "testsupport/LogCapture.h"
#include "../TestData.h"
#include "gemini/Chat.h"
#include "gemini/DecodingError.h"
#include "gemini/GenerativeModel.h"
#include "gemini/RPCError.h"
#include "platform/Executor.h"
#include "platform/HttpTransportModule.h"
#include "testsupport/LoopbackServer.h"

namespace gemini {
namespace {

using nlohmann::json;
using testsupport::LoopbackServer;
using Kind = GenerateContentError::Kind;

const std::string kGenerate = "/v1beta/models/gemini-2.0-flash:generateContent";
const std::string kStream = "/v1beta/models/gemini-2.0-flash:streamGenerateContent";
const std::string kCount = "/v1beta/models/gemini-2.0-flash:countTokens";

std::string answer(const std::string& text, const std::string& finish) {
    return json{{"candidates", {{{"content", {{"role", "model"}, {"parts", {{{"text", text}}}}}}, {"finishReason", finish}}}}}
        .dump();
}

std::string event(const std::string& text) {
    return json{{"candidates", {{{"content", {{"role", "model"}, {"parts", {{{"text", text}}}}}}}}}}.dump();
}

class GeminiServerTest : public ::testing::Test {
protected:
    GenerativeModel model(double timeoutSeconds = 30) const {
        GenerativeModel::Configuration c;
        c.requestOptions = RequestOptions{timeoutSeconds, "v1beta"};
        return GenerativeModel("gemini-2.0-flash", "test-key", c, http, server.url(""), executor);
    }

    GenerateContentError generateError(const GenerativeModel& m) const {
        try {
            (void)m.generateContent({"Hi"});
        } catch (const GenerateContentError& e) {
            return e;
        }
        throw std::runtime_error("the call succeeded");
    }

    // Reads a stream to its end: the texts, then the error if it failed.
    static std::pair<std::vector<std::string>, std::optional<GenerateContentError>> drain(GenerateContentStream stream) {
        std::vector<std::string> texts;
        try {
            while (auto chunk = stream.next()) texts.push_back(chunk->text().value_or(""));
        } catch (const GenerateContentError& e) {
            return {texts, e};
        }
        return {texts, std::nullopt};
    }

    const testsupport::LogCapture quiet;
    LoopbackServer server;
    const std::shared_ptr<platform::HttpClient> http = platform::HttpTransportModule::deferredClient();
    const std::shared_ptr<platform::Executor> executor = std::make_shared<platform::Executor>(http);
};

TEST_F(GeminiServerTest, AGoodAnswerAndWhatWentOnTheWire) {
    server.reply("POST", kGenerate, {200, {{"Content-Type", "application/json"}}, test::testData("gemini-generate-200.json")});
    EXPECT_EQ(model().generateContent({"Hi"}).text(), "Hello! How can I help you today?\n");

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, kGenerate);
    EXPECT_EQ(requests[0].header("x-goog-api-key"), "test-key");
    EXPECT_EQ(requests[0].header("x-goog-api-client"), "gemini-client-cpp/0.5.6");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
    EXPECT_EQ(json::parse(requests[0].body),
              json::parse(R"({"model": "models/gemini-2.0-flash", "contents": [{"role": "user", "parts": [{"text": "Hi"}]}]})"));
}

TEST_F(GeminiServerTest, RepliesTheModelRefuses) {
    server.reply("POST", kGenerate, {200, {}, test::testData("gemini-generate-200-blocked.json")});
    const auto blocked = generateError(model());
    EXPECT_EQ(blocked.kind(), Kind::promptBlocked);
    EXPECT_EQ(blocked.response()->usageMetadata->promptTokenCount, 9);

    for (const auto& [finish, reason] : {std::pair{"MAX_TOKENS", FinishReason::maxTokens}, {"SAFETY", FinishReason::safety}}) {
        server.reply("POST", kGenerate, {200, {}, answer("partial", finish)});
        const auto stopped = generateError(model());
        EXPECT_EQ(stopped.kind(), Kind::responseStoppedEarly);
        EXPECT_EQ(stopped.reason(), reason);
        EXPECT_EQ(stopped.response()->text(), "partial");
    }
    server.reply("POST", kGenerate, {200, {}, R"({"candidates": [], "usageMetadata": {"promptTokenCount": 3}})"});
    EXPECT_TRUE(model().generateContent({"Hi"}).candidates.empty());
}

TEST_F(GeminiServerTest, ServerErrors) {
    server.reply("POST", kGenerate, {400, {}, test::testData("gemini-error-400-api-key-invalid.json")});
    const auto key = generateError(model());
    EXPECT_EQ(key.kind(), Kind::invalidAPIKey);
    EXPECT_EQ(key.message(), "API key not valid. Please pass a valid API key.");

    server.reply("POST", kGenerate, {400, {}, test::testData("gemini-error-400-location.json")});
    EXPECT_EQ(generateError(model()).kind(), Kind::unsupportedUserLocation);

    server.reply("POST", kGenerate, {429, {}, test::testData("gemini-error-429.json")});
    const auto quota = generateError(model());
    EXPECT_EQ(quota.kind(), Kind::internalError);
    ASSERT_NE(quota.underlyingAs<RPCError>(), nullptr);
    EXPECT_EQ(quota.underlyingAs<RPCError>()->status(), RPCStatus::resourceExhausted);
    EXPECT_STREQ(quota.what(), "Resource has been exhausted (e.g. check quota).");

    const testsupport::LogCapture log;
    server.reply("POST", kGenerate, {503, {{"Content-Type", "text/html"}}, "<html><body>503 Service Unavailable</body></html>"});
    const auto html = generateError(model());
    EXPECT_EQ(html.kind(), Kind::internalError);
    EXPECT_NE(html.underlyingAs<DecodingError>(), nullptr);
    EXPECT_EQ(log.errors().back(), "[GeminiClient] Response payload: <html><body>503 Service Unavailable</body></html>");

    // Only 200 is success, even with a good answer in the body.
    server.reply("POST", kGenerate, {201, {}, test::testData("gemini-generate-200.json")});
    const auto created = generateError(model());
    EXPECT_EQ(created.kind(), Kind::internalError);
    EXPECT_NE(created.underlyingAs<DecodingError>(), nullptr);
}

TEST_F(GeminiServerTest, TransportFailures) {
    server.stall("POST", kGenerate);
    const auto stalled = generateError(model(1));
    ASSERT_NE(stalled.underlyingAs<platform::URLError>(), nullptr);
    EXPECT_EQ(stalled.underlyingAs<platform::URLError>()->urlCode(), platform::URLError::TimedOut);
    server.releaseStalls();

    const GenerativeModel refused("gemini-2.0-flash", "k", {}, platform::HttpTransportModule::deferredClient(), server.refusedUrl(""));
    const auto error = generateError(refused);
    ASSERT_NE(error.underlyingAs<platform::URLError>(), nullptr);
    EXPECT_EQ(error.underlyingAs<platform::URLError>()->urlCode(), platform::URLError::CannotConnectToHost);
}

TEST_F(GeminiServerTest, CountTokens) {
    server.reply("POST", kCount, {200, {}, test::testData("gemini-count-tokens-200.json")});
    EXPECT_EQ(model().countTokens({"Hi"}).totalTokens, 31);
    EXPECT_EQ(json::parse(server.requests()[0].body)["generate_content_request"]["model"], "models/gemini-2.0-flash");

    server.reply("POST", kCount, {400, {}, test::testData("gemini-error-400-api-key-invalid.json")});
    try {
        (void)model().countTokens({"Hi"});
        FAIL();
    } catch (const CountTokensError& e) {
        ASSERT_NE(e.underlyingAs<RPCError>(), nullptr);
        EXPECT_EQ(e.underlyingAs<RPCError>()->httpResponseCode(), 400);
    }
    server.reply("POST", kCount, {200, {}, R"({"totalTokens": "31"})"});
    EXPECT_THROW((void)model().countTokens({"Hi"}), CountTokensError);
}

TEST_F(GeminiServerTest, StreamEventsReachTheReaderOneAtATime) {
    auto body = server.replyInChunks("POST", kStream, 200, {{"Content-Type", "text/event-stream"}});
    auto stream = model().generateContentStream({"Hi"});
    ASSERT_TRUE(body->waitUntilRequested());
    // Each event is read before the next one is even on the wire.
    body->release("data: " + event("one") + "\r\n\r\n");
    EXPECT_EQ(stream.next()->text(), "one");
    body->release("data:" + event("two") + "\r");  // no space; CRLF split across writes
    EXPECT_EQ(stream.next()->text(), "two");
    const std::string third = "data: " + event("three");  // one event split across writes
    body->release("\n\r\n" + third.substr(0, 20));
    body->release(third.substr(20));
    body->release("\n\n");
    EXPECT_EQ(stream.next()->text(), "three");
    body->finish();
    EXPECT_EQ(stream.next(), std::nullopt);
    EXPECT_EQ(server.requests()[0].target, kStream + "?alt=sse");
}

TEST_F(GeminiServerTest, TheServicesStreamBody) {
    server.reply("POST", kStream, {200, {{"Content-Type", "text/event-stream"}}, test::testData("gemini-stream-200.sse")});
    const auto [texts, error] = drain(model().generateContentStream({"Why is the sky blue?"}));
    EXPECT_FALSE(error);
    EXPECT_EQ(texts, (std::vector<std::string>{"The", " sky is blue because of Rayleigh scattering", "."}));
}

TEST_F(GeminiServerTest, StreamFailures) {
    // A multi-line error document after some events.
    server.reply("POST", kStream, {200, {}, "data: " + event("a") + "\n\n{\n  \"error\": {\n    \"code\": 500,\n"
                                                "    \"message\": \"Internal error\",\n    \"status\": \"INTERNAL\"\n  }\n}\n"});
    auto [texts, error] = drain(model().generateContentStream({"Hi"}));
    EXPECT_EQ(texts, std::vector<std::string>{"a"});
    ASSERT_TRUE(error);
    ASSERT_NE(error->underlyingAs<RPCError>(), nullptr);
    EXPECT_EQ(error->underlyingAs<RPCError>()->status(), RPCStatus::internalError);

    // A status other than 200 with the service's error document.
    server.reply("POST", kStream, {400, {}, test::testData("gemini-error-400-api-key-invalid.json")});
    std::tie(texts, error) = drain(model().generateContentStream({"Hi"}));
    EXPECT_TRUE(texts.empty());
    EXPECT_EQ(error->kind(), Kind::invalidAPIKey);

    // A connection that drops in the middle of an event.
    const std::string full = "data: " + event("a") + "\n\ndata: " + event("never delivered") + "\n\n";
    server.dropAfter("POST", kStream, {200, {}, full}, full.find("never"));
    std::tie(texts, error) = drain(model().generateContentStream({"Hi"}));
    EXPECT_EQ(texts, std::vector<std::string>{"a"});
    ASSERT_TRUE(error);
    EXPECT_NE(error->underlyingAs<platform::URLError>(), nullptr) << error->what();

    // A stall past the time-out after the first event.
    auto body = server.replyInChunks("POST", kStream);
    auto stream = model(1).generateContentStream({"Hi"});
    body->release("data: " + event("first") + "\n\n");
    EXPECT_EQ(stream.next()->text(), "first");
    try {
        (void)stream.next();
        FAIL();
    } catch (const GenerateContentError& e) {
        ASSERT_NE(e.underlyingAs<platform::URLError>(), nullptr);
        EXPECT_EQ(e.underlyingAs<platform::URLError>()->urlCode(), platform::URLError::TimedOut);
    }
    body->finish();
}

TEST_F(GeminiServerTest, ChatTurnsWholeAndStreamed) {
    auto chat = model().startChat();
    server.reply("POST", kGenerate, {200, {}, answer("Hello", "STOP")});
    (void)chat->sendMessage({"Hi"});
    server.reply("POST", kStream, {200, {}, "data: " + event("Fine, ") + "\n\ndata: " + event("thanks.") + "\n\n"});
    const auto [texts, error] = drain(chat->sendMessageStream({"How are you?"}));
    EXPECT_FALSE(error);
    EXPECT_EQ(texts.size(), 2u);
    const auto history = chat->history();
    ASSERT_EQ(history.size(), 4u);
    EXPECT_EQ(history[3], ModelContent("model", {ModelContent::Part::text("Fine, thanks.")}));
    // The streamed request carried the first exchange.
    EXPECT_EQ(json::parse(server.requests().at(1).body)["contents"].size(), 3u);

    server.reply("POST", kGenerate, {429, {}, test::testData("gemini-error-429.json")});
    EXPECT_THROW((void)chat->sendMessage({"More?"}), GenerateContentError);
    EXPECT_EQ(chat->history().size(), 4u);
}

TEST_F(GeminiServerTest, AReaderThatWalksAwayDoesNotStopTheExchange) {
    auto body = server.replyInChunks("POST", kStream);
    auto chat = model().startChat();
    {
        auto stream = chat->sendMessageStream({"Hi"});
        ASSERT_TRUE(body->waitUntilRequested());
        body->release("data: " + event("left ") + "\n\n");
    }  // the reader is gone; the chat's exchange goes on
    body->release("data: " + event("alone") + "\n\n");
    body->finish();
    for (int i = 0; i < 500 && chat->history().size() < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(chat->history().size(), 2u);
    EXPECT_EQ(chat->history()[1], ModelContent("model", {ModelContent::Part::text("left alone")}));
}

}  // namespace
}  // namespace gemini
