// spectrum-info: reads a spectrum file, normalises it as the main window would
// and prints one JSON object with the numbers a script checks.
#include "Json.h"
#include "Subcommands.h"

#include "spectrum/EdgeTable.h"
#include "spectrum/ElementTable.h"
#include "spectrum/XafsSpectrum.h"

#include <cstdio>

namespace {

struct Options {
    bool victoreen = false;
    SuggestElm suggestion;
    QString writeTo;
    QString file;
};

void printUsage() {
    std::fprintf(stderr,
                 "usage: lumenstack-tool spectrum-info [--victoreen] [--suggest SYMBOL EDGE]\n"
                 "         [--dpre X] [--dpost X] [--jump-sigma X] [--write OUT] FILE\n");
}

bool fail(const QString &message) {
    std::fprintf(stderr, "lumenstack-tool spectrum-info: %s\n", qPrintable(message));
    printUsage();
    return false;
}

bool takeNumber(const QStringList &args, int &i, double *out) {
    bool ok = false;
    if (i + 1 < args.size())
        *out = args.at(i + 1).toDouble(&ok);
    if (!ok)
        return fail(args.at(i) + " needs a number");
    ++i;
    return true;
}

bool parse(const QStringList &args, Options *o) {
    o->suggestion = SuggestElm();
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == "--victoreen") {
            o->victoreen = true;
        } else if (a == "--suggest") {
            if (i + 2 >= args.size())
                return fail("--suggest needs SYMBOL and EDGE");
            const int Z = atomicNumberOf(args.at(i + 1));
            if (Z < 0)
                return fail("unknown element " + args.at(i + 1));
            o->suggestion.use = true;
            o->suggestion.Z = Z;
            o->suggestion.edge = edgeIndexOf(args.at(i + 2));
            o->suggestion.edgeEnergy = edgeEnergyEV(Z, o->suggestion.edge);
            i += 2;
        } else if (a == "--dpre") {
            if (!takeNumber(args, i, &o->suggestion.dPreE))
                return false;
        } else if (a == "--dpost") {
            if (!takeNumber(args, i, &o->suggestion.dPostS))
                return false;
        } else if (a == "--jump-sigma") {
            if (!takeNumber(args, i, &o->suggestion.jumpSigma))
                return false;
        } else if (a == "--write") {
            if (i + 1 >= args.size())
                return fail("--write needs a file name");
            o->writeTo = args.at(++i);
        } else if (a.startsWith("--") || !o->file.isEmpty()) {
            return fail("unexpected argument " + a);
        } else {
            o->file = a;
        }
    }
    if (o->file.isEmpty())
        return fail("no spectrum file given");
    return true;
}

QString pointJson(const Spectrum &s, int i) {
    return Json::array({Json::number(s.x(i)), Json::number(s.y(i))});
}

QString lineJson(const VictLine &l) {
    Json j;
    j.add("c0", l.c0())
        .add("slope", l.slope())
        .add("vicC", l.vicC())
        .add("vicD", l.vicD())
        .add("sigma", l.sigma())
        .add("ok", l.ok() == 1)
        .add("nUsed", l.nUsed())
        .add("start", l.start())
        .add("end", l.end())
        .add("bridged", l.bridged());
    return j.text();
}

QString report(const Options &o, bool readOk, int plainText, const XafsSpectrum &x) {
    const int n = x.count();
    QStringList first;
    for (int i = 0; i < qMin(3, n); ++i)
        first << pointJson(x, i);
    QStringList normalizedAt;
    const Spectrum &dn = x.doubleNormalizedPreBase();
    if (n > 0)
        for (int i : {0, n / 4, n / 2, 3 * n / 4, n - 1})
            normalizedAt << Json::number(i < dn.count() ? dn.y(i) : 0.0);
    Json j;
    j.addString("file", o.file)
        .addString("format", plainText ? "two-column" : "9809")
        .add("ok", readOk)
        .add("points", n)
        .add("xMin", x.xMin())
        .add("xMax", x.xMax())
        .add("yMin", x.yMin())
        .add("yMax", x.yMax())
        .add("midx", x.midx())
        .add("dMut", x.dMut())
        .add("pre", lineJson(x.pre()))
        .add("post", lineJson(x.post()))
        .add("firstPoints", Json::array(first))
        .add("lastPoint", n > 0 ? pointJson(x, n - 1) : Json::null())
        .add("normalizedAt", Json::array(normalizedAt));
    return j.text();
}

} // namespace

int runSpectrumInfo(const QStringList &args) {
    loadEdgeTable();
    Options o;
    if (!parse(args, &o))
        return 2;
    XafsSpectrum read;
    const bool readOk = read.readFile(o.file);
    const XafsSpectrum x(read, o.file, o.victoreen ? 0 : 1, 0.0, o.suggestion);
    std::printf("%s\n", report(o, readOk, read.plainText(), x).toUtf8().constData());
    std::fflush(stdout);
    if (!readOk)
        return 1;
    if (!o.writeTo.isEmpty() && !x.writeFile(o.writeTo, false)) {
        std::fprintf(stderr, "lumenstack-tool spectrum-info: cannot write %s\n",
                     qPrintable(o.writeTo));
        return 1;
    }
    return 0;
}
