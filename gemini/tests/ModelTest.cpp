#include <gtest/gtest.h>

#include <algorithm>

#include "testsupport/LogCapture.h"
#include "TestData.h"
#include "gemini/Chat.h"
#include "gemini/DecodingError.h"
#include "gemini/GenerativeModel.h"
#include "gemini/ImageConversionError.h"
#include "gemini/Logging.h"
#include "gemini/RPCError.h"
#include "platform/Executor.h"
#include "platform/fake/FakeHttpClient.h"

namespace gemini {
namespace {

using nlohmann::json;
using Part = ModelContent::Part;

std::string answer(const std::string& text, const std::string& finish = "STOP") {
    return json{{"candidates",
                 {{{"content", {{"role", "model"}, {"parts", {{{"text", text}}}}}}, {"finishReason", finish}}}}}
        .dump();
}

class ModelTest : public ::testing::Test {
protected:
    GenerativeModel model(std::string_view name = "gemini-1.5-flash", GenerativeModel::Configuration c = {}) {
        return GenerativeModel(name, "key", std::move(c), http, "https://gemini.test", executor);
    }
    json sentBody(std::size_t i = 0) const { return json::parse(http->requests().at(i).body); }

    const testsupport::LogCapture quiet;
    std::shared_ptr<platform::FakeHttpClient> http = std::make_shared<platform::FakeHttpClient>();
    std::shared_ptr<platform::Executor> executor = std::make_shared<platform::Executor>(http);
};

TEST_F(ModelTest, ResourceNamesAndTheCreationLog) {
    const testsupport::LogCapture log;
    EXPECT_EQ(model("gemini-1.5-flash").modelResourceName(), "models/gemini-1.5-flash");
    EXPECT_EQ(model("models/gemini-1.5-flash").modelResourceName(), "models/gemini-1.5-flash");
    EXPECT_EQ(model("tunedModels/my-model").modelResourceName(), "tunedModels/my-model");
    EXPECT_EQ(model("").modelResourceName(), "models/");
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 4u);  // the verbose line is silent without the launch argument
    EXPECT_EQ(lines[0].message,
              "[GeminiClient] Model gemini-1.5-flash initialized. To enable additional logging, add "
              "`-GeminiClientDebugLogEnabled` as a command-line argument.");
    EXPECT_EQ(lines[0].level, platform::LogLevel::Info);
}

TEST_F(ModelTest, SendsOneUserTurnWithTheModelsConfiguration) {
    GenerativeModel::Configuration c;
    c.systemInstruction = GenerativeModel::systemInstruction({"be brief", "be kind"});
    c.generationConfig = GenerationConfig{};
    c.generationConfig->temperature = 0.7f;
    http->enqueue(200, answer("Hello"));
    const auto response = model("gemini-1.5-flash", c).generateContent({"a", Part::png("p"), "b"});
    EXPECT_EQ(response.text(), "Hello");
    const auto body = sentBody();
    EXPECT_EQ(body["contents"], json::parse(R"([{"role": "user", "parts": [{"text": "a"},
        {"inline_data": {"mime_type": "image/png", "data": "cA=="}}, {"text": "b"}]}])"));
    EXPECT_EQ(body["system_instruction"],
              json::parse(R"({"role": "system", "parts": [{"text": "be brief"}, {"text": "be kind"}]})"));
    EXPECT_NE(http->requests()[0].body.find("{\"temperature\":0.7}"), std::string::npos) << http->requests()[0].body;
}

TEST_F(ModelTest, ResponseChecks) {
    http->enqueue(200, test::testData("gemini-generate-200-blocked.json"));
    try {
        (void)model().generateContent({"x"});
        FAIL();
    } catch (const GenerateContentError& e) {
        EXPECT_EQ(e.kind(), GenerateContentError::Kind::promptBlocked);
        EXPECT_EQ(e.response()->promptFeedback->blockReason, PromptFeedback::BlockReason::safety);
    }
    // Blocked wins over a finished candidate.
    http->enqueue(200, R"({"promptFeedback": {"blockReason": "OTHER"}, "candidates": [{"finishReason": "STOP"}]})");
    try {
        (void)model().generateContent({"x"});
        FAIL();
    } catch (const GenerateContentError& e) {
        EXPECT_EQ(e.kind(), GenerateContentError::Kind::promptBlocked);
    }
    http->enqueue(200, answer("complete text", "MAX_TOKENS"));
    try {
        (void)model().generateContent({"x"});
        FAIL();
    } catch (const GenerateContentError& e) {
        EXPECT_EQ(e.kind(), GenerateContentError::Kind::responseStoppedEarly);
        EXPECT_EQ(e.reason(), FinishReason::maxTokens);
        EXPECT_EQ(e.response()->text(), "complete text");
    }
    // Only the first candidate counts; no candidates at all is no error.
    http->enqueue(200, R"({"candidates": [{"finishReason": "STOP"}, {"finishReason": "SAFETY"}]})");
    EXPECT_NO_THROW((void)model().generateContent({"x"}));
    http->enqueue(200, R"({"candidates": []})");
    EXPECT_NO_THROW((void)model().generateContent({"x"}));
    http->enqueue(200, R"({"candidates": [{"content": {"parts": [{"text": "no reason"}]}}]})");
    EXPECT_EQ(model().generateContent({"x"}).text(), "no reason");
}

TEST_F(ModelTest, ErrorMapping) {
    auto mapped = [](RPCError error) { return GenerativeModel::generateContentError(std::make_exception_ptr(error)); };
    const ErrorDetails keyInvalid{std::string(RPCError::kErrorInfoType), "API_KEY_INVALID", "googleapis.com"};
    const std::string location = "User location is not supported for the API use.";

    const auto key = mapped(RPCError(400, "API key not valid.", RPCStatus::invalidArgument, {keyInvalid}));
    EXPECT_EQ(key.kind(), GenerateContentError::Kind::invalidAPIKey);
    EXPECT_EQ(key.message(), "API key not valid.");
    EXPECT_EQ(mapped(RPCError(400, location, RPCStatus::failedPrecondition, {keyInvalid})).kind(),
              GenerateContentError::Kind::invalidAPIKey);
    EXPECT_EQ(mapped(RPCError(400, location, RPCStatus::failedPrecondition, {})).kind(),
              GenerateContentError::Kind::unsupportedUserLocation);
    for (const auto& near : {location + " ", std::string("user location is not supported for the API use.")})
        EXPECT_EQ(mapped(RPCError(400, near, RPCStatus::failedPrecondition, {})).kind(),
                  GenerateContentError::Kind::internalError);
    const auto wrapped = GenerativeModel::generateContentError(std::make_exception_ptr(
        GenerateContentError::unsupportedUserLocation()));
    EXPECT_EQ(wrapped.kind(), GenerateContentError::Kind::unsupportedUserLocation);

    // Through a real call: the key error, and count-tokens wrapping it.
    http->enqueue(400, test::testData("gemini-error-400-api-key-invalid.json"));
    try {
        (void)model().generateContent({"x"});
        FAIL();
    } catch (const GenerateContentError& e) {
        EXPECT_EQ(e.kind(), GenerateContentError::Kind::invalidAPIKey);
        EXPECT_STREQ(e.what(), "API key not valid. Please pass a valid API key.");
    }
    http->enqueue(400, test::testData("gemini-error-400-api-key-invalid.json"));
    try {
        (void)model().countTokens({"x"});
        FAIL();
    } catch (const CountTokensError& e) {
        ASSERT_NE(e.underlyingAs<RPCError>(), nullptr);
        EXPECT_EQ(e.underlyingAs<RPCError>()->errorInfo()->reason, "API_KEY_INVALID");
    }
    // A reply that is no HTTP answer at all.
    http->enqueue(platform::HttpResponse{});
    try {
        (void)model().generateContent({"x"});
        FAIL();
    } catch (const GenerateContentError& e) {
        EXPECT_EQ(e.kind(), GenerateContentError::Kind::internalError);
        EXPECT_STREQ(e.what(), "Response was not an HTTP response.");
    }
}

TEST_F(ModelTest, AnErrorBodyIsLoggedEscapedAndCut) {
    const std::string body = "\x1b]0;owned\x07\x1b[2J" + std::string(5000, 'x');
    http->enqueue(503, body);
    const testsupport::LogCapture log;
    EXPECT_ANY_THROW((void)model().generateContent({"x"}));
    const auto errors = log.errors();
    ASSERT_FALSE(errors.empty());
    const std::string kept = "\\x1b]0;owned\\x07\\x1b[2J" + std::string(277, 'x');
    EXPECT_EQ(errors.back(), "[GeminiClient] Response payload: " + kept + "… (5014 bytes in all)");
}

TEST_F(ModelTest, ImagesThatDoNotConvert) {
    const Image broken(0, 0, Image::PixelFormat::rgb8, "");
    try {
        (void)model().generateContent({"look", broken});
        FAIL();
    } catch (const GenerateContentError& e) {
        EXPECT_EQ(e.kind(), GenerateContentError::Kind::promptImageContentError);
        EXPECT_NE(e.underlyingAs<ImageConversionError>(), nullptr);
    }
    auto stream = model().generateContentStream({broken});
    try {
        (void)stream.next();
        FAIL();
    } catch (const GenerateContentError& e) {
        EXPECT_EQ(e.kind(), GenerateContentError::Kind::promptImageContentError);
    }
    EXPECT_EQ(stream.next(), std::nullopt);
    EXPECT_THROW((void)model().countTokens({broken}), CountTokensError);
    // A producer that fails is an internal error, and sends nothing.
    auto failing = model().generateContentStream(
        GenerativeModel::ContentsProducer([]() -> std::vector<ModelContent> { throw std::runtime_error("no"); }));
    try {
        (void)failing.next();
        FAIL();
    } catch (const GenerateContentError& e) {
        EXPECT_EQ(e.kind(), GenerateContentError::Kind::internalError);
    }
    EXPECT_TRUE(http->requests().empty());
}

TEST_F(ModelTest, CountTokensSendsTheFullRequest) {
    http->enqueue(200, test::testData("gemini-count-tokens-200.json"));
    EXPECT_EQ(model().countTokens({"a"}).totalTokens, 31);
    const auto request = http->requests().at(0);
    EXPECT_EQ(request.url, "https://gemini.test/v1beta/models/gemini-1.5-flash:countTokens");
    EXPECT_EQ(sentBody()["generate_content_request"]["model"], "models/gemini-1.5-flash");
}

TEST_F(ModelTest, StreamsApplyChecksAfterEarlierChunks) {
    platform::FakeHttpClient::StreamScript script;
    script.head.status = 200;
    script.chunks = {"data: " + answer("a", "") + "\n\n", "data: " + answer("b", "") + "\n\n",
                     "data: " + answer("c", "SAFETY") + "\n\n", "data: " + answer("never") + "\n\n"};
    // A finish reason of "" is no table value: unknown -> early stop. Use chunks
    // without a finish reason for the first two.
    script.chunks[0] = "data: {\"candidates\": [{\"content\": {\"parts\": [{\"text\": \"a\"}]}}]}\n\n";
    script.chunks[1] = "data:{\"candidates\": [{\"content\": {\"parts\": [{\"text\": \"b\"}]}}]}\r\n\r\n";
    http->enqueueStream(script);
    auto stream = model().generateContentStream({"x"});
    EXPECT_EQ(stream.next()->text(), "a");
    EXPECT_EQ(stream.next()->text(), "b");
    try {
        (void)stream.next();
        FAIL();
    } catch (const GenerateContentError& e) {
        EXPECT_EQ(e.kind(), GenerateContentError::Kind::responseStoppedEarly);
        EXPECT_EQ(e.response()->text(), "c");
    }
    EXPECT_EQ(stream.next(), std::nullopt);
    EXPECT_EQ(http->requests().at(0).url,
              "https://gemini.test/v1beta/models/gemini-1.5-flash:streamGenerateContent?alt=sse");
}

TEST_F(ModelTest, StreamLineRules) {
    auto run = [&](std::vector<std::string> chunks, int status = 200) {
        platform::FakeHttpClient::StreamScript script;
        script.head.status = status;
        script.chunks = std::move(chunks);
        http->enqueueStream(script);
        auto stream = model().generateContentStream({"x"});
        std::vector<std::string> texts;
        try {
            while (auto chunk = stream.next()) texts.push_back(chunk->text().value_or("-"));
        } catch (const GenerateContentError& e) {
            texts.push_back(e.underlyingAs<RPCError>()         ? "RPCError " + e.underlyingAs<RPCError>()->message()
                            : e.underlyingAs<DecodingError>() ? std::string("DecodingError")
                                                               : std::string("other ") + e.what());
        }
        return texts;
    };
    const std::string event = R"({"candidates": [{"content": {"parts": [{"text": "t"}]}}]})";
    EXPECT_EQ(run({"data: " + event + "\n\n" + "data: " + event + "\n\n"}), (std::vector<std::string>{"t", "t"}));
    // Not events: a space before "data:", a capital D, an event name.
    EXPECT_EQ(run({" data: " + event + "\n"}), std::vector<std::string>{"DecodingError"});
    EXPECT_EQ(run({"Data: " + event + "\n"}), std::vector<std::string>{"DecodingError"});
    EXPECT_EQ(run({"data: " + event + "\nevent: message\n"}), (std::vector<std::string>{"t", "DecodingError"}));
    // A JSON error spread over lines after the events, joined without separators.
    EXPECT_EQ(run({"data: " + event + "\n", "{\"error\": {\n  \"code\": 500,\n", "  \"message\": \"boom\"\n}}\n"}),
              (std::vector<std::string>{"t", "RPCError boom"}));
    // The first event that does not decode ends the stream.
    EXPECT_EQ(run({"data: {\"nope\": 1}\n", "data: " + event + "\n"}), std::vector<std::string>{"DecodingError"});
    // A status other than 200 with an error document.
    EXPECT_EQ(run({test::testData("gemini-error-429.json")}, 429),
              std::vector<std::string>{"RPCError Resource has been exhausted (e.g. check quota)."});
    // A transport failure mid-body ends the stream with it.
    platform::FakeHttpClient::StreamScript dropped;
    dropped.head.status = 200;
    dropped.chunks = {"data: " + event + "\n", "data: {\"cand"};
    dropped.error = platform::URLError(platform::URLError::NetworkConnectionLost);
    http->enqueueStream(dropped);
    auto stream = model().generateContentStream({"x"});
    EXPECT_EQ(stream.next()->text(), "t");
    try {
        (void)stream.next();
        FAIL();
    } catch (const GenerateContentError& e) {
        ASSERT_NE(e.underlyingAs<platform::URLError>(), nullptr);
        EXPECT_EQ(e.underlyingAs<platform::URLError>()->urlCode(), platform::URLError::NetworkConnectionLost);
    }
}

TEST_F(ModelTest, TheDebugArgumentLogsEveryStreamLineOnTheNetworkLogger) {
    Logging::setLaunchArguments({"quillary", "-GeminiClientDebugLogEnabled"});
    const testsupport::LogCapture log;
    platform::FakeHttpClient::StreamScript script;
    script.head.status = 200;
    script.chunks = {"data: {\"candidates\": []}\n\n"};
    http->enqueueStream(script);
    auto stream = model().generateContentStream({"x"});
    while (stream.next()) {
    }
    Logging::setLaunchArguments({});
    std::vector<std::string> network;
    for (const auto& line : log.lines())
        if (line.category == "NetworkResponse") network.push_back(line.message);
    EXPECT_EQ(network, std::vector<std::string>{"[GeminiClient] Stream response: data: {\"candidates\": []}"});
    const auto messages = log.messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), "[GeminiClient] Verbose logging enabled."), messages.end());
}

class ChatTest : public ModelTest {};

TEST_F(ChatTest, SuccessfulTurnsGrowTheHistory) {
    auto chat = model().startChat();
    EXPECT_TRUE(chat->history().empty());
    http->enqueue(200, R"({"candidates": [{"content": {"role": "user", "parts": [{"text": "Hello"}]}},
                                         {"content": {"parts": [{"text": "other"}]}}]})");
    const auto response = chat->sendMessage({"Hi"});
    EXPECT_EQ(response.candidates.size(), 2u);
    EXPECT_EQ(chat->history(), (std::vector<ModelContent>{ModelContent("user", {Part::text("Hi")}),
                                                          ModelContent("model", {Part::text("Hello")})}));

    http->enqueue(200, R"({"candidates": [{}]})");
    (void)chat->sendMessage(std::vector<ModelContent>{ModelContent(std::nullopt, {Part::text("a")}),
                                                      ModelContent("system", {Part::text("s")})});
    const auto history = chat->history();
    ASSERT_EQ(history.size(), 5u);
    EXPECT_EQ(history[2].role, "user");
    EXPECT_EQ(history[3].role, "system");
    EXPECT_EQ(history[4], ModelContent("model", {}));
    // The second request carried the first exchange.
    EXPECT_EQ(sentBody(1)["contents"].size(), 4u);
}

TEST_F(ChatTest, FailedTurnsLeaveTheHistory) {
    auto chat = model().startChat({ModelContent("user", {Part::text("earlier")})});
    http->enqueue(200, R"({"candidates": []})");
    try {
        (void)chat->sendMessage({"Hi"});
        FAIL();
    } catch (const GenerateContentError& e) {
        EXPECT_EQ(e.kind(), GenerateContentError::Kind::internalError);
        EXPECT_STREQ(e.what(), "No candidates with content available.");
    }
    http->enqueue(429, test::testData("gemini-error-429.json"));
    EXPECT_THROW((void)chat->sendMessage({"Hi"}), GenerateContentError);
    EXPECT_THROW((void)chat->sendMessage({Image(0, 0, Image::PixelFormat::rgb8, "")}), GenerateContentError);
    EXPECT_EQ(chat->history().size(), 1u);
}

std::vector<GenerateContentResponse> drain(GenerateContentStream& stream) {
    std::vector<GenerateContentResponse> chunks;
    while (auto chunk = stream.next()) chunks.push_back(*chunk);
    return chunks;
}

TEST_F(ChatTest, StreamedTurnsRecordOneMergedReply) {
    auto chat = model().startChat();
    platform::FakeHttpClient::StreamScript script;
    script.head.status = 200;
    auto event = [](const std::string& partsJson) {
        return "data: {\"candidates\": [{\"content\": {\"role\": \"model\", \"parts\": " + partsJson + "}}]}\n\n";
    };
    script.chunks = {event(R"([{"text": "a"}])"), event(R"([{"functionCall": {"name": "f"}}])"),
                     event(R"([{"text": "b"}, {"text": ""}])"), "data: {\"candidates\": []}\n\n",
                     event(R"([{"text": "c"}])")};
    http->enqueueStream(script);
    auto stream = chat->sendMessageStream({"Hi"});
    EXPECT_EQ(drain(stream).size(), 5u);
    // The history is written before the stream ends.
    EXPECT_EQ(chat->history(),
              (std::vector<ModelContent>{
                  ModelContent("user", {Part::text("Hi")}),
                  ModelContent("model", {Part::text("a"), Part(FunctionCall{"f", {}}), Part::text("bc")})}));

    platform::FakeHttpClient::StreamScript failing;
    failing.head.status = 200;
    failing.chunks = {event(R"([{"text": "x"}])"), event(R"([{"text": "y"}])")};
    failing.error = platform::URLError(platform::URLError::NetworkConnectionLost);
    http->enqueueStream(failing);
    auto second = chat->sendMessageStream({"again"});
    EXPECT_EQ(second.next()->text(), "x");
    EXPECT_EQ(second.next()->text(), "y");
    EXPECT_THROW((void)second.next(), GenerateContentError);
    EXPECT_EQ(chat->history().size(), 2u);

    auto image = chat->sendMessageStream({Image(0, 0, Image::PixelFormat::rgb8, "")});
    try {
        (void)image.next();
        FAIL();
    } catch (const GenerateContentError& e) {
        EXPECT_EQ(e.kind(), GenerateContentError::Kind::promptImageContentError);
    }
}

TEST_F(ChatTest, MergingStreamedReplies) {
    EXPECT_EQ(Chat::mergeStreamedReply({}), ModelContent("model", {}));
    EXPECT_EQ(Chat::mergeStreamedReply({ModelContent("model", {Part::text("Hel")}), ModelContent("user", {Part::text("lo")}),
                                        ModelContent(std::nullopt, {Part::text("!")})}),
              ModelContent("model", {Part::text("Hello!")}));
    EXPECT_EQ(Chat::mergeStreamedReply({ModelContent({Part::text(""), Part::png("p"), Part::text("")})}),
              ModelContent("model", {Part::png("p")}));
}

}  // namespace
}  // namespace gemini
