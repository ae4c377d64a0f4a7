// capture() with a host that refuses connections, next to its baseline: the
// same event serialised with nlohmann and written to a file of its own. The
// network is never on capture's path, so the two should stay close.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "Telemetry/TelemetrySDK.h"
#include "platform/Clock.h"
#include "platform/HttpClient.h"
#include "platform/HttpTransportModule.h"
#include "platform/Logger.h"

namespace {

namespace fs = std::filesystem;

constexpr int kIterations = 20'000;  // the same for both: each leaves as many files behind

// A fresh folder, removed with everything in it when the benchmark ends.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "quillary-telemetry-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

platform::AnalyticsProperties properties() {
    return {{"model", std::string("gpt-4o")},
            {"provider", std::string("openai")},
            {"prompt_length", std::int64_t{412}},
            {"is_chat", true},
            {"temperature", 0.7}};
}

// Keeps the benchmark's output readable: the client's log lines about the
// refused uploads go nowhere.
class QuietSink final : public platform::LogSink {
public:
    void write(platform::LogLevel, std::string_view, std::string_view, std::string_view) override {}
};

void captureToUnreachableHost(benchmark::State& state, std::size_t maxQueueSize) {
    const auto previousSink = platform::Logger::setSink(std::make_shared<QuietSink>());
    ScratchFolder folder;
    {
        telemetry::TelemetrySDK client({platform::HttpTransportModule::deferredClient(), platform::Clock::system(), folder.path()});
        // Port 9 on loopback: nothing listens, every upload is refused and
        // retried later, as with a machine that is offline.
        telemetry::TelemetryConfig config("phc_bench", "http://127.0.0.1:9");
        config.maxQueueSize = maxQueueSize;
        client.setup(config);
        const auto props = properties();
        for (auto _ : state) client.capture("model_used", props);
    }
    platform::Logger::setSink(previousSink);
}

void BM_CaptureUnreachableHost(benchmark::State& state) { captureToUnreachableHost(state, kIterations + 100); }
BENCHMARK(BM_CaptureUnreachableHost)->Iterations(kIterations)->Unit(benchmark::kMicrosecond);

// A full queue (1000 events): every capture also drops the oldest event's file.
void BM_CaptureUnreachableHostFullQueue(benchmark::State& state) { captureToUnreachableHost(state, 1000); }
BENCHMARK(BM_CaptureUnreachableHostFullQueue)->Iterations(kIterations)->Unit(benchmark::kMicrosecond);

// Baseline: the same event built and written to a new file, nothing else.
// With `keep` > 0 the file written `keep` events earlier is deleted, so the
// folder stays as small as the full queue's.
void writeEventJsonToFile(benchmark::State& state, long keep) {
    ScratchFolder folder;
    const auto props = properties();
    const auto clock = platform::Clock::system();
    long n = 0;
    for (auto _ : state) {
        nlohmann::json p = nlohmann::json::object();
        for (const auto& [k, v] : props) p[k] = std::visit([](const auto& x) { return nlohmann::json(x); }, v);
        const nlohmann::json event = {{"event", "model_used"},
                                      {"distinct_id", "0190A1B2-C3D4-7E5F-8A9B-0C1D2E3F4A5B"},
                                      {"properties", std::move(p)},
                                      {"timestamp", platform::iso8601(clock->now())},
                                      {"uuid", std::to_string(n)}};
        const std::string text = event.dump();
        const auto file = folder.path() / (std::to_string(n) + ".json");
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::abort();
        ::close(fd);
        if (keep > 0 && n >= keep) ::unlink((folder.path() / (std::to_string(n - keep) + ".json")).c_str());
        ++n;
    }
}

void BM_BaselineWriteEventJsonToFile(benchmark::State& state) { writeEventJsonToFile(state, 0); }
BENCHMARK(BM_BaselineWriteEventJsonToFile)->Iterations(kIterations)->Unit(benchmark::kMicrosecond);

void BM_BaselineWriteEventJsonToFileKeep1000(benchmark::State& state) { writeEventJsonToFile(state, 1000); }
BENCHMARK(BM_BaselineWriteEventJsonToFileKeep1000)->Iterations(kIterations)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
