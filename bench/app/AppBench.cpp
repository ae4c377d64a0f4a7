// How fast the program reaches the tray and how much memory it holds idle,
// each beside a bare Qt program with a tray icon and the same menu
// (bare_tray), started the same way on the same display.
//
//   ColdStartToTray: from process start to the icon embedded in the window
//     manager's tray and its main shortcut grabbed (both programs grab it)
//     (target: within 1.5x of the bare program, under 500 ms).
//   IdleMemory: RSS and PSS 2 s after start, from /proc/<pid>/smaps_rollup
//     (target: within 1.1x of the bare program's RSS).
//   SpeechModel: what loading the speech model adds, reported apart: the
//     program loads it only when voice input is first used.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "app/tests/x11/RunningProgram.h"
#include "platform/speech/PocketSphinxEngine.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A fresh home of a program that ran before (no first-launch window).
fs::path freshHome() {
    static int count = 0;
    const fs::path home = fs::temp_directory_path() / ("quillary-app-bench-" + std::to_string(getpid()) + "-" +
                                                       std::to_string(count++));
    fs::remove_all(home);
    fs::create_directories(home / "config" / "quillary");
    std::ofstream(home / "config" / "quillary" / "defaults.json") << R"({"has_launched_before": true})";
    return home;
}

// Kilobytes of one field of /proc/<pid>/smaps_rollup ("Rss", "Pss").
double rollupKilobytes(pid_t pid, const std::string& field) {
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string line;
    while (std::getline(rollup, line))
        if (line.rfind(field + ":", 0) == 0) return std::strtod(line.c_str() + field.size() + 1, nullptr);
    return 0;
}

void stop(apptest::Program& program) {
    kill(program.pid(), SIGTERM);
    program.exitCode();
}

void ColdStartToTray(benchmark::State& state, const char* executable, bool grabsKeys) {
    apptest::X11Probe x11;
    if (!x11.get()) return state.SkipWithError("no display");
    const auto ready = [&](pid_t pid) { return x11.trayIconEmbedded(pid) && (!grabsKeys || x11.mainShortcutGrabbedElsewhere()); };
    {  // once untimed, so both programs start with their files in the page cache
        apptest::Program warm(freshHome(), {}, executable);
        apptest::waitUntil([&] { return ready(warm.pid()); }, 10s, 1ms);
        stop(warm);
    }
    for (auto _ : state) {
        const fs::path home = freshHome();
        const auto start = std::chrono::steady_clock::now();
        apptest::Program program(home, {}, executable);
        const bool shown = apptest::waitUntil([&] { return ready(program.pid()); }, 10s, 1ms);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        stop(program);
        fs::remove_all(home);
        if (!shown) return state.SkipWithError("the tray icon (or the shortcut) never appeared");
        state.SetIterationTime(elapsed.count());
    }
}

void IdleMemory(benchmark::State& state, const char* executable) {
    apptest::X11Probe x11;
    if (!x11.get()) return state.SkipWithError("no display");
    double rss = 0, pss = 0;
    for (auto _ : state) {
        const fs::path home = freshHome();
        const auto start = std::chrono::steady_clock::now();
        apptest::Program program(home, {}, executable);
        if (!apptest::waitUntil([&] { return x11.trayIconEmbedded(program.pid()); })) {
            stop(program);
            return state.SkipWithError("the tray icon never appeared");
        }
        std::this_thread::sleep_until(start + 2s);
        rss += rollupKilobytes(program.pid(), "Rss");
        pss += rollupKilobytes(program.pid(), "Pss");
        stop(program);
        fs::remove_all(home);
    }
    const auto runs = static_cast<double>(state.iterations());
    state.counters["RSS_MB"] = rss / runs / 1024;
    state.counters["PSS_MB"] = pss / runs / 1024;
}

void SpeechModel(benchmark::State& state) {
    for (auto _ : state) {
        const double before = rollupKilobytes(getpid(), "Rss");
        auto engine = platform::PocketSphinxEngine::create({});
        if (!engine) return state.SkipWithError("no speech model installed");
        engine->waitForModel(60s);
        state.counters["added_RSS_MB"] = (rollupKilobytes(getpid(), "Rss") - before) / 1024;
        state.counters["load_s"] = engine->loadDuration().count();
    }
}

}  // namespace

BENCHMARK_CAPTURE(ColdStartToTray, quillary, QUILLARY_EXECUTABLE, true)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(ColdStartToTray, bare_qt_tray, BARE_TRAY_EXECUTABLE, true)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(IdleMemory, quillary, QUILLARY_EXECUTABLE)->Unit(benchmark::kSecond)->Iterations(3);
BENCHMARK_CAPTURE(IdleMemory, bare_qt_tray, BARE_TRAY_EXECUTABLE)->Unit(benchmark::kSecond)->Iterations(3);
BENCHMARK(SpeechModel)->Unit(benchmark::kSecond)->Iterations(1);

BENCHMARK_MAIN();
