// One frame of the panel's rotating border against the least a conic
// outline costs, and the process's CPU share while the border turns.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QConicalGradient>
#include <QImage>
#include <QPainter>
#include <QTimer>

#include <sys/resource.h>

#include "panel/BorderLayer.h"
#include "panel/ModernRotatingBorder.h"

namespace {

const QSize kPanel(500, 48);

// The subject: both layers (blurred glow and line) at a new angle each frame.
void BM_ModernBorderFrame(benchmark::State& state) {
    panel::ModernRotatingBorder border;
    border.resize(kPanel);
    QImage frame(kPanel, QImage::Format_ARGB32_Premultiplied);
    double phase = 0;
    for (auto _ : state) {
        border.setPhase(phase);
        phase = phase >= 359 ? 0 : phase + 1;
        frame.fill(Qt::transparent);
        border.render(&frame, QPoint(), QRegion(), QWidget::RenderFlags());
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(BM_ModernBorderFrame)->Unit(benchmark::kMicrosecond);

// The baseline: the same rounded outline stroked once with a fixed conic
// gradient, no glow.
void BM_StaticConicOutline(benchmark::State& state) {
    QImage frame(kPanel, QImage::Format_ARGB32_Premultiplied);
    const QRectF rect(QPointF(0, 0), QSizeF(kPanel));
    QConicalGradient conic(rect.center(), 0);
    conic.setStops(panel::BorderLayer::paletteStops(1.0));
    const QPainterPath outline = panel::BorderLayer::outline(rect);
    for (auto _ : state) {
        frame.fill(Qt::transparent);
        QPainter painter(&frame);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setClipPath(outline);
        painter.strokePath(outline, QPen(QBrush(conic), 2));
        painter.end();
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(BM_StaticConicOutline)->Unit(benchmark::kMicrosecond);

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A shown border turning for 5 s: CPU time of the process over wall time.
void BM_TurningBorderCpuShare(benchmark::State& state) {
    for (auto _ : state) {
        QWidget panelBody;
        panelBody.resize(kPanel);
        auto* border = new panel::ModernRotatingBorder(&panelBody);
        border->setGeometry(panelBody.rect());
        panelBody.show();
        const double before = cpuSeconds();
        QTimer::singleShot(5000, qApp, &QCoreApplication::quit);
        QApplication::exec();
        state.counters["cpu_share_percent"] = (cpuSeconds() - before) / 5.0 * 100.0;
    }
}
BENCHMARK(BM_TurningBorderCpuShare)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
