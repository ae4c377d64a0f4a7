#include <gtest/gtest.h>

#include "testsupport/LogCapture.h"
#include "TestData.h"
#include "gemini/DecodingError.h"
#include "gemini/EncodingError.h"
#include "gemini/GenerativeAIService.h"
#include "gemini/GenerativeModel.h"
#include "gemini/JsonWriter.h"
#include "gemini/SnakeCase.h"
#include "platform/fake/FakeHttpClient.h"

namespace gemini {
namespace {

using nlohmann::json;
using Part = ModelContent::Part;

GenerateContentRequest plainRequest() {
    GenerateContentRequest request;
    request.model = "models/gemini-1.5-flash";
    request.contents = {ModelContent({Part::text("Hi")})};
    request.options = RequestOptions{300, "v1beta"};
    return request;
}

TEST(Requests, URLsFollowTheModelAndTheCall) {
    auto request = plainRequest();
    const std::string base = "https://generativelanguage.googleapis.com";
    EXPECT_EQ(request.url(base), base + "/v1beta/models/gemini-1.5-flash:generateContent");
    request.isStreaming = true;
    EXPECT_EQ(request.url(base), base + "/v1beta/models/gemini-1.5-flash:streamGenerateContent?alt=sse");
    const CountTokensRequest count{request.model, plainRequest(), request.options};
    EXPECT_EQ(count.url(base), base + "/v1beta/models/gemini-1.5-flash:countTokens");
}

TEST(Requests, ModelNamesThatMakeNoURLAreRefused) {
    for (const char* name : {"gemini pro", "gemini?key=x", "gemini#frag", "gemini\n", "gem\tini", "gemini\x7f",
                             "gemini\xc3\xa9"}) {
        auto request = plainRequest();
        request.model = std::string("models/") + name;
        try {
            (void)request.url("https://example.invalid");
            FAIL() << name;
        } catch (const platform::URLError& e) {
            EXPECT_EQ(e.urlCode(), platform::URLError::BadURL);
            EXPECT_NE(std::string(e.what()).find(name), std::string::npos);
        }
    }
    // Through the model nothing is sent, and the caller sees a clear error.
    const testsupport::LogCapture quiet;
    auto http = std::make_shared<platform::FakeHttpClient>();
    const GenerativeModel model("bad name", "key", {}, http, "http://127.0.0.1:1");
    try {
        (void)model.generateContent({"hi"});
        FAIL();
    } catch (const GenerateContentError& e) {
        EXPECT_EQ(e.kind(), GenerateContentError::Kind::internalError);
        EXPECT_NE(e.underlyingAs<platform::URLError>(), nullptr);
    }
    EXPECT_TRUE(http->requests().empty());
}

TEST(Requests, BodiesWriteOnlyWhatIsPresent) {
    auto request = plainRequest();
    const json minimal = json::parse(JsonWriter::serialize(request.toJson()));
    EXPECT_EQ(minimal, json::parse(R"({"model": "models/gemini-1.5-flash",
                                      "contents": [{"role": "user", "parts": [{"text": "Hi"}]}]})"));
    request.isStreaming = true;
    EXPECT_EQ(json::parse(JsonWriter::serialize(request.toJson())), minimal);
    request.contents.clear();
    EXPECT_EQ(request.toJson()["contents"], json::array());

    auto full = plainRequest();
    full.generationConfig = GenerationConfig{};
    full.safetySettings = std::vector<SafetySetting>{};
    full.tools = std::vector<Tool>{Tool{}};
    full.toolConfig = ToolConfig{};
    full.systemInstruction = GenerativeModel::systemInstruction({});
    const json body = full.toJson();
    std::set<std::string> keys;
    for (auto it = body.begin(); it != body.end(); ++it) keys.insert(it.key());
    std::set<std::string> expected;
    for (const char* key : {"model", "contents", "generationConfig", "safetySettings", "tools", "toolConfig",
                            "systemInstruction"})
        expected.insert(snakeCase(key));
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(body["safety_settings"], json::array());
    EXPECT_EQ(body["system_instruction"], json::parse(R"({"role": "system", "parts": []})"));

    const CountTokensRequest count{full.model, full, full.options};
    const json countBody = count.toJson();
    ASSERT_EQ(countBody.size(), 1u);
    EXPECT_EQ(countBody["generate_content_request"], body);
    EXPECT_EQ(countBody.begin().key(), snakeCase("generateContentRequest"));
}

TEST(Requests, TheHTTPRequestCarriesKeyClientAndTimeout) {
    const GenerativeAIService service("secret", std::make_shared<platform::FakeHttpClient>(),
                                      "https://generativelanguage.googleapis.com/");
    const auto http = service.urlRequest(plainRequest());
    EXPECT_EQ(http.method, "POST");
    EXPECT_EQ(http.url, "https://generativelanguage.googleapis.com/v1beta/models/gemini-1.5-flash:generateContent");
    EXPECT_EQ(http.headers, (platform::HttpHeaders{{"x-goog-api-key", "secret"},
                                                   {"x-goog-api-client", "gemini-client-cpp/0.5.6"},
                                                   {"Content-Type", "application/json"}}));
    EXPECT_EQ(http.timeout, std::chrono::milliseconds(300'000));
    EXPECT_EQ(http.body.find_first_of(" \n"), std::string::npos) << http.body;

    auto bad = plainRequest();
    GenerationConfig config;
    config.temperature = NAN;
    bad.generationConfig = config;
    EXPECT_THROW((void)service.urlRequest(bad), EncodingError);
}

TEST(Requests, CountTokensAnswers) {
    EXPECT_EQ(CountTokensResponse::decode(test::testData("gemini-count-tokens-200.json")).totalTokens, 31);
    for (const char* body : {R"({"total_tokens": 31})", "{}"}) {
        try {
            (void)CountTokensResponse::decode(body);
            FAIL();
        } catch (const DecodingError& e) {
            EXPECT_EQ(e.kind(), DecodingError::Kind::keyNotFound);
        }
    }
    for (const char* body : {R"({"totalTokens": "31"})", R"({"totalTokens": 3.5})", R"({"totalTokens": null})"})
        EXPECT_THROW((void)CountTokensResponse::decode(body), DecodingError) << body;
}

}  // namespace
}  // namespace gemini
