// Result-map hot paths on a 2048 x 2048 detector image: rendering through the
// colour map, recording bins during a run, the deglitch filters and the 16-bit
// conversion for saving; the element map run and its correlation maps.
#include "analysis/Analyzed2DRes.h"
#include "analysis/ElemAnalysis.h"
#include "display/ColorMap.h"
#include "imageio/TiffData.h"

#include <QGuiApplication>
#include <QTemporaryDir>
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

// ---- element analysis ----

namespace {

constexpr int ElemSide = 512;
constexpr int ElemEnergies = 161;

// 161 transmission frames from 6400 eV in 10 eV steps with Mn, Fe and Co edges
// whose jumps vary over the image; read as mu = ln(N / I1).
struct ElemStack {
    QTemporaryDir dir;
    MeasurementStack stack;
    ElemStack() {
        std::vector<quint16> s(size_t(ElemSide) * ElemSide);
        for (int i = 0; i < ElemEnergies; ++i) {
            const double e = 6400 + 10.0 * i;
            for (int y = 0; y < ElemSide; ++y)
                for (int x = 0; x < ElemSide; ++x) {
                    const double mu = 0.2 + (e >= 6539 ? 0.3 + 0.001 * x : 0) +
                                      (e >= 7112 ? 0.2 + 0.001 * y : 0) + (e >= 7709 ? 0.1 : 0);
                    s[size_t(y) * ElemSide + x] = quint16(60000 * std::exp(-mu));
                }
            const QString path = dir.filePath(QStringLiteral("e%1.tif").arg(i, 3, 10, QChar('0')));
            TiffData::write16BitTiff(path, ElemSide, ElemSide, s.data());
            auto *t = new TiffData;
            t->load(path);
            t->setEnergy(e);
            stack.append(Series::I1, t);
        }
        stack.takeGeometryFromFirstI1();
    }
};

ElemStack &elemStack() {
    static ElemStack s;
    return s;
}

std::shared_ptr<ElemRunSetup> elemSetup(const MeasurementStack &stack) {
    auto s = std::make_shared<ElemRunSetup>();
    s->stack = &stack;
    for (const ElemTarget &t : parseElemTargets("Mn Fe Co", true)) {
        ElemCondition c;
        c.e0 = t.e0;
        c.roiStart = t.e0 + 30;
        c.roiEnd = t.e0 + 80;
        s->conds.append(c);
    }
    s->stdRatios = {1, 0.5, 0.2};
    s->use = {1, 1, 1};
    return s;
}

// The whole element run with 1-pixel bins: mu*t of every bin over the 161
// energies, three elements, nine maps written per bin.
void BM_ElemRun512(benchmark::State &state) {
    ElemStack &es = elemStack();
    auto setup = elemSetup(es.stack);
    es.stack.updateDarkAreas(setup->mut);
    const AnalyzeCond grid(ElemSide, ElemSide, 0, 0, 0, 0, ElemSide, ElemSide);
    std::vector<std::unique_ptr<Analyzed2DRes>> maps;
    QVector<Analyzed2DRes *> list;
    for (int k = 0; k < elemMapCount(3); ++k) {
        maps.push_back(std::make_unique<Analyzed2DRes>());
        list << maps.back().get();
    }
    MapRun run;
    for (auto _ : state) {
        state.PauseTiming();
        for (Analyzed2DRes *m : list)
            m->prepare(grid);
        state.ResumeTiming();
        run.run(grid, list, elemTaskFactory(setup), int(state.range(0)));
    }
    state.SetItemsProcessed(state.iterations() * ElemSide * ElemSide);
    state.counters["bins/s"] = benchmark::Counter(double(ElemSide) * ElemSide,
                                                  benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ElemRun512)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// "ReCalc Cor." over a 512 x 512 map of three elements.
void BM_CorrelationRecalc512(benchmark::State &state) {
    const AnalyzeCond grid(ElemSide, ElemSide, 0, 0, 0, 0, ElemSide, ElemSide);
    Analyzed2DRes r[3], cor, th;
    for (Analyzed2DRes *m : {&r[0], &r[1], &r[2], &cor, &th})
        m->prepare(grid);
    AnalyzeCond g = grid;
    do {
        r[0].setData(g.cx, g.cy, 0, 0, 1);
        r[1].setData(g.cx, g.cy, 0, 0, 0.001 * g.cx);
        r[2].setData(g.cx, g.cy, 0, 0, 0.001 * g.cy);
    } while (g.next());
    const QVector<const Analyzed2DRes *> ratios{&r[0], &r[1], &r[2]};
    for (auto _ : state)
        recalcCorrelationMaps(ratios, {1, 0.5, 0.2}, {1, 1, 1}, 0.999, cor, th);
    state.SetItemsProcessed(state.iterations() * ElemSide * ElemSide);
}
BENCHMARK(BM_CorrelationRecalc512)->Unit(benchmark::kMillisecond);

} // namespace
