// The main window's hot paths: the mu*t spectrum of the bin under the mouse
// with its normalisation, and the cross-section profiles of a large image.
#include "imageio/TiffData.h"
#include "mainwindow/MeasurementStack.h"
#include "spectrum/XafsSpectrum.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>

namespace {

// Writes one frame and reads it back (images only come from files).
TiffData *frame(const QTemporaryDir &dir, const QString &name, int w, int h, double level,
                double energy) {
    std::vector<quint16> samples(size_t(w) * h);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = quint16(level + double(i % 97));
    const QString path = dir.filePath(name);
    TiffData::write16BitTiff(path, w, h, samples.data());
    auto *t = new TiffData;
    t->load(path);
    t->setEnergy(energy);
    return t;
}

double edgeLevel(double e) {
    return 20000.0 * std::exp(-(0.3 + 1.0 / (1.0 + std::exp(-(e - 7112.0) / 2.0))));
}

void fillStack(MeasurementStack &stack, const QTemporaryDir &dir, int images, int w, int h) {
    for (int i = 0; i < images; ++i) {
        const double e = 7000 + 300.0 * i / images;
        stack.append(Series::I1,
                     frame(dir, QStringLiteral("i1_%1.tif").arg(i), w, h, edgeLevel(e), e));
        stack.append(Series::I0, frame(dir, QStringLiteral("i0_%1.tif").arg(i), w, h, 20000, e));
    }
    std::vector<quint16> dark(size_t(w) * h, 100);
    TiffData::write16BitTiff(dir.filePath("dark.tif"), w, h, dark.data());
    stack.loadDark(dir.filePath("dark.tif"));
    stack.takeGeometryFromFirstI1();
}

// 5 x 5 bin over 200 energies with I0 and dark, then the normalisation the
// spectrum view shows.
void BM_MuTSpectrumAndNormalisation(benchmark::State &state) {
    QTemporaryDir dir;
    MeasurementStack stack;
    fillStack(stack, dir, 200, 64, 64);
    stack.setDarkArea(Series::I1, QRectF(0, 0, 4, 4), 100, 100);
    MuTConditions c;
    c.hx = c.hy = 2;
    c.useI0 = true;
    c.darkExpMs = c.i1ExpMs = c.i0ExpMs = 100;
    Spectrum mut;
    XafsSpectrum xafs;
    int x = 10;
    for (auto _ : state) {
        stack.buildMuT(x, 20, c, mut);
        xafs.assign(mut, QStringLiteral("body-show"), 1, 0, SuggestElm());
        benchmark::DoNotOptimize(xafs.dMut());
        x = x == 10 ? 11 : 10;
    }
}
BENCHMARK(BM_MuTSpectrumAndNormalisation)->Unit(benchmark::kMicrosecond);

// Both profiles through the mouse on a 2048 x 2048 image, as mu against the
// interpolated I0 (the ShowData case), plus the spectrum of the point.
void BM_MouseMoveOn2048Stack(benchmark::State &state) {
    QTemporaryDir dir;
    MeasurementStack stack;
    fillStack(stack, dir, int(state.range(0)), 2048, 2048);
    MuTConditions c;
    c.hx = c.hy = 2;
    c.useI0 = true;
    c.darkExpMs = c.i1ExpMs = c.i0ExpMs = 100;
    Spectrum hProfile, vProfile, mut;
    XafsSpectrum xafs;
    int x = 1000;
    for (auto _ : state) {
        stack.horizontalProfile(Series::I1, 3, 1024, c.hy, true, false, hProfile);
        stack.verticalProfile(Series::I1, 3, x, c.hx, true, false, vProfile);
        stack.buildMuT(x, 1024, c, mut);
        xafs.assign(mut, QStringLiteral("body-show"), 1, 0, SuggestElm());
        benchmark::DoNotOptimize(xafs.dMut());
        x = x == 1000 ? 1001 : 1000;
    }
}
BENCHMARK(BM_MouseMoveOn2048Stack)->Arg(20)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    qputenv("LUMENSTACK_QUIET_LOG", "1");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
