#include <gtest/gtest.h>

#include <cmath>

#include "testsupport/LogCapture.h"
#include "gemini/DecodingError.h"
#include "gemini/EncodingError.h"
#include "gemini/ExecutableCode.h"
#include "gemini/FunctionCall.h"
#include "gemini/FunctionDeclaration.h"
#include "gemini/JSONValue.h"
#include "gemini/JsonReader.h"
#include "gemini/JsonWriter.h"
#include "gemini/ModelContent.h"
#include "gemini/SafetyRating.h"
#include "gemini/Tool.h"
#include "gemini/ToolConfig.h"

namespace gemini {
namespace {

using nlohmann::json;
using Part = ModelContent::Part;
using testsupport::LogCapture;

template <class T>
T decodeText(const std::string& text) {
    const auto doc = JsonReader::parse(text);
    return T::decode(JsonReader(doc));
}

// What a record writes, read back as a JSON value (member order aside).
template <class T>
json written(const T& value) {
    return json::parse(JsonWriter::serialize(value.toJson()));
}

TEST(JSONValue, DecodesEachCaseAndEncodesBack) {
    const auto text = R"({"a": [1, "x", true, null, {"b": 2.5}], "e": {}, "f": [], "s": "12"})";
    const auto value = decodeText<JSONValue>(text);
    const auto expected = JSONValue::object({
        {"a", JSONValue::array({JSONValue::number(1), JSONValue::string("x"), JSONValue::bool_(true), JSONValue::null(),
                                JSONValue::object({{"b", JSONValue::number(2.5)}})})},
        {"e", JSONValue::object({})},
        {"f", JSONValue::array({})},
        {"s", JSONValue::string("12")},
    });
    EXPECT_EQ(value, expected);
    EXPECT_EQ(written(value), json::parse(text));
    EXPECT_EQ(decodeText<JSONValue>("false").kind(), JSONValue::Kind::bool_);
}

TEST(JSONValue, EqualityFollowsTheCases) {
    EXPECT_EQ(JSONValue::object({{"a", JSONValue::number(1)}, {"b", JSONValue::null()}}),
              JSONValue::object({{"b", JSONValue::null()}, {"a", JSONValue::number(1)}}));
    EXPECT_NE(JSONValue::array({JSONValue::number(1), JSONValue::number(2)}),
              JSONValue::array({JSONValue::number(2), JSONValue::number(1)}));
    EXPECT_NE(JSONValue::number(std::nan("")), JSONValue::number(std::nan("")));
    EXPECT_NE(JSONValue::number(1), JSONValue::bool_(true));
}

TEST(JSONValue, WritesNumbersPlainAndRefusesNonFinite) {
    EXPECT_EQ(JsonWriter::serialize(JSONValue::number(3).toJson()), "3");
    EXPECT_EQ(JsonWriter::serialize(JSONValue::number(-0.5).toJson()), "-0.5");
    const auto extremes = JSONValue::object(
        {{"n", JSONValue::array({JSONValue::number(1e-7), JSONValue::number(-1e21)})},
         {"s", JSONValue::string("\"\xff")}});
    EXPECT_EQ(JsonWriter::serialize(extremes.toJson()),
              "{\"n\":[0.0000001,-1000000000000000000000],\"s\":\"\\\"\xEF\xBF\xBD\"}");
    const auto bad = JSONValue::object({{"list", JSONValue::array({JSONValue::number(INFINITY)})}});
    try {
        (void)bad.toJson();
        FAIL();
    } catch (const EncodingError& e) {
        EXPECT_EQ(describe(e.codingPath()), "list[0]");
    }
}

TEST(JSONValue, RefusesNestingBeyondTheLimit) {
    const std::string deep = std::string(1000, '[') + std::string(1000, ']');
    try {
        (void)decodeText<JSONValue>(deep);
        FAIL();
    } catch (const DecodingError& e) {
        EXPECT_EQ(e.debugDescription(), "Failed to decode JSON value.");
    }
}

TEST(FunctionCalling, CallsDecodeWithDefaultsAndRoundTrip) {
    const auto call = decodeText<FunctionCall>(R"({"name": "f"})");
    EXPECT_EQ(call.name, "f");
    EXPECT_TRUE(call.args.empty());
    EXPECT_EQ(written(call), json::parse(R"({"name": "f", "args": {}})"));
    EXPECT_THROW(decodeText<FunctionCall>(R"({"args": {}})"), DecodingError);

    // Argument names are data: written with their capitals.
    const auto withArgs = decodeText<FunctionCall>(R"({"name": "f", "args": {"maxCount": 2}})");
    EXPECT_EQ(written(withArgs)["args"], json::parse(R"({"maxCount": 2})"));
    EXPECT_EQ(written(FunctionResponse{"f", {{"resultValue", JSONValue::bool_(true)}}}),
              json::parse(R"({"name": "f", "response": {"resultValue": true}})"));
}

TEST(FunctionCalling, CodeExecutionRecords) {
    const LogCapture log;
    const auto ok = decodeText<CodeExecutionResult>(R"({"outcome": "OUTCOME_OK"})");
    EXPECT_EQ(ok.outcome, CodeExecutionResult::Outcome::ok);
    EXPECT_EQ(ok.output, "");
    EXPECT_EQ(decodeText<CodeExecutionResult>(R"({"outcome": "OUTCOME_UNKNOWN"})").outcome,
              CodeExecutionResult::Outcome::unknown);
    EXPECT_TRUE(log.messages().empty());
    EXPECT_EQ(decodeText<CodeExecutionResult>(R"({"outcome": "outcome_ok"})").outcome,
              CodeExecutionResult::Outcome::unknown);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"[GeminiClient] Unrecognized Outcome with value \"outcome_ok\"."});
    EXPECT_THROW(decodeText<CodeExecutionResult>(R"({"outcome": 1})"), DecodingError);
    EXPECT_THROW(decodeText<ExecutableCode>(R"({"language": "PYTHON"})"), DecodingError);
    EXPECT_EQ(fromRawValue<CodeExecutionResult::Outcome>("OUTCOME_DEADLINE_EXCEEDED"),
              CodeExecutionResult::Outcome::deadlineExceeded);
}

TEST(FunctionCalling, DeclarationsSchemasAndToolsEncode) {
    EXPECT_EQ(written(FunctionDeclaration("f", "does f")),
              json::parse(R"({"name": "f", "description": "does f", "parameters": {"type": "OBJECT"}})"));

    Schema::Fields item;
    item.type = DataType::object;
    item.properties = std::map<std::string, SchemaPtr>{{"cityName", Schema::make({})}};
    Schema::Fields list;
    list.type = DataType::array;
    list.items = Schema::make(item);
    list.enumValues = std::vector<std::string>{"a", "b"};
    const FunctionDeclaration declaration("f", "d", std::map<std::string, SchemaPtr>{{"places", Schema::make(list)}},
                                          std::vector<std::string>{"places"});
    EXPECT_EQ(written(declaration)["parameters"], json::parse(R"({
        "type": "OBJECT",
        "properties": {"places": {"type": "ARRAY", "enum": ["a", "b"],
                                  "items": {"type": "OBJECT", "properties": {"cityName": {"type": "STRING"}}}}},
        "required": ["places"]})"));

    EXPECT_EQ(written(Tool{std::nullopt, CodeExecution{}}), json::parse(R"({"code_execution": {}})"));
    EXPECT_EQ(written(Tool{}), json::object());
    EXPECT_EQ(written(FunctionCallingConfig{}), json::object());
    EXPECT_EQ(written(ToolConfig{FunctionCallingConfig{FunctionCallingConfig::Mode::auto_, std::nullopt}}),
              json::parse(R"({"function_calling_config": {"mode": "AUTO"}})"));
    EXPECT_EQ(fromRawValue<FunctionCallingConfig::Mode>("NONE"), FunctionCallingConfig::Mode::none);
    EXPECT_EQ(fromRawValue<DataType>("string"), std::nullopt);
}

TEST(Safety, RatingsDecodeAndUnknownTextsLogOnce) {
    const LogCapture log;
    using Category = SafetySetting::HarmCategory;
    using Probability = SafetyRating::HarmProbability;
    EXPECT_EQ(decodeText<SafetyRating>(R"({"category": "HARM_CATEGORY_HARASSMENT", "probability": "NEGLIGIBLE"})"),
              (SafetyRating{Category::harassment, Probability::negligible}));
    EXPECT_EQ(decodeText<SafetyRating>(R"({"category": "HARM_CATEGORY_UNKNOWN", "probability": "UNKNOWN"})"),
              (SafetyRating{Category::unknown, Probability::unknown}));
    EXPECT_TRUE(log.messages().empty());

    const auto odd = decodeText<SafetyRating>(R"({"category": "HARM_CATEGORY_NEW", "probability": "HIGH"})");
    EXPECT_EQ(odd, (SafetyRating{Category::unknown, Probability::high}));
    (void)decodeText<SafetyRating>(
        R"({"category": "HARM_CATEGORY_HATE_SPEECH", "probability": "HARM_PROBABILITY_UNKNOWN"})");
    (void)decodeText<SafetyRating>(R"({"category": "HARM_CATEGORY_HATE_SPEECH", "probability": "negligible"})");
    (void)decodeText<SafetySetting>(R"({"category": "HARM_CATEGORY_HATE_SPEECH", "threshold": "BLOCK_SOME"})");
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "[GeminiClient] Unrecognized HarmCategory with value \"HARM_CATEGORY_NEW\".",
                                "[GeminiClient] Unrecognized HarmProbability with value \"HARM_PROBABILITY_UNKNOWN\".",
                                "[GeminiClient] Unrecognized HarmProbability with value \"negligible\".",
                                "[GeminiClient] Unrecognized BlockThreshold with value \"BLOCK_SOME\".",
                            }));
    EXPECT_THROW(decodeText<SafetyRating>(R"({"category": "HARM_CATEGORY_HATE_SPEECH"})"), DecodingError);
}

TEST(Safety, SettingsRoundTrip) {
    const SafetySetting setting{SafetySetting::HarmCategory::dangerousContent,
                                SafetySetting::BlockThreshold::blockOnlyHigh};
    EXPECT_EQ(written(setting),
              json::parse(R"({"category": "HARM_CATEGORY_DANGEROUS_CONTENT", "threshold": "BLOCK_ONLY_HIGH"})"));
    EXPECT_EQ(decodeText<SafetySetting>(JsonWriter::serialize(setting.toJson())), setting);
    EXPECT_EQ(written(SafetySetting{SafetySetting::HarmCategory::harassment, SafetySetting::BlockThreshold::unknown})
                  ["threshold"],
              "UNKNOWN");
    EXPECT_EQ(fromRawValue<SafetySetting::BlockThreshold>("BLOCK_NONE"), SafetySetting::BlockThreshold::blockNone);
    EXPECT_EQ(fromRawValue<SafetySetting::BlockThreshold>("block_none"), std::nullopt);
    const auto feedback = decodeText<SafetyFeedback>(
        R"({"rating": {"category": "HARM_CATEGORY_HARASSMENT", "probability": "LOW"},
            "setting": {"category": "HARM_CATEGORY_HARASSMENT", "threshold": "BLOCK_NONE"}})");
    EXPECT_EQ(feedback.rating.probability, SafetyRating::HarmProbability::low);
    EXPECT_EQ(feedback.setting.threshold, SafetySetting::BlockThreshold::blockNone);
}

TEST(ModelContent, EncodesRoleOnlyWhenPresent) {
    const ModelContent noRole(std::nullopt, {Part::text("a")});
    EXPECT_EQ(written(noRole), json::parse(R"({"parts": [{"text": "a"}]})"));
    EXPECT_EQ(written(ModelContent()), json::parse(R"({"role": "user", "parts": []})"));
    const auto empty = decodeText<ModelContent>(R"({"parts": []})");
    EXPECT_EQ(empty.role, std::nullopt);
    EXPECT_TRUE(empty.parts.empty());
    EXPECT_THROW(decodeText<ModelContent>(R"({"role": "model"})"), DecodingError);
}

TEST(ModelContent, PartsDecodeByKeyOrder) {
    EXPECT_EQ(decodeText<Part>(R"({"text": "a", "inlineData": {"mime_type": "x", "data": ""}})"), Part::text("a"));
    const auto data = decodeText<Part>(R"({"inlineData": {"mime_type": "image/png", "data": "AQID"}})");
    EXPECT_EQ(data, Part::png("\x01\x02\x03"));
    EXPECT_EQ(written(data), json::parse(R"({"inline_data": {"mime_type": "image/png", "data": "AQID"}})"));

    for (const char* text : {R"({"fileData": {"mime_type": "image/png", "file_uri": "x"}})",
                             R"({"functionResponse": {"name": "f", "response": {}}})", R"({})"}) {
        try {
            (void)decodeText<Part>(text);
            FAIL() << text;
        } catch (const DecodingError& e) {
            EXPECT_EQ(e.debugDescription(), "No text, inline data or function call was found.");
        }
    }
    try {
        (void)decodeText<Part>(R"({"text": 5, "functionCall": {"name": "f"}})");
        FAIL();
    } catch (const DecodingError& e) {
        EXPECT_EQ(e.kind(), DecodingError::Kind::typeMismatch);
    }
    EXPECT_THROW(decodeText<Part>(R"({"inlineData": {"mime_type": "image/png", "data": "A Q=="}})"), DecodingError);
    EXPECT_EQ(decodeText<Part>(R"({"functionCall": {"name": "f"}})"), Part(FunctionCall{"f", {}}));
    EXPECT_EQ(decodeText<Part>(R"({"executableCode": {"language": "PYTHON", "code": "1"}})"),
              Part(ExecutableCode{"PYTHON", "1"}));
}

TEST(ModelContent, InlineDataInTheServicesCamelCaseDecodes) {
    // The service answers with "mimeType"; requests keep writing "mime_type".
    const auto part = decodeText<Part>(R"({"inlineData": {"mimeType": "image/jpeg", "data": "AQID"}})");
    EXPECT_EQ(part, Part::jpeg("\x01\x02\x03"));
    EXPECT_EQ(written(part)["inline_data"]["mime_type"], "image/jpeg");
    EXPECT_THROW(decodeText<Part>(R"({"inlineData": {"data": "AQID"}})"), DecodingError);
}

TEST(ModelContent, ShorthandsKeepTheBytes) {
    const std::string bytes("\xff\xd8\x00\x01", 4);
    EXPECT_EQ(*Part::jpeg(bytes).get<Part::InlineData>(), (Part::InlineData{"image/jpeg", bytes}));
    EXPECT_EQ(*Part::png(bytes).get<Part::InlineData>(), (Part::InlineData{"image/png", bytes}));
    EXPECT_EQ(Part::text("t").textValue(), "t");
    EXPECT_EQ(Part::png(bytes).textValue(), std::nullopt);
}

}  // namespace
}  // namespace gemini
