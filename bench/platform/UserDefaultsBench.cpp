// The settings store with the history at its cap stored in it: what a
// change costs the calling thread (an API key keystroke) against a plain map
// assignment, and what the background write of the history costs against
// the least any durable atomic write of the same bytes costs, in one run.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/linux/JsonFileUserDefaults.h"

namespace {

// About the history at its cap: a JSON array of entries shaped like the
// history's (prompt, selected text, answer with line breaks and quotes).
std::string historySizedValue(char variant = 'a') {
    const std::string paragraph =
        "The quarterly report shows that revenue grew by 12% while costs stayed flat. "
        "The team \"shipped\" three releases, and customer satisfaction rose to 4.6 out of 5. ";
    const nlohmann::json entry = {
        {"id", std::string("5C0E9B2A-7F3D-4E21-9A57-1D2B3C4D5E6") + variant},
        {"timestamp", 786543210.123},
        {"modelName", "gpt-4o"},
        {"input", "Summarise this in two sentences, keeping the numbers"},
        {"selectedText", paragraph + paragraph + paragraph},
        {"output", "Revenue grew 12% with flat costs.\n\nThree releases shipped; satisfaction \u2014 4.6/5 \u2014 is up. " +
                       paragraph + paragraph},
        {"applicationName", "TextEdit"}};
    const std::size_t count = 4 * 1024 * 1024 / (entry.dump().size() + 1) + 1;
    const nlohmann::json entries(count, entry);
    return entries.dump();
}

std::filesystem::path benchDirectory() {
    const char* home = std::getenv("XDG_CONFIG_HOME");
    auto dir = std::filesystem::path(home && *home ? home : std::filesystem::temp_directory_path().c_str()) /
               "quillary-bench";
    std::filesystem::create_directories(dir);
    return dir;
}

// A store holding the history and a few settings, all on disk.
std::unique_ptr<platform::JsonFileUserDefaults> storeWithFullHistory() {
    const auto file = benchDirectory() / "defaults.json";
    std::filesystem::remove(file);
    auto defaults = std::make_unique<platform::JsonFileUserDefaults>(file);
    defaults->setString("model", "gpt-4o");
    defaults->setDouble("model_temperature", 0.7);
    defaults->setData("quillary_history", historySizedValue());
    if (!defaults->flush()) throw std::runtime_error("cannot write " + file.string());
    return defaults;
}

const char* const kKeys[] = {"sk-proj-4f8a9c2e7b1d", "sk-proj-4f8a9c2e7b1d5"};

// One keystroke in an API key field: the time the settings window's thread
// spends in the store; the file is written by the store's own thread.
void BM_SetShortString_FullHistoryStored(benchmark::State& state) {
    const auto defaults = storeWithFullHistory();
    std::size_t n = 0;
    for (auto _ : state) defaults->setString("openai_api_key", kKeys[n++ % 2]);
    defaults->flush();  // after the timed loop
}
BENCHMARK(BM_SetShortString_FullHistoryStored)->Unit(benchmark::kMicrosecond);

// Baseline: the same assignment into a plain map in memory.
void BM_Baseline_MapAssignment(benchmark::State& state) {
    std::map<std::string, std::string, std::less<>> values{{"model", "gpt-4o"}};
    std::size_t n = 0;
    for (auto _ : state) {
        values["openai_api_key"] = kKeys[n++ % 2];
        benchmark::DoNotOptimize(values);
    }
}
BENCHMARK(BM_Baseline_MapAssignment)->Unit(benchmark::kMicrosecond);

// A new history reaching the disk: the change, then waiting for the
// background writer to have written it (its own file, then the settings file
// that names it, each fsynced).
void BM_BackgroundWrite_FullHistory(benchmark::State& state) {
    const auto defaults = storeWithFullHistory();
    const std::shared_ptr<const std::string> histories[] = {
        std::make_shared<const std::string>(historySizedValue('b')),
        std::make_shared<const std::string>(historySizedValue('c'))};
    std::size_t n = 0;
    for (auto _ : state) {
        defaults->setSharedData("quillary_history", histories[n++ % 2]);
        if (!defaults->flush()) state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * histories[0]->size()));
}
BENCHMARK(BM_BackgroundWrite_FullHistory)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline: the same bytes written to a temporary file, fsynced, renamed
// over the target and the rename made durable (fsync of the folder).
void BM_Baseline_PlainWriteFsyncRename(benchmark::State& state) {
    const auto dir = benchDirectory();
    const auto file = dir / "plain.json";
    const auto tmp = dir / "plain.json.tmp";
    const std::string value = historySizedValue('b');
    for (auto _ : state) {
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) throw std::runtime_error("open failed");
        std::size_t done = 0;
        while (done < value.size()) {
            const ssize_t n = ::write(fd, value.data() + done, value.size() - done);
            if (n <= 0) throw std::runtime_error("write failed");
            done += static_cast<std::size_t>(n);
        }
        ::fsync(fd);
        ::close(fd);
        std::filesystem::rename(tmp, file);
        const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::fsync(dirFd);
        ::close(dirFd);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * value.size()));
}
BENCHMARK(BM_Baseline_PlainWriteFsyncRename)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
