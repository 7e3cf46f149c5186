// Image input: reading series of 16-bit TIFFs, rebuilding the display picture,
// and the per-bin box sums over a series that every spectrum is built from.
#include "imageio/ErrPoints.h"
#include "imageio/TiffData.h"
#include "render/ImagePicture.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <memory>
#include <vector>

namespace {

QVector<quint16> noiseImage(int w, int h, quint32 seed) {
    QVector<quint16> s(w * h);
    quint32 v = seed;
    for (int i = 0; i < s.size(); ++i) {
        v = v * 1664525u + 1013904223u;
        s[i] = quint16(1000 + (v >> 20)); // detector-like counts, 1000..5095
    }
    return s;
}

// A folder of n 16-bit TIFFs of w x h, written once per process.
struct Series {
    QTemporaryDir dir;
    QStringList files;
    Series(int n, int w, int h) {
        for (int i = 0; i < n; ++i) {
            const QVector<quint16> s = noiseImage(w, h, quint32(i + 1));
            files << dir.filePath(QString("img%1.tif").arg(i, 4, 10, QChar('0')));
            TiffData::write16BitTiff(files.last(), w, h, s.constData());
        }
    }
};

Series &series1024() {
    static Series s(100, 1024, 1024);
    return s;
}

void BM_ReadTiffSeries(benchmark::State &state) {
    Series &s = series1024();
    for (auto _ : state) {
        for (const QString &f : s.files) {
            TiffData d;
            benchmark::DoNotOptimize(d.load(f));
        }
    }
    state.SetBytesProcessed(state.iterations() * s.files.size() * 1024 * 1024 * 2);
    state.SetLabel(s.dir.path().toStdString());
}

// A tile's read: only rows [0, rows) of each image of the same series (the
// strips that hold them), against the whole images above.
void BM_ReadTiffBand(benchmark::State &state) {
    Series &s = series1024();
    const int rows = int(state.range(0));
    for (auto _ : state) {
        for (const QString &f : s.files) {
            TiffData d;
            benchmark::DoNotOptimize(d.load(f, ErrPoints(), TiffData::RowRange{0, rows}));
        }
    }
    state.SetBytesProcessed(state.iterations() * s.files.size() * 1024 * rows * 2);
}

// Same, over the *.tif files of the folder named by LUMENSTACK_BENCH_TIFF_DIR
// (to compare with other libtiff-based readers on identical files).
void BM_ReadTiffFolder(benchmark::State &state) {
    const QDir dir(qEnvironmentVariable("LUMENSTACK_BENCH_TIFF_DIR"));
    QStringList files;
    for (const QString &name : dir.entryList({"*.tif"}, QDir::Files, QDir::Name))
        files << dir.filePath(name);
    if (qEnvironmentVariableIsEmpty("LUMENSTACK_BENCH_TIFF_DIR") || files.isEmpty()) {
        state.SkipWithError("LUMENSTACK_BENCH_TIFF_DIR names no folder of TIFFs");
        return;
    }
    qint64 bytes = 0;
    for (auto _ : state) {
        for (const QString &f : files) {
            TiffData d;
            d.load(f);
            bytes += qint64(d.width()) * d.height() * 2;
        }
    }
    state.SetBytesProcessed(bytes);
}

// Heap bytes held per loaded image, against its 16-bit pixel data.
void BM_MemoryPerImage(benchmark::State &state) {
    Series &s = series1024();
    double ratio = 0;
    for (auto _ : state) {
        // Heap arena plus separately mapped large blocks.
        const auto heapInUse = [] {
            const struct mallinfo2 m = mallinfo2();
            return m.uordblks + m.hblkhd;
        };
        const size_t before = heapInUse();
        std::vector<std::unique_ptr<TiffData>> held;
        for (int i = 0; i < 20; ++i) {
            held.push_back(std::make_unique<TiffData>());
            held.back()->load(s.files[i]);
        }
        const size_t after = heapInUse();
        ratio = double(after - before) / 20 / (1024.0 * 1024 * 2);
    }
    state.counters["heap_per_pixel_data"] = ratio;
}

void BM_DisplayRebuild2048(benchmark::State &state) {
    static Series s(1, 2048, 2048);
    TiffData d;
    d.load(s.files.first());
    const ColorMap map = ColorMap::shared();
    for (auto _ : state) {
        const QImage picture = imagePicture(d, map);
        benchmark::DoNotOptimize(picture.constBits());
    }
    state.SetItemsProcessed(state.iterations() * 2048 * 2048);
}

// The colour map's pixel writer called once per pixel over a 2048 x 2048 map
// of fractions, as a renderer drawing value by value does (0: grey, 1: RGB).
void BM_WritePixel2048(benchmark::State &state) {
    ColorMap map;
    map.setWindow(0.1, 0.9);
    map.setFormat(state.range(0) ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
    std::vector<double> fractions(size_t(2048) * 2048);
    quint32 v = 7;
    for (double &f : fractions) {
        v = v * 1664525u + 1013904223u;
        f = (v >> 8) / double(1 << 24) * 1.2 - 0.1; // some below 0, some above 1
    }
    std::vector<uchar> out(fractions.size() * 3);
    for (auto _ : state) {
        uchar *p = out.data();
        for (double f : fractions)
            p = map.writePixel(f, p);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2048 * 2048);
}

// 200 images of 256 x 256, energies 8900 eV + 0.5 eV steps.
struct LoadedSeries {
    std::vector<std::unique_ptr<TiffData>> owned;
    QVector<TiffData *> images;
    LoadedSeries() {
        Series files(8, 256, 256);
        for (int i = 0; i < 200; ++i) {
            owned.push_back(std::make_unique<TiffData>());
            owned.back()->load(files.files[i % 8]);
            owned.back()->setEnergy(8900 + 0.5 * i);
            images << owned.back().get();
        }
    }
};

LoadedSeries &loaded200() {
    static LoadedSeries s;
    return s;
}

// The I1 side of one spectrum: a 5 x 5 bin summed in every image.
void BM_BoxSum5x5Over200(benchmark::State &state) {
    LoadedSeries &s = loaded200();
    int x = 2;
    for (auto _ : state) {
        double total = 0;
        for (const TiffData *d : s.images)
            total += d->boxSum(x, 128, 2, 2);
        benchmark::DoNotOptimize(total);
        x = x < 253 ? x + 5 : 2;
    }
    state.SetItemsProcessed(state.iterations() * 200);
}

// The I0 side: the I0 series interpolated at each of 200 I1 energies.
void BM_InterpolatedBoxSum5x5Over200(benchmark::State &state) {
    LoadedSeries &s = loaded200();
    int x = 2;
    for (auto _ : state) {
        double total = 0;
        for (int i = 0; i < 200; ++i)
            total += TiffData::interpolatedBoxSum(s.images, 8900.25 + 0.5 * i, x, 128, 2, 2);
        benchmark::DoNotOptimize(total);
        x = x < 253 ? x + 5 : 2;
    }
    state.SetItemsProcessed(state.iterations() * 200);
}

} // namespace

// Error-point files of 1M points: a line x, 2x (keys that collide in a weak
// hash of 64-bit keys), a filled 1000 x 1000 block, and scattered points.
QString maskFile(int shape) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QString("mask%1.txt").arg(shape));
    if (QFile::exists(path))
        return path;
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QByteArray text = "# Size 4096 4096\n";
    quint32 v = 7;
    for (int i = 0; i < 1000000; ++i) {
        int x = i, y = 2 * i;
        if (shape == 1) {
            x = i % 1000;
            y = i / 1000;
        } else if (shape == 2) {
            v = v * 1664525u + 1013904223u;
            x = int(v >> 16);
            y = int(v & 0xffff);
        }
        text += QByteArray::number(x) + ' ' + QByteArray::number(y) + '\n';
    }
    f.write(text);
    return path;
}

void BM_ReadErrPoints1M(benchmark::State &state) {
    const QString path = maskFile(int(state.range(0)));
    for (auto _ : state) {
        ErrPoints mask;
        benchmark::DoNotOptimize(mask.read(path));
        benchmark::DoNotOptimize(mask.contains(3, 6));
    }
}

BENCHMARK(BM_ReadTiffSeries)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_ReadTiffBand)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_ReadTiffFolder)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_MemoryPerImage)->Iterations(1);
BENCHMARK(BM_DisplayRebuild2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WritePixel2048)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BoxSum5x5Over200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InterpolatedBoxSum5x5Over200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadErrPoints1M)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
