#include <gtest/gtest.h>

#include "testsupport/LogCapture.h"
#include "TestData.h"
#include "gemini/DecodingError.h"
#include "gemini/GenerateContentResponse.h"
#include "gemini/InvalidCandidateError.h"

namespace gemini {
namespace {

using testsupport::LogCapture;
using Part = ModelContent::Part;

GenerateContentResponse decode(const std::string& text) { return GenerateContentResponse::decode(text); }

GenerateContentResponse withParts(std::vector<Part> parts) {
    CandidateResponse candidate;
    candidate.content = ModelContent("model", std::move(parts));
    return GenerateContentResponse{{candidate}, std::nullopt, std::nullopt};
}

TEST(Response, DecodesTheServicesAnswers) {
    const auto good = decode(test::testData("gemini-generate-200.json"));
    ASSERT_EQ(good.candidates.size(), 1u);
    EXPECT_EQ(good.candidates[0].finishReason, FinishReason::stop);
    EXPECT_EQ(good.candidates[0].content.role, "model");
    EXPECT_EQ(good.candidates[0].safetyRatings.size(), 4u);
    EXPECT_EQ(good.text(), "Hello! How can I help you today?\n");
    EXPECT_EQ(good.usageMetadata, (GenerateContentResponse::UsageMetadata{4, 10, 14}));

    const LogCapture log;
    const auto blocked = decode(test::testData("gemini-generate-200-blocked.json"));
    EXPECT_TRUE(blocked.candidates.empty());
    EXPECT_EQ(blocked.promptFeedback->blockReason, PromptFeedback::BlockReason::safety);
    EXPECT_EQ(blocked.promptFeedback->safetyRatings[1].probability, SafetyRating::HarmProbability::high);
    EXPECT_EQ(blocked.text(), std::nullopt);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Could not get text from a response that had no candidates."});
}

TEST(Response, NeedsCandidatesOrPromptFeedback) {
    try {
        (void)decode(R"({"usageMetadata": {"totalTokenCount": 3}})");
        FAIL();
    } catch (const DecodingError& e) {
        EXPECT_EQ(e.kind(), DecodingError::Kind::dataCorrupted);
        EXPECT_EQ(e.debugDescription(),
                  "Failed to decode GenerateContentResponse; missing keys 'candidates' and 'promptFeedback'.");
    }
    EXPECT_TRUE(decode(R"({"candidates": []})").candidates.empty());
    EXPECT_TRUE(decode(R"({"candidates": null})").candidates.empty());
    const auto feedbackOnly = decode(R"({"promptFeedback": {"blockReason": "SAFETY"}})");
    EXPECT_TRUE(feedbackOnly.promptFeedback->safetyRatings.empty());
    EXPECT_THROW(decode("[]"), DecodingError);
}

TEST(Response, CandidateDefaultsAndContentErrors) {
    const LogCapture log;
    const auto empty = decode(R"({"candidates": [{}]})");
    ASSERT_EQ(empty.candidates.size(), 1u);
    EXPECT_EQ(empty.candidates[0].content, ModelContent("user", {}));
    EXPECT_EQ(empty.candidates[0].finishReason, std::nullopt);
    EXPECT_EQ(empty.text(), std::nullopt);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Could not get a text part from the first candidate."});

    auto kindOf = [](const std::string& text) {
        try {
            (void)decode(text);
        } catch (const InvalidCandidateError& e) {
            EXPECT_FALSE(e.underlyingError().debugDescription().empty());
            return e.kind();
        }
        throw std::runtime_error("decoded " + text);
    };
    EXPECT_EQ(kindOf(R"({"candidates": [{"content": {}}]})"), InvalidCandidateError::Kind::emptyContent);
    EXPECT_EQ(kindOf(R"({"candidates": [{"content": {"parts": "x"}}]})"), InvalidCandidateError::Kind::malformedContent);
    EXPECT_EQ(kindOf(R"({"candidates": [{"content": {"role": 1}}]})"), InvalidCandidateError::Kind::malformedContent);
    EXPECT_EQ(kindOf(R"({"candidates": [{"content": []}]})"), InvalidCandidateError::Kind::malformedContent);
}

TEST(Response, EnumerationsAndNumbers) {
    const LogCapture log;
    const auto newReason = decode(R"({"candidates": [{"finishReason": "NEW_REASON"}]})");
    EXPECT_EQ(newReason.candidates[0].finishReason, FinishReason::unknown);
    const auto newBlock = decode(R"({"promptFeedback": {"blockReason": "BLOCKLIST"}})");
    EXPECT_EQ(newBlock.promptFeedback->blockReason, PromptFeedback::BlockReason::unknown);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "[GeminiClient] Unrecognized FinishReason with value \"NEW_REASON\".",
                                "[GeminiClient] Unrecognized BlockReason with value \"BLOCKLIST\".",
                            }));
    EXPECT_THROW(decode(R"({"candidates": [{"finishReason": 7}]})"), DecodingError);
    EXPECT_EQ(decode(R"({"candidates": [], "usageMetadata": {"promptTokenCount": 5}})").usageMetadata,
              (GenerateContentResponse::UsageMetadata{5, 0, 0}));
    // An integer field never truncates a fraction silently.
    EXPECT_THROW(decode(R"({"candidates": [], "usageMetadata": {"promptTokenCount": 2.7}})"), DecodingError);
    EXPECT_EQ(fromRawValue<FinishReason>("MAX_TOKENS"), FinishReason::maxTokens);
    EXPECT_EQ(fromRawValue<FinishReason>("max_tokens"), std::nullopt);
}

TEST(Response, CitationsWithMissingMembersKeepTheAnswer) {
    const auto response = decode(R"({"candidates": [{"content": {"parts": [{"text": "t"}]},
        "citationMetadata": {"citationSources": [
            {"endIndex": 9, "uri": "u", "license": ""},
            {"startIndex": 2, "license": "MIT"},
            {}]}}]})");
    const auto& sources = response.candidates[0].citationMetadata->citationSources;
    ASSERT_EQ(sources.size(), 3u);
    EXPECT_EQ(sources[0], (Citation{0, 9, "u", std::nullopt}));
    EXPECT_EQ(sources[1], (Citation{2, 0, std::nullopt, "MIT"}));
    EXPECT_EQ(sources[2], (Citation{}));
    EXPECT_EQ(response.text(), "t");
    EXPECT_THROW(decode(R"({"candidates": [{"citationMetadata": {}}]})"), DecodingError);
}

TEST(Response, TextJoinsTheFirstCandidatesTextualParts) {
    const Part call(FunctionCall{"f", {}});
    EXPECT_EQ(withParts({Part::text("a"), call, Part::text(""), Part::text("b")}).text(), "a\n\nb");
    EXPECT_EQ(withParts({Part::text("")}).text(), "");
    EXPECT_EQ(withParts({Part(ExecutableCode{"ABC", "x = 1"})}).text(), "```abc\nx = 1\n```");
    EXPECT_EQ(withParts({Part(ExecutableCode{"LANGUAGE_UNSPECIFIED", "x"})}).text(), "```\nx\n```");
    EXPECT_EQ(withParts({Part(CodeExecutionResult{CodeExecutionResult::Outcome::ok, "2"})}).text(), "```\n2\n```");
    EXPECT_EQ(withParts({Part(CodeExecutionResult{CodeExecutionResult::Outcome::ok, ""}), Part::text("z")}).text(),
              "z");

    auto two = withParts({Part::text("first")});
    two.candidates.push_back(withParts({Part::text("second")}).candidates[0]);
    EXPECT_EQ(two.text(), "first");
}

TEST(Response, FunctionCallsOfTheFirstCandidate) {
    const LogCapture log;
    const FunctionCall f{"f", {}}, g{"g", {{"x", JSONValue::number(1)}}};
    const auto response = withParts({Part(f), Part::png("p"), Part(g)});
    EXPECT_EQ(response.functionCalls(), (std::vector<FunctionCall>{f, g}));
    EXPECT_EQ(response.text(), std::nullopt);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Could not get a text part from the first candidate."});
    EXPECT_TRUE(GenerateContentResponse{}.functionCalls().empty());
}

}  // namespace
}  // namespace gemini
