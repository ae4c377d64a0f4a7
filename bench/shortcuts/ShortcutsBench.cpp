// The time from one hot-key event to its handlers. Dispatch reads every
// listening name's stored shortcut on each press (no cache, so a change of
// storage is seen at once): with 50 names that is 50 storage reads and 50
// JSON decodes per press, which must stay far below one 16 ms frame.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "GlobalShortcuts/CarbonGlobalShortcuts.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/KeyCharacters.h"
#include "GlobalShortcuts/ModifierFlags.h"
#include "platform/fake/FakeKeyboardLayout.h"
#include "platform/fake/InMemoryHotKeyBackend.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/linux/JsonFileUserDefaults.h"

namespace {

using namespace GlobalShortcuts;
namespace Flags = GlobalShortcuts::ModifierFlags;

constexpr int kNames = 50;

// 50 names, each with its own combination (letters and digits with
// command + shift or control + option) and one key-down action.
struct Setup {
    std::shared_ptr<platform::InMemoryHotKeyBackend> desktop = std::make_shared<platform::InMemoryHotKeyBackend>();
    std::vector<Shortcut> shortcuts;
    long long fired = 0;

    explicit Setup(std::shared_ptr<platform::UserDefaults> defaults) {
        platform::UserDefaults::setStandard(std::move(defaults));
        GlobalShortcuts::resetForTesting();
        CarbonGlobalShortcuts::setBackend(desktop);
        setKeyboardLayout(platform::FakeKeyboardLayout::usQwerty());
        for (int i = 0; i < kNames; ++i) {
            const Key key = Key::all[static_cast<std::size_t>(i % 36)];  // letters and digits
            const auto flags = i < 36 ? Flags::command | Flags::shift : Flags::control | Flags::option;
            shortcuts.emplace_back(key, flags);
            const Name name("name" + std::to_string(i), shortcuts.back());
            onKeyDown(name, [this] { ++fired; });
        }
    }
    ~Setup() {
        GlobalShortcuts::resetForTesting();
        CarbonGlobalShortcuts::setBackend(nullptr);
        platform::UserDefaults::setStandard(nullptr);
    }

    platform::HotKeyCombination last() const {
        return {static_cast<std::uint32_t>(shortcuts.back().carbonKeyCode()),
                static_cast<std::uint32_t>(shortcuts.back().carbonModifiers())};
    }
};

void reportFired(benchmark::State& state, long long fired) {
    state.counters["handlers_run"] = benchmark::Counter(static_cast<double>(fired), benchmark::Counter::kAvgIterations);
}

void BM_HotKeyToHandler_InMemoryStore(benchmark::State& state) {
    Setup setup(std::make_shared<platform::InMemoryUserDefaults>());
    const auto combination = setup.last();
    for (auto _ : state)
        benchmark::DoNotOptimize(setup.desktop->press(combination));
    reportFired(state, setup.fired);
}
BENCHMARK(BM_HotKeyToHandler_InMemoryStore);

// The program's store: the JSON settings file, read from memory after load.
void BM_HotKeyToHandler_JsonFileStore(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / ("shortcuts_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    {
        Setup setup(std::make_shared<platform::JsonFileUserDefaults>(folder / "defaults.json"));
        const auto combination = setup.last();
        for (auto _ : state)
            benchmark::DoNotOptimize(setup.desktop->press(combination));
        reportFired(state, setup.fired);
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_HotKeyToHandler_JsonFileStore);

// Baseline: what a press costs with nothing to decode, the hot-key lookup
// and one action called straight from the desktop's handler.
void BM_Baseline_HotKeyToDirectCall(benchmark::State& state) {
    platform::InMemoryHotKeyBackend desktop;
    long long fired = 0;
    const platform::HotKeyCombination combination{9, 0x300};
    desktop.registerHotKey(combination, {CarbonGlobalShortcuts::kSignature, 1});
    std::function<void()> action = [&] { ++fired; };
    desktop.setHandler([&](platform::HotKeyEventKind, platform::HotKeyId) {
        action();
        return platform::hotkey_status::noErr;
    });
    for (auto _ : state)
        benchmark::DoNotOptimize(desktop.press(combination));
    reportFired(state, fired);
}
BENCHMARK(BM_Baseline_HotKeyToDirectCall);

// Baseline: the 50 decodes alone, without storage or dispatch.
void BM_Baseline_Decode50StoredTexts(benchmark::State& state) {
    std::vector<std::string> texts;
    for (int i = 0; i < kNames; ++i)
        texts.push_back(Shortcut(Key::all[static_cast<std::size_t>(i % 36)], Flags::command).toJson());
    for (auto _ : state)
        for (const auto& text : texts)
            benchmark::DoNotOptimize(Shortcut::fromJson(text));
}
BENCHMARK(BM_Baseline_Decode50StoredTexts);

}  // namespace

BENCHMARK_MAIN();
