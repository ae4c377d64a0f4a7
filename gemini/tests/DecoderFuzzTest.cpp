// Hostile and broken reply bodies through every reply decoder: each input
// must give a value or a decoding error - never a crash, a hang, another
// exception or a sanitizer finding.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "testsupport/LogCapture.h"
#include "TestData.h"
#include "gemini/DecodingError.h"
#include "gemini/GenerateContentRequest.h"
#include "gemini/GenerateContentResponse.h"
#include "gemini/InvalidCandidateError.h"
#include "gemini/RPCError.h"

namespace gemini {
namespace {

using nlohmann::json;

struct Outcome {
    std::size_t decoded = 0;
    std::size_t refused = 0;
};

void decodeAll(const std::string& input, Outcome& outcome) {
    auto attempt = [&](const std::function<void()>& decode) {
        try {
            decode();
            ++outcome.decoded;
        } catch (const DecodingError&) {
            ++outcome.refused;
        } catch (const InvalidCandidateError&) {
            ++outcome.refused;
        } catch (const std::exception& e) {
            ADD_FAILURE() << "unexpected " << typeid(e).name() << ": " << e.what() << " for input of "
                          << input.size() << " bytes: " << input.substr(0, 200);
        }
    };
    attempt([&] {
        const auto response = GenerateContentResponse::decode(input);
        (void)response.text();
        (void)response.functionCalls();
    });
    attempt([&] { (void)RPCError::decode(input); });
    attempt([&] { (void)CountTokensResponse::decode(input); });
}

std::vector<std::string> seeds() {
    return {test::testData("gemini-generate-200.json"), test::testData("gemini-generate-200-blocked.json"),
            test::testData("gemini-error-400-api-key-invalid.json"), test::testData("gemini-count-tokens-200.json"),
            R"J({"candidates":[{"content":{"role":"model","parts":[{"text":"a"},
                {"inlineData":{"mimeType":"image/png","data":"AQID"}},
                {"functionCall":{"name":"f","args":{"a":[1,{"b":null}],"c":true}}},
                {"executableCode":{"language":"PYTHON","code":"print(1)"}},
                {"codeExecutionResult":{"outcome":"OUTCOME_OK","output":"1"}}]},
                "finishReason":"STOP","citationMetadata":{"citationSources":[{"startIndex":1,"endIndex":2,"uri":"u"}]}}],
                "promptFeedback":{"safetyRatings":[]}})J"};
}

// Every node of the document replaced in turn by a value of each other type.
void forEachNodeReplacement(const json& document, const std::function<void(const json&)>& visit) {
    const std::vector<json> replacements = {nullptr, 1, 2.7, -1, "s", true, json::array(), json::object(),
                                            json::array({1, "x"}), json::parse("1e300")};
    const auto flat = document.flatten();
    for (auto it = flat.begin(); it != flat.end(); ++it) {
        json::json_pointer pointer(it.key());
        // The leaf and each of its containers.
        for (; ; pointer = pointer.parent_pointer()) {
            for (const auto& replacement : replacements) {
                json mutated = document;
                mutated[pointer] = replacement;
                visit(mutated);
            }
            if (pointer.empty()) break;
        }
    }
}

TEST(DecoderFuzz, TruncatedBodies) {
    const testsupport::LogCapture quiet;
    Outcome outcome;
    for (const auto& seed : seeds())
        for (std::size_t length = 0; length < seed.size(); ++length) decodeAll(seed.substr(0, length), outcome);
    EXPECT_GT(outcome.refused, 0u);
}

TEST(DecoderFuzz, WrongTypesAtEveryLevel) {
    const testsupport::LogCapture quiet;
    Outcome outcome;
    for (const auto& seed : seeds())
        forEachNodeReplacement(json::parse(seed), [&](const json& mutated) { decodeAll(mutated.dump(), outcome); });
    EXPECT_GT(outcome.decoded, 0u);
    EXPECT_GT(outcome.refused, 0u);
}

TEST(DecoderFuzz, RandomByteMutations) {
    const testsupport::LogCapture quiet;
    Outcome outcome;
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    const std::string interesting = "{}[]\",:0123456789.eE-+\\ntrufalsn\x00\xff\xc3\x80\xed\xa0\x80";
    for (const auto& seed : seeds()) {
        for (int round = 0; round < 1500; ++round) {
            std::string input = seed;
            const int edits = 1 + static_cast<int>(next() % 4);
            for (int e = 0; e < edits && !input.empty(); ++e) {
                const auto at = next() % input.size();
                switch (next() % 3) {
                    case 0: input[at] = interesting[next() % interesting.size()]; break;
                    case 1: input.erase(at, 1 + next() % 8); break;
                    default: input.insert(at, 1, interesting[next() % interesting.size()]);
                }
            }
            decodeAll(input, outcome);
        }
    }
    EXPECT_GT(outcome.refused, 0u);
}

TEST(DecoderFuzz, ExtremeShapes) {
    const testsupport::LogCapture quiet;
    Outcome outcome;
    std::vector<std::string> inputs;
    // Huge arrays.
    std::string manyCandidates = R"({"candidates":[)";
    for (int i = 0; i < 100000; ++i) manyCandidates += i ? ",{}" : "{}";
    inputs.push_back(manyCandidates + "]}");
    std::string manyParts = R"({"candidates":[{"content":{"parts":[)";
    for (int i = 0; i < 100000; ++i) manyParts += i ? R"(,{"text":"x"})" : R"({"text":"x"})";
    inputs.push_back(manyParts + "]}}]}");
    // Deep nesting, inside free-form arguments and at the top.
    const std::size_t depth = 100000;
    inputs.push_back(R"({"candidates":[{"content":{"parts":[{"functionCall":{"name":"f","args":{"a":)" +
                     std::string(depth, '[') + std::string(depth, ']') + "}}}]}}]}");
    inputs.push_back(std::string(depth, '[') + std::string(depth, ']'));
    inputs.push_back(std::string(depth, '{'));
    // Numbers without a double or integer form.
    for (const char* number : {"1e400", "-1e400", "1e-400", "18446744073709551616", "-9223372036854775809",
                               "9223372036854775807", "0.5", "-0"}) {
        inputs.push_back(std::string(R"({"candidates":[],"usageMetadata":{"totalTokenCount":)") + number + "}}");
        inputs.push_back(std::string(R"({"error":{"code":)") + number + "}}");
        inputs.push_back(std::string(R"({"candidates":[{"content":{"parts":[{"functionCall":{"name":"f","args":{"n":)") +
                         number + "}}}]}}]}");
    }
    // Invalid UTF-8 in keys and strings, and NUL bytes.
    inputs.push_back("{\"candidates\":[{\"content\":{\"parts\":[{\"text\":\"\xff\xfe\"}]}}]}");
    inputs.push_back("{\"cand\xc3\x28\":[]}");
    inputs.push_back(std::string("{\"candidates\":[]}\0garbage", 25));
    inputs.push_back("{\"candidates\":[{\"content\":{\"parts\":[{\"text\":\"\\ud800\"}]}}]}");
    for (const auto& input : inputs) decodeAll(input, outcome);
    EXPECT_GT(outcome.decoded, 0u);
}

}  // namespace
}  // namespace gemini
