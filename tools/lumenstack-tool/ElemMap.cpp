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

#include "analysis/ElemMapSetup.h"
#include "spectrum/EdgeTable.h"

#include <QMap>
#include <cmath>
#include <cstdio>

namespace {

const char *const kindFiles[ElemMapKinds] = {"dmut", "ndmut", "mup", "mum", "de", "roi", "nroi"};

struct ElemArgs {
    StackOptions stack;
    ElemMapRequest request;
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

void takeNumbers(const QString &option, const QVector<double> &v, ElemMapRequest &r) {
    if (option == "--de")
        r.dE = v[0];
    else if (option == "--th")
        r.th = v[0];
    else if (option == "--cor-th")
        r.corTh = v[0];
    else if (option == "--roi")
        r.roiStart = v[0], r.roiEnd = v[1];
    else
        r.bg = ElemBackground{v[0], 0, v[1], v[2], v[3]};
}

// One number per row, blanks or commas between them (NaN for what is none).
QVector<double> perRow(const QString &text) {
    QString plain = text;
    plain.replace(',', ' ');
    QVector<double> values;
    for (const QString &p : plain.simplified().split(' ', Qt::SkipEmptyParts)) {
        double v = NAN;
        parseNumber(p, &v);
        values.append(v);
    }
    return values;
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
        ElemMapRequest &r = m->request;
        if (a == "--sort") {
            r.sort = true;
        } else if (a == "--no-neg") {
            r.noNeg = true;
        } else if (const int count = numberCount(a)) {
            QVector<double> values(count);
            for (int k = 0; k < count; ++k)
                if (i + 1 + k >= args.size() || !finiteNumber(args[i + 1 + k], &values[k]))
                    return QString("%1 takes %2 number(s)").arg(a).arg(count);
            takeNumbers(a, values, r);
            i += count;
        } else if (i + 1 >= args.size()) {
            return "bad or unknown argument " + a;
        } else if (a == "--elems") {
            r.elems = args[++i];
            haveElems = true;
        } else if (a == "--use") {
            r.use = perRow(args[++i]);
        } else if (a == "--std") {
            r.stdRatios = perRow(args[++i]);
        } else if (a == "--out") {
            m->out = args[++i];
        } else if (a == "--main" && wholeNumber(next, 0, 1 << 20, &r.mainRow)) {
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

// The rows the panel would build, with a note for each name skipped.
QString buildTargets(ElemArgs *m) {
    QStringList skipped;
    const QString why = buildElemTargets(m->request, &m->targets, &skipped);
    for (const QString &part : skipped)
        std::fprintf(stderr, "lumenstack-tool elem-map: skipping unknown element %s\n",
                     qPrintable(part));
    return why;
}

// Kind k of row j at j + k n, then the correlation maps: the run's order.
void addMaps(const ElemArgs &m, const AnalyzeCond &grid, NamedMaps &maps) {
    for (int k = 0; k < ElemMapKinds; ++k)
        for (const ElemTarget &t : m.targets)
            maps.add(elemMapName(t.name, k), QString("%1-%2.txt").arg(t.name, kindFiles[k]), grid);
    maps.add("a2d ElemsCor", "cor.txt", grid);
    maps.add("a2d ElemsCorTh", "corth.txt", grid);
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
        why = buildElemSetup(m.request, m.targets, &m.setup);
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
    recalcElemCorrelation(*setup, maps.list);
    QStringList written;
    outcome.writeSeconds = 0;
    if (const int rc =
            writeMaps("elem-map", maps, m.out, &written, m.threads, &outcome.writeSeconds))
        return rc;
    Json j = summary(outcome, s, written);
    j.add("elems", elemsJson(m));
    return emitSummary("elem-map", j, m.out);
}
