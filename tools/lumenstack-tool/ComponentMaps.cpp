// pca-map, cluster-map and nmf-map: what a stack holds, found without
// references.
//
//   pca-map     [stack options] [--range S E] [--components N] [--threads N] --out DIR
//   cluster-map [stack options] [--range S E] --clusters K [--components N] [--seed S]
//               [--threads N] --out DIR
//   nmf-map     [stack options] [--range S E] --components K [--seed S] [--threads N]
//               --out DIR
//   all three:  [--min-jump F]  bins whose edge jump is below F (default 0.1) times
//                               the jump of the whole area are left out (-1)
//               [--fixed-e0 E|auto]  normalise at a fixed edge, as lcf-map does
//
// Files (maps as "X Y Val" text in walk order with a float TIFF beside each):
//   pca-map:     pca-variance.txt    "K eigenvalue explained_ratio" per component
//                pca-components.dat  "E c1 ... cN" per energy (unit-norm vectors)
//                pca-K-score.txt     the scores of component K = 1..N
//   cluster-map: cluster.txt         0-based cluster J per bin, -1 left out
//                cluster-J.dat       "E value": the cluster's mean normalised
//                                    spectrum, a reference for lcf-map --ref
//                cluster-sizes.txt   "J bins" per cluster
//   nmf-map:     nmf-components.dat  "E c1 ... cK": the factors of the spectra
//                                    offset by "offset" (JSON), each peaking at 1
//                nmf-K-weight.txt    the weight of component K per bin
// Then summary.json and the same JSON line on stdout. Exit 0, 1 (an input
// cannot be read or written) or 2 (bad arguments).
#include "MapOutput.h"
#include "Subcommands.h"
#include "ToolProvenance.h"

#include "analysis/ComponentRun.h"
#include "app/OutputFile.h"

#include <QDir>
#include <QRect>
#include <QTextStream>
#include <QThread>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {

struct ComponentArgs {
    StackOptions stack;
    double rangeStart = 0, rangeEnd = MaxEnergy;
    int components = 0; // 0: not given
    int clusters = 0;
    quint64 seed = 1;
    double minJump = 0.1;
    bool fixedE0 = false, fixedE0Auto = false;
    double e0 = 0;
    int threads = 0;
    QString out;
};

int usage(const QString &command, const QString &why) {
    std::fprintf(stderr, "lumenstack-tool %s: %s\n%s", qPrintable(command), qPrintable(why),
                 subcommandUsage(command));
    return 2;
}

bool wholeNumber(const QString &text, double lo, double hi, double *v) {
    return parseNumber(text, v) && *v >= lo && *v <= hi && *v == std::floor(*v);
}

// One option of the three subcommands at args[i]: "" when taken, else why not.
QString takeOption(const QString &command, const QStringList &args, int &i, ComponentArgs *m) {
    const QString &a = args[i];
    const auto value = [&](int k) { return i + k < args.size() ? args[i + k] : QString(); };
    double v = 0, w = 0;
    if (a == "--out") {
        if (i + 1 >= args.size())
            return QStringLiteral("--out takes a folder");
        m->out = args[++i];
    } else if (a == "--threads") {
        if (!wholeNumber(value(1), 1, 1024, &v))
            return threadsUsage();
        m->threads = int(v);
        ++i;
    } else if (a == "--range") {
        if (!parseNumber(value(1), &v) || !parseNumber(value(2), &w) || !(v < w) ||
            !(std::fabs(v) <= MaxEnergy && std::fabs(w) <= MaxEnergy))
            return QStringLiteral("--range S E takes two energies, the start below the end");
        m->rangeStart = v;
        m->rangeEnd = w;
        i += 2;
    } else if (a == "--components") {
        if (!wholeNumber(value(1), 1, 1000, &v))
            return QStringLiteral("--components takes a whole number from 1 to 1000");
        m->components = int(v);
        ++i;
    } else if (a == "--clusters" && command == "cluster-map") {
        if (!wholeNumber(value(1), 1, 1000, &v))
            return QStringLiteral("--clusters takes a whole number from 1 to 1000");
        m->clusters = int(v);
        ++i;
    } else if (a == "--seed" && command != "pca-map") {
        bool ok = false;
        m->seed = value(1).toULongLong(&ok);
        if (!ok)
            return QStringLiteral("--seed takes a whole number from 0 to 2^64 - 1");
        ++i;
    } else if (a == "--fixed-e0") {
        if (value(1) == "auto") {
            m->fixedE0Auto = true;
        } else if (!parseNumber(value(1), &v) || !std::isfinite(v)) {
            return QStringLiteral("--fixed-e0 takes a finite energy or auto");
        }
        m->fixedE0 = true;
        m->e0 = v;
        ++i;
    } else if (a == "--min-jump") {
        if (!parseNumber(value(1), &v) || !(v >= 0 && v <= 1e6))
            return QStringLiteral("--min-jump takes a fraction from 0 up");
        m->minJump = v;
        ++i;
    } else {
        return "bad or unknown argument " + a;
    }
    return QString();
}

QString parse(const QString &command, const QStringList &args, ComponentArgs *m) {
    for (int i = 0; i < args.size(); ++i) {
        QString why;
        const OptionTaken t = takeStackOption(args, i, m->stack, &why);
        if (t == OptionTaken::Error)
            return why;
        if (t == OptionTaken::No && !(why = takeOption(command, args, i, m)).isEmpty())
            return why;
    }
    const QString stackProblem = checkStackOptions(m->stack);
    if (!stackProblem.isEmpty())
        return stackProblem;
    if (m->out.isEmpty())
        return QStringLiteral("--out DIR is required");
    if (command == "cluster-map" && m->clusters == 0)
        return QStringLiteral("--clusters K is required");
    if (command == "nmf-map" && m->components == 0)
        return QStringLiteral("--components K is required");
    return QString();
}

QString number(double v) {
    return QString::number(v, 'g', 17);
}

bool writeLines(const QString &path, const QStringList &lines) {
    OutputFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(f.device());
    for (const QString &line : lines)
        out << line << '\n';
    out.flush();
    return f.commit();
}

// Collects the files written into the output folder; the first failure is
// said once and turns the exit status to 1.
class OutputFolder {
public:
    OutputFolder(const QString &command, const QString &dir) : m_command(command), m_dir(dir) {
        if (!QDir().mkpath(dir))
            fail(dir);
    }
    QString path(const QString &name) const { return QDir(m_dir).filePath(name); }
    void note(const QString &name, bool ok) {
        if (!ok)
            fail(path(name));
        else if (m_ok)
            m_written << name;
    }
    // A file that is no map (maps bring their own sidecars): FILE.json beside it.
    void noteFile(const QString &name, bool ok) { note(name, ok && writeToolSidecar(path(name))); }
    bool ok() const { return m_ok; }
    const QStringList &written() const { return m_written; }

private:
    void fail(const QString &path) {
        if (m_ok)
            std::fprintf(stderr, "lumenstack-tool %s: cannot write %s\n", qPrintable(m_command),
                         qPrintable(path));
        m_ok = false;
    }
    QString m_command, m_dir;
    QStringList m_written;
    bool m_ok = true;
};

void writePca(const ComponentResult &r, OutputFolder &out) {
    QStringList variance;
    for (int k = 0; k < r.components.size(); ++k)
        variance << QString("%1 %2 %3")
                        .arg(k + 1)
                        .arg(number(r.eigenvalues[k]))
                        .arg(number(r.explainedRatios[k]));
    out.noteFile("pca-variance.txt", writeLines(out.path("pca-variance.txt"), variance));
    out.noteFile("pca-components.dat",
                 writeComponentSpectra(out.path("pca-components.dat"), r.energies, r.components));
    for (size_t k = 0; k < r.scoreMaps.size(); ++k) {
        const QString name = QString("pca-%1-score.txt").arg(k + 1);
        out.note(name, writeMap(*r.scoreMaps[k], out.path(name)));
    }
}

void writeClusters(const ComponentResult &r, OutputFolder &out) {
    out.note("cluster.txt", writeMap(*r.clusterMap, out.path("cluster.txt")));
    QStringList sizes;
    for (int j = 0; j < r.clusterSpectra.size(); ++j) {
        const QString name = QString("cluster-%1.dat").arg(j);
        out.noteFile(name,
                     writeComponentSpectra(out.path(name), r.energies, {r.clusterSpectra[j]}));
        sizes << QString("%1 %2").arg(j).arg(r.clusterSizes[j]);
    }
    out.noteFile("cluster-sizes.txt", writeLines(out.path("cluster-sizes.txt"), sizes));
}

void writeNmf(const ComponentResult &r, OutputFolder &out) {
    out.noteFile("nmf-components.dat", writeComponentSpectra(out.path("nmf-components.dat"),
                                                             r.energies, r.nmfComponents));
    for (size_t k = 0; k < r.weightMaps.size(); ++k) {
        const QString name = QString("nmf-%1-weight.txt").arg(k + 1);
        out.note(name, writeMap(*r.weightMaps[k], out.path(name)));
    }
}

// The fixed edge into the suggestion, as lcf-map takes it: the given energy,
// or with "auto" the midpoint energy of the area's summed spectrum. A message
// when it is refused.
QString fixEdge(const ComponentArgs &m, LoadedStack &s) {
    double e0 = m.e0;
    const AnalyzeCond &g = s.grid;
    if (m.fixedE0Auto &&
        !areaEdgeEnergy(s.stack, s.bin, QRect(g.x0, g.y0, g.x1 - g.x0, g.y1 - g.y0), &e0))
        return QStringLiteral("--fixed-e0 auto: the summed spectrum of the area shows no edge");
    s.bin.suggestion.fixedEdge = true;
    s.bin.suggestion.fixedEdgeEnergy = e0;
    return QString();
}

Json resultJson(const ComponentResult &r, const ComponentArgs &m, const LoadedStack &s,
                const QStringList &written) {
    RunOutcome outcome;
    outcome.bins = s.grid.binCount();
    const int cores = m.threads > 0 ? m.threads : std::max(1, QThread::idealThreadCount());
    outcome.threads = std::min(cores, std::max(1, s.grid.binsY()));
    outcome.seconds = r.seconds;
    Json j = summary(outcome, s, written);
    j.add("binsUsed", r.binsUsed)
        .add("binsLeftOut", r.binsLeftOut)
        .add("jumpThreshold", r.jumpThreshold)
        .add("energies", r.energies.size())
        .add("fixedE0", s.bin.suggestion.fixedEdge ? Json::number(s.bin.suggestion.fixedEdgeEnergy)
                                                   : Json::null());
    if (r.kind == ComponentKind::Clusters)
        j.add("kMeansIterations", r.kMeansIterations);
    if (r.kind == ComponentKind::Nmf)
        j.add("offset", r.nmfOffset).add("nmfIterations", r.nmfIterations);
    return j;
}

int runComponents(const QString &command, ComponentKind kind, const QStringList &args) {
    ComponentArgs m;
    const QString why = parse(command, args, &m);
    if (!why.isEmpty())
        return usage(command, why);
    LoadedStack s;
    QString file, problem;
    m.stack.decodeThreads = m.threads; // --threads bounds the load too
    if (!loadStack(m.stack, s, &file, &problem))
        return loadFailure(qPrintable(command), file, problem);
    if (m.fixedE0) {
        const QString edgeProblem = fixEdge(m, s);
        if (!edgeProblem.isEmpty())
            return usage(command, edgeProblem);
    }
    ComponentSettings settings;
    settings.stack = &s.stack;
    settings.bin = s.bin;
    settings.rangeStart = m.rangeStart;
    settings.rangeEnd = m.rangeEnd;
    settings.minJumpFraction = m.minJump;
    settings.components = m.components > 0 ? m.components : 5;
    settings.clusters = m.clusters;
    settings.nmfComponents = m.components;
    settings.seed = m.seed;
    const QString refused = componentRunProblem(kind, settings);
    if (!refused.isEmpty())
        return usage(command, refused);
    ComponentRun run;
    attachProgress(run);
    if (!run.run(kind, settings, s.grid, m.threads)) {
        if (run.ranOutOfMemory())
            throw std::bad_alloc(); // said by main, with exit status 1
        std::fprintf(stderr, "lumenstack-tool %s: %s\n", qPrintable(command),
                     qPrintable(run.problem()));
        return 1;
    }
    const ComponentResult &r = run.result();
    OutputFolder out(command, m.out);
    if (out.ok()) {
        if (kind == ComponentKind::Pca)
            writePca(r, out);
        else if (kind == ComponentKind::Clusters)
            writeClusters(r, out);
        else
            writeNmf(r, out);
    }
    if (!out.ok())
        return 1;
    return emitSummary(qPrintable(command), resultJson(r, m, s, out.written()), m.out);
}

} // namespace

int runPcaMap(const QStringList &args) {
    return runComponents(QStringLiteral("pca-map"), ComponentKind::Pca, args);
}

int runClusterMap(const QStringList &args) {
    return runComponents(QStringLiteral("cluster-map"), ComponentKind::Clusters, args);
}

int runNmfMap(const QStringList &args) {
    return runComponents(QStringLiteral("nmf-map"), ComponentKind::Nmf, args);
}
