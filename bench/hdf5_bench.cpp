// Loading one energy scan, one core: FRAMES 16-bit 1024 x 1024 images as
// uncompressed TIFF files against the same images in one HDF5 file (one
// deflate-compressed chunk per image), read into image records one at a time
// as the series loader does. Both are read from the page cache after the
// first pass. FRAMES is 161 unless LS_BENCH_FRAMES says otherwise.
//
// The images look like detector frames: a smooth beam profile with an
// absorbing sample and about 6 bits of noise, so deflate compresses them about
// as much as measured data (the ratio is printed as a counter).
#include "imageio/ErrPoints.h"
#include "imageio/Hdf5Stack.h"
#include "imageio/Hdf5Writer.h"
#include "imageio/TiffData.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>

namespace {

constexpr int Side = 1024;

int frames() {
    const int n = qEnvironmentVariableIntValue("LS_BENCH_FRAMES");
    return n > 0 ? n : 161;
}

void makeFrame(int k, std::vector<quint16> &out) {
    quint32 state = 2463534242u + quint32(k) * 7919u;
    for (int y = 0; y < Side; ++y) {
        const double dy = (y - Side / 2.0) / Side;
        for (int x = 0; x < Side; ++x) {
            const double dx = (x - Side / 2.0) / Side;
            const double sample = (dx * dx + dy * dy < 0.1) ? 0.55 + 0.002 * k : 1.0;
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const double beam = 30000.0 * (1.0 - 0.6 * dy * dy) * sample;
            out[size_t(y) * Side + size_t(x)] = quint16(beam + double(state & 63));
        }
    }
}

struct Data {
    QTemporaryDir dir;
    QStringList tiffs;
    QString h5;
    double ratio = 0;
    Data() {
        std::vector<quint16> frame(size_t(Side) * Side);
        for (int k = 0; k < frames(); ++k) {
            makeFrame(k, frame);
            const QString path = dir.filePath(QString("e%1.tif").arg(k, 3, 10, QChar('0')));
            TiffData::write16BitTiff(path, Side, Side, frame.data());
            tiffs << path;
        }
        h5 = dir.filePath("stack.h5");
        Hdf5Writer w(h5);
        std::vector<double> energies;
        for (int k = 0; k < frames(); ++k)
            energies.push_back(7000 + k);
        w.writeFrames("/stack/images", Hdf5Writer::UInt16, frames(), Side, Side, 4,
                      [&](int k) {
                          makeFrame(k, frame);
                          return frame.data();
                      }) &&
            w.writeDoubles("/stack/energy", energies, "eV") && w.commit();
        ratio = double(frames()) * Side * Side * 2 / double(QFileInfo(h5).size());
    }
    static Data &get() {
        static Data data;
        return data;
    }
};

void BM_LoadTiffFiles(benchmark::State &state) {
    Data &d = Data::get();
    for (auto _ : state) {
        for (const QString &f : d.tiffs) {
            TiffData image;
            if (!image.load(f))
                state.SkipWithError("cannot read a TIFF");
            benchmark::DoNotOptimize(image.rowData(0));
        }
    }
    state.SetBytesProcessed(state.iterations() * int64_t(frames()) * Side * Side * 2);
    state.counters["images/s"] =
        benchmark::Counter(double(state.iterations()) * frames(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoadTiffFiles)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

void BM_LoadHdf5Deflate(benchmark::State &state) {
    Data &d = Data::get();
    Hdf5Layout layout;
    QString why;
    layout.parse("images = /stack/images\nenergies = /stack/energy\n", &why);
    for (auto _ : state) {
        Hdf5Stack stack;
        if (!stack.open(d.h5, layout))
            state.SkipWithError("cannot open the stack");
        for (int k = 0; k < stack.count(Hdf5Stack::Images); ++k) {
            TiffData image;
            if (!stack.readImage(Hdf5Stack::Images, k, image, ErrPoints()))
                state.SkipWithError("cannot read an image");
            benchmark::DoNotOptimize(image.rowData(0));
        }
    }
    state.SetBytesProcessed(state.iterations() * int64_t(frames()) * Side * Side * 2);
    state.counters["images/s"] =
        benchmark::Counter(double(state.iterations()) * frames(), benchmark::Counter::kIsRate);
    state.counters["ratio"] = d.ratio;
}
BENCHMARK(BM_LoadHdf5Deflate)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

} // namespace
