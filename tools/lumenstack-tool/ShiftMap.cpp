// shift-map: the energy calibration of every bin against a standard, as the
// calibration window runs it.
//
//   shift-map [stack options] --std FILE[@COL] [--std-victoreen] [--method dmidx|innerp]
//             [--de-step X] [--de-min X] [--de-range X] [--crystal "Si(111)"]
//             [--threads N] --out DIR
//
// Writes DIR/shift.txt ("X Y Val" per bin in walk order, 17 significant
// digits), DIR/shift.tif (32-bit float, whole map) and DIR/shift.emp (the
// energy-shift map file at the standard's edge energy). One JSON line on
// stdout. Exit 0, 1 (an input cannot be read or written) or 2 (bad arguments).
// The standard is read in any reference layout (COL: its 1-based mu column)
// and normalised with the stack's element suggestion, as the bins are.
#include "Json.h"
#include "MapOutput.h"
#include "StackOptions.h"
#include "Subcommands.h"
#include "ToolProvenance.h"

#include "analysis/Calibration.h"
#include "analysis/EmpFile.h"
#include "analysis/LcfReferenceFile.h"
#include "imageio/TiffData.h"
#include "spectrum/ReferenceFile.h"

#include <QDir>
#include <QTextStream>
#include <cstdio>
#include <new>
#include <vector>

namespace {

struct ShiftArgs {
    StackOptions stack;
    QString std;
    int stdColumn = 0;
    bool stdVictoreen = false;
    CalibMethod method = CalibMethod::DMidx;
    CalibSteps steps;
    QString crystal = QStringLiteral("Si(111)");
    int threads = 0;
    QString out;
};

int usage(const QString &why) {
    std::fprintf(stderr, "lumenstack-tool shift-map: %s\n", qPrintable(why));
    std::fprintf(stderr, "usage: lumenstack-tool shift-map [stack options] --std FILE[@COL] "
                         "[--std-victoreen]\n"
                         "       [--method dmidx|innerp] [--de-step X] [--de-min X] "
                         "[--de-range X]\n"
                         "       [--crystal NAME] [--threads N] --out DIR\n");
    std::fprintf(stderr, "%s", stackOptionsUsage());
    return 2;
}

int failure(const QString &what, const QString &file, const QString &why) {
    std::fprintf(stderr, "lumenstack-tool shift-map: cannot %s %s: %s\n", qPrintable(what),
                 qPrintable(file), qPrintable(why));
    return 1;
}

QString parse(const QStringList &args, ShiftArgs *m) {
    for (int i = 0; i < args.size(); ++i) {
        QString why;
        const OptionTaken t = takeStackOption(args, i, m->stack, &why);
        if (t == OptionTaken::Error)
            return why;
        if (t == OptionTaken::Yes)
            continue;
        const QString &a = args[i];
        const QString next = i + 1 < args.size() ? args[i + 1] : QString();
        double v = 0;
        const bool number = parseNumber(next, &v);
        if (a == "--std-victoreen") {
            m->stdVictoreen = true;
            continue;
        }
        if (i + 1 >= args.size())
            return a + " needs a value";
        ++i;
        if (a == "--std")
            m->std = ReferenceFile::splitColumnSuffix(next, &m->stdColumn);
        else if (a == "--out")
            m->out = next;
        else if (a == "--method" && (next == "dmidx" || next == "innerp"))
            m->method = next == "innerp" ? CalibMethod::InnerP : CalibMethod::DMidx;
        else if (a == "--de-step" && number)
            m->steps.step = v;
        else if (a == "--de-min" && number)
            m->steps.minStep = v;
        else if (a == "--de-range" && number)
            m->steps.range = v;
        else if (a == "--crystal" && crystalSpacing(next) > 0)
            m->crystal = next;
        else if (a == "--threads" && number && v >= 1 && v <= 1024 && v == int(v))
            m->threads = int(v);
        else if (a == "--threads")
            return threadsUsage();
        else
            return "bad or unknown argument " + a + " " + next;
    }
    const QString stackProblem = checkStackOptions(m->stack);
    if (!stackProblem.isEmpty())
        return stackProblem;
    if (m->std.isEmpty())
        return QStringLiteral("--std FILE is required");
    if (m->out.isEmpty())
        return QStringLiteral("--out DIR is required");
    if (m->method == CalibMethod::InnerP && !m->steps.valid())
        return QStringLiteral("--de-step, --de-min and --de-range must be positive and bounded");
    return QString();
}

} // namespace

// max, mean, min and sigma of the shifts (null without any).
QString shiftStatsJson(const CalibStats &s) {
    Json j;
    const auto value = [&s](double v) { return s.valid ? Json::number(v) : Json::null(); };
    j.add("max", value(s.max)).add("mean", value(s.mean)).add("min", value(s.min));
    j.add("sigma", value(s.sigma));
    return j.text();
}

int runShiftMap(const QStringList &args) {
    ShiftArgs m;
    const QString why = parse(args, &m);
    if (!why.isEmpty())
        return usage(why);
    LoadedStack s;
    QString file, problem;
    m.stack.decodeThreads = m.threads; // --threads bounds the load too
    if (!loadStack(m.stack, s, &file, &problem))
        return loadFailure("shift-map", file, problem);
    XafsSpectrum standard;
    QString whyNot;
    if (!loadLcfReference({m.std, 0, m.stdVictoreen, m.stdColumn}, s.bin.suggestion, standard,
                          &whyNot))
        return failure("read", m.std, whyNot);
    if (!standardHasEdge(standard))
        return failure("use", m.std, "the standard has no edge");

    CalibConditions c;
    c.mut = s.bin.conditions;
    c.method = m.method;
    c.steps = m.steps;
    c.targetVictoreen = !s.bin.simpleBackground;
    c.suggestion = s.bin.suggestion;
    Analyzed2DRes map(QStringLiteral("a2d esm"));
    CalibShifts shifts;
    MapRun run;
    runCalibration(run, s.stack, standard, c, s.grid, map, shifts, m.threads);
    if (run.ranOutOfMemory())
        throw std::bad_alloc(); // said by main, with exit status 1
    const CalibStats stats = calibStats(shifts);

    const QDir dir(m.out);
    if (!QDir().mkpath(m.out))
        return failure("create", m.out, "no folder");
    EmpFile::WriteInfo info;
    info.stdEdgeEnergy = standard.midx();
    info.spacing = crystalSpacing(m.crystal);
    info.xOffset = s.stack.originX();
    info.yOffset = s.stack.originY();
    info.walk = s.grid;
    info.stdFileName = m.std;
    info.dataWidth = s.stack.width();
    info.dataHeight = s.stack.height();
    // shift.txt with shift.tif beside it, as every map subcommand writes a map.
    for (const QString name : {"shift.txt", "shift.emp"}) {
        const QString path = dir.filePath(name);
        const bool ok = name.endsWith("txt")
                            ? writeMap(map, path)
                            : EmpFile::write(path, map, info) && writeToolMapSidecar(map, path);
        if (!ok)
            return failure("write", path, "write failed");
    }
    RunOutcome outcome;
    outcome.bins = s.grid.binCount();
    outcome.threads = run.threadCount();
    outcome.seconds = run.seconds();
    Json j = summary(outcome, s, {"shift.txt", "shift.emp"});
    j.add("stats", shiftStatsJson(stats));
    return emitSummary("shift-map", j, m.out);
}
