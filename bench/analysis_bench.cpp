// Result-map hot paths on a 2048 x 2048 detector image: rendering through the
// colour map, recording bins during a run, the deglitch filters and the 16-bit
// conversion for saving.
#include "analysis/Analyzed2DRes.h"
#include "display/ColorMap.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

constexpr int Side = 2048;

// A smooth map with a sprinkle of spikes, filled bin by bin like a run does.
void fillMap(Analyzed2DRes &map, int half) {
    AnalyzeCond g(Side, Side, half, half, 0, 0, Side, Side, -1, -1);
    map.prepare(g);
    int k = 0;
    do {
        const double v = std::sin(g.cx * 0.01) * std::cos(g.cy * 0.013) + (++k % 97 == 0 ? 5 : 0);
        map.setData(g.cx, g.cy, g.hx, g.hy, v);
    } while (g.next());
}

void BM_GenImg(benchmark::State &state) {
    Analyzed2DRes map("bench");
    fillMap(map, int(state.range(1)));
    map.setImageFormat(state.range(0) ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
    for (auto _ : state) {
        map.genImg();
        benchmark::DoNotOptimize(map.img().constBits());
    }
    state.SetItemsProcessed(state.iterations() * Side * Side);
}
// Args: RGB (1) or grey (0), bin half size (0: every pixel its own value).
BENCHMARK(BM_GenImg)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

// One full run's recording: every bin of the image written once.
void BM_SetDataOverRun(benchmark::State &state) {
    const int half = int(state.range(0));
    Analyzed2DRes map("bench");
    AnalyzeCond g(Side, Side, half, half, 0, 0, Side, Side, -1, -1);
    map.prepare(g);
    for (auto _ : state) {
        g.reset();
        do {
            map.setData(g.cx, g.cy, g.hx, g.hy, g.cx * 0.5);
        } while (g.next());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * Side * Side);
}
BENCHMARK(BM_SetDataOverRun)->Arg(0)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond);

void BM_Deglitch(benchmark::State &state) {
    Analyzed2DRes map("bench");
    fillMap(map, int(state.range(0)));
    for (auto _ : state)
        map.deglitch();
    state.SetItemsProcessed(state.iterations() * Side * Side);
}
BENCHMARK(BM_Deglitch)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_Deglitch2(benchmark::State &state) {
    Analyzed2DRes map("bench");
    fillMap(map, int(state.range(0)));
    for (auto _ : state)
        map.deglitch2(2);
    state.SetItemsProcessed(state.iterations() * Side * Side);
}
BENCHMARK(BM_Deglitch2)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_TiffDataForSave(benchmark::State &state) {
    Analyzed2DRes map("bench");
    fillMap(map, 1);
    for (auto _ : state) {
        MapSamples16 s = map.tiffDataForSave(true, -0.5, 0.5, state.range(0) != 0);
        benchmark::DoNotOptimize(s.samples.data());
    }
}
BENCHMARK(BM_TiffDataForSave)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
