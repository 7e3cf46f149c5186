// Result-map hot paths on a 2048 x 2048 detector image: rendering through the
// colour map, recording bins during a run, the deglitch filters and the 16-bit
// conversion for saving; the element map run and its correlation maps.
// Links the core libraries only.
#include "analysis/Analyzed2DRes.h"
#include "analysis/ElemAnalysis.h"
#include "display/ColorMap.h"
#include "imageio/TiffData.h"
#include "render/MapPicture.h"
#include "support/CoreBenchMain.h"

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

void BM_MapPicture(benchmark::State &state) {
    Analyzed2DRes map("bench");
    fillMap(map, int(state.range(1)));
    const QImage::Format format =
        state.range(0) ? QImage::Format_RGB888 : QImage::Format_Grayscale8;
    for (auto _ : state) {
        const QImage picture = mapPicture(map, ColorMap::shared(), format).image;
        benchmark::DoNotOptimize(picture.constBits());
    }
    state.SetItemsProcessed(state.iterations() * Side * Side);
}
// Args: RGB (1) or grey (0), bin half size (0: every pixel its own value).
BENCHMARK(BM_MapPicture)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

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

std::shared_ptr<ElemRunSetup> elemSetup(const MeasurementStack &stack, const QString &targets) {
    auto s = std::make_shared<ElemRunSetup>();
    s->stack = &stack;
    for (const ElemTarget &t : parseElemTargets(targets, true)) {
        ElemCondition c;
        c.e0 = t.e0;
        c.roiStart = t.e0 + 30;
        c.roiEnd = t.e0 + 80;
        s->conds.append(c);
        s->stdRatios.append(1.0);
        s->use.append(1);
    }
    s->logBins = false;
    return s;
}

// The whole element run with 1-pixel bins: mu*t of every bin, the elements'
// seven maps and the correlation maps written per bin. Args: threads, 1 for
// the row run or 0 for the bin-by-bin run it replaced.
void runElemMaps(benchmark::State &state, MeasurementStack &stack,
                 const std::shared_ptr<ElemRunSetup> &setup) {
    stack.updateDarkAreas(setup->mut);
    const AnalyzeCond grid(ElemSide, ElemSide, 0, 0, 0, 0, ElemSide, ElemSide);
    std::vector<std::unique_ptr<Analyzed2DRes>> maps;
    QVector<Analyzed2DRes *> list;
    for (int k = 0; k < elemMapCount(setup->elemCount()); ++k) {
        maps.push_back(std::make_unique<Analyzed2DRes>());
        list << maps.back().get();
    }
    const MapRun::TaskFactory factory =
        state.range(1) ? elemTaskFactory(setup) : elemBinByBinFactory(setup);
    MapRun run;
    for (auto _ : state) {
        state.PauseTiming();
        for (Analyzed2DRes *m : list)
            m->prepare(grid);
        state.ResumeTiming();
        run.run(grid, list, factory, int(state.range(0)));
    }
    state.SetItemsProcessed(state.iterations() * ElemSide * ElemSide);
    state.counters["bins/s"] = benchmark::Counter(double(ElemSide) * ElemSide,
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

// Three edges over 1600 eV in 10 eV steps, transmission without I0.
void BM_ElemRun512ThreeEdges(benchmark::State &state) {
    ElemStack &es = elemStack();
    runElemMaps(state, es.stack, elemSetup(es.stack, QStringLiteral("Mn Fe Co")));
}
BENCHMARK(BM_ElemRun512ThreeEdges)
    ->ArgsProduct({{1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

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

// ---------------------------------------------------------------- LCF runs
// A 512 x 512 stack of 161 energies with I0, mixing two references from left
// to right, analysed with 1-pixel bins: mu*t, normalisation, fit and map
// writes per bin. The parts are timed on their own to show where a bin's
// time goes.

#include "analysis/AnalyzeProc.h"
#include "analysis/LcfRun.h"
#include "analysis/RedrawThrottle.h"
#include "imageio/TiffData.h"
#include "measurement/BinSpectrum.h"
#include "support/LcfBenchStack.h"

#include <QEventLoop>
#include <QTemporaryDir>
#include <memory>
#include <vector>

namespace {

using namespace lcfbench;

void runLcfMaps(benchmark::State &state, const LcfRunSettings &settings) {
    const AnalyzeCond grid(StackSide, StackSide, 0, 0, 0, 0, StackSide, StackSide);
    std::vector<std::unique_ptr<Analyzed2DRes>> maps;
    QVector<Analyzed2DRes *> list;
    for (int k = 0; k < lcfMapCount(4, settings.options.quality); ++k) {
        maps.push_back(std::make_unique<Analyzed2DRes>());
        maps.back()->prepare(grid);
        list.append(maps.back().get());
    }
    const MapRun::TaskFactory factory = lcfRunFactory(settings);
    for (auto _ : state) {
        MapRun run;
        run.run(grid, list, factory, int(state.range(0)));
    }
    state.SetItemsProcessed(state.iterations() * grid.binCount());
}

void BM_LcfRun(benchmark::State &state) {
    runLcfMaps(state, benchStack().settings());
}
// Arg: threads.
BENCHMARK(BM_LcfRun)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The element run on the LCF stack at the iron K edge, with I0 and the Fe K
// suggestion (which the element analysis does not read): the Fe row, its ROI
// 30 to 80 eV above the edge. Args as BM_ElemRun512ThreeEdges.
void BM_ElemRun512(benchmark::State &state) {
    BenchStack &b = feKStack();
    auto setup = elemSetup(b.stack, QStringLiteral("Fe"));
    setup->mut = b.conditions;
    runElemMaps(state, b.stack, setup);
}
BENCHMARK(BM_ElemRun512)
    ->ArgsProduct({{1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A run on 2 threads while the window's thread makes the pictures of every
// map each time rows are merged ("Disp. on Time"), as the window does, or
// through RedrawThrottle. Args: run (0 = the element run over three edges,
// 23 maps; 1 = the LCF run at Fe K, 9 maps), redraw (0 = none, 1 = at every
// merge, 2 = throttled, the last merge left to the run's end).
void BM_RunWhileRedrawn(benchmark::State &state) {
    ElemStack &es = elemStack();
    const auto elem = elemSetup(es.stack, QStringLiteral("Mn Fe Co"));
    es.stack.updateDarkAreas(elem->mut);
    LcfRunSettings lcf = feKStack().settings();
    lcf.suggestion = feKSuggestion();
    const bool isElem = state.range(0) == 0;
    const int mapCount = isElem ? elemMapCount(3) : lcfMapCount(4);
    const MapRun::TaskFactory factory = isElem ? elemTaskFactory(elem) : lcfRunFactory(lcf);
    const AnalyzeCond grid(StackSide, StackSide, 0, 0, 0, 0, StackSide, StackSide);
    std::vector<std::unique_ptr<Analyzed2DRes>> maps;
    QVector<Analyzed2DRes *> list;
    for (int k = 0; k < mapCount; ++k) {
        maps.push_back(std::make_unique<Analyzed2DRes>());
        list << maps.back().get();
    }
    const int mode = int(state.range(1));
    RedrawThrottle throttle;
    int redraws = 0;
    const auto redraw = [&] {
        for (Analyzed2DRes *m : list)
            benchmark::DoNotOptimize(mapPicture(*m).image.constBits());
        ++redraws;
    };
    for (auto _ : state) {
        state.PauseTiming();
        for (Analyzed2DRes *m : list)
            m->prepare(grid);
        state.ResumeTiming();
        MapRun run;
        QEventLoop loop;
        QObject::connect(&run, &MapRun::rowsMerged, &loop, [&](int rows) {
            if (mode == 1)
                redraw();
            else if (mode == 2)
                throttle.redrawRowsIfDue(rows, run.rowCount(), redraw);
        });
        QObject::connect(&run, &MapRun::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
        run.start(grid, list, factory, 2);
        loop.exec();
        run.wait();
    }
    state.SetItemsProcessed(state.iterations() * grid.binCount());
    state.counters["redraws"] = double(redraws) / double(state.iterations());
}
BENCHMARK(BM_RunWhileRedrawn)
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same run with every I1 image registered: 0 = no shift, 1 = whole
// pixels, 2 = fractions of a pixel (each reader interpolates between four
// stored pixels).
void BM_LcfRunShifted(benchmark::State &state) {
    MeasurementStack &stack = benchStack().stack;
    const int kind = int(state.range(1));
    for (int k = 0; k < stack.i1().size(); ++k) {
        const double dx = kind == 0 ? 0 : kind == 1 ? 1 + k % 3 : 0.3 + 0.01 * k;
        const double dy = kind == 0 ? 0 : kind == 1 ? -1 : -0.45;
        stack.setImageShift(Series::I1, k, dx, dy);
    }
    runLcfMaps(state, benchStack().settings());
    stack.clearShifts(Series::I1);
}
// Args: threads, shifts.
BENCHMARK(BM_LcfRunShifted)
    ->ArgsProduct({{1, 2}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same run with the fit options: 1 = quality maps only, 2 = non-negative
// and sum to one, 3 = both constraints and the quality maps.
void BM_LcfRunOptions(benchmark::State &state) {
    LcfRunSettings s = benchStack().settings();
    const int options = int(state.range(1));
    s.options.quality = options != 2;
    s.options.nonNegative = s.options.sumToOne = options >= 2;
    runLcfMaps(state, s);
}
// Args: threads, options.
BENCHMARK(BM_LcfRunOptions)
    ->ArgsProduct({{1, 2}, {1, 2, 3}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The interactive analysis: one spectrum through the worker, fitted curve
// included.
void BM_AnalyzeOneSpectrum(benchmark::State &state) {
    BenchStack &b = benchStack();
    Spectrum mut;
    XafsSpectrum s, res;
    buildBinSpectrum(b.stack, 200, 200, b.bin(), "Body-AaP", mut, s);
    AnalyzeProc proc;
    for (auto _ : state)
        proc.analyzeSpectrum0(s, b.rows, &res, state.range(0) == 1, 0, 30000, SuggestElm());
}
// Arg: 0 = LCF, 1 = MLCF.
BENCHMARK(BM_AnalyzeOneSpectrum)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Parts of one bin: 0 = mu*t, 1 = mu*t + normalisation, 2 = everything (run
// engine with its reference cache).
void BM_BinParts(benchmark::State &state) {
    BenchStack &b = benchStack();
    Spectrum mut;
    XafsSpectrum s;
    LcfEngine engine;
    engine.setReferencesFixed(true);
    LcfResult out;
    const BinSpectrumSettings bs = b.bin();
    const QString name = QStringLiteral("Body-AaP");
    int x = 0;
    for (auto _ : state) {
        x = (x + 1) % StackSide;
        if (state.range(0) == 0) {
            b.stack.computeMuT(x, 100, bs.conditions, mut);
        } else {
            buildBinSpectrum(b.stack, x, 100, bs, name, mut, s);
            if (state.range(0) == 2)
                engine.analyze(LcfKind::LCF, s, b.rows, 0, 30000, SuggestElm(), nullptr, out);
        }
        benchmark::DoNotOptimize(out.residual);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BinParts)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

} // namespace

// ---------------------------------------------------------------- components
// PCA (5 components) and, with arg 1, k-means (4 clusters) on its scores over
// the 512 x 512 x 161 stack with 1-pixel bins; the second arg is the thread
// count. bench/components_peer.py runs the same analysis with numpy and
// scikit-learn.

#include "analysis/ComponentRun.h"

namespace {

void BM_ComponentRun512(benchmark::State &state) {
    BenchStack &b = benchStack();
    ComponentSettings s;
    s.stack = &b.stack;
    s.bin = b.bin();
    s.components = 5;
    s.clusters = 4;
    const ComponentKind kind = state.range(0) == 1 ? ComponentKind::Clusters : ComponentKind::Pca;
    const AnalyzeCond grid(StackSide, StackSide, 0, 0, 0, 0, StackSide, StackSide);
    for (auto _ : state) {
        ComponentRun run;
        if (!run.run(kind, s, grid, int(state.range(1))))
            state.SkipWithError(qPrintable(run.problem()));
        if (kind == ComponentKind::Clusters)
            state.counters["kMeansIterations"] = run.result().kMeansIterations;
        state.counters["ratio1"] = run.result().explainedRatios.value(0);
    }
    state.SetItemsProcessed(state.iterations() * grid.binCount());
}
// Args: 0 = PCA, 1 = PCA + k-means; threads.
BENCHMARK(BM_ComponentRun512)
    ->ArgsProduct({{0, 1}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv) {
    return coreBenchMain(argc, argv);
}
