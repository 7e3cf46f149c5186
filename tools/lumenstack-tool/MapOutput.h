#pragma once
// What the map subcommands share once the stack is loaded: the run with its
// progress bar, the "X Y Val" text and float TIFF of each map, and the JSON
// summary line.
#include "Json.h"
#include "StackOptions.h"

#include "analysis/Analyzed2DRes.h"
#include "analysis/MapRun.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>
#include <vector>

// Whether stderr is a terminal, and a progress bar drawn over itself there.
bool onTerminal();
void printProgressBar(double percent);
// A bar on stderr for a run's progress signal, only for a person watching a
// terminal (the signal may come from worker threads: printed at once).
template <typename Run> void attachProgress(Run &run) {
    if (onTerminal())
        QObject::connect(&run, &Run::progress, &run, printProgressBar, Qt::DirectConnection);
}

// "X Y Val" per bin in walk order (17 significant digits, app/NumberText.h),
// then the 32-bit float TIFF of the whole map beside it (.txt -> .tif), each
// with its FILE.json (ToolProvenance.h).
bool writeMap(const Analyzed2DRes &map, const QString &txtPath);

// The run's maps in its order, each with the file it goes to ("" for maps
// that are not written).
struct NamedMaps {
    std::vector<std::unique_ptr<Analyzed2DRes>> maps;
    QVector<Analyzed2DRes *> list;
    QStringList files;
    void add(const QString &name, const QString &file, const AnalyzeCond &g);
};

struct RunOutcome {
    qint64 bins = 0;
    int threads = 0;
    double seconds = 0;       // the run
    double writeSeconds = -1; // writing the maps; < 0: not measured
};

// bins, threads, seconds and binsPerSecond (of the run), loadSeconds,
// runSeconds (= seconds) and writeSeconds (when measured), width, height,
// the written maps,
// and what a merge of tiles needs: "area" [x0, y0, w, h] (the walked area in
// whole pixels) and "bin" [hx, hy].
Json summary(const RunOutcome &r, const LoadedStack &s, const QStringList &written);

// The name of the file in the output folder that holds the JSON line too.
inline const char *summaryFileName() {
    return "summary.json";
}

// Adds "command", writes the JSON line (with a newline) to DIR/summary.json,
// where `lumenstack-tool merge` finds the tile's grid, then prints it on
// stdout. Exit status 0, or 1 (nothing printed) when the file cannot be
// written.
int emitSummary(const char *command, Json j, const QString &dir);

// Runs the maps (a bar on stderr when it is a terminal).
void runMaps(LoadedStack &s, NamedMaps &maps, const MapRun::TaskFactory &factory, int threads,
             RunOutcome *outcome);

// Writes the named maps into dir (created when missing), several at once on
// up to `threads` threads (0: one per core); exit status 0 or 1. Adds the
// time it took to *seconds when given.
int writeMaps(const char *command, const NamedMaps &maps, const QString &dir, QStringList *written,
              int threads = 0, double *seconds = nullptr);

// runMaps, then writeMaps.
int runAndWrite(const char *command, LoadedStack &s, NamedMaps &maps,
                const MapRun::TaskFactory &factory, int threads, const QString &dir,
                RunOutcome *outcome, QStringList *written);
