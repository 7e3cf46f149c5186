// spectrum-info: reads a spectrum file, normalises it as the main window would
// and prints one JSON object with the numbers a script checks. Every layout a
// reference may have is read (ReferenceFile); --column N names the mu column
// of text with more than two numeric columns.
#include "Json.h"
#include "Subcommands.h"
#include "ToolProvenance.h"

#include "spectrum/EdgeTable.h"
#include "spectrum/ElementTable.h"
#include "spectrum/ReferenceFile.h"
#include "spectrum/SpectrumFile.h"
#include "spectrum/XafsSpectrum.h"

#include <QFile>
#include <QFileInfo>
#include <QTextCodec>
#include <cstdio>
#include <memory>

namespace {

struct Options {
    bool victoreen = false;
    int column = 0;
    SuggestElm suggestion;
    QString writeTo;
    QString file;
};

void printUsage() {
    std::fprintf(stderr,
                 "usage: lumenstack-tool spectrum-info [--victoreen] [--suggest SYMBOL EDGE]\n"
                 "         [--dpre X] [--dpost X] [--jump-sigma X] [--column N] [--write OUT] "
                 "FILE\n");
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
        } else if (a == "--column") {
            double column = 0;
            if (!takeNumber(args, i, &column))
                return false;
            if (column < 2 || column > 9999 || column != int(column))
                return fail("--column takes the 1-based mu column, 2 or more");
            o->column = int(column);
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

// "9809", "xdi", or "two-column" for the other text layouts (energy and one
// mu column taken from them).
QString formatName(ReferenceFile::Layout layout) {
    if (layout == ReferenceFile::Layout::Beamline9809)
        return QStringLiteral("9809");
    if (layout == ReferenceFile::Layout::Xdi)
        return QStringLiteral("xdi");
    return QStringLiteral("two-column");
}

QString report(const Options &o, const ReferenceFile::Result &read, const XafsSpectrum &x) {
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
        .addString("format", formatName(read.layout))
        .addString("layout", ReferenceFile::layoutName(read.layout))
        .add("columns", read.columns)
        .add("keV", read.energiesInKeV)
        .add("ok", read.ok)
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

// Why the file is no text file, or the empty text when it is one (or cannot
// be opened at all: the reader reports that). Text means UTF-8 without NUL
// bytes; it is read in blocks, so any size costs one block of memory.
QString notTextReason(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists())
        return QString();
    if (!info.isFile())
        return QStringLiteral("not a regular file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    std::unique_ptr<QTextDecoder> decoder(QTextCodec::codecForName("UTF-8")->makeDecoder());
    for (;;) {
        const QByteArray block = file.read(1 << 16);
        if (block.isEmpty())
            break;
        if (block.contains('\0'))
            return QStringLiteral("not a text file (NUL bytes)");
        decoder->toUnicode(block);
        if (decoder->hasFailure())
            return QStringLiteral("not a text file (invalid UTF-8)");
    }
    if (decoder->needsMoreData())
        return QStringLiteral("not a text file (invalid UTF-8)");
    return QString();
}

} // namespace

int runSpectrumInfo(const QStringList &args) {
    loadEdgeTable();
    Options o;
    if (!parse(args, &o))
        return 2;
    // A file without a single point, or one that is not text, holds no
    // spectrum: "ok" is false and the exit status 1, although the readers
    // (whose contract is "the file could be opened") accept such files.
    XafsSpectrum read;
    const QString notText = notTextReason(o.file);
    ReferenceFile::Result r;
    if (notText.isEmpty())
        r = ReferenceFile::read(o.file, o.column, read);
    const XafsSpectrum x(read, o.file, o.victoreen ? 0 : 1, 0.0, o.suggestion);
    std::printf("%s\n", report(o, r, x).toUtf8().constData());
    std::fflush(stdout);
    const QString note = !notText.isEmpty() ? notText
                         : r.needsColumn    ? r.message + " (--column N)"
                                            : r.message;
    if (!note.isEmpty())
        std::fprintf(stderr, "lumenstack-tool spectrum-info: %s: %s\n", qPrintable(o.file),
                     qPrintable(note));
    if (!r.ok)
        return 1;
    if (!o.writeTo.isEmpty() &&
        (!SpectrumFile::write(o.writeTo, x, false) || !writeToolSidecar(o.writeTo, {o.file}))) {
        std::fprintf(stderr, "lumenstack-tool spectrum-info: cannot write %s\n",
                     qPrintable(o.writeTo));
        return 1;
    }
    return 0;
}
