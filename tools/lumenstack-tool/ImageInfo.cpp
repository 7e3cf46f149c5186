// image-info [--errpoints FILE] [--write-tiff OUT] FILE...
// Reads each image file and prints one JSON object per file per line. With
// --errpoints the mask is read and switched on for the reads; with
// --write-tiff the (single) image is written back as a 16-bit TIFF.
#include "Json.h"
#include "Subcommands.h"
#include "ToolProvenance.h"
#include "imageio/TiffData.h"

#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

struct ImageInfoArgs {
    QString errPoints;
    QString writeTiff;
    QStringList files;
};

int usage(const char *why) {
    std::fprintf(
        stderr,
        "lumenstack-tool image-info: %s\n"
        "usage: lumenstack-tool image-info [--errpoints FILE] [--write-tiff OUT] FILE...\n",
        why);
    return 2;
}

// Empty text when the arguments are sound, else the reason.
QString parse(const QStringList &args, ImageInfoArgs *out) {
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == "--errpoints" || a == "--write-tiff") {
            if (i + 1 >= args.size())
                return a + " needs a file name";
            (a == "--errpoints" ? out->errPoints : out->writeTiff) = args[++i];
        } else if (a.startsWith("--") && a != "--") {
            return "unknown option " + a;
        } else {
            out->files << a;
        }
    }
    if (out->files.isEmpty())
        return "no image file given";
    if (!out->writeTiff.isEmpty() && out->files.size() != 1)
        return "--write-tiff takes exactly one image file";
    return QString();
}

QString readerName(TiffData::Reader r) {
    switch (r) {
    case TiffData::TiffReader:
        return Json::string("tiff");
    case TiffData::ImgReader:
        return Json::string("img");
    case TiffData::TextImageReader:
        return Json::string("prxm");
    default:
        return Json::null();
    }
}

// The samples clamped to 0..65535 and rounded to the nearest integer (NaN as 0).
std::vector<quint16> as16Bit(const TiffData &d) {
    std::vector<quint16> out(size_t(d.width()) * size_t(d.height()));
    size_t i = 0;
    for (int y = 0; y < d.height(); ++y)
        for (int x = 0; x < d.width(); ++x) {
            const double v = d.value(x, y);
            out[i++] = std::isnan(v) ? 0 : quint16(std::lround(std::clamp(v, 0.0, 65535.0)));
        }
    return out;
}

QString describe(const QString &file, TiffData::Reader reader, bool ok, const TiffData &d) {
    Json j;
    j.addString("file", file).add("ok", ok).add("reader", readerName(reader));
    if (ok) {
        j.add("width", d.width())
            .add("height", d.height())
            .add("sampleType", int(d.sampleType()))
            .add("min", d.minimum())
            .add("max", d.maximum())
            .add("exposureMs", d.exposureMs())
            .add("originX", d.originX())
            .add("originY", d.originY())
            .add("sum", d.sampleSum());
    } else {
        for (const char *key : {"width", "height", "sampleType", "min", "max", "exposureMs",
                                "originX", "originY", "sum"})
            j.add(key, Json::null());
        j.addString("error", d.error());
    }
    return j.text();
}

} // namespace

int runImageInfo(const QStringList &args) {
    ImageInfoArgs a;
    const QString why = parse(args, &a);
    if (!why.isEmpty())
        return usage(why.toLocal8Bit().constData());
    ErrPoints mask = ErrPoints::processWide();
    if (!a.errPoints.isEmpty()) {
        if (!mask.read(a.errPoints))
            return usage(("cannot read error-point file " + a.errPoints).toLocal8Bit().constData());
        mask.setUse(true);
        ErrPoints::setProcessWide(mask); // the TIFF reader repairs when this one is on
    }
    QTextStream out(stdout);
    bool allRead = true;
    for (const QString &file : a.files) {
        TiffData d;
        const TiffData::Reader reader = TiffData::readerFor(file);
        const bool ok = d.load(file, mask);
        allRead = allRead && ok;
        out << describe(file, reader, ok, d) << '\n';
        out.flush();
        if (ok && !a.writeTiff.isEmpty()) {
            const std::vector<quint16> samples = as16Bit(d);
            if (!TiffData::write16BitTiff(a.writeTiff, d.width(), d.height(), samples.data()) ||
                !writeToolSidecar(a.writeTiff, {file})) {
                std::fprintf(stderr, "lumenstack-tool image-info: cannot write %s\n",
                             a.writeTiff.toLocal8Bit().constData());
                allRead = false;
            }
        }
    }
    return allRead ? 0 : 1;
}
