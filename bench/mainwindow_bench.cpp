// The main window's hot paths: the mu*t spectrum of the bin under the mouse
// with its normalisation, and the cross-section profiles of a large image.
#include "display/widgets/ColorBar.h"
#include "display/widgets/CrossSView.h"
#include "display/widgets/ImgDispA.h"
#include "display/widgets/SpectrumView.h"
#include "imageio/TiffData.h"
#include "mainwindow/widgets/Body.h"
#include "measurement/MeasurementStack.h"
#include "spectrum/XafsSpectrum.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
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

// The whole mouse move in the main window on a 2048 x 2048 stack loaded by
// the loader threads: spectrum of the point, profiles, read-outs and the
// repaint of the image, the profiles and the spectrum view.
void BM_BodyMouseMoveOn2048Stack(benchmark::State &state) {
    QTemporaryDir dir;
    const int n = int(state.range(0));
    QStringList i1Files, i0Files;
    std::vector<quint16> samples(size_t(2048) * 2048);
    for (int i = 0; i < n; ++i) {
        const double e = 7000 + 300.0 * i / n;
        const QString tag = QStringLiteral("%1_0000.tif").arg(int(e), 5, 10, QChar('0'));
        for (size_t p = 0; p < samples.size(); ++p)
            samples[p] = quint16(edgeLevel(e) + double(p % 97));
        i1Files << dir.filePath("i1_" + tag);
        TiffData::write16BitTiff(i1Files.last(), 2048, 2048, samples.data());
        std::fill(samples.begin(), samples.end(), quint16(20000));
        i0Files << dir.filePath("i0_" + tag);
        TiffData::write16BitTiff(i0Files.last(), 2048, 2048, samples.data());
    }
    Body body;
    body.resize(1100, 800);
    body.show();
    body.xafsView()->show();
    int done = 0;
    QObject::connect(&body, &Body::finishBatchExec, [&done](int) { ++done; });
    body.readFiles(Series::I1, i1Files, true);
    body.readFiles(Series::I0, i0Files, true);
    while (done < 2)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    auto *dispA = body.findChild<ImgDispA *>("dispA");
    auto *hCross = body.findChild<CrossSView *>("HCross");
    auto *vCross = body.findChild<CrossSView *>("VCross");
    body.findChild<QLineEdit *>("HWidth")->setText("2");
    body.findChild<QLineEdit *>("VWidth")->setText("2");
    body.findChild<QCheckBox *>("UseI0")->setChecked(true);
    body.showData(n / 2);
    int x = 1000;
    for (auto _ : state) {
        dispA->setImageMousePos(x, 1024);
        dispA->repaint();
        hCross->repaint();
        vCross->repaint();
        body.xafsView()->repaint();
        x = x == 1000 ? 1001 : 1000;
    }
}
BENCHMARK(BM_BodyMouseMoveOn2048Stack)->Arg(20)->Unit(benchmark::kMillisecond);

} // namespace
