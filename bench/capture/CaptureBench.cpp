// One capture of the selection as the shortcut runs it, against another
// program on the same X display:
//  - through PRIMARY: the frontmost program's look-ups, the owner's process
//    and the selection read, beside a bare Xlib program doing the same
//    look-ups and the same read (target: within 2x);
//  - through the simulated copy, whose own waits are 0.45 s per attempt:
//    one attempt, and three when the copy never changes the clipboard
//    (counter "waits_ms" is the sum of the waits);
//  - the paste-back, from the answer's arrival to the clipboard given back
//    (counter "pasted_ms": until the other program has pasted the answer,
//    the activation's 0.3 s wait included), beside the other program's own
//    fetch of the clipboard as the bench drives it.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "OtherApplicationProcess.h"
#include "bench/common/Percentiles.h"
#include "desktop/SystemTextReplacerPlatform.h"
#include "desktop/TextReplacer.h"
#include "platform/qt/QtMainLoop.h"
#include "platform/x11/X11Workspace.h"
#include "testsupport/QtEvents.h"

namespace {

using desktop::TextReplacer;
using namespace std::chrono_literals;

// The other program, frontmost, with "Hello world" in its line edit.
struct Desktop {
    Desktop() {
        static int argc = 1;
        static char name[] = "capture_bench";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
        loop = std::make_shared<platform::QtMainLoop>();
        platform::MainLoop::setMain(loop);
        // It pastes on a turn of its own and says so.
        other = std::make_unique<OtherApplicationProcess>(
            QStringLiteral(QUILLARY_OTHER_APP), QStringList{QStringLiteral("--paste-delay"), QStringLiteral("0")});
        const auto window = other->waitReady();
        platform::X11Workspace workspace;
        other->bringToFront(workspace, window);
        other->send("set-line Hello world");
        // Made once, as the program makes it: its connections stay open.
        platform = desktop::makeSystemTextReplacerPlatform();
    }
    ~Desktop() {
        TextReplacer::resetForTesting();
        other.reset();
        platform::MainLoop::setMain(nullptr);
    }

    // A fresh capture state and the user's clipboard owned by the other
    // program again, as before a real press.
    void prepare(int round) {
        TextReplacer::resetForTesting();
        TextReplacer::install(platform);
        other->send("copy-text user's copy " + std::to_string(round));
        testsupport::runEventsUntil([] { return !QGuiApplication::clipboard()->ownsClipboard(); });
        testsupport::runEventsFor(5ms);
    }

    std::unique_ptr<QApplication> app;
    std::shared_ptr<platform::QtMainLoop> loop;
    std::unique_ptr<OtherApplicationProcess> other;
    desktop::TextReplacerPlatform platform;
};

// Times each run of the measured part alone; the p50 and p95 of them are
// reported, steadier than the mean on a busy machine.
class Samples {
public:
    explicit Samples(benchmark::State& state) : state_(state) {}
    ~Samples() { bench::reportPercentiles(state_, std::move(milliseconds_)); }
    template <typename Work>
    void time(Work work) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state_.SetIterationTime(took.count());
        milliseconds_.push_back(took.count() * 1000);
    }

private:
    benchmark::State& state_;
    std::vector<double> milliseconds_;
};

Desktop& desktopOnce() {
    static Desktop* shared = new Desktop;  // lives until exit, like the program's
    return *shared;
}

void BM_CaptureThroughPrimary(benchmark::State& state) {
    auto& d = desktopOnce();
    d.other->send("select-line 6 5");
    d.other->waitFor("selected");
    int round = 0;
    Samples samples(state);
    for (auto _ : state) {
        d.prepare(++round);
        samples.time([] { TextReplacer::captureSelection(); });
    }
    if (TextReplacer::getSelectedText() != "world") state.SkipWithError("the selection was not captured");
}
BENCHMARK(BM_CaptureThroughPrimary)->Unit(benchmark::kMillisecond)->Iterations(100)->UseManualTime();

// Baseline: a bare Xlib program doing the capture's look-ups (the active
// window, its process and its class) and the same PRIMARY read.
void BM_BareXlibLookupsAndPrimaryRead(benchmark::State& state) {
    auto& d = desktopOnce();
    d.other->send("select-line 6 5");
    d.other->waitFor("selected");
    Display* display = XOpenDisplay(nullptr);
    const Window root = DefaultRootWindow(display);
    const Window window = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom property = XInternAtom(display, "BENCH_SELECTION", False);
    const Atom activeWindow = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    const Atom wmPid = XInternAtom(display, "_NET_WM_PID", False);
    const auto longProperty = [&](Window of, Atom name, Atom type) {
        Atom actual = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        unsigned long value = 0;
        if (XGetWindowProperty(display, of, name, 0, 1, False, type, &actual, &format, &count, &remaining, &data) ==
                Success &&
            data && count == 1)
            value = *reinterpret_cast<unsigned long*>(data);
        if (data) XFree(data);
        return value;
    };
    std::string text;
    unsigned long pid = 0;
    int round = 0;
    Samples samples(state);
    for (auto _ : state) {
        // The same moment as the capture's: just after the other program
        // took the clipboard.
        d.prepare(++round);
        samples.time([&] {
            const Window active = longProperty(root, activeWindow, XA_WINDOW);
            pid = longProperty(active, wmPid, XA_CARDINAL);
            XClassHint hint{nullptr, nullptr};
            if (XGetClassHint(display, active, &hint)) {
                XFree(hint.res_name);
                XFree(hint.res_class);
            }
            XConvertSelection(display, XA_PRIMARY, utf8, property, window, CurrentTime);
            XEvent event;
            do XNextEvent(display, &event);
            while (event.type != SelectionNotify);
            Atom type = None;
            int format = 0;
            unsigned long count = 0, remaining = 0;
            unsigned char* data = nullptr;
            XGetWindowProperty(display, window, property, 0, 1 << 20, True, AnyPropertyType, &type, &format, &count,
                               &remaining, &data);
            text.assign(reinterpret_cast<const char*>(data), count);
            XFree(data);
        });
    }
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    if (text != "world" || pid == 0) state.SkipWithError("the selection was not read");
}
BENCHMARK(BM_BareXlibLookupsAndPrimaryRead)->Unit(benchmark::kMillisecond)->Iterations(100)->UseManualTime();

// The copy fallback: PRIMARY belongs to someone else, so the capture types
// Control+C. `attempts` 3: the clipboard already holds the selection, so no
// copy ever changes it.
void BM_CaptureThroughCopy(benchmark::State& state) {
    auto& d = desktopOnce();
    const bool unchanged = state.range(0) == 3;
    d.other->send("select-line-quietly 0 5");
    d.other->waitFor("selected");
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        d.prepare(++round);
        if (unchanged) {
            d.other->send("copy-text Hello");
            testsupport::runEventsFor(20ms);
        }
        QGuiApplication::clipboard()->setText(QStringLiteral("elsewhere"), QClipboard::Selection);
        state.ResumeTiming();
        TextReplacer::captureSelection();
    }
    state.counters["waits_ms"] = 450.0 * static_cast<double>(state.range(0));
    if (!unchanged && TextReplacer::getSelectedText() != "Hello") state.SkipWithError("the copy did not arrive");
}
BENCHMARK(BM_CaptureThroughCopy)->Arg(1)->Arg(3)->ArgName("attempts")->Unit(benchmark::kMillisecond)->Iterations(4);

void BM_PasteBack(benchmark::State& state) {
    auto& d = desktopOnce();
    const std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
    const Atom clipboard = XInternAtom(display.get(), "CLIPBOARD", False);
    double pastedMs = 0;
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        d.other->send("set-line Hello world");
        d.other->send("select-line 6 5");
        d.other->waitFor("selected");
        d.prepare(++round);
        TextReplacer::captureSelection();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        TextReplacer::replaceSelectedText("there");
        const Window answerOwner = XGetSelectionOwner(display.get(), clipboard);
        if (d.other->waitFor("pasted").empty()) state.SkipWithError("the answer was not pasted");
        pastedMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        testsupport::runEventsUntil([&] { return XGetSelectionOwner(display.get(), clipboard) != answerOwner; });
    }
    state.counters["pasted_ms"] = pastedMs / static_cast<double>(state.iterations());
    if (d.other->dump()["line"] != "Hello there") state.SkipWithError("the answer is not in the other program");
}
BENCHMARK(BM_PasteBack)->Unit(benchmark::kMillisecond)->Iterations(10);

// Baseline: the other program reads the clipboard, driven the same way.
void BM_OtherProgramFetchesTheClipboard(benchmark::State& state) {
    auto& d = desktopOnce();
    d.prepare(0);
    for (auto _ : state) {
        d.other->send("fetch-clipboard");
        if (d.other->waitFor("clipboard ").empty()) state.SkipWithError("no answer from the other program");
    }
}
BENCHMARK(BM_OtherProgramFetchesTheClipboard)->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "capture_bench needs an X display (scripts/bench starts one)\n");
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
