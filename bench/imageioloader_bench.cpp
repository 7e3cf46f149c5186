// The series loader end to end: 100 16-bit 1024 x 1024 TIFFs (from the page
// cache after the first pass) read by a LoadTiff in its own thread, each image
// handed to this thread and released, as the main window receives a series.
#include "imageio/LoadTiff.h"
#include "imageio/TiffData.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>
#include <vector>

namespace {

constexpr int Side = 1024;
constexpr int Files = 100;

QStringList writeSeries(const QTemporaryDir &dir) {
    std::vector<quint16> samples(size_t(Side) * Side);
    QStringList files;
    for (int f = 0; f < Files; ++f) {
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = quint16((i * 7 + f * 13) & 0xffff);
        const QString path = dir.filePath(QString("e%1.tif").arg(f, 3, 10, QChar('0')));
        TiffData::write16BitTiff(path, Side, Side, samples.data());
        files << path;
    }
    return files;
}

void BM_LoadSeries(benchmark::State &state) {
    QTemporaryDir dir;
    const QStringList files = writeSeries(dir);
    QThread thread;
    auto *loader = new LoadTiff;
    loader->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, loader, &QObject::deleteLater);
    thread.start();
    QObject sink;
    bool done = false;
    QObject::connect(loader, &LoadTiff::loaded, &sink, [](TiffData *d, int) { delete d; });
    QObject::connect(loader, &LoadTiff::finishLoadFiles, &sink, [&](int) { done = true; });
    for (auto _ : state) {
        done = false;
        QMetaObject::invokeMethod(loader, "loadTiffs", Qt::QueuedConnection,
                                  Q_ARG(QStringList, files), Q_ARG(bool, false), Q_ARG(int, 1),
                                  Q_ARG(int, 0), Q_ARG(int, 0), Q_ARG(ErrPoints, ErrPoints()),
                                  Q_ARG(int, LoadTiff::I1LoadId));
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    thread.quit();
    thread.wait();
    state.SetBytesProcessed(state.iterations() * int64_t(Files) * Side * Side * 2);
}
BENCHMARK(BM_LoadSeries)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

} // namespace
