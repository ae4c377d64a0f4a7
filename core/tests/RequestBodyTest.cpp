#include <algorithm>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "core/JsonError.h"
#include "core/ProviderWire.h"
#include "core/RequestBody.h"

namespace core {
namespace {

ChatMessage message(MessageRole role, std::string content) {
    return ChatMessage{platform::Uuid::random(), std::move(content), role, 0};
}

TEST(BaseSystemPrompt, HasTheFixedShape) {
    EXPECT_EQ(baseSystemPrompt.size(), 1018u);
    EXPECT_EQ(std::count(baseSystemPrompt.begin(), baseSystemPrompt.end(), '\n'), 13);
    EXPECT_TRUE(baseSystemPrompt.starts_with("You are an AI assistant integrated into a Linux desktop tray app"));
    EXPECT_TRUE(baseSystemPrompt.ends_with("so optimize for efficiency and clarity."));
    EXPECT_NE(baseSystemPrompt.find("results\n2. When editing"), std::string_view::npos);
}

TEST(SystemMessage, AddsInstructionsBeforeSelection) {
    RequestSettings settings;
    const std::string base(baseSystemPrompt);

    EXPECT_EQ(buildSystemMessage(std::nullopt, nullptr), base);
    EXPECT_EQ(buildSystemMessage(std::nullopt, &settings), base) << "empty instructions add nothing";

    settings.customSystemMessage = "   ";
    EXPECT_EQ(buildSystemMessage(std::nullopt, &settings), base + "\n\nAdditional Instructions:\n   ");

    settings.customSystemMessage = "Answer in French.";
    EXPECT_EQ(buildSystemMessage(std::string("the text"), &settings),
              base + "\n\nAdditional Instructions:\nAnswer in French." +
                  "\n\nThe user has selected the following text:\n\"the text\"\n"
                  "Process their next prompt in this context.");
}

TEST(SystemMessage, EmptySelectionStillAddsTheParagraph) {
    const auto withEmpty = buildSystemMessage(std::string(), nullptr);
    EXPECT_TRUE(withEmpty.ends_with(":\n\"\"\nProcess their next prompt in this context."));
    EXPECT_EQ(selectionParagraph("").size(), 45u + 44u);
    EXPECT_EQ(instructionsParagraph("").size(), 27u);
}

TEST(Messages, KeepHistoryOrderWithEveryRole) {
    const std::vector<ChatMessage> history{message(MessageRole::system, "selection"),
                                           message(MessageRole::user, "first"),
                                           message(MessageRole::assistant, "answer")};
    const auto messages = buildMessages("second", std::nullopt, history, nullptr);
    const std::vector<RequestMessage> expected{{"system", std::string(baseSystemPrompt)},
                                               {"system", "selection"},
                                               {"user", "first"},
                                               {"assistant", "answer"},
                                               {"user", "second"}};
    EXPECT_EQ(messages, expected);
    EXPECT_EQ(buildMessages("p", std::nullopt, {}, nullptr).size(), 2u);
}

TEST(RequestBodyJson, DefaultsWithoutSettings) {
    const auto body = makeRequestBody("Hi", std::nullopt, {}, nullptr);
    const auto expected = nlohmann::json::parse(
        R"({"temperature":0.7,"max_tokens":2000,"messages":[{"role":"system","content":)" +
        nlohmann::json(std::string(baseSystemPrompt)).dump() + R"(},{"role":"user","content":"Hi"}]})");
    EXPECT_EQ(body, expected);
    EXPECT_TRUE(body["max_tokens"].is_number_integer());
}

TEST(RequestBodyJson, SendsSettingsValuesAsTheyAre) {
    RequestSettings settings;
    settings.temperature = 0.0;
    settings.maxTokens = 0;
    auto body = makeRequestBody("Hi", std::nullopt, {}, &settings);
    EXPECT_EQ(body["temperature"], 0.0);
    EXPECT_EQ(body["max_tokens"], 0);

    // Numbers must read on the wire as the user set them, not as a binary
    // approximation of them.
    const std::pair<double, std::string> cases[] = {{0.7, "0.7"}, {0.1, "0.1"}, {0.3, "0.3"},
                                                    {1.0, "1.0"}, {1.3, "1.3"}, {0.0, "0.0"}};
    for (const auto& [value, text] : cases) {
        settings.temperature = value;
        const auto wire = dumpRequestJson(makeRequestBody("Hi", std::nullopt, {}, &settings));
        const auto key = "\"temperature\":" + text;
        const auto at = wire.find(key);
        ASSERT_NE(at, std::string::npos) << wire;
        EXPECT_TRUE(wire[at + key.size()] == ',' || wire[at + key.size()] == '}') << wire;
    }
}

TEST(RequestBodyJson, InvalidUtf8NeverThrows) {
    const std::string bad = "caf\xC3 \xFF\xFE end";
    const std::vector<ChatMessage> history{message(MessageRole::assistant, bad)};
    std::string wire;
    ASSERT_NO_THROW(wire = dumpRequestJson(makeRequestBody(bad, bad, history, nullptr)));
    const auto back = nlohmann::json::parse(wire);
    EXPECT_EQ(back["messages"][2]["content"], "caf\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD end");
}

TEST(ReplyJson, ParsesWithReplacementAndReportsNonJson) {
    EXPECT_EQ(parseReplyJson("{\"a\":\"x\xFFy\"}")["a"], "x\xEF\xBF\xBDy");
    for (std::string_view notJson : {"", "<html>", "{\"a\":", "null x"}) {
        try {
            parseReplyJson(notJson);
            ADD_FAILURE() << "parsed: " << notJson;
        } catch (const JsonError& e) {
            EXPECT_EQ(e.domain(), "NSCocoaErrorDomain");
            EXPECT_EQ(e.code(), 3840);
            EXPECT_FALSE(e.detail().empty());
        }
    }
}

}  // namespace
}  // namespace core
