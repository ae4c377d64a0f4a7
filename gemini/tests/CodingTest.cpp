#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <stdexcept>
#include <tuple>

#include "gemini/DecodingError.h"
#include "gemini/EncodingError.h"
#include "gemini/GenerationConfig.h"
#include "gemini/JsonReader.h"
#include "gemini/JsonWriter.h"
#include "gemini/ModelContent.h"
#include "gemini/SafetySetting.h"
#include "gemini/SnakeCase.h"
#include "gemini/Tool.h"
#include "gemini/ToolConfig.h"

namespace gemini {
namespace {

using nlohmann::json;

TEST(SnakeCase, FollowsTheRequestEncoderRule) {
    EXPECT_EQ(snakeCase("topP"), "top_p");
    EXPECT_EQ(snakeCase("responseMIMEType"), "response_mime_type");
    EXPECT_EQ(snakeCase("generateContentRequest"), "generate_content_request");
    EXPECT_EQ(snakeCase("contents"), "contents");
    EXPECT_EQ(snakeCase("mime_type"), "mime_type");
    EXPECT_EQ(snakeCase("URL"), "url");
    EXPECT_EQ(snakeCase("fileURL"), "file_url");
    EXPECT_EQ(snakeCase("HTTPResponseCode"), "http_response_code");
}

std::set<std::string> keysOf(const json& object) {
    std::set<std::string> keys;
    for (auto it = object.begin(); it != object.end(); ++it) keys.insert(it.key());
    return keys;
}

// Every record writes its member names already converted; each must be what
// the rule makes of the record's coding key.
void expectKeysAreSnakeCaseOf(const json& object, std::initializer_list<const char*> codingKeys) {
    std::set<std::string> expected;
    for (const char* key : codingKeys) expected.insert(snakeCase(key));
    EXPECT_EQ(keysOf(object), expected) << object.dump();
}

TEST(SnakeCase, EveryWrittenRecordKeyIsTheConvertedCodingKey) {
    GenerationConfig config;
    config.temperature = 0.5f;
    config.topP = 0.9f;
    config.topK = 40;
    config.candidateCount = 1;
    config.maxOutputTokens = 100;
    config.stopSequences = std::vector<std::string>{"x"};
    config.responseMIMEType = "application/json";
    Schema::Fields schemaFields;
    schemaFields.type = DataType::array;
    schemaFields.format = "f";
    schemaFields.description = "d";
    schemaFields.nullable = true;
    schemaFields.enumValues = std::vector<std::string>{"a"};
    schemaFields.items = Schema::make({});
    schemaFields.properties = std::map<std::string, SchemaPtr>{{"p", Schema::make({})}};
    schemaFields.requiredProperties = std::vector<std::string>{"p"};
    config.responseSchema = Schema::make(schemaFields);
    const json encoded = config.toJson();
    expectKeysAreSnakeCaseOf(encoded, {"temperature", "topP", "topK", "candidateCount", "maxOutputTokens",
                                       "stopSequences", "responseMIMEType", "responseSchema"});
    // Schema keys are declared as "enum" and "required" for enumValues and
    // requiredProperties.
    expectKeysAreSnakeCaseOf(encoded["response_schema"],
                             {"type", "format", "description", "nullable", "enum", "items", "properties", "required"});

    Tool tool{std::vector<FunctionDeclaration>{FunctionDeclaration("f", "d")}, CodeExecution{}};
    expectKeysAreSnakeCaseOf(tool.toJson(), {"functionDeclarations", "codeExecution"});
    expectKeysAreSnakeCaseOf(tool.toJson()["function_declarations"][0], {"name", "description", "parameters"});

    ToolConfig toolConfig{FunctionCallingConfig{FunctionCallingConfig::Mode::any, std::vector<std::string>{"f"}}};
    expectKeysAreSnakeCaseOf(toolConfig.toJson(), {"functionCallingConfig"});
    expectKeysAreSnakeCaseOf(toolConfig.toJson()["function_calling_config"], {"mode", "allowedFunctionNames"});

    expectKeysAreSnakeCaseOf(SafetySetting{}.toJson(), {"category", "threshold"});
    expectKeysAreSnakeCaseOf(ModelContent({ModelContent::Part::text("t")}).toJson(), {"role", "parts"});

    using Part = ModelContent::Part;
    const std::vector<std::pair<Part, const char*>> parts = {
        {Part::text("t"), "text"},
        {Part::png("b"), "inlineData"},
        {Part::fileData("m", "u"), "fileData"},
        {Part(FunctionCall{"f", {}}), "functionCall"},
        {Part(FunctionResponse{"f", {}}), "functionResponse"},
        {Part(ExecutableCode{"PYTHON", "x"}), "executableCode"},
        {Part(CodeExecutionResult{CodeExecutionResult::Outcome::ok, "o"}), "codeExecutionResult"},
    };
    for (const auto& [part, key] : parts) expectKeysAreSnakeCaseOf(part.toJson(), {key});
    // The inner keys are declared in snake case already.
    expectKeysAreSnakeCaseOf(Part::png("b").toJson()["inline_data"], {"mime_type", "data"});
    expectKeysAreSnakeCaseOf(Part::fileData("m", "u").toJson()["file_data"], {"mime_type", "file_uri"});
    expectKeysAreSnakeCaseOf(Part(FunctionCall{"f", {}}).toJson()["function_call"], {"name", "args"});
    expectKeysAreSnakeCaseOf(Part(FunctionResponse{"f", {}}).toJson()["function_response"], {"name", "response"});
    expectKeysAreSnakeCaseOf(Part(ExecutableCode{"P", "x"}).toJson()["executable_code"], {"language", "code"});
    expectKeysAreSnakeCaseOf(Part(CodeExecutionResult{}).toJson()["code_execution_result"], {"outcome", "output"});
}

TEST(JsonWriter, WritesNumbersAsWritten) {
    EXPECT_EQ(JsonWriter::serialize(JsonWriter::number(0.7f)), "0.7");
    EXPECT_EQ(JsonWriter::serialize(JsonWriter::number(0.7)), "0.7");
    EXPECT_EQ(JsonWriter::serialize(JsonWriter::number(3.0)), "3");
    EXPECT_EQ(JsonWriter::serialize(JsonWriter::number(3.0f)), "3");
    EXPECT_EQ(JsonWriter::serialize(JsonWriter::number(-0.5)), "-0.5");
    EXPECT_EQ(JsonWriter::serialize(JsonWriter::number(-4096.0)), "-4096");
    EXPECT_EQ(JsonWriter::serialize(json(std::int64_t{40})), "40");
    // Whatever the digits, they read back to the same double, with no exponent
    // at either end of the range.
    for (double d : {0.1, 1.0 / 3.0, 123456.789, 1e-7, 1e21, 9007199254740993.0, 5e-324, 1.7976931348623157e308}) {
        const auto text = JsonWriter::serialize(JsonWriter::number(d));
        EXPECT_EQ(json::parse(text).get<double>(), d) << text;
        EXPECT_EQ(text.find_first_of("eE"), std::string::npos) << text;
    }
}

TEST(JsonWriter, RefusesNumbersWithoutJsonForm) {
    EXPECT_THROW(JsonWriter::number(std::numeric_limits<double>::infinity()), EncodingError);
    EXPECT_THROW(JsonWriter::number(std::nanf("")), EncodingError);
    GenerationConfig config;
    config.topP = std::numeric_limits<float>::infinity();
    try {
        config.toJson();
        FAIL() << "encoded an infinite top-p";
    } catch (const EncodingError& e) {
        EXPECT_EQ(describe(e.codingPath()), "top_p");
    }
}

TEST(JsonWriter, EscapesStringsAndReplacesInvalidUtf8) {
    const json value = {{"k", std::string("a\"b\\c\n\x01") + "\xff" + "é"}};
    const auto text = JsonWriter::serialize(value);
    EXPECT_EQ(text, "{\"k\":\"a\\\"b\\\\c\\n\\u0001\xEF\xBF\xBD\xC3\xA9\"}");
    EXPECT_TRUE(json::accept(text));
}

// Decodes {"a": [{"n": <integer>}, ...]} and returns the failure.
DecodingError integerListFailure(const std::string& text) {
    const auto doc = JsonReader::parse(text);
    try {
        (void)JsonReader(doc).member("a").array<std::int64_t>(
            [](const JsonReader& e) { return e.member("n").integer(); });
    } catch (const DecodingError& e) {
        return e;
    }
    throw std::runtime_error("decoded: " + text);
}

TEST(JsonReader, ErrorsCarryTheCodingPathAndKind) {
    using Kind = DecodingError::Kind;
    const std::vector<std::tuple<std::string, Kind, std::string>> cases = {
        {R"({"a": [{"n": 1}, {"n": 2.7}]})", Kind::dataCorrupted, "a[1].n"},
        {R"({"a": [{"n": "1"}]})", Kind::typeMismatch, "a[0].n"},
        {R"({"a": [{"n": null}]})", Kind::valueNotFound, "a[0].n"},
        {R"({"a": [{"n": 1}, {}]})", Kind::keyNotFound, "a[1]"},
        {R"({"a": [{"n": 18446744073709551615}]})", Kind::dataCorrupted, "a[0].n"},
        {R"({"a": {"n": 1}})", Kind::typeMismatch, "a"},
        {R"([])", Kind::typeMismatch, ""},
    };
    for (const auto& [text, kind, path] : cases) {
        const auto error = integerListFailure(text);
        EXPECT_EQ(error.kind(), kind) << text;
        EXPECT_EQ(describe(error.codingPath()), path) << text;
        if (!path.empty()) {
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        }
    }
    // A whole number written with a fraction or exponent is still that integer.
    const auto doc = JsonReader::parse(R"({"n": 3.0, "m": 1e2})");
    EXPECT_EQ(JsonReader(doc).member("n").integer(), 3);
    EXPECT_EQ(JsonReader(doc).member("m").integer(), 100);
}

TEST(JsonReader, RefusesTextThatIsNoJson) {
    for (const char* text : {"", "{", "[1e400]", "\"\xff\"", "{\"a\":1}x"}) {
        try {
            (void)JsonReader::parse(text);
            FAIL() << text;
        } catch (const DecodingError& e) {
            EXPECT_EQ(e.kind(), DecodingError::Kind::dataCorrupted);
            // The user reads a sentence; the parser's details go to the log.
            EXPECT_STREQ(e.what(), "The reply from Gemini could not be read: The given data was not valid JSON.");
            EXPECT_NE(e.debugDescription().find("json.exception"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace gemini
