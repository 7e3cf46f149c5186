// Energy calibration on a 512 x 512 detector stack of 161 energies with I0:
// the dMidx and inner-product methods with one-pixel bins on 1 and 2 threads
// (bins per second), and writing / reading a 2048 x 2048 energy-shift map.
// Links the core libraries only.
#include "analysis/Analyzed2DRes.h"
#include "analysis/Calibration.h"
#include "analysis/EmpFile.h"
#include "imageio/TiffData.h"
#include "support/CoreBenchMain.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr int Side = 512;
constexpr int Energies = 161;
constexpr double Edge = 8984;

double mu(double e) {
    const double step = 0.5 + std::atan((e - Edge) / 1.5) / M_PI;
    return 0.3 * std::pow(8900 / e, 3) + step + 0.4 * std::exp(-std::pow(e - Edge - 5, 2) / 18);
}

// The measurement: I0 falling off from the centre, I1 = I0 exp(-mu(E - s))
// with a shift s growing across the image, written once and loaded.
struct BenchStack {
    QTemporaryDir dir;
    MeasurementStack stack;
    XafsSpectrum standard;
    BenchStack() {
        std::vector<quint16> i1(size_t(Side) * Side), i0(i1.size());
        for (int k = 0; k < Energies; ++k) {
            const double e = 8900 + 1.5 * k;
            for (int y = 0; y < Side; ++y)
                for (int x = 0; x < Side; ++x) {
                    const double beam =
                        20000 - 0.02 * ((x - 256) * (x - 256) + (y - 256) * (y - 256));
                    const double s = 4.0 * x / Side - 2;
                    i0[size_t(y) * Side + x] = quint16(beam);
                    i1[size_t(y) * Side + x] = quint16(std::lround(beam * std::exp(-mu(e - s))));
                }
            append(Series::I1, k, e, i1);
            append(Series::I0, k, e, i0);
        }
        stack.takeGeometryFromFirstI1();
        Spectrum s;
        for (double e = 8880; e <= 9160; e += 0.5)
            s.addPoint(e, mu(e));
        standard.assign(s, QStringLiteral("std"), 1, 0, SuggestElm());
    }
    void append(Series series, int k, double e, const std::vector<quint16> &px) {
        const QString path = dir.filePath(QStringLiteral("img.tif"));
        TiffData::write16BitTiff(path, Side, Side, px.data());
        auto *t = new TiffData;
        t->load(path);
        t->setEnergy(e);
        stack.append(series, t);
    }
};

BenchStack &benchStack() {
    static BenchStack s;
    return s;
}

// Args: threads, bin rows per iteration, 1 for the row run or 0 for the
// bin-by-bin run it replaced.
void calibrate(benchmark::State &state, CalibMethod method) {
    BenchStack &b = benchStack();
    CalibConditions c;
    c.method = method;
    c.mut.useI0 = true;
    const int rows = int(state.range(1));
    const AnalyzeCond grid(Side, Side, 0, 0, 0, 0, Side, rows);
    Analyzed2DRes map("a2d esm");
    CalibShifts shifts;
    MapRun run;
    b.stack.updateDarkAreas(c.mut);
    const MapRun::TaskFactory factory = state.range(2)
                                            ? calibTaskFactory(b.stack, b.standard, c, shifts)
                                            : calibBinByBinFactory(b.stack, b.standard, c, shifts);
    for (auto _ : state) {
        state.PauseTiming();
        shifts.reset(grid);
        map.prepare(grid);
        state.ResumeTiming();
        run.run(grid, {&map}, factory, int(state.range(0)));
    }
    state.SetItemsProcessed(state.iterations() * grid.binCount());
    state.counters["bins/s"] = benchmark::Counter(double(state.iterations()) * grid.binCount(),
                                                  benchmark::Counter::kIsRate);
}

void BM_CalibDMidx(benchmark::State &state) {
    calibrate(state, CalibMethod::DMidx);
}
BENCHMARK(BM_CalibDMidx)
    ->Args({1, 64, 0})
    ->Args({2, 64, 0})
    ->Args({1, 64, 1})
    ->Args({2, 64, 1})
    ->Args({2, Side, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Default steps: 41 trials at 1 eV and 41 at 0.1 eV per bin.
void BM_CalibInnerP(benchmark::State &state) {
    calibrate(state, CalibMethod::InnerP);
}
BENCHMARK(BM_CalibInnerP)
    ->Args({1, 4, 0})
    ->Args({2, 4, 0})
    ->Args({1, 64, 1})
    ->Args({2, 64, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

constexpr int MapSide = 2048;

struct BenchMap {
    QTemporaryDir dir;
    Analyzed2DRes map{"a2d esm"};
    EmpFile::WriteInfo info;
    QString path = dir.filePath(QStringLiteral("map.emp"));
    BenchMap() {
        const AnalyzeCond g(MapSide, MapSide, 0, 0, 0, 0, MapSide, MapSide);
        map.prepare(g);
        for (int y = 0; y < MapSide; ++y)
            for (int x = 0; x < MapSide; ++x)
                map.setData(x, y, 0, 0, std::sin(x * 0.01) * std::cos(y * 0.02) * 3);
        info.stdEdgeEnergy = Edge;
        info.spacing = 3.1355316;
        info.walk = g;
        info.dataWidth = MapSide;
        info.dataHeight = MapSide;
    }
};

void BM_EmpWrite(benchmark::State &state) {
    BenchMap m;
    for (auto _ : state)
        benchmark::DoNotOptimize(EmpFile::write(m.path, m.map, m.info));
}
BENCHMARK(BM_EmpWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EmpRead(benchmark::State &state) {
    BenchMap m;
    EmpFile::write(m.path, m.map, m.info);
    Analyzed2DRes back;
    for (auto _ : state)
        benchmark::DoNotOptimize(EmpFile::load(m.path, back, {}).ok());
}
BENCHMARK(BM_EmpRead)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv) {
    return coreBenchMain(argc, argv);
}
