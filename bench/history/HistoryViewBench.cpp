// The History tab with a full history (1000 entries of a few KB each).
//
// One keystroke's filter: the search over the folded input, output, model
// and application of every entry, beside a plain byte search (memmem) of the
// same lower-case query over the same fields already lower-cased. The query
// is found in no entry, so every field is searched to its end: the worst
// keystroke. A second pair uses a query that most entries hold.
//
// Opening the tab: the store's parse of the stored list, the tab built over
// it (the search texts folded), laid out and painted once, beside the parse
// alone. The list lays out its rows in batches: the first frame holds the
// first batch, and the rest follow in the next turns of the event loop.
// Offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include <benchmark/benchmark.h>
#include <string.h>

#include <QApplication>
#include <QListView>
#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "bench/common/OffscreenApplication.h"
#include "bench/common/FullHistory.h"
#include "core/HistoryService.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "ui/Screenshot.h"
#include "windows/HistoryView.h"
#include "windows/SearchableEntry.h"

namespace {

std::vector<core::HistoryEntry> fullHistory() {
    std::vector<core::HistoryEntry> entries;
    for (unsigned i = 0; i < core::HistoryService::kMaxEntries; ++i) entries.push_back(bench::realisticEntry(i));
    return entries;
}

const std::vector<windows::SearchableEntry>& folded() {
    static const auto texts = [] {
        std::vector<windows::SearchableEntry> out;
        for (const auto& entry : fullHistory()) out.push_back(windows::SearchableEntry::make(entry));
        return out;
    }();
    return texts;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

const std::vector<std::vector<std::string>>& lowered() {
    static const auto texts = [] {
        std::vector<std::vector<std::string>> out;
        for (const auto& e : fullHistory()) {
            out.push_back({lower(e.input), lower(e.output), lower(e.modelName), lower(e.applicationName)});
        }
        return out;
    }();
    return texts;
}

constexpr const char* kMiss = "Quillary";  // in no entry
constexpr const char* kHit = "Function";   // in nearly every input

void filter(benchmark::State& state, const char* query) {
    const auto& texts = folded();
    std::size_t shown = 0;
    for (auto _ : state) {
        const auto rows = windows::filteredEntries(texts, query);
        shown = rows.size();
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["shown"] = static_cast<double>(shown);
}

void memmemBaseline(benchmark::State& state, const char* query) {
    const auto& texts = lowered();
    const std::string needle = lower(query);
    std::size_t shown = 0;
    for (auto _ : state) {
        std::vector<std::size_t> rows;
        rows.reserve(texts.size());
        for (std::size_t i = 0; i < texts.size(); ++i) {
            for (const auto& field : texts[i]) {
                if (::memmem(field.data(), field.size(), needle.data(), needle.size())) {
                    rows.push_back(i);
                    break;
                }
            }
        }
        shown = rows.size();
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["shown"] = static_cast<double>(shown);
}

void BM_HistoryFilterKeystroke_NoMatch(benchmark::State& state) { filter(state, kMiss); }
void BM_MemmemBaseline_NoMatch(benchmark::State& state) { memmemBaseline(state, kMiss); }
void BM_HistoryFilterKeystroke_MostMatch(benchmark::State& state) { filter(state, kHit); }
void BM_MemmemBaseline_MostMatch(benchmark::State& state) { memmemBaseline(state, kHit); }
BENCHMARK(BM_HistoryFilterKeystroke_NoMatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemmemBaseline_NoMatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryFilterKeystroke_MostMatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemmemBaseline_MostMatch)->Unit(benchmark::kMillisecond);

std::shared_ptr<platform::InMemoryUserDefaults> storedFullHistory() {
    auto defaults = std::make_shared<platform::InMemoryUserDefaults>();
    defaults->setData(core::HistoryService::kStorageKey, bench::fullHistoryBytes());
    return defaults;
}

void BM_HistoryTabOpen(benchmark::State& state) {
    bench::offscreenApplication();
    const auto defaults = storedFullHistory();
    for (auto _ : state) {
        core::HistoryService store(defaults);
        windows::HistoryView tab(store);
        tab.resize(600, 460);
        tab.show();
        benchmark::DoNotOptimize(ui::Screenshot::grab(tab));  // laid out and painted once
        if (tab.list()->model()->rowCount() != int(core::HistoryService::kMaxEntries)) state.SkipWithError("rows missing");
    }
}
BENCHMARK(BM_HistoryTabOpen)->Unit(benchmark::kMillisecond);

void BM_HistoryParseOnly(benchmark::State& state) {
    const auto defaults = storedFullHistory();
    for (auto _ : state) {
        core::HistoryService store(defaults);
        benchmark::DoNotOptimize(store.entries().data());
    }
}
BENCHMARK(BM_HistoryParseOnly)->Unit(benchmark::kMillisecond);

// The part of opening that the search adds: folding every entry once.
void BM_HistoryFoldOnLoad(benchmark::State& state) {
    const auto entries = fullHistory();
    for (auto _ : state) {
        std::vector<windows::SearchableEntry> texts;
        texts.reserve(entries.size());
        for (const auto& entry : entries) texts.push_back(windows::SearchableEntry::make(entry));
        benchmark::DoNotOptimize(texts.data());
    }
}
BENCHMARK(BM_HistoryFoldOnLoad)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
