// The Gemini client used as a program of its own would use it: a model made
// with no transport or executor of its own answers, streams and chat-streams
// over the shared HTTP client and the shared stream executor, and a stream
// still being read when main returns does not keep the process from ending.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "gemini/Chat.h"
#include "gemini/GenerativeModel.h"
#include "gemini/tests/TestData.h"
#include "testsupport/LoopbackServer.h"

namespace {

using gemini::GenerativeModel;
using testsupport::LoopbackServer;

const std::string kGenerate = "/v1beta/models/gemini-2.0-flash:generateContent";
const std::string kStream = "/v1beta/models/gemini-2.0-flash:streamGenerateContent";

GenerativeModel modelOn(const LoopbackServer& server) {
    return GenerativeModel("gemini-2.0-flash", "test-key", {}, nullptr, server.url(""));
}

std::vector<std::string> texts(gemini::GenerateContentStream stream) {
    std::vector<std::string> texts;
    while (auto chunk = stream.next()) texts.push_back(chunk->text().value_or(""));
    return texts;
}

TEST(GeminiAlone, AModelWithoutTransportOrExecutorAnswersStreamsAndChats) {
    LoopbackServer server;
    server.reply("POST", kGenerate,
                 {200, {{"Content-Type", "application/json"}}, gemini::test::testData("gemini-generate-200.json")});
    server.reply("POST", kStream,
                 {200, {{"Content-Type", "text/event-stream"}}, gemini::test::testData("gemini-stream-200.sse")});
    const auto model = modelOn(server);
    const std::vector<std::string> streamed{"The", " sky is blue because of Rayleigh scattering", "."};

    EXPECT_EQ(model.generateContent({"Hi"}).text(), "Hello! How can I help you today?\n");
    EXPECT_EQ(texts(model.generateContentStream({"Why is the sky blue?"})), streamed);
    const auto chat = model.startChat();
    EXPECT_EQ(texts(chat->sendMessageStream({"Why is the sky blue?"})), streamed);
    EXPECT_EQ(chat->history().size(), 2u);
}

// Last in this program: its server holds the stream open for ever, and main
// returns while the stream executor still reads it. The exit step cancels it;
// CTest's time-out fails the program if exit hangs instead.
TEST(GeminiAlone, ZAStreamAbandonedAtTheEndOfMainDoesNotHoldTheExit) {
    static auto* const server = new LoopbackServer;  // still serving during exit
    const auto body = server->replyInChunks("POST", kStream, 200, {{"Content-Type", "text/event-stream"}});
    auto stream = modelOn(*server).generateContentStream({"Hi"});
    body->release("data: " + nlohmann::json{{"candidates", {{{"content", {{"parts", {{{"text", "one"}}}}}}}}}}.dump() +
                  "\n\n");
    const auto first = stream.next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->text(), "one");
}

}  // namespace
