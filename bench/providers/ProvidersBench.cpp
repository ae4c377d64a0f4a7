// Cost of the provider clients' own work, each next to the bare library doing
// the same bytes: body building against serialising alone, reply reading
// against parsing alone.
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <nlohmann/json.hpp>

#include "core/AIService.h"
#include "core/JsonError.h"
#include "bench/common/BarePost.h"
#include "core/ProviderWire.h"
#include "core/RequestBody.h"
#include "platform/curl/CurlHttpClient.h"
#include "testsupport/LoopbackServer.h"

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
        auto wire = core::dumpRequestJson(core::AIService::claudeRequestBody("claude-3-5-sonnet-latest", s.prompt,
                                                                             s.selection, s.history, s.settings));
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

// One whole OpenAI call to a server on 127.0.0.1: body, transport, reading.
// The server keeps connections open, as the providers' servers do.
void BM_OpenAICall_Loopback(benchmark::State& state) {
    testsupport::LoopbackServer server(testsupport::LoopbackServer::Connections::KeepOpen);
    server.reply("POST", "/v1/chat/completions", {200, {{"Content-Type", "application/json"}}, openAIReply(2048)});
    core::RequestSettings settings;
    settings.openaiKey = "sk-bench";
    core::AIService::Endpoints endpoints;
    endpoints.openai = server.url("/v1/chat/completions");
    // A client of its own, gone before the server, so that no idle connection
    // holds up the server's stop.
    const core::AIService service(settings, std::make_shared<platform::CurlHttpClient>(), endpoints);
    const std::string prompt = text(1024, 'p');
    for (auto _ : state) {
        auto answer = service.sendOpenAIRequest("gpt-4o", prompt, std::nullopt);
        benchmark::DoNotOptimize(answer);
    }
}
BENCHMARK(BM_OpenAICall_Loopback)->UseRealTime();

// The client's own share of a call: a transport that answers at once.
class InstantHttpClient : public platform::HttpClient {
public:
    explicit InstantHttpClient(std::string reply) : reply_(std::move(reply)) {}
    platform::HttpResponse send(const platform::HttpRequest& request) override {
        benchmark::DoNotOptimize(request.body.data());
        return {200, {}, reply_};
    }
    std::unique_ptr<platform::HttpStream> open(const platform::HttpRequest&) override { return nullptr; }

private:
    std::string reply_;
};

void BM_OpenAICall_ClientOnly(benchmark::State& state) {
    core::RequestSettings settings;
    const core::AIService service(settings, std::make_shared<InstantHttpClient>(openAIReply(2048)));
    const std::string prompt = text(1024, 'p');
    for (auto _ : state) {
        auto answer = service.sendOpenAIRequest("gpt-4o", prompt, std::nullopt);
        benchmark::DoNotOptimize(answer);
    }
}
BENCHMARK(BM_OpenAICall_ClientOnly);

// The project's transport alone with the same bytes, to tell its share of the
// whole call from the client's.
void BM_OpenAICall_TransportOnly(benchmark::State& state) {
    testsupport::LoopbackServer server(testsupport::LoopbackServer::Connections::KeepOpen);
    server.reply("POST", "/v1/chat/completions", {200, {{"Content-Type", "application/json"}}, openAIReply(2048)});
    core::RequestSettings settings;
    platform::HttpRequest request;
    request.method = "POST";
    request.url = server.url("/v1/chat/completions");
    request.headers = {{"Authorization", "Bearer sk-bench"}, {"Content-Type", "application/json"}};
    request.body = core::dumpRequestJson(
        core::AIService::openAIRequestBody("gpt-4o", text(1024, 'p'), std::nullopt, {}, settings));
    const auto http = std::make_shared<platform::CurlHttpClient>();
    for (auto _ : state) {
        auto response = http->send(request);
        benchmark::DoNotOptimize(response);
    }
}
BENCHMARK(BM_OpenAICall_TransportOnly)->UseRealTime();

std::size_t collect(char* data, std::size_t size, std::size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

// The same bytes with bare libcurl: a fresh handle, and so a fresh
// connection, per request (`reuse` false), or one handle kept from request to
// request (`reuse` true), the least a transport can do.
void bareCurlCalls(benchmark::State& state, bool reuse) {
    testsupport::LoopbackServer server(testsupport::LoopbackServer::Connections::KeepOpen);
    server.reply("POST", "/v1/chat/completions", {200, {{"Content-Type", "application/json"}}, openAIReply(2048)});
    core::RequestSettings settings;
    const std::string body = core::dumpRequestJson(
        core::AIService::openAIRequestBody("gpt-4o", text(1024, 'p'), std::nullopt, {}, settings));
    bench::BarePost post(server.url("/v1/chat/completions"), body,
                         {"Authorization: Bearer sk-bench", "Content-Type: application/json"});
    std::string reply;
    for (auto _ : state) {
        if (!reuse) post.forgetConnection();
        reply.clear();
        if (!post.perform(&collect, &reply)) state.SkipWithError("request failed");
        benchmark::DoNotOptimize(reply);
    }
}

void BM_OpenAICall_BareCurl(benchmark::State& state) { bareCurlCalls(state, false); }
BENCHMARK(BM_OpenAICall_BareCurl)->UseRealTime();

void BM_OpenAICall_BareCurlReusingConnection(benchmark::State& state) { bareCurlCalls(state, true); }
BENCHMARK(BM_OpenAICall_BareCurlReusingConnection)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
