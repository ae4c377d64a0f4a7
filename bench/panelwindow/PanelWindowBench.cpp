// How long the prompt panel takes from showWindow until another X client
// sees it mapped and focused (MapNotify and FocusIn), beside a bare Qt
// program that shows a frameless Qt::Tool window of the same size. Each
// showing starts with a normal window of the program focused. The figures
// are per showing: p50, p95 and the worst, in milliseconds.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QVBoxLayout>

#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "bench/common/Percentiles.h"
#include "core/Analytics.h"
#include "core/Settings.h"
#include "desktop/FloatingPanel.h"
#include "desktop/FloatingWindowManager.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/qt/QtMainLoop.h"
#include "XObserver.h"

namespace {

constexpr int kShowings = 50;

QApplication& application() {
    static int argc = 1;
    static char name[] = "panelwindow_bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "xcb");
    static auto* app = new QApplication(argc, argv);  // lives as long as the process
    QApplication::setQuitOnLastWindowClosed(false);
    return *app;
}

// What the panel hosts: a 500 x 120 area with a prompt field.
std::unique_ptr<QWidget> makeView() {
    auto view = std::make_unique<QWidget>();
    view->setFixedSize(500, 120);
    auto* layout = new QVBoxLayout(view.get());
    layout->addWidget(new QLineEdit);
    return view;
}

bool spinUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 5000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    return true;
}

// A normal window of the program that has the keyboard before each showing.
class Stage {
public:
    Stage() {
        other_.setGeometry(100, 100, 600, 400);
        other_.show();
    }
    bool focusOther() {
        other_.activateWindow();
        return spinUntil([&] { return other_.isActiveWindow(); });
    }

private:
    QApplication& app_ = application();
    QWidget other_;
};

// Times each showing: `reset` (untimed) puts the previous window away, then
// a normal window takes the keyboard, then `show` runs until the observer
// has seen the shown window mapped and focused. Reports p50, p95 and the
// worst showing in milliseconds.
void measureShowings(benchmark::State& state, desktop::XObserver& observer, const std::function<void()>& reset,
                     const std::function<void()>& show) {
    Stage stage;
    std::vector<double> samples;
    for (auto _ : state) {
        reset();
        if (!stage.focusOther()) {
            state.SkipWithError("the normal window did not get the keyboard");
            return;
        }
        QElapsedTimer timer;
        timer.start();
        show();
        if (!spinUntil([&] { return observer.sawMappedAndFocused(); })) {
            state.SkipWithError("the window was not mapped and focused");
            return;
        }
        const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        samples.push_back(seconds * 1000);
    }
    bench::reportPercentiles(state, std::move(samples));
}

void BM_PanelShowWindow(benchmark::State& state) {
    application();
    desktop::XObserver observer;
    if (!observer.ok()) {
        state.SkipWithError("no X display");
        return;
    }
    auto loop = std::make_shared<platform::QtMainLoop>();
    auto defaults = std::make_shared<platform::InMemoryUserDefaults>();
    core::Analytics analytics;
    core::Settings settings(defaults, analytics);
    desktop::FloatingWindowManager::Environment environment;
    environment.loop = loop;
    environment.panelClosedWithoutPasteBack = [] {};
    const auto system = desktop::FloatingPanel::defaultWindowSystem();
    environment.windowSystem = system;
    environment.makeWindow = [&](std::unique_ptr<QWidget> view) -> std::unique_ptr<desktop::PanelWindow> {
        auto panel = std::make_unique<desktop::FloatingPanel>(std::move(view), system);
        observer.watch(static_cast<unsigned long>(panel->winId()));
        return panel;
    };
    desktop::FloatingWindowManager manager(settings, std::move(environment));
    manager.setViewFactory([](desktop::PanelViewContext) { return makeView(); });

    measureShowings(
        state, observer,
        [&] {
            if (manager.state() == desktop::FloatingWindowManager::State::panelVisible) manager.toggleWindow();
        },
        [&] { manager.showWindow(false, false); });
}
BENCHMARK(BM_PanelShowWindow)->Iterations(kShowings)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_BareQtToolWindowShow(benchmark::State& state) {
    application();
    desktop::XObserver observer;
    if (!observer.ok()) {
        state.SkipWithError("no X display");
        return;
    }
    std::unique_ptr<QWidget> window;
    measureShowings(
        state, observer, [&] { window.reset(); },
        [&] {
            window = std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint);
            auto* layout = new QVBoxLayout(window.get());
            layout->setContentsMargins(0, 0, 0, 0);
            layout->addWidget(makeView().release());
            window->resize(500, 120);
            observer.watch(static_cast<unsigned long>(window->winId()));
            window->show();
            window->activateWindow();
        });
}
BENCHMARK(BM_BareQtToolWindowShow)->Iterations(kShowings)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
