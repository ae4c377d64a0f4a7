#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace bench {

// Reports the p50, p95 and worst of per-event times in milliseconds as the
// benchmark's counters "p50_ms", "p95_ms" and "max_ms".
inline void reportPercentiles(benchmark::State& state, std::vector<double> milliseconds) {
    if (milliseconds.empty()) return;
    std::sort(milliseconds.begin(), milliseconds.end());
    const auto at = [&](double q) {
        return milliseconds[static_cast<std::size_t>(q * static_cast<double>(milliseconds.size() - 1) + 0.5)];
    };
    state.counters["p50_ms"] = at(0.50);
    state.counters["p95_ms"] = at(0.95);
    state.counters["max_ms"] = milliseconds.back();
}

}  // namespace bench
