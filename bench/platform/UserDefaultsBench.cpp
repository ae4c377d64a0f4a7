// Storing a value about the size of the history at its cap: the settings
// store against the least any atomic file write costs (write, fsync, rename)
// for the same bytes, in the same run.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/linux/JsonFileUserDefaults.h"

namespace {

// About the history at its cap: a JSON array of entries shaped like the
// history's (prompt, selected text, answer with line breaks and quotes), so
// the store's escaping is measured too.
std::string historySizedValue() {
    const std::string paragraph =
        "The quarterly report shows that revenue grew by 12% while costs stayed flat. "
        "The team \"shipped\" three releases, and customer satisfaction rose to 4.6 out of 5. ";
    const nlohmann::json entry = {
        {"id", "5C0E9B2A-7F3D-4E21-9A57-1D2B3C4D5E6F"},
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

void BM_JsonFileUserDefaultsSet4MB(benchmark::State& state) {
    const auto dir = benchDirectory();
    platform::JsonFileUserDefaults defaults(dir / "defaults.json");
    defaults.setString("model", "gpt-4o");
    defaults.setDouble("temperature", 0.7);
    const std::string value = historySizedValue();
    for (auto _ : state) defaults.setData("history", value);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * value.size()));
}
BENCHMARK(BM_JsonFileUserDefaultsSet4MB)->Unit(benchmark::kMillisecond);

// Baseline: the same bytes written to a temporary file, fsynced and renamed.
void BM_PlainWriteFsyncRename4MB(benchmark::State& state) {
    const auto dir = benchDirectory();
    const auto file = dir / "plain.json";
    const auto tmp = dir / "plain.json.tmp";
    const std::string value = historySizedValue();
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
BENCHMARK(BM_PlainWriteFsyncRename4MB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
