// The Gemini client's request encoding, reply decoding and streaming, each
// next to a baseline over the same bytes: nlohmann writing or parsing the
// text alone, and bare libcurl reading the same streamed body from the same
// loopback server.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <nlohmann/json.hpp>

#include "bench/common/BarePost.h"
#include "gemini/GenerateContentResponse.h"
#include "gemini/GenerativeModel.h"
#include "gemini/JsonWriter.h"
#include "platform/Executor.h"
#include "platform/HttpTransportModule.h"
#include "platform/Logger.h"
#include "testsupport/LoopbackServer.h"

namespace {

using nlohmann::json;

// A generate-content answer of about 200 KB: one candidate with many text and
// code parts, ratings and citations, as a long answer comes back.
const std::string& largeResponse() {
    static const std::string text = [] {
        json parts = json::array();
        for (int i = 0; parts.dump().size() < 190'000; ++i) {
            if (i % 10 == 9)
                parts.push_back({{"executableCode", {{"language", "PYTHON"}, {"code", "print(" + std::to_string(i) + ")"}}}});
            else
                parts.push_back({{"text", "Paragraph " + std::to_string(i) +
                                              ": the quick brown fox jumps over the lazy dog, again and again, "
                                              "with \"quotes\", unicode \u00e9\u00e8 and a line break\n"}});
        }
        json ratings = json::array();
        for (const char* category : {"HARM_CATEGORY_HATE_SPEECH", "HARM_CATEGORY_DANGEROUS_CONTENT",
                                     "HARM_CATEGORY_HARASSMENT", "HARM_CATEGORY_SEXUALLY_EXPLICIT"})
            ratings.push_back({{"category", category}, {"probability", "NEGLIGIBLE"}});
        json citations = json::array();
        for (int i = 0; i < 50; ++i)
            citations.push_back({{"startIndex", i * 10}, {"endIndex", i * 10 + 9}, {"uri", "https://example.com/" + std::to_string(i)}});
        return json{{"candidates",
                     {{{"content", {{"role", "model"}, {"parts", parts}}},
                       {"finishReason", "STOP"},
                       {"safetyRatings", ratings},
                       {"citationMetadata", {{"citationSources", citations}}}}}},
                    {"usageMetadata", {{"promptTokenCount", 12}, {"candidatesTokenCount", 40000}, {"totalTokenCount", 40012}}}}
            .dump();
    }();
    return text;
}

void BM_DecodeResponse(benchmark::State& state) {
    const auto& text = largeResponse();
    for (auto _ : state) benchmark::DoNotOptimize(gemini::GenerateContentResponse::decode(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DecodeResponse)->Unit(benchmark::kMicrosecond);

void BM_DecodeResponseBaseline_NlohmannParse(benchmark::State& state) {
    const auto& text = largeResponse();
    for (auto _ : state) benchmark::DoNotOptimize(json::parse(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DecodeResponseBaseline_NlohmannParse)->Unit(benchmark::kMicrosecond);

// A request of about 200 KB: a long chat history with a generation config,
// as the client builds it before writing it.
const json& largeRequest() {
    static const json body = [] {
        gemini::GenerateContentRequest request;
        request.model = "models/gemini-2.0-flash";
        for (int i = 0; json(request.toJson()).dump().size() < 190'000; ++i)
            request.contents.push_back(gemini::ModelContent(
                i % 2 ? "model" : "user",
                {gemini::ModelContent::Part::text("Turn " + std::to_string(i) +
                                                  ": the quick brown fox jumps over the lazy dog, with \"quotes\", "
                                                  "unicode \u00e9\u00e8, a tab\t and a line break\n")}));
        gemini::GenerationConfig config;
        config.temperature = 0.7f;
        config.topP = 0.95f;
        request.generationConfig = config;
        return request.toJson();
    }();
    return body;
}

void BM_EncodeRequest(benchmark::State& state) {
    const auto& body = largeRequest();
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto text = gemini::JsonWriter::serialize(body);
        bytes += text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_EncodeRequest)->Unit(benchmark::kMicrosecond);

void BM_EncodeRequestBaseline_NlohmannDump(benchmark::State& state) {
    const auto& body = largeRequest();
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto text = body.dump(-1, ' ', false, json::error_handler_t::replace);
        bytes += text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_EncodeRequestBaseline_NlohmannDump)->Unit(benchmark::kMicrosecond);

constexpr int kEvents = 2000;
const std::string kStreamPath = "/v1beta/models/gemini-2.0-flash:streamGenerateContent";

// One server for both streaming benchmarks, answering with 2,000 events.
testsupport::LoopbackServer& streamServer() {
    static testsupport::LoopbackServer server;
    static const bool ready = [] {
        std::string body;
        for (int i = 0; i < kEvents; ++i)
            body += "data: " +
                    json{{"candidates", {{{"content", {{"role", "model"}, {"parts", {{{"text", "token " + std::to_string(i) + " "}}}}}}, {"index", 0}}}},
                         {"usageMetadata", {{"promptTokenCount", 8}, {"totalTokenCount", 8 + i}}},
                         {"modelVersion", "gemini-2.0-flash"}}
                        .dump() +
                    "\r\n\r\n";
        server.reply("POST", kStreamPath, {200, {{"Content-Type", "text/event-stream"}}, body});
        return true;
    }();
    (void)ready;
    return server;
}

// The client's log lines would dominate the figures; discard them.
struct Discard : platform::LogSink {
    void write(platform::LogLevel, std::string_view, std::string_view, std::string_view) override {}
};

void BM_StreamEvents(benchmark::State& state) {
    auto& server = streamServer();
    const auto previous = platform::Logger::setSink(std::make_shared<Discard>());
    const auto http = platform::HttpTransportModule::deferredClient();
    const gemini::GenerativeModel model("gemini-2.0-flash", "bench-key", {}, http, server.url(""),
                                        std::make_shared<platform::Executor>(http));
    for (auto _ : state) {
        auto stream = model.generateContentStream({"Tell me a long story."});
        int events = 0;
        while (auto chunk = stream.next()) ++events;
        if (events != kEvents) state.SkipWithError("lost events");
    }
    platform::Logger::setSink(previous);
    state.SetItemsProcessed(state.iterations() * kEvents);
}
BENCHMARK(BM_StreamEvents)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same exchange with the HTTP layer filling the buffer on the reading
// thread itself: the client's cost without the hand-over between threads.
void BM_StreamEventsOnOneThread(benchmark::State& state) {
    auto& server = streamServer();
    const auto previous = platform::Logger::setSink(std::make_shared<Discard>());
    const gemini::GenerativeAIService service("bench-key", platform::HttpTransportModule::deferredClient(), server.url(""));
    gemini::GenerateContentRequest request;
    request.model = "models/gemini-2.0-flash";
    request.contents = {gemini::ModelContent({gemini::ModelContent::Part::text("Tell me a long story.")})};
    request.isStreaming = true;
    for (auto _ : state) {
        auto [stream, continuation] = gemini::GenerateContentStream::make();
        service.loadRequestStream(request, continuation);
        int events = 0;
        while (auto chunk = stream.next()) ++events;
        if (events != kEvents) state.SkipWithError("lost events");
    }
    platform::Logger::setSink(previous);
    state.SetItemsProcessed(state.iterations() * kEvents);
}
BENCHMARK(BM_StreamEventsOnOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();

std::size_t discardBody(char*, std::size_t size, std::size_t count, void* total) {
    *static_cast<std::size_t*>(total) += size * count;
    return size * count;
}

// A fresh handle per answer, as the client opens a fresh stream.
bench::BarePost streamPost() {
    return bench::BarePost(
        streamServer().url(kStreamPath) + "?alt=sse",
        R"({"model":"models/gemini-2.0-flash","contents":[{"role":"user","parts":[{"text":"Tell me a long story."}]}]})",
        {"Content-Type: application/json"});
}

void BM_StreamEventsBaseline_BareCurl(benchmark::State& state) {
    for (auto _ : state) {
        std::size_t total = 0;
        if (!streamPost().perform(&discardBody, &total)) state.SkipWithError("transfer failed");
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * kEvents);
}
BENCHMARK(BM_StreamEventsBaseline_BareCurl)->Unit(benchmark::kMillisecond)->UseRealTime();

// The least any client must do per event: split the same bytes into lines and
// parse each event's JSON, on the transfer's own thread.
struct EventParser {
    std::string buffer;
    std::size_t events = 0;
};

std::size_t parseEvents(char* data, std::size_t size, std::size_t count, void* self) {
    auto& parser = *static_cast<EventParser*>(self);
    parser.buffer.append(data, size * count);
    std::size_t start = 0;
    for (std::size_t end; (end = parser.buffer.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string_view line(parser.buffer.data() + start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.starts_with("data:")) {
            benchmark::DoNotOptimize(json::parse(line.substr(5)));
            ++parser.events;
        }
    }
    parser.buffer.erase(0, start);
    return size * count;
}

void BM_StreamEventsBaseline_BareCurlAndNlohmann(benchmark::State& state) {
    for (auto _ : state) {
        EventParser parser;
        if (!streamPost().perform(&parseEvents, &parser) || parser.events != kEvents)
            state.SkipWithError("transfer failed");
    }
    state.SetItemsProcessed(state.iterations() * kEvents);
}
BENCHMARK(BM_StreamEventsBaseline_BareCurlAndNlohmann)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
