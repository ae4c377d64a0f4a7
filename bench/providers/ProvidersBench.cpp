// Cost of the provider clients' own work, each next to the bare library doing
// the same bytes: body building against serialising alone, reply reading
// against parsing alone.
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "core/AIService.h"
#include "core/JsonError.h"
#include "core/RequestBody.h"

namespace {

std::string text(std::size_t bytes, char seed) {
    std::string out;
    out.reserve(bytes);
    static const std::string words = "lorem \"ipsum\" dolor sit amet, consectetur\nadipiscing elit é ✓ ";
    while (out.size() < bytes) out += words;
    out.resize(bytes);
    out[0] = seed;
    return out;
}

struct Submission {
    core::RequestSettings settings;
    std::string prompt = text(4096, 'p');
    std::optional<std::string> selection = text(4096, 's');
    std::vector<core::ChatMessage> history;

    Submission() {
        settings.customSystemMessage = "Answer in British English.";
        for (int i = 0; i < 20; ++i)
            history.push_back(core::ChatMessage::make(text(400, static_cast<char>('a' + i)),
                                                      i % 2 ? core::MessageRole::assistant : core::MessageRole::user));
    }
};

void BM_OpenAIBody_Build(benchmark::State& state) {
    const Submission s;
    for (auto _ : state) {
        auto wire = core::dumpRequestJson(
            core::AIService::openAIRequestBody("gpt-4o", s.prompt, s.selection, s.history, s.settings));
        benchmark::DoNotOptimize(wire);
    }
}
BENCHMARK(BM_OpenAIBody_Build);

void BM_ClaudeBody_Build(benchmark::State& state) {
    const Submission s;
    for (auto _ : state) {
        auto wire = core::dumpRequestJson(core::AIService::claudeRequestBody(
            "claude-3-5-sonnet-latest", s.prompt, s.selection, s.history, s.settings));
        benchmark::DoNotOptimize(wire);
    }
}
BENCHMARK(BM_ClaudeBody_Build);

void BM_Body_NlohmannDumpOnly(benchmark::State& state) {
    const Submission s;
    const auto body = core::AIService::openAIRequestBody("gpt-4o", s.prompt, s.selection, s.history, s.settings);
    for (auto _ : state) {
        auto wire = body.dump();
        benchmark::DoNotOptimize(wire);
    }
}
BENCHMARK(BM_Body_NlohmannDumpOnly);

std::string openAIReply(std::size_t answerBytes) {
    nlohmann::json reply = nlohmann::json::parse(
        R"({"id":"chatcmpl-1","object":"chat.completion","created":1741569952,"model":"gpt-4o-2024-08-06",
            "choices":[{"index":0,"message":{"role":"assistant","content":"","refusal":null,"annotations":[]},
            "logprobs":null,"finish_reason":"stop"}],
            "usage":{"prompt_tokens":19,"completion_tokens":10,"total_tokens":29}})");
    reply["choices"][0]["message"]["content"] = "  " + text(answerBytes, 'A') + "\n";
    return reply.dump();
}

void BM_OpenAIReply_Read(benchmark::State& state) {
    const platform::HttpResponse response{200, {}, openAIReply(20 * 1024)};
    for (auto _ : state) {
        auto answer = core::AIService::parseOpenAIReply(response);
        benchmark::DoNotOptimize(answer);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * response.body.size()));
}
BENCHMARK(BM_OpenAIReply_Read);

void BM_Reply_NlohmannParseOnly(benchmark::State& state) {
    const std::string body = openAIReply(20 * 1024);
    for (auto _ : state) {
        auto json = nlohmann::json::parse(body);
        benchmark::DoNotOptimize(json);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_Reply_NlohmannParseOnly);

}  // namespace

BENCHMARK_MAIN();
