// lcf-map and ra-map: the analysis panel's map runs from the command line.
//
//   lcf-map [stack options] --ref FILE[:DE[:vic]]... [--mlcf] [--old]
//           [--range S E] [--threads N] --out DIR
//   ra-map  [stack options] [--energy E] [--factor F] [--threads N] --out DIR
//
// Each map is written as "X Y Val" lines (bin centre, value with 17
// significant digits) in walk order, and as a 32-bit float TIFF of the whole
// map beside it. One JSON line on stdout sums up the run; a progress bar goes
// to stderr when it is a terminal. Exit 0, 1 (an input cannot be read) or 2
// (bad arguments).
#include "Json.h"
#include "StackOptions.h"
#include "Subcommands.h"

#include "analysis/LcfRun.h"
#include "imageio/TiffData.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

struct RefArg {
    QString file;
    double dE = 0;
    bool victoreen = false;
};

struct MapArgs {
    StackOptions stack;
    QVector<RefArg> refs;
    bool mlcf = false, old = false;
    double sE0 = 0, eE0 = 30000;
    double energy = 8200, factor = 1.0;
    int threads = 0;
    QString out;
};

int usage(const char *command, const QString &why) {
    std::fprintf(stderr, "lumenstack-tool %s: %s\n", command, qPrintable(why));
    if (QByteArray(command) == "lcf-map")
        std::fprintf(stderr, "usage: lumenstack-tool lcf-map [stack options] "
                             "--ref FILE[:DE[:vic]]... [--mlcf] [--old]\n"
                             "       [--range S E] [--threads N] --out DIR\n");
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

// FILE[:DE[:vic]], read from the right so that a file name may hold ':'.
bool parseRef(const QString &text, RefArg *r) {
    QStringList parts = text.split(':');
    if (parts.size() >= 3 && parts.last().compare("vic", Qt::CaseInsensitive) == 0) {
        r->victoreen = true;
        parts.removeLast();
    }
    if (parts.size() >= 2 && parseNumber(parts.last(), &r->dE))
        parts.removeLast();
    else if (r->victoreen)
        return false;
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
                return "--ref takes FILE[:DE[:vic]]";
            m->refs.append(r);
            ++i;
        } else if (lcf && a == "--mlcf") {
            m->mlcf = true;
        } else if (lcf && a == "--old") {
            m->old = true;
        } else if (lcf && a == "--range" && parseNumber(value(1), &v) &&
                   parseNumber(value(2), &w)) {
            m->sE0 = v;
            m->eE0 = w;
            i += 2;
        } else if (!lcf && a == "--energy" && parseNumber(value(1), &v)) {
            m->energy = v;
            ++i;
        } else if (!lcf && a == "--factor" && parseNumber(value(1), &v)) {
            m->factor = v;
            ++i;
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

// "X Y Val" per bin in walk order, then the float TIFF of the whole map.
bool writeMap(const Analyzed2DRes &map, const QString &txtPath) {
    QSaveFile f(txtPath);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&f);
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

// A bar on stderr, only for a person watching a terminal.
void attachProgress(MapRun &run) {
    if (!isatty(fileno(stderr)))
        return;
    QObject::connect(
        &run, &MapRun::progress, &run,
        [](double percent) {
            const int filled = int(percent / 2.5);
            std::fprintf(stderr, "\r[%-40s] %5.1f%%", QByteArray(filled, '#').constData(), percent);
            if (percent >= 100)
                std::fprintf(stderr, "\n");
            std::fflush(stderr);
        },
        Qt::DirectConnection);
}

struct NamedMaps {
    std::vector<std::unique_ptr<Analyzed2DRes>> maps;
    QVector<Analyzed2DRes *> list;
    QStringList files; // file name of each written map, "" for maps not written
    void add(const QString &name, const QString &file, const AnalyzeCond &g) {
        maps.push_back(std::make_unique<Analyzed2DRes>(name));
        maps.back()->prepare(g);
        list.append(maps.back().get());
        files << file;
    }
};

struct RunOutcome {
    int bins = 0;
    int threads = 0;
    double seconds = 0;
};

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
        .add("maps", Json::array(names));
    return j;
}

// Runs the maps and writes the named ones into dir; exit status.
int runAndWrite(const char *command, LoadedStack &s, NamedMaps &maps,
                const MapRun::TaskFactory &factory, int threads, const QString &dir,
                RunOutcome *outcome, QStringList *written) {
    MapRun run;
    attachProgress(run);
    run.run(s.grid, maps.list, factory, threads);
    outcome->bins = s.grid.binCount();
    outcome->threads = run.threadCount();
    outcome->seconds = run.seconds();
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "lumenstack-tool %s: cannot create %s\n", command, qPrintable(dir));
        return 1;
    }
    for (int k = 0; k < maps.list.size(); ++k) {
        if (maps.files[k].isEmpty())
            continue;
        if (!writeMap(*maps.list[k], QDir(dir).filePath(maps.files[k]))) {
            std::fprintf(stderr, "lumenstack-tool %s: cannot write %s\n", command,
                         qPrintable(QDir(dir).filePath(maps.files[k])));
            return 1;
        }
        *written << maps.files[k];
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
    if (!loadStack(m.stack, s, &file, &problem))
        return inputError("lcf-map", file, problem);
    // The rows as the panel holds them: at least four, the given ones in use.
    std::vector<std::unique_ptr<XafsSpectrum>> spectra;
    LcfRunSettings settings;
    for (const RefArg &r : m.refs) {
        spectra.push_back(std::make_unique<XafsSpectrum>());
        if (!loadLcfReference(r.file, r.dE, r.victoreen, *spectra.back()))
            return inputError("lcf-map", r.file, "not a spectrum file");
        settings.refs.append({spectra.back().get(), true});
    }
    while (settings.refs.size() < 4)
        settings.refs.append({nullptr, false});
    settings.stack = &s.stack;
    settings.conditions = s.bin.conditions;
    settings.shiftMap = s.bin.shiftMap;
    settings.simpleBackground = s.bin.simpleBackground;
    settings.suggestion = s.bin.suggestion;
    settings.kind = m.mlcf ? LcfKind::MLCF : m.old ? LcfKind::OldLCF : LcfKind::LCF;
    settings.sE0 = m.sE0;
    settings.eE0 = m.eE0;

    const int rows = settings.refs.size();
    NamedMaps maps;
    for (int i = 0; i < rows; ++i)
        maps.add("LCF Ref 1", i < m.refs.size() ? QString("ref-%1-amount.txt").arg(i + 1) : "",
                 s.grid);
    for (int i = 0; i < rows; ++i)
        maps.add("LCF Ref 2", i < m.refs.size() ? QString("ref-%1-fraction.txt").arg(i + 1) : "",
                 s.grid);
    maps.add("a2d Zansa", "residual.txt", s.grid);

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
            .add("dMut", spectra[i]->dMut())
            .add("midE", spectra[i]->midx());
        refs << r.text();
    }
    Json j = summary(outcome, s, written);
    j.add("refs", Json::array(refs));
    std::printf("%s\n", qPrintable(j.text()));
    return 0;
}

int runRaMap(const QStringList &args) {
    MapArgs m;
    const QString why = parse("ra-map", args, &m);
    if (!why.isEmpty())
        return usage("ra-map", why);
    LoadedStack s;
    QString file, problem;
    if (!loadStack(m.stack, s, &file, &problem))
        return inputError("ra-map", file, problem);
    RaRunSettings settings;
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
    Analyzed2DRes ratio("a2d Rati");
    computeRaRatio(*maps.list[RaDMut], *maps.list[RaRest], ratio);
    if (!writeMap(ratio, QDir(m.out).filePath("ratio.txt"))) {
        std::fprintf(stderr, "lumenstack-tool ra-map: cannot write %s\n",
                     qPrintable(QDir(m.out).filePath("ratio.txt")));
        return 1;
    }
    written << "ratio.txt";
    std::printf("%s\n", qPrintable(summary(outcome, s, written).text()));
    return 0;
}
