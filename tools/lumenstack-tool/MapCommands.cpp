// lcf-map and ra-map: the analysis panel's map runs from the command line.
//
//   lcf-map [stack options] --ref FILE[:DE[:vic]][@COL]... [--mlcf] [--old]
//           [--range S E] [--nonneg] [--sum1] [--fixed-e0 E|auto] [--quality]
//           [--threads N] --out DIR
//   ra-map  [stack options] [--energy E] [--factor F] [--threads N] --out DIR
//
// Each map is written as "X Y Val" lines (bin centre, value with 17
// significant digits) in walk order, and as a 32-bit float TIFF of the whole
// map beside it. One JSON line on stdout sums up the run; a progress bar goes
// to stderr when it is a terminal. Exit 0, 1 (an input cannot be read) or 2
// (bad arguments).
//
// The references are read in any layout ReferenceFile takes (COL: the 1-based
// column holding mu, for text with more than two numeric columns) and
// normalised with the stack's element suggestion and fixed edge, as the bin
// spectra are. A reference that cannot be read or shows no usable edge is
// refused (exit 1).
#include "MapOutput.h"
#include "Subcommands.h"

#include "analysis/LcfMapSetup.h"
#include "spectrum/ReferenceFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRect>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

struct RefArg {
    QString file;
    double dE = 0;
    bool victoreen = false;
    int column = 0;
};

struct MapArgs {
    StackOptions stack;
    QVector<RefArg> refs;
    bool mlcf = false, old = false;
    double sE0 = 0, eE0 = 30000;
    LcfOptions options;
    bool fixedE0 = false, fixedE0Auto = false;
    double e0 = 0;
    double energy = 8200, factor = 1.0;
    int threads = 0;
    QString out;
};

int usage(const char *command, const QString &why) {
    std::fprintf(stderr, "lumenstack-tool %s: %s\n", command, qPrintable(why));
    if (QByteArray(command) == "lcf-map")
        std::fprintf(stderr, "usage: lumenstack-tool lcf-map [stack options] "
                             "--ref FILE[:DE[:vic]][@COL]... [--mlcf] [--old]\n"
                             "       [--range S E] [--nonneg] [--sum1] [--fixed-e0 E|auto] "
                             "[--quality]\n"
                             "       [--threads N] --out DIR\n");
    else
        std::fprintf(stderr, "usage: lumenstack-tool ra-map [stack options] [--energy E] "
                             "[--factor F] [--threads N] --out DIR\n");
    std::fprintf(stderr, "%s", stackOptionsUsage());
    return 2;
}

int inputError(const char *command, const QString &file, const QString &why) {
    std::fprintf(stderr, "lumenstack-tool %s: cannot read %s: %s\n", command, qPrintable(file),
                 qPrintable(why));
    return 1;
}

// FILE[:DE[:vic]][@COL], read from the right so that a file name may hold ':'
// (and '@' when no column follows).
bool parseRef(const QString &text, RefArg *r) {
    const QString head = ReferenceFile::splitColumnSuffix(text, &r->column);
    if (head.size() != text.size() && r->column < 1) // "@0"
        return false;
    QStringList parts = head.split(':');
    if (parts.size() >= 3 && parts.last().compare("vic", Qt::CaseInsensitive) == 0) {
        r->victoreen = true;
        parts.removeLast();
    }
    if (parts.size() >= 2 && parseNumber(parts.last(), &r->dE)) {
        if (!(std::fabs(r->dE) <= MaxEnergy))
            return false; // NaN, infinite or beyond any edge
        parts.removeLast();
    } else if (r->victoreen) {
        return false;
    }
    r->file = parts.join(':');
    return !r->file.isEmpty();
}

QString parse(const char *command, const QStringList &args, MapArgs *m) {
    const bool lcf = QByteArray(command) == "lcf-map";
    for (int i = 0; i < args.size(); ++i) {
        QString why;
        const OptionTaken t = takeStackOption(args, i, m->stack, &why);
        if (t == OptionTaken::Error)
            return why;
        if (t == OptionTaken::Yes)
            continue;
        const QString &a = args[i];
        const auto value = [&](int k) { return i + k < args.size() ? args[i + k] : QString(); };
        double v = 0, w = 0;
        if (a == "--out" && i + 1 < args.size()) {
            m->out = args[++i];
        } else if (a == "--threads" && parseNumber(value(1), &v) && v >= 1 && v <= 1024 &&
                   v == int(v)) {
            m->threads = int(v);
            ++i;
        } else if (lcf && a == "--ref") {
            RefArg r;
            if (!parseRef(value(1), &r))
                return QString("--ref takes FILE[:DE[:vic]][@COL], DE a shift within +-%1 eV")
                    .arg(MaxEnergy);
            m->refs.append(r);
            ++i;
        } else if (lcf && a == "--mlcf") {
            m->mlcf = true;
        } else if (lcf && a == "--old") {
            m->old = true;
        } else if (lcf && a == "--nonneg") {
            m->options.nonNegative = true;
        } else if (lcf && a == "--sum1") {
            m->options.sumToOne = true;
        } else if (lcf && a == "--quality") {
            m->options.quality = true;
        } else if (lcf && a == "--fixed-e0" && value(1) == "auto") {
            m->fixedE0 = m->fixedE0Auto = true;
            ++i;
        } else if (lcf && a == "--fixed-e0" && parseNumber(value(1), &v)) {
            if (!std::isfinite(v))
                return QStringLiteral("--fixed-e0 takes a finite energy or auto");
            m->fixedE0 = true;
            m->e0 = v;
            ++i;
        } else if (lcf && a == "--range" && parseNumber(value(1), &v) &&
                   parseNumber(value(2), &w)) {
            if (!(v < w))
                return "--range S E takes a start below the end";
            m->sE0 = v;
            m->eE0 = w;
            i += 2;
        } else if (!lcf && a == "--energy" && parseNumber(value(1), &v)) {
            if (!(v > 0 && v <= MaxEnergy))
                return QString("--energy takes an energy above 0 and up to %1 eV").arg(MaxEnergy);
            m->energy = v;
            ++i;
        } else if (!lcf && a == "--factor" && parseNumber(value(1), &v)) {
            if (!std::isfinite(v))
                return QStringLiteral("--factor takes a finite number");
            m->factor = v;
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
    if (m->out.isEmpty())
        return QStringLiteral("--out DIR is required");
    if (lcf && m->refs.isEmpty())
        return QStringLiteral("at least one --ref is required");
    if (lcf && m->refs.size() > LcfEngine::MaxReferences)
        return QString("at most %1 references").arg(LcfEngine::MaxReferences);
    return QString();
}

int refuseReference(const QString &file, const QString &why) {
    std::fprintf(stderr, "lumenstack-tool lcf-map: reference %s refused: %s\n", qPrintable(file),
                 qPrintable(why));
    return 1;
}

LcfMapRequest lcfRequest(const MapArgs &m) {
    LcfMapRequest r;
    for (const RefArg &ref : m.refs)
        r.refs.append(LcfReferenceSource{ref.file, ref.dE, ref.victoreen, ref.column});
    r.kind = m.mlcf ? LcfKind::MLCF : m.old ? LcfKind::OldLCF : LcfKind::LCF;
    r.sE0 = m.sE0;
    r.eE0 = m.eE0;
    r.options = m.options;
    r.fixedE0 = m.fixedE0;
    r.fixedE0Auto = m.fixedE0Auto;
    r.e0 = m.e0;
    return r;
}

// The exit status of a failed setup, after its message.
int setupFailure(const LcfSetupFailure &f) {
    switch (f.kind) {
    case LcfSetupFailure::BadRequest:
        return usage("lcf-map", f.why);
    case LcfSetupFailure::Unreadable:
        return inputError("lcf-map", f.file, f.needsColumn ? f.why + " (--ref FILE@COL)" : f.why);
    case LcfSetupFailure::Refused:
        return refuseReference(f.file, f.why);
    case LcfSetupFailure::None:
        break;
    }
    return 0;
}

} // namespace

int runLcfMap(const QStringList &args) {
    MapArgs m;
    const QString why = parse("lcf-map", args, &m);
    if (!why.isEmpty())
        return usage("lcf-map", why);
    LoadedStack s;
    QString file, problem;
    m.stack.decodeThreads = m.threads; // --threads bounds the load too
    if (!loadStack(m.stack, s, &file, &problem))
        return loadFailure("lcf-map", file, problem);
    LcfMapSetup setup;
    const LcfSetupFailure failed = setUpLcfMap(s, lcfRequest(m), setup);
    for (const auto &[refFile, note] : setup.notes)
        std::fprintf(stderr, "lumenstack-tool lcf-map: %s: %s\n", qPrintable(refFile),
                     qPrintable(note));
    if (failed.kind != LcfSetupFailure::None)
        return setupFailure(failed);
    const LcfRunSettings &settings = setup.settings;
    const auto &spectra = setup.spectra;

    const int rows = settings.refs.size();
    NamedMaps maps;
    for (int i = 0; i < rows; ++i)
        maps.add("LCF Ref 1", i < m.refs.size() ? QString("ref-%1-amount.txt").arg(i + 1) : "",
                 s.grid);
    for (int i = 0; i < rows; ++i)
        maps.add("LCF Ref 2", i < m.refs.size() ? QString("ref-%1-fraction.txt").arg(i + 1) : "",
                 s.grid);
    maps.add("a2d Zansa", "residual.txt", s.grid);
    if (m.options.quality) {
        for (int i = 0; i < rows; ++i)
            maps.add("LCF Ref 3", i < m.refs.size() ? QString("ref-%1-sigma.txt").arg(i + 1) : "",
                     s.grid);
        maps.add("a2d RFactor", "rfactor.txt", s.grid);
        maps.add("a2d Chi2", "chi2.txt", s.grid);
    }

    RunOutcome outcome;
    QStringList written;
    const int rc = runAndWrite("lcf-map", s, maps, lcfRunFactory(settings), m.threads, m.out,
                               &outcome, &written);
    if (rc != 0)
        return rc;
    QStringList refs;
    for (int i = 0; i < m.refs.size(); ++i) {
        Json r;
        r.addString("file", m.refs[i].file)
            .add("dE", m.refs[i].dE)
            .add("victoreen", m.refs[i].victoreen)
            .add("column", m.refs[i].column)
            .add("dMut", spectra[i]->dMut())
            .add("midE", spectra[i]->midx());
        refs << r.text();
    }
    Json options;
    options.add("nonneg", m.options.nonNegative)
        .add("sum1", m.options.sumToOne)
        .add("quality", m.options.quality)
        .add("fixedE0", settings.suggestion.fixedEdge
                            ? Json::number(settings.suggestion.fixedEdgeEnergy)
                            : Json::null());
    Json j = summary(outcome, s, written);
    j.add("refs", Json::array(refs));
    j.add("options", options.text());
    return emitSummary("lcf-map", j, m.out);
}

int runRaMap(const QStringList &args) {
    MapArgs m;
    const QString why = parse("ra-map", args, &m);
    if (!why.isEmpty())
        return usage("ra-map", why);
    LoadedStack s;
    QString file, problem;
    m.stack.decodeThreads = m.threads; // --threads bounds the load too
    if (!loadStack(m.stack, s, &file, &problem))
        return loadFailure("ra-map", file, problem);
    RaRunSettings settings;
    settings.logRows = false;
    settings.stack = &s.stack;
    settings.conditions = s.bin.conditions;
    settings.shiftMap = s.bin.shiftMap;
    settings.simpleBackground = s.bin.simpleBackground;
    settings.suggestion = s.bin.suggestion;
    settings.energy = m.energy;
    settings.factor = m.factor;

    NamedMaps maps;
    maps.add("a2d DMut", "dmut.txt", s.grid);
    maps.add("a2d Rest", "rest.txt", s.grid);
    RunOutcome outcome;
    QStringList written;
    int rc = runAndWrite("ra-map", s, maps, raRunFactory(settings), m.threads, m.out, &outcome,
                         &written);
    if (rc != 0)
        return rc;
    QElapsedTimer clock;
    clock.start();
    Analyzed2DRes ratio("a2d Rati");
    computeRaRatio(*maps.list[RaDMut], *maps.list[RaRest], ratio);
    if (!writeMap(ratio, QDir(m.out).filePath("ratio.txt"))) {
        std::fprintf(stderr, "lumenstack-tool ra-map: cannot write %s\n",
                     qPrintable(QDir(m.out).filePath("ratio.txt")));
        return 1;
    }
    outcome.writeSeconds += clock.nsecsElapsed() / 1e9;
    written << "ratio.txt";
    return emitSummary("ra-map", summary(outcome, s, written), m.out);
}
