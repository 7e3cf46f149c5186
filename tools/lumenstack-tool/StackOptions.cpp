#include "StackOptions.h"
#include "ToolProvenance.h"

#include <cmath>
#include <cstdio>

namespace {

bool parseInt(const QString &text, int *v) {
    bool ok = false;
    const int x = text.toInt(&ok);
    if (ok)
        *v = x;
    return ok;
}

} // namespace

const char *stackOptionsUsage() {
    return "  stack: --i1 DIR [--i0 DIR] [--energies FILE | --energy-pattern PATTERN]\n"
           "         | --h5 FILE --layout FILE|generic|facility|nexus\n"
           "         [--dark FILE] [--shifts FILE] [--bin HX HY] [--area X Y W H] "
           "[--fluorescence]\n"
           "         [--victoreen] [--suggest SYMBOL EDGE [--dpre E] [--dpost E]\n"
           "         [--jump-sigma S]] [--shift-map FILE.emp [--shift-edge E]]\n";
}

OptionTaken takeStackOption(const QStringList &args, int &i, StackOptions &o, QString *why) {
    const QString &a = args[i];
    struct Spec {
        const char *name;
        int values;
    };
    static const Spec specs[] = {
        {"--i1", 1},         {"--i0", 1},        {"--energies", 1},   {"--energy-pattern", 1},
        {"--dark", 1},       {"--bin", 2},       {"--area", 4},       {"--fluorescence", 0},
        {"--victoreen", 0},  {"--suggest", 2},   {"--dpre", 1},       {"--dpost", 1},
        {"--jump-sigma", 1}, {"--shift-map", 1}, {"--shift-edge", 1}, {"--shifts", 1},
        {"--h5", 1},         {"--layout", 1},
    };
    int values = -1;
    for (const Spec &s : specs)
        if (a == QLatin1String(s.name))
            values = s.values;
    if (values < 0)
        return OptionTaken::No;
    if (i + values >= args.size()) {
        *why = a + QString(" needs %1 value(s)").arg(values);
        return OptionTaken::Error;
    }
    const QStringList v = args.mid(i + 1, values);
    i += values;
    double num = 0;
    if (a == "--i1")
        o.i1Dir = v[0];
    else if (a == "--i0")
        o.i0Dir = v[0];
    else if (a == "--energies")
        o.energiesFile = v[0];
    else if (a == "--energy-pattern") {
        o.energyPattern = v[0];
        *why = energyPatternProblem(o.energyPattern);
        if (!why->isEmpty())
            return OptionTaken::Error;
    } else if (a == "--dark")
        o.darkFile = v[0];
    else if (a == "--h5")
        o.h5File = v[0];
    else if (a == "--layout")
        o.layoutFile = v[0];
    else if (a == "--shifts")
        o.shiftsFile = v[0];
    else if (a == "--fluorescence")
        o.fluorescence = true;
    else if (a == "--victoreen")
        o.victoreen = true;
    else if (a == "--bin") {
        if (!parseInt(v[0], &o.hx) || !parseInt(v[1], &o.hy) || o.hx < 0 || o.hy < 0) {
            *why = "--bin takes two non-negative integers";
            return OptionTaken::Error;
        }
    } else if (a == "--area") {
        double r[4];
        for (int k = 0; k < 4; ++k) {
            if (!parseNumber(v[k], &r[k])) {
                *why = "--area takes four numbers";
                return OptionTaken::Error;
            }
        }
        o.hasArea = true;
        o.areaX = r[0], o.areaY = r[1], o.areaW = r[2], o.areaH = r[3];
        *why = areaProblem(o.areaX, o.areaY, o.areaW, o.areaH);
        if (!why->isEmpty())
            return OptionTaken::Error;
    } else if (a == "--shift-map") {
        o.shiftMapFile = v[0];
    } else if (a == "--shift-edge") {
        o.shiftEdge = 0;
        parseNumber(v[0], &o.shiftEdge);
        *why = shiftEdgeProblem(o.shiftEdge);
        if (!why->isEmpty())
            return OptionTaken::Error;
    } else if (a == "--suggest") {
        o.suggest = true;
        o.suggestSymbol = v[0];
        o.suggestEdge = suggestEdgeIndex(v[1]);
        if (o.suggestEdge < 0) {
            *why = suggestEdgeUsage();
            return OptionTaken::Error;
        }
    } else {
        if (!parseNumber(v[0], &num) || !std::isfinite(num)) {
            *why = a + " takes a finite number";
            return OptionTaken::Error;
        }
        (a == "--dpre" ? o.dPre : a == "--dpost" ? o.dPost : o.jumpSigma) = v[0];
    }
    return OptionTaken::Yes;
}

bool loadStack(const StackOptions &o, LoadedStack &out, QString *file, QString *why) {
    const bool loaded = loadMeasurement(o, out, file, why);
    if (loaded)
        noteToolStack(o, out);
    for (const QString &warning : out.warnings)
        std::fprintf(stderr, "lumenstack-tool: warning: %s\n", qPrintable(warning));
    return loaded;
}

int loadFailure(const char *command, const QString &file, const QString &why) {
    if (file.isEmpty()) {
        std::fprintf(stderr, "lumenstack-tool %s: %s\n", command, qPrintable(why));
        return 2;
    }
    std::fprintf(stderr, "lumenstack-tool %s: cannot read %s: %s\n", command, qPrintable(file),
                 qPrintable(why));
    return 1;
}
