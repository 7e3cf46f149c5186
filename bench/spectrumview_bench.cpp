// The spectrum view on the main window's hot path: a new target per mouse move
// over the image, then a repaint of the plot.
#include "display/widgets/DispA.h"
#include "display/widgets/SpectrumView.h"

#include <QApplication>
#include <QImage>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

XafsSpectrum edgeSpectrum(int n, double edgeShift) {
    Spectrum s;
    for (int i = 0; i < n; ++i) {
        const double e = 8800 + 400.0 * i / n;
        s.addPoint(e, 0.2 + 0.0002 * (e - 8800) + 1.0 / (1.0 + std::exp(-(e - 9000 - edgeShift))));
    }
    return XafsSpectrum(s, "bench", 1, 0, SuggestElm());
}

// Two alternating targets, as the mouse crossing two pixels would give.
void BM_SetTarget(benchmark::State &state) {
    SpectrumView view;
    const XafsSpectrum a = edgeSpectrum(int(state.range(0)), 0);
    const XafsSpectrum b = edgeSpectrum(int(state.range(0)), 3);
    bool flip = false;
    for (auto _ : state) {
        benchmark::DoNotOptimize(view.setTarget(flip ? a : b));
        flip = !flip;
    }
}
BENCHMARK(BM_SetTarget)->Arg(300)->Arg(3000);

// setTarget plus a full paint of an 800 x 600 plot; range(1): 1 normalised,
// 0 raw curves with background lines.
void BM_SetTargetAndPaint(benchmark::State &state) {
    SpectrumView view;
    view.resize(800, 600);
    view.show();
    QApplication::processEvents();
    view.setNormalize(state.range(1) != 0);
    view.setStandard(edgeSpectrum(int(state.range(0)), -5));
    const XafsSpectrum a = edgeSpectrum(int(state.range(0)), 0);
    const XafsSpectrum b = edgeSpectrum(int(state.range(0)), 3);
    DispA *area = view.drawingArea();
    QImage img(area->size(), QImage::Format_RGB32);
    bool flip = false;
    for (auto _ : state) {
        view.setTarget(flip ? a : b);
        area->render(&img);
        flip = !flip;
    }
}
BENCHMARK(BM_SetTargetAndPaint)
    ->Args({300, 1})
    ->Args({300, 0})
    ->Args({3000, 1})
    ->Unit(benchmark::kMicrosecond);

} // namespace
