// Loading one energy scan, one core: FRAMES 16-bit 1024 x 1024 images as
// uncompressed TIFF files against the same images in one HDF5 file (one
// deflate-compressed chunk per image, with and without the byte shuffle),
// read into image records one at a time as the series loader does. The warm
// runs read from the page cache; the cold ones first drop the files from it
// (posix_fadvise), so the bytes come from the disk as in a first load.
// FRAMES is 161 unless LS_BENCH_FRAMES says otherwise.
//
// The images look like detector frames: a smooth beam profile with an
// absorbing sample and about 6 bits of noise, so deflate compresses them about
// as much as measured data (the ratio is printed as a counter).
#include "imageio/ErrPoints.h"
#include "imageio/Hdf5Stack.h"
#include "imageio/Hdf5Writer.h"
#include "imageio/TiffData.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>
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

QString writeStack(const QString &path, bool shuffle) {
    std::vector<quint16> frame(size_t(Side) * Side);
    Hdf5Writer w(path);
    w.setShuffle(shuffle);
    std::vector<double> energies;
    for (int k = 0; k < frames(); ++k)
        energies.push_back(7000 + k);
    w.writeFrames("/stack/images", Hdf5Writer::UInt16, frames(), Side, Side, 4,
                  [&](int k) {
                      makeFrame(k, frame);
                      return frame.data();
                  }) &&
        w.writeDoubles("/stack/energy", energies, "eV") && w.commit();
    return path;
}

// Drops the files' pages from the page cache.
void evict(const QStringList &files) {
    for (const QString &f : files) {
        const int fd = ::open(QFile::encodeName(f).constData(), O_RDONLY);
        if (fd < 0)
            continue;
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

struct Data {
    QTemporaryDir dir;
    QStringList tiffs;
    QString h5;
    QString h5Shuffled;
    double ratio = 0;
    double shuffledRatio = 0;
    Data() {
        std::vector<quint16> frame(size_t(Side) * Side);
        for (int k = 0; k < frames(); ++k) {
            makeFrame(k, frame);
            const QString path = dir.filePath(QString("e%1.tif").arg(k, 3, 10, QChar('0')));
            TiffData::write16BitTiff(path, Side, Side, frame.data());
            tiffs << path;
        }
        h5 = writeStack(dir.filePath("stack.h5"), false);
        h5Shuffled = writeStack(dir.filePath("shuffled.h5"), true);
        const double bytes = double(frames()) * Side * Side * 2;
        ratio = bytes / double(QFileInfo(h5).size());
        shuffledRatio = bytes / double(QFileInfo(h5Shuffled).size());
    }
    static Data &get() {
        static Data data;
        return data;
    }
};

void count(benchmark::State &state) {
    state.SetBytesProcessed(state.iterations() * int64_t(frames()) * Side * Side * 2);
    // Real milliseconds per image: the inverse of images per millisecond.
    state.counters["ms/image"] = benchmark::Counter(
        double(state.iterations()) * frames() / 1000.0,
        benchmark::Counter::Flags(benchmark::Counter::kIsRate | benchmark::Counter::kInvert));
}

// Arg 1: the files are dropped from the page cache before every pass.
void BM_LoadTiffFiles(benchmark::State &state) {
    Data &d = Data::get();
    for (auto _ : state) {
        if (state.range(0)) {
            state.PauseTiming();
            evict(d.tiffs);
            state.ResumeTiming();
        }
        for (const QString &f : d.tiffs) {
            TiffData image;
            if (!image.load(f))
                state.SkipWithError("cannot read a TIFF");
            benchmark::DoNotOptimize(image.rowData(0));
        }
    }
    count(state);
}
BENCHMARK(BM_LoadTiffFiles)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Arg 0: 0 deflate, 1 shuffle and deflate; arg 1: cold as above.
void BM_LoadHdf5Deflate(benchmark::State &state) {
    Data &d = Data::get();
    const QString file = state.range(0) ? d.h5Shuffled : d.h5;
    Hdf5Layout layout;
    QString why;
    layout.parse("images = /stack/images\nenergies = /stack/energy\n", &why);
    for (auto _ : state) {
        if (state.range(1)) {
            state.PauseTiming();
            evict({file});
            state.ResumeTiming();
        }
        Hdf5Stack stack;
        if (!stack.open(file, layout))
            state.SkipWithError("cannot open the stack");
        for (int k = 0; k < stack.count(Hdf5Stack::Images); ++k) {
            TiffData image;
            if (!stack.readImage(Hdf5Stack::Images, k, image, ErrPoints()))
                state.SkipWithError("cannot read an image");
            benchmark::DoNotOptimize(image.rowData(0));
        }
    }
    count(state);
    state.counters["ratio"] = state.range(0) ? d.shuffledRatio : d.ratio;
}
BENCHMARK(BM_LoadHdf5Deflate)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Wall time when the images are decoded on several threads, as the loader
// does (one image per core, read ahead in turn). Arg 0 as above; arg 1 the
// threads.
void BM_LoadHdf5Threads(benchmark::State &state) {
    Data &d = Data::get();
    const QString file = state.range(0) ? d.h5Shuffled : d.h5;
    const int threads = int(state.range(1));
    Hdf5Layout layout;
    QString why;
    layout.parse("images = /stack/images\nenergies = /stack/energy\n", &why);
    for (auto _ : state) {
        Hdf5Stack stack;
        if (!stack.open(file, layout))
            state.SkipWithError("cannot open the stack");
        const int n = stack.count(Hdf5Stack::Images);
        for (int k = 0; k < n; k += threads) {
            std::vector<int> ks;
            for (int j = k; j < std::min(n, k + threads); ++j)
                ks.push_back(j);
            for (const auto &image :
                 stack.readImages(Hdf5Stack::Images, ks, {}, ErrPoints(), threads))
                if (!image)
                    state.SkipWithError("cannot read an image");
        }
    }
    count(state);
}
BENCHMARK(BM_LoadHdf5Threads)
    ->ArgsProduct({{0, 1}, {2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
