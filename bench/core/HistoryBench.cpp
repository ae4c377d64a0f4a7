// The history at its cap (1000 entries of a few KB each, about 4 MB of
// JSON): adding one entry through the JSON file store, on the calling thread
// (the store writes in the background), against the history's own text for
// the list with the new entry, and loading the list against nlohmann parsing
// the same text alone.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "bench/common/FullHistory.h"
#include "core/HistoryService.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/linux/JsonFileUserDefaults.h"

namespace {

using bench::fullHistoryBytes;
using bench::realisticEntry;
using bench::ScratchFolder;

// Adding one entry to a full history kept in `store`.
void addEntryTo(benchmark::State& state, std::shared_ptr<platform::UserDefaults> store) {
    store->setData(core::HistoryService::kStorageKey, fullHistoryBytes());
    core::HistoryService service(store);
    const auto sample = realisticEntry(4242);
    for (auto _ : state) {
        service.addEntry(sample.modelName, sample.input, sample.selectedText, sample.output, sample.applicationName);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fullHistoryBytes().size()));
}

void BM_HistoryAddEntry_JsonFileStore(benchmark::State& state) {
    ScratchFolder folder;
    addEntryTo(state, std::make_shared<platform::JsonFileUserDefaults>(folder.path() / "defaults.json"));
}
BENCHMARK(BM_HistoryAddEntry_JsonFileStore)->Unit(benchmark::kMillisecond);

// The same addition with the store in memory: the history's own share
// (checking the stored list is the one it wrote, encoding the new entry,
// copying the text of the kept ones).
void BM_HistoryAddEntry_InMemoryStore(benchmark::State& state) {
    addEntryTo(state, std::make_shared<platform::InMemoryUserDefaults>());
}
BENCHMARK(BM_HistoryAddEntry_InMemoryStore)->Unit(benchmark::kMillisecond);

// Two objects over one key adding in turn: each addition finds the list
// changed by the other and decodes it before adding.
void BM_HistoryAddEntry_AlternatingObjects(benchmark::State& state) {
    auto store = std::make_shared<platform::InMemoryUserDefaults>();
    store->setData(core::HistoryService::kStorageKey, fullHistoryBytes());
    core::HistoryService first(store);
    core::HistoryService second(store);
    const auto sample = realisticEntry(4242);
    bool turn = false;
    for (auto _ : state) {
        auto& service = (turn = !turn) ? first : second;
        service.addEntry(sample.modelName, sample.input, sample.selectedText, sample.output, sample.applicationName);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fullHistoryBytes().size()));
}
BENCHMARK(BM_HistoryAddEntry_AlternatingObjects)->Unit(benchmark::kMillisecond);

// Baseline: the history's own text of the full list with the new entry
// first, all that an addition has to make.
void BM_Baseline_HistoryTextWithNewest(benchmark::State& state) {
    std::vector<core::history::EntrySpan> spans;
    if (!core::history::decode(fullHistoryBytes(), nullptr, &spans)) state.SkipWithError("decode failed");
    const core::HistoryText text(fullHistoryBytes(), std::move(spans));
    const auto sample = realisticEntry(4242);
    for (auto _ : state) {
        auto next = text.withNewest(sample, core::HistoryService::kMaxEntries);
        benchmark::DoNotOptimize(next.bytes().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fullHistoryBytes().size()));
}
BENCHMARK(BM_Baseline_HistoryTextWithNewest)->Unit(benchmark::kMillisecond);

void BM_HistoryDecode(benchmark::State& state) {
    const std::string& bytes = fullHistoryBytes();
    for (auto _ : state) {
        auto entries = core::history::decode(bytes);
        benchmark::DoNotOptimize(entries);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_HistoryDecode)->Unit(benchmark::kMillisecond);

// Loading as the program does: a new service reading the stored value.
void BM_HistoryServiceLoad(benchmark::State& state) {
    auto store = std::make_shared<platform::InMemoryUserDefaults>();
    store->setData(core::HistoryService::kStorageKey, fullHistoryBytes());
    for (auto _ : state) {
        core::HistoryService service(store);
        benchmark::DoNotOptimize(service.entries().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fullHistoryBytes().size()));
}
BENCHMARK(BM_HistoryServiceLoad)->Unit(benchmark::kMillisecond);

// Baseline: nlohmann parsing the same text, with no records made from it.
void BM_Baseline_NlohmannParse(benchmark::State& state) {
    const std::string& bytes = fullHistoryBytes();
    for (auto _ : state) {
        auto parsed = nlohmann::json::parse(bytes);
        benchmark::DoNotOptimize(parsed);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_Baseline_NlohmannParse)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
