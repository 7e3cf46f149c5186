#include "MapOutput.h"

#include "app/OutputFile.h"
#include "imageio/TiffData.h"

#include <QDir>
#include <QRegularExpression>
#include <QTextStream>
#include <cstdio>
#include <new>
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

namespace {} // namespace

bool writeMap(const Analyzed2DRes &map, const QString &txtPath) {
    OutputFile f(txtPath);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(f.device());
    AnalyzeCond g = map.grid();
    g.reset();
    do {
        out << g.cx << ' ' << g.cy << ' ' << QString::number(map.valueAt(g.cx, g.cy), 'g', 17)
            << '\n';
    } while (g.next());
    out.flush();
    if (!f.commit())
        return false;
    std::vector<float> samples(size_t(map.width()) * size_t(map.height()));
    const double *v = map.values();
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = float(v[i]);
    QString tif = txtPath;
    tif.replace(QRegularExpression("\\.txt$"), ".tif");
    return TiffData::writeFloat32Tiff(tif, map.width(), map.height(), samples.data());
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
        .add("width", s.stack.width())
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

int writeMaps(const char *command, const NamedMaps &maps, const QString &dir,
              QStringList *written) {
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "lumenstack-tool %s: cannot create %s\n", command, qPrintable(dir));
        return 1;
    }
    for (int k = 0; k < maps.list.size(); ++k) {
        if (maps.files[k].isEmpty())
            continue;
        const QString path = QDir(dir).filePath(maps.files[k]);
        if (!writeMap(*maps.list[k], path)) {
            std::fprintf(stderr, "lumenstack-tool %s: cannot write %s\n", command,
                         qPrintable(path));
            return 1;
        }
        *written << maps.files[k];
    }
    return 0;
}

int runAndWrite(const char *command, LoadedStack &s, NamedMaps &maps,
                const MapRun::TaskFactory &factory, int threads, const QString &dir,
                RunOutcome *outcome, QStringList *written) {
    runMaps(s, maps, factory, threads, outcome);
    return writeMaps(command, maps, dir, written);
}
