// elem-map: the element panel's map run from the command line.
//
//   elem-map [stack options] --elems "Fe Ni-K Pb-L3" [--sort] [--de X] [--th X]
//            [--roi S E] [--no-neg] [--use "1 1 0"] [--std "1 0.5 0.2"]
//            [--main N] [--cor-th X] [--bg DMUT DE ROI NROI] [--threads N]
//            --out DIR
//
// The rows are those the panel builds from the same names (unknown symbols
// are skipped, with a note on stderr), with the panel's defaults; --de, --th,
// --roi and --no-neg set every row, --use and --std give one value per row in
// row order, --main the 0-based row of the main target. Every number is
// rounded to the 6 significant digits the panel's fields hold, so that the
// maps equal the panel's run.
//
// Writes ELEM-dmut, -ndmut, -mup, -mum, -de, -roi and -nroi per row (ELEM =
// the row name such as Fe-K), cor and corth: "X Y Val" text in walk order with
// 17 significant digits and a 32-bit float TIFF beside each. One JSON line on
// stdout. Exit 0, 1 (an input cannot be read or written) or 2 (bad arguments).
#include "MapOutput.h"
#include "Subcommands.h"

#include "analysis/ElemAnalysis.h"
#include "spectrum/EdgeTable.h"

#include <QMap>
#include <QSet>
#include <cmath>
#include <cstdio>

namespace {

const char *const kindFiles[ElemMapKinds] = {"dmut", "ndmut", "mup", "mum", "de", "roi", "nroi"};

struct ElemArgs {
    StackOptions stack;
    QString elems;
    bool sort = false;
    bool noNeg = false;
    QMap<QString, QVector<double>> numbers; // --de, --th, --roi, --cor-th, --bg
    QString use, std;
    bool haveUse = false, haveStd = false;
    int main = 0;
    int threads = 0;
    QString out;
    // Filled from the above once parsed.
    QVector<ElemTarget> targets;
    ElemRunSetup setup;
};

int usage(const QString &why) {
    std::fprintf(stderr, "lumenstack-tool elem-map: %s\n", qPrintable(why));
    std::fprintf(stderr,
                 "usage: lumenstack-tool elem-map [stack options] --elems \"Fe Ni-K Pb-L3\" "
                 "[--sort]\n"
                 "       [--de X] [--th X] [--roi S E] [--no-neg] [--use \"1 1 0\"]\n"
                 "       [--std \"1 0.5 0.2\"] [--main N] [--cor-th X]\n"
                 "       [--bg DMUT DE ROI NROI] [--threads N] --out DIR\n");
    std::fprintf(stderr, "%s", stackOptionsUsage());
    return 2;
}

bool finiteNumber(const QString &text, double *v) {
    return parseNumber(text, v) && std::isfinite(*v);
}

bool wholeNumber(const QString &text, int lo, int hi, int *n) {
    double v = 0;
    if (!finiteNumber(text, &v) || v != std::floor(v) || v < lo || v > hi)
        return false;
    *n = int(v);
    return true;
}

// Options with a fixed count of numbers.
int numberCount(const QString &option) {
    static const QMap<QString, int> counts{
        {"--de", 1}, {"--th", 1}, {"--roi", 2}, {"--cor-th", 1}, {"--bg", 4}};
    return counts.value(option, 0);
}

QString parseArgs(const QStringList &args, ElemArgs *m) {
    bool haveElems = false;
    for (int i = 0; i < args.size(); ++i) {
        QString why;
        const OptionTaken t = takeStackOption(args, i, m->stack, &why);
        if (t == OptionTaken::Error)
            return why;
        if (t == OptionTaken::Yes)
            continue;
        const QString &a = args[i];
        const QString next = i + 1 < args.size() ? args[i + 1] : QString();
        if (a == "--sort") {
            m->sort = true;
        } else if (a == "--no-neg") {
            m->noNeg = true;
        } else if (const int count = numberCount(a)) {
            QVector<double> values(count);
            for (int k = 0; k < count; ++k)
                if (i + 1 + k >= args.size() || !finiteNumber(args[i + 1 + k], &values[k]))
                    return QString("%1 takes %2 number(s)").arg(a).arg(count);
            m->numbers[a] = values;
            i += count;
        } else if (i + 1 >= args.size()) {
            return "bad or unknown argument " + a;
        } else if (a == "--elems") {
            m->elems = args[++i];
            haveElems = true;
        } else if (a == "--use") {
            m->use = args[++i];
            m->haveUse = true;
        } else if (a == "--std") {
            m->std = args[++i];
            m->haveStd = true;
        } else if (a == "--out") {
            m->out = args[++i];
        } else if (a == "--main" && wholeNumber(next, 0, 1 << 20, &m->main)) {
            ++i;
        } else if (a == "--threads" && wholeNumber(next, 1, 1024, &m->threads)) {
            ++i;
        } else if (a == "--threads") {
            return threadsUsage();
        } else {
            return "bad or unknown argument " + a;
        }
    }
    const QString stackProblem = checkStackOptions(m->stack);
    if (!stackProblem.isEmpty())
        return stackProblem;
    if (!haveElems)
        return QStringLiteral("--elems \"NAMES\" is required");
    if (m->out.isEmpty())
        return QStringLiteral("--out DIR is required");
    return QString();
}

bool knownEdgeName(const QString &edge) {
    return edgeIndexOf(edge) != 0 || edge.compare("K", Qt::CaseInsensitive) == 0;
}

// The rows the panel would build. The row names become file names, so an
// edge that is not K, L1, L2 or L3 is refused rather than skipped.
QString buildTargets(ElemArgs *m) {
    QString plain = m->elems;
    plain.replace(',', ' ');
    for (const QString &part : plain.simplified().split(' ', Qt::SkipEmptyParts))
        if (parseElemTargets(part, false).isEmpty())
            std::fprintf(stderr, "lumenstack-tool elem-map: skipping unknown element %s\n",
                         qPrintable(part));
    m->targets = parseElemTargets(m->elems, m->sort);
    if (m->targets.isEmpty())
        return QStringLiteral("--elems names no known element");
    QSet<QString> names;
    for (const ElemTarget &t : m->targets) {
        if (!knownEdgeName(t.edgeName))
            return "--elems: unknown edge in " + t.name + " (K, L1, L2 or L3)";
        if (names.contains(t.name))
            return "--elems names " + t.name + " twice";
        names.insert(t.name);
    }
    return QString();
}

// One number per row, blanks or commas between them.
QString perRow(const QString &option, const QString &text, int rows, bool flags,
               QVector<double> *values) {
    QString plain = text;
    plain.replace(',', ' ');
    const QStringList parts = plain.simplified().split(' ', Qt::SkipEmptyParts);
    if (parts.size() != rows)
        return QString("%1 needs one value per row (%2)").arg(option).arg(rows);
    for (const QString &p : parts) {
        double v = 0;
        if (!finiteNumber(p, &v) || (flags && v != 0 && v != 1))
            return option + (flags ? " takes 0 or 1 per row" : " takes one number per row");
        values->append(v);
    }
    return QString();
}

// The panel's run set-up with the options written into its fields.
QString buildSetup(ElemArgs *m) {
    const int n = m->targets.size();
    ElemRunSetup &s = m->setup;
    s = elemDefaultSetup(m->targets);
    const auto field = [m](const char *option, int k, double fallback) {
        const auto it = m->numbers.constFind(option);
        return it == m->numbers.constEnd() ? fallback : elemFieldValue(it->at(k));
    };
    for (ElemCondition &c : s.conds) {
        c.dE = field("--de", 0, c.dE);
        c.th = field("--th", 0, c.th);
        c.roiStart = field("--roi", 0, c.roiStart);
        c.roiEnd = field("--roi", 1, c.roiEnd);
        c.noNeg = m->noNeg;
    }
    s.corTh = field("--cor-th", 0, s.corTh);
    s.bg.dMut = field("--bg", 0, s.bg.dMut);
    s.bg.dE = field("--bg", 1, s.bg.dE);
    s.bg.roi = field("--bg", 2, s.bg.roi);
    s.bg.nRoi = field("--bg", 3, s.bg.nRoi);
    if (m->main >= n)
        return QString("--main N names a row from 0 to %1").arg(n - 1);
    s.mainT = m->main;
    QVector<double> values;
    if (m->haveUse) {
        if (const QString why = perRow("--use", m->use, n, true, &values); !why.isEmpty())
            return why;
        for (int j = 0; j < n; ++j)
            s.use[j] = values[j] != 0 ? 1 : 0;
    }
    values.clear();
    if (m->haveStd) {
        if (const QString why = perRow("--std", m->std, n, false, &values); !why.isEmpty())
            return why;
        for (int j = 0; j < n; ++j)
            s.stdRatios[j] = elemFieldValue(values[j]);
    }
    return QString();
}

// Kind k of row j at j + k n, then the correlation maps: the run's order.
void addMaps(const ElemArgs &m, const AnalyzeCond &grid, NamedMaps &maps) {
    for (int k = 0; k < ElemMapKinds; ++k)
        for (const ElemTarget &t : m.targets)
            maps.add(elemMapName(t.name, k), QString("%1-%2.txt").arg(t.name, kindFiles[k]), grid);
    maps.add("a2d ElemsCor", "cor.txt", grid);
    maps.add("a2d ElemsCorTh", "corth.txt", grid);
}

// As the panel does at the run's end: the correlation maps anew from the
// ratio maps.
void recalcCorrelation(const ElemRunSetup &s, NamedMaps &maps) {
    const int n = s.elemCount();
    QVector<const Analyzed2DRes *> ratios;
    for (int j = 0; j < n; ++j)
        ratios.append(maps.list[elemMapIndex(j, ElemRatio, n)]);
    recalcCorrelationMaps(ratios, s.stdRatios, s.use, s.corTh, *maps.list[elemCorIndex(n)],
                          *maps.list[elemCorIndex(n) + 1]);
}

QString elemsJson(const ElemArgs &m) {
    QStringList items;
    for (int j = 0; j < m.targets.size(); ++j) {
        Json e;
        e.addString("name", m.targets[j].name)
            .add("z", m.targets[j].Z)
            .add("e0", m.setup.conds[j].e0);
        items << e.text();
    }
    return Json::array(items);
}

} // namespace

int runElemMap(const QStringList &args) {
    ElemArgs m;
    QString why = parseArgs(args, &m);
    if (why.isEmpty())
        why = buildTargets(&m);
    if (why.isEmpty())
        why = buildSetup(&m);
    if (!why.isEmpty())
        return usage(why);
    LoadedStack s;
    QString file, problem;
    m.stack.decodeThreads = m.threads; // --threads bounds the load too
    if (!loadStack(m.stack, s, &file, &problem))
        return loadFailure("elem-map", file, problem);
    auto setup = std::make_shared<ElemRunSetup>(m.setup);
    setup->logBins = false;
    setup->stack = &s.stack;
    setup->mut = s.bin.conditions;
    setup->shift = s.bin.shiftMap;
    s.stack.updateDarkAreas(setup->mut);

    NamedMaps maps;
    addMaps(m, s.grid, maps);
    RunOutcome outcome;
    runMaps(s, maps, elemTaskFactory(setup), m.threads, &outcome);
    recalcCorrelation(*setup, maps);
    QStringList written;
    if (const int rc = writeMaps("elem-map", maps, m.out, &written))
        return rc;
    Json j = summary(outcome, s, written);
    j.add("elems", elemsJson(m));
    return emitSummary("elem-map", j, m.out);
}
