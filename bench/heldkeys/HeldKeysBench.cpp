// How long the keys typed while the keyboard was held take to reach the
// panel's prompt (the real PromptField, on Qt's offscreen platform): 5,000
// keys typed at once by a tool (a text expander, a password manager's
// auto-type), a space every seventh, beside a single key. The keyboard stays
// held until the replay is over.
#include <benchmark/benchmark.h>

#include <QVBoxLayout>

#include <memory>
#include <vector>

#include "bench/common/OffscreenApplication.h"
#include "desktop/FloatingPanel.h"
#include "panel/PromptField.h"
#include "platform/HotKeyBackend.h"

namespace {

// Presses and releases of `count` keys: a to z, a space every seventh.
std::vector<platform::HeldKeyEvent> typedText(int count) {
    std::vector<platform::HeldKeyEvent> keys;
    for (int i = 0; i < count; ++i) {
        const bool space = i % 7 == 6;
        const char character = space ? ' ' : static_cast<char>('a' + i % 26);
        const auto code = static_cast<std::uint32_t>(space ? 65 : 24 + i % 26);
        const auto time = static_cast<std::uint32_t>(i);
        keys.push_back({true, code, 0, time, static_cast<std::uint32_t>(character), std::string(1, character)});
        keys.push_back({false, code, 0, time, static_cast<std::uint32_t>(character), std::string(1, character)});
    }
    return keys;
}

void replayInto(benchmark::State& state, int count) {
    bench::offscreenApplication();
    auto view = std::make_unique<QWidget>();
    view->setFixedSize(400, 120);
    auto* prompt = new panel::PromptField;
    (new QVBoxLayout(view.get()))->addWidget(prompt);
    desktop::FloatingPanel panel(std::move(view));
    panel.showPanel();
    prompt->setFocus();
    QApplication::processEvents();
    const auto keys = typedText(count);
    for (auto _ : state) {
        state.PauseTiming();
        prompt->clear();
        state.ResumeTiming();
        panel.typeHeldKeys(keys);
    }
    if (prompt->toPlainText().size() != count) state.SkipWithError("the prompt does not hold what was typed");
    state.counters["keys"] = count;
}

void BM_ReplayOneKey(benchmark::State& state) { replayInto(state, 1); }
BENCHMARK(BM_ReplayOneKey)->Unit(benchmark::kMicrosecond);

void BM_Replay5000Keys(benchmark::State& state) { replayInto(state, 5000); }
BENCHMARK(BM_Replay5000Keys)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
