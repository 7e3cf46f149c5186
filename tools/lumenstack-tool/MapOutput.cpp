#include "MapOutput.h"
#include "ToolProvenance.h"

#include "app/NumberText.h"
#include "app/OutputFile.h"
#include "imageio/TiffData.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <new>
#include <thread>
#include <unistd.h>

bool onTerminal() {
    return isatty(fileno(stderr)) != 0;
}

void printProgressBar(double percent) {
    const int filled = int(percent / 2.5);
    std::fprintf(stderr, "\r[%-40s] %5.1f%%", QByteArray(filled, '#').constData(), percent);
    if (percent >= 100)
        std::fprintf(stderr, "\n");
    std::fflush(stderr);
}

namespace {

// The text of a map, formatted into a buffer that goes to the file a few
// megabytes at a time.
bool writeMapText(const Analyzed2DRes &map, QIODevice &device) {
    constexpr size_t Chunk = size_t(4) << 20;
    constexpr size_t LineMax = 2 * 12 + G17Size + 3; // two ints, the value, blanks
    std::vector<char> buffer(Chunk + LineMax);
    char *const begin = buffer.data();
    char *p = begin;
    AnalyzeCond g = map.grid();
    g.reset();
    do {
        p = std::to_chars(p, p + 12, g.cx).ptr;
        *p++ = ' ';
        p = std::to_chars(p, p + 12, g.cy).ptr;
        *p++ = ' ';
        p = writeG17(map.valueAt(g.cx, g.cy), p);
        *p++ = '\n';
        if (size_t(p - begin) >= Chunk) {
            if (device.write(begin, p - begin) != p - begin)
                return false;
            p = begin;
        }
    } while (g.next());
    return device.write(begin, p - begin) == p - begin;
}

} // namespace

bool writeMap(const Analyzed2DRes &map, const QString &txtPath) {
    OutputFile f(txtPath);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    if (!writeMapText(map, *f.device())) {
        f.cancel();
        return false;
    }
    if (!f.commit())
        return false;
    std::vector<float> samples(size_t(map.width()) * size_t(map.height()));
    const double *v = map.values();
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = float(v[i]);
    QString tif = txtPath;
    tif.replace(QRegularExpression("\\.txt$"), ".tif");
    return TiffData::writeFloat32Tiff(tif, map.width(), map.height(), samples.data()) &&
           writeToolMapSidecar(map, txtPath, {"X", "Y", "value"}) && writeToolMapSidecar(map, tif);
}

void NamedMaps::add(const QString &name, const QString &file, const AnalyzeCond &g) {
    maps.push_back(std::make_unique<Analyzed2DRes>(name));
    maps.back()->prepare(g);
    list.append(maps.back().get());
    files << file;
}

Json summary(const RunOutcome &r, const LoadedStack &s, const QStringList &written) {
    Json j;
    QStringList names;
    for (const QString &f : written)
        names << Json::string(f);
    j.add("bins", r.bins)
        .add("threads", r.threads)
        .add("seconds", r.seconds)
        .add("binsPerSecond", r.seconds > 0 ? r.bins / r.seconds : 0.0)
        .add("loadSeconds", s.loadSeconds)
        .add("runSeconds", r.seconds);
    if (r.writeSeconds >= 0)
        j.add("writeSeconds", r.writeSeconds);
    j.add("width", s.stack.width())
        .add("height", s.stack.height())
        .add("maps", Json::array(names))
        .add("area", Json::array({QString::number(s.grid.x0), QString::number(s.grid.y0),
                                  QString::number(s.grid.x1 - s.grid.x0),
                                  QString::number(s.grid.y1 - s.grid.y0)}))
        .add("bin", Json::array({QString::number(s.grid.hx), QString::number(s.grid.hy)}));
    return j;
}

int emitSummary(const char *command, Json j, const QString &dir) {
    j.addString("command", QString::fromLatin1(command));
    const QByteArray line = j.text().toUtf8() + '\n';
    // The line goes to stdout only once the file holds it: a summary on
    // stdout says the run's output is complete.
    const QString path = QDir(dir).filePath(summaryFileName());
    OutputFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.device()->write(line) != line.size() || !f.commit()) {
        std::fprintf(stderr, "lumenstack-tool %s: cannot write %s\n", command, qPrintable(path));
        return 1;
    }
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
    return 0;
}

void runMaps(LoadedStack &s, NamedMaps &maps, const MapRun::TaskFactory &factory, int threads,
             RunOutcome *outcome) {
    MapRun run;
    attachProgress(run);
    run.run(s.grid, maps.list, factory, threads);
    if (run.ranOutOfMemory())
        throw std::bad_alloc(); // said by main, with exit status 1
    outcome->bins = s.grid.binCount();
    outcome->threads = run.threadCount();
    outcome->seconds = run.seconds();
}

int writeMaps(const char *command, const NamedMaps &maps, const QString &dir, QStringList *written,
              int threads, double *seconds) {
    QElapsedTimer clock;
    clock.start();
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "lumenstack-tool %s: cannot create %s\n", command, qPrintable(dir));
        return 1;
    }
    // The maps go to their files on several threads, each taking the next
    // map; the outcome is read in map order, so the first failure is said.
    const int count = maps.list.size();
    std::vector<char> ok(size_t(count), 1);
    std::atomic<int> next{0};
    auto work = [&] {
        for (int k = next++; k < count; k = next++)
            if (!maps.files[k].isEmpty())
                ok[size_t(k)] = writeMap(*maps.list[k], QDir(dir).filePath(maps.files[k]));
    };
    const int workers =
        std::min(count, threads > 0 ? threads : std::max(1, QThread::idealThreadCount()));
    std::vector<std::thread> pool;
    for (int t = 1; t < workers; ++t)
        pool.emplace_back(work);
    work();
    for (std::thread &t : pool)
        t.join();
    for (int k = 0; k < count; ++k) {
        if (maps.files[k].isEmpty())
            continue;
        if (!ok[size_t(k)]) {
            std::fprintf(stderr, "lumenstack-tool %s: cannot write %s\n", command,
                         qPrintable(QDir(dir).filePath(maps.files[k])));
            return 1;
        }
        *written << maps.files[k];
    }
    if (seconds)
        *seconds += clock.nsecsElapsed() / 1e9;
    return 0;
}

int runAndWrite(const char *command, LoadedStack &s, NamedMaps &maps,
                const MapRun::TaskFactory &factory, int threads, const QString &dir,
                RunOutcome *outcome, QStringList *written) {
    runMaps(s, maps, factory, threads, outcome);
    outcome->writeSeconds = 0;
    return writeMaps(command, maps, dir, written, threads, &outcome->writeSeconds);
}
