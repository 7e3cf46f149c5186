// Image registration and the dark check on 2048 x 2048 detector images: the
// edge image, one hill-climb step (eight scores), phase correlation, and the
// dark check over a series of 200 images held in memory. And the alignment of
// a series of 1024 x 1024 images to 1/20 pixel on 2 threads, whose images
// bench/align_peer.py rebuilds to time the peer on the same pixels.
#include "analysis/DarkCheck.h"
#include "analysis/ImageRegistration.h"
#include "analysis/PhaseCorrelation.h"
#include "analysis/SeriesAlignment.h"
#include "imageio/TiffData.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr int Side = 2048;

// Counts with sharp-edged blobs over noise, moved by (dx, dy).
std::unique_ptr<TiffData> detectorImage(int dx, int dy, quint32 seed) {
    std::vector<quint16> s(size_t(Side) * Side);
    quint32 v = seed;
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            v = v * 1664525u + 1013904223u;
            const int cx = (x - dx) % 256 - 128, cy = (y - dy) % 192 - 96;
            const bool blob = cx * cx + cy * cy < 50 * 50;
            s[size_t(y) * Side + size_t(x)] = quint16(1000 + (blob ? 3000 : 0) + (v >> 24));
        }
    auto t = std::make_unique<TiffData>();
    t->assign(Side, Side, TiffData::UInt16, s.data());
    return t;
}

BinaryImage binaryOf(const TiffData &t) {
    EdgeImage e;
    Registration::edgeDetect(t, e);
    BinaryImage b;
    Registration::binarize(e, Registration::thresholdAt(e.min, e.max, 300), b);
    return b;
}

void BM_EdgeDetect(benchmark::State &state) {
    auto t = detectorImage(0, 0, 1);
    t->setShift(int(state.range(0)), int(state.range(0)));
    EdgeImage e;
    for (auto _ : state) {
        Registration::edgeDetect(*t, e);
        benchmark::DoNotOptimize(e.values.data());
    }
    state.SetItemsProcessed(state.iterations() * Side * Side);
}
// Arg: registration shift in both directions.
BENCHMARK(BM_EdgeDetect)->Arg(0)->Arg(3)->Unit(benchmark::kMillisecond);

// One step of the climb: the eight neighbour scores of a shift.
void BM_HillClimbStep(benchmark::State &state) {
    const BinaryImage ref = binaryOf(*detectorImage(0, 0, 1));
    const BinaryImage bin = binaryOf(*detectorImage(3, 2, 2));
    for (auto _ : state) {
        // A start score of 1 is never beaten: exactly one round of eight.
        const ClimbResult r = Registration::hillClimb(bin, ref, -2, -1, 1.0);
        benchmark::DoNotOptimize(r.score);
    }
    state.SetItemsProcessed(state.iterations() * 8);
}
BENCHMARK(BM_HillClimbStep)->Unit(benchmark::kMillisecond);

void BM_PhaseCorrelation(benchmark::State &state) {
    auto ref = detectorImage(0, 0, 1);
    auto img = detectorImage(5, -3, 2);
    PhaseCorrelator pc;
    pc.setReference(*ref);
    PhaseMatch m;
    for (auto _ : state) {
        pc.correlate(*img, &m);
        benchmark::DoNotOptimize(m.score);
    }
    state.counters["dx"] = m.dx;
    state.counters["dy"] = m.dy;
}
BENCHMARK(BM_PhaseCorrelation)->Unit(benchmark::kMillisecond);

// Image i of the peer's series (bench/align_peer.py builds the same pixels):
// discs of radius 40 on a 128-pixel lattice, moved by (i % 5 - 2, i % 7 - 3),
// over hashed noise 0..255. Integer arithmetic only, so both sides agree.
std::unique_ptr<TiffData> peerImage(int side, int i) {
    const int dx = i % 5 - 2, dy = i % 7 - 3;
    std::vector<quint16> s(size_t(side) * size_t(side));
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int cx = ((x - dx) & 127) - 64, cy = ((y - dy) & 127) - 64;
            const quint32 h =
                (quint32(x) * 73856093u ^ quint32(y) * 19349663u ^ quint32(i) * 83492791u) *
                2654435761u;
            s[size_t(y) * side + size_t(x)] =
                quint16(1000 + (cx * cx + cy * cy < 1600 ? 3000 : 0) + (h >> 24));
        }
    auto t = std::make_unique<TiffData>();
    t->assign(side, side, TiffData::UInt16, s.data());
    return t;
}

// Args: image side, upsample, threads. Eight images against the first; the
// time per image is the figure align_peer.py compares.
void BM_AlignSeries(benchmark::State &state) {
    const int side = int(state.range(0)), images = 8;
    std::vector<std::unique_ptr<TiffData>> keep;
    QVector<const TiffData *> series;
    for (int i = 0; i < images; ++i) {
        keep.push_back(peerImage(side, i));
        series << keep.back().get();
    }
    SeriesAlignOptions o;
    o.phase.upsample = int(state.range(1));
    o.threads = int(state.range(2));
    QVector<Registration::ShiftEntry> shifts;
    QString why;
    for (auto _ : state)
        SeriesAlignment::align(series, o, shifts, &why);
    state.SetItemsProcessed(state.iterations() * (images - 1));
    state.counters["ms_per_image"] =
        benchmark::Counter(double(state.iterations()) * (images - 1) * 1e-3,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["dx7"] = shifts.value(7).dx; // image 7 against image 0: -2 (dy 0)
}
BENCHMARK(BM_AlignSeries)
    ->Args({1024, 20, 2})
    ->Args({1024, 20, 1})
    ->Args({1024, 1, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// 200 images of 2048 x 2048 in memory (1.6 GB), as the window holds them.
const QVector<DarkCheckImage> &darkSeries(std::vector<std::unique_ptr<TiffData>> &keep) {
    static QVector<DarkCheckImage> list;
    if (list.isEmpty()) {
        for (int i = 0; i < 200; ++i) {
            keep.push_back(detectorImage(i % 3, 0, quint32(i + 1)));
            list.append({keep.back().get(), 0, 0});
        }
    }
    return list;
}

void BM_DarkCheck200(benchmark::State &state) {
    static std::vector<std::unique_ptr<TiffData>> keep;
    const QVector<DarkCheckImage> &images = darkSeries(keep);
    DarkCheckParams p;
    p.threshold = 3500; // the blobs stay above it while they overlap
    DarkCheckResult r;
    for (auto _ : state) {
        DarkCheck::run(images, p, r);
        benchmark::DoNotOptimize(r.histogram.data());
    }
    state.counters["points_left"] = r.points.size();
    state.SetItemsProcessed(state.iterations() * 200 * Side * Side);
}
BENCHMARK(BM_DarkCheck200)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace
