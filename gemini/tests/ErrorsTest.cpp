#include <gtest/gtest.h>

#include "TestData.h"
#include "gemini/DecodingError.h"
#include "gemini/GenerateContentError.h"
#include "gemini/ImageConversionError.h"
#include "gemini/RPCError.h"

namespace gemini {
namespace {

TEST(RPCError, DecodesTheServicesErrorBodies) {
    const auto invalidKey = RPCError::decode(test::testData("gemini-error-400-api-key-invalid.json"));
    EXPECT_EQ(invalidKey.httpResponseCode(), 400);
    EXPECT_EQ(invalidKey.status(), RPCStatus::invalidArgument);
    EXPECT_EQ(invalidKey.message(), "API key not valid. Please pass a valid API key.");
    EXPECT_STREQ(invalidKey.what(), "API key not valid. Please pass a valid API key.");
    ASSERT_EQ(invalidKey.details().size(), 2u);
    ASSERT_TRUE(invalidKey.errorInfo());
    EXPECT_EQ(invalidKey.errorInfo()->reason, "API_KEY_INVALID");
    EXPECT_EQ(invalidKey.errorInfo()->domain, "googleapis.com");

    const auto quota = RPCError::decode(test::testData("gemini-error-429.json"));
    EXPECT_EQ(quota.status(), RPCStatus::resourceExhausted);
    EXPECT_FALSE(quota.errorInfo());
    EXPECT_EQ(RPCError::decode(test::testData("gemini-error-400-location.json")).status(),
              RPCStatus::failedPrecondition);
}

TEST(RPCError, DefaultsAndStrictness) {
    const auto empty = RPCError::decode(R"({"error": {}})");
    EXPECT_EQ(empty.httpResponseCode(), -1);
    EXPECT_EQ(empty.message(), "Unknown error.");
    EXPECT_EQ(empty.status(), RPCStatus::unknown);
    EXPECT_TRUE(empty.details().empty());
    EXPECT_EQ(RPCError::decode(R"({"error": {"status": null, "details": []}})").status(), RPCStatus::unknown);
    EXPECT_EQ(RPCError::decode(R"({"error": {"status": "INTERNAL"}})").status(), RPCStatus::internalError);

    for (const char* body : {R"({})", R"({"error": {"status": "invalid_argument"}})",
                             R"({"error": {"status": "NEW_STATUS"}})", R"({"error": {"code": "400"}})",
                             R"({"error": {"details": [{"reason": "API_KEY_INVALID"}]}})",
                             R"({"error": {"code": 400.5}})", "<html>503</html>"}) {
        EXPECT_THROW(RPCError::decode(body), DecodingError) << body;
    }
}

TEST(RPCError, ErrorInfoIsTheFirstExactTypeMatch) {
    const auto error = RPCError::decode(R"({"error": {"details": [
        {"@type": "type.googleapis.com/google.rpc.errorinfo", "reason": "LOWER"},
        {"@type": "type.googleapis.com/google.rpc.ErrorInfo", "reason": "FIRST"},
        {"@type": "type.googleapis.com/google.rpc.ErrorInfo", "reason": "SECOND"}]}})");
    EXPECT_EQ(error.errorInfo()->reason, "FIRST");
    EXPECT_NE((ErrorDetails{"t", std::nullopt, std::nullopt}), (ErrorDetails{"t", "", std::nullopt}));
}

TEST(ClientErrors, DescriptionsTellTheUserWhatHappened) {
    CandidateResponse stopped;
    stopped.finishReason = FinishReason::maxTokens;
    const GenerateContentResponse response{{stopped}, PromptFeedback{PromptFeedback::BlockReason::safety, {}},
                                           std::nullopt};
    const auto blocked = GenerateContentError::promptBlocked(response);
    EXPECT_EQ(blocked.kind(), GenerateContentError::Kind::promptBlocked);
    EXPECT_EQ(blocked.response(), response);
    EXPECT_STREQ(blocked.what(), "Gemini blocked this prompt for safety reasons. Rephrase it and try again.");

    const auto early = GenerateContentError::responseStoppedEarly(FinishReason::maxTokens, response);
    EXPECT_EQ(early.reason(), FinishReason::maxTokens);
    EXPECT_STREQ(early.what(), "Gemini stopped the answer early because it reached the maximum number of tokens.");
    EXPECT_STREQ(GenerateContentError::responseStoppedEarly(FinishReason::other, response).what(),
                 "Gemini stopped the answer early (reason: OTHER).");

    const auto key = GenerateContentError::invalidAPIKey("API key not valid. Please pass a valid API key.");
    EXPECT_EQ(key.message(), "API key not valid. Please pass a valid API key.");
    EXPECT_STREQ(key.what(), "API key not valid. Please pass a valid API key.");

    // Wrappers show what they wrap and keep it inspectable.
    const auto rpc = GenerateContentError::internalError(
        std::make_exception_ptr(RPCError(429, "Resource has been exhausted (e.g. check quota).",
                                         RPCStatus::resourceExhausted, {})));
    EXPECT_STREQ(rpc.what(), "Resource has been exhausted (e.g. check quota).");
    ASSERT_NE(rpc.underlyingAs<RPCError>(), nullptr);
    EXPECT_EQ(rpc.underlyingAs<RPCError>()->httpResponseCode(), 429);
    EXPECT_EQ(rpc.underlyingAs<ImageConversionError>(), nullptr);

    const auto image =
        GenerateContentError::promptImageContentError(std::make_exception_ptr(ImageConversionError::invalidUnderlyingImage()));
    EXPECT_STREQ(image.what(), ImageConversionError::invalidUnderlyingImage().what());
    const auto count = CountTokensError::internalError(std::make_exception_ptr(
        DecodingError(DecodingError::Kind::keyNotFound, {}, "No value associated with key \"totalTokens\".")));
    EXPECT_NE(std::string(count.what()).find("totalTokens"), std::string::npos);
    EXPECT_NE(count.underlyingAs<DecodingError>(), nullptr);

    // Every one of them is a platform error the panel can show.
    const platform::Error& asPlatform = GenerateContentError::unsupportedUserLocation();
    EXPECT_NE(std::string(asPlatform.what()).find("User location is not supported"), std::string::npos);
}

}  // namespace
}  // namespace gemini
