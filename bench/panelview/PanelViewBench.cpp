// One frame of the panel view: its layout and paint while the appearance
// effect runs (opacity, scale and blur over the whole panel, the rotating
// border under it) and at rest (the effect gone: only the border's repaint,
// which draws the panel behind it). Beside them, the same frame of a bare Qt
// widget of the panel's size with a rounded background and a line edit.
// Offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLayout>
#include <QLineEdit>
#include <QPainter>
#include <QVBoxLayout>

#include <memory>

#include "bench/common/OffscreenApplication.h"
#include "fakes/PanelHarness.h"
#include "panel/FloatingWindowView.h"
#include "panel/PanelAppearanceEffect.h"
#include "panel/RotatingBorder.h"
#include "platform/fake/FakePasteboard.h"
#include "ui/Animations.h"
#include "ui/RoundedSurface.h"

namespace {

// The baseline: a rounded grey widget of the panel's size holding a line edit.
class BareWidget final : public QWidget {
public:
    BareWidget() {
        setAttribute(Qt::WA_TranslucentBackground);
        setFixedSize(500, 44);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(16, 12, 16, 12);
        layout->addWidget(new QLineEdit);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        ui::RoundedSurface::paint(painter, QRectF(rect()), 24, QColor(31, 31, 31));
    }
};

struct Panel {
    Panel() {
        bench::offscreenApplication();
        ui::Animations::setEnabled(false);
        harness.settings().setOpenaiKey("sk-bench");
        view = std::make_unique<panel::FloatingWindowView>(harness.make(), std::make_shared<platform::FakePasteboard>());
        view->show();
        harness.loop->advance(std::chrono::milliseconds(200));
        QApplication::processEvents();
    }
    // One frame: the layout worked out anew, then the view painted.
    void frame(QWidget& painted) {
        view->layout()->invalidate();
        view->layout()->activate();
        painted.repaint();
    }
    panel::testing::PanelHarness harness;
    std::unique_ptr<panel::FloatingWindowView> view;
};

void BM_PanelFrameWhileAppearing(benchmark::State& state) {
    Panel panel;
    // Midway through the appearance: every part of the effect at work.
    auto* effect = new panel::PanelAppearanceEffect;
    effect->setAppearance(0.6, 0.95, 5.0);
    panel.view->setGraphicsEffect(effect);
    QApplication::processEvents();
    for (auto _ : state) panel.frame(*panel.view);
}
BENCHMARK(BM_PanelFrameWhileAppearing)->Unit(benchmark::kMillisecond);

void BM_PanelFrameAtRest(benchmark::State& state) {
    Panel panel;
    if (panel.view->appearanceEffect() != nullptr) state.SkipWithError("the effect is still on the panel at rest");
    for (auto _ : state) panel.frame(*panel.view->border());
}
BENCHMARK(BM_PanelFrameAtRest)->Unit(benchmark::kMillisecond);

void BM_BareWidgetFrame(benchmark::State& state) {
    bench::offscreenApplication();
    BareWidget widget;
    widget.show();
    QApplication::processEvents();
    for (auto _ : state) {
        widget.layout()->invalidate();
        widget.layout()->activate();
        widget.repaint();
    }
}
BENCHMARK(BM_BareWidgetFrame)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
