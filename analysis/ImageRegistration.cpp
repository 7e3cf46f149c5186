#include "analysis/ImageRegistration.h"

#include "app/OutputFile.h"
#include "app/TextFileLimits.h"
#include "imageio/TiffData.h"

#include <QFile>
#include <QTextStream>
#include <algorithm>
#include <cmath>

namespace Registration {

// ------------------------------------------------------------------ edges

void edgeDetect(const TiffData &image, EdgeImage &out) {
    edgeDetect(image, image.shiftX(), image.shiftY(), out);
}

void edgeDetect(const TiffData &image, int sx, int sy, EdgeImage &out) {
    const int w = image.hasData() ? std::max(image.width(), 0) : 0;
    const int h = image.hasData() ? std::max(image.height(), 0) : 0;
    out.width = w;
    out.height = h;
    out.values.resize(size_t(w) * size_t(h));
    out.min = out.max = 0;
    if (w == 0 || h == 0)
        return;
    // Three rolling rows of columns -1 .. w: through a shift, positions just
    // off the image may still read stored pixels.
    std::vector<double> buffer(3 * size_t(w + 2), 0.0);
    double *rows[3] = {buffer.data(), buffer.data() + (w + 2), buffer.data() + 2 * (w + 2)};
    const auto load = [&](double *row, int y) { image.shiftedSpan(y, -1, w + 2, sx, sy, row); };
    load(rows[0], -1);
    load(rows[1], 0);
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (int y = 0; y < h; ++y) {
        load(rows[2], y + 1);
        // Column x of the image is index x + 1 of a row.
        const double *u = rows[0] + 1, *c = rows[1] + 1, *d = rows[2] + 1;
        double *o = out.values.data() + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) {
            const double gx = u[x + 1] + c[x + 1] + d[x + 1] - u[x - 1] - c[x - 1] - d[x - 1];
            const double gy = d[x - 1] + d[x] + d[x + 1] - u[x - 1] - u[x] - u[x + 1];
            const double e = std::max(std::fabs(gx), std::fabs(gy));
            o[x] = e;
            lo = std::min(lo, e);
            hi = std::max(hi, e);
        }
        std::rotate(rows, rows + 1, rows + 3);
    }
    out.min = lo;
    out.max = hi;
}

void binarize(const EdgeImage &edge, double threshold, BinaryImage &out) {
    out.width = edge.width;
    out.height = edge.height;
    out.values.resize(edge.values.size());
    const double *e = edge.values.data();
    std::uint8_t *b = out.values.data();
    const size_t n = edge.values.size();
    size_t ones = 0;
    for (size_t i = 0; i < n; ++i) {
        b[i] = e[i] > threshold ? 1 : 0;
        ones += b[i];
    }
    out.min = n > 0 && ones == n ? 1 : 0;
    out.max = ones > 0 ? 1 : 0;
}

double thresholdAt(double min, double max, int slider) {
    return min + (max - min) * slider / 1000.0;
}

int sliderAt(double min, double max, double threshold) {
    const double f = (threshold - min) / (max - min) * 1000;
    if (!std::isfinite(f))
        return 0;
    return int(std::clamp(f, 0.0, 999.0));
}

// ------------------------------------------------------------------ score

Comparable comparable(const BinaryImage &binary, const BinaryImage &reference) {
    if (binary.isEmpty())
        return Comparable::NoBinary;
    if (reference.isEmpty())
        return Comparable::NoReference;
    if (binary.width != reference.width || binary.height != reference.height)
        return Comparable::SizeMismatch;
    return Comparable::Yes;
}

QString message(Comparable c) {
    switch (c) {
    case Comparable::NoBinary:
        return QStringLiteral("no bin image");
    case Comparable::NoReference:
        return QStringLiteral("no ref bin image");
    case Comparable::SizeMismatch:
        return QStringLiteral("size mis-match");
    default:
        return QString();
    }
}

namespace {

// The part of the reference where the shifted binary image exists:
// columns [k0, k1), rows [j0, j1).
struct Overlap {
    int k0, k1, j0, j1;
    bool empty() const { return k0 >= k1 || j0 >= j1; }
};

Overlap overlapOf(int w, int h, int sx, int sy) {
    const qint64 k0 = std::max<qint64>(0, sx), k1 = std::min<qint64>(w, qint64(w) + sx);
    const qint64 j0 = std::max<qint64>(0, sy), j1 = std::min<qint64>(h, qint64(h) + sy);
    if (k0 >= k1 || j0 >= j1)
        return {0, 0, 0, 0};
    return {int(k0), int(k1), int(j0), int(j1)};
}

double normalised(quint64 br, quint64 bb, quint64 rr) {
    const double d = double(bb) * double(rr);
    return d > 0 ? double(br) / std::sqrt(d) : 0.0;
}

} // namespace

double score(const BinaryImage &binary, const BinaryImage &reference, int sx, int sy) {
    if (comparable(binary, reference) != Comparable::Yes)
        return 0;
    const int w = reference.width;
    const Overlap o = overlapOf(w, reference.height, sx, sy);
    if (o.empty())
        return 0;
    quint64 br = 0, bb = 0, rr = 0;
    const int n = o.k1 - o.k0;
    for (int j = o.j0; j < o.j1; ++j) {
        const std::uint8_t *r = reference.values.data() + size_t(j) * size_t(w) + o.k0;
        const std::uint8_t *b =
            binary.values.data() + size_t(j - sy) * size_t(w) + (qint64(o.k0) - sx);
        // Row sums stay below 2^32 for any image a row buffer can hold.
        quint32 rowBr = 0, rowBb = 0, rowRr = 0;
        for (int i = 0; i < n; ++i) {
            rowBr += quint32(b[i] & r[i]);
            rowBb += b[i];
            rowRr += r[i];
        }
        br += rowBr;
        bb += rowBb;
        rr += rowRr;
    }
    return normalised(br, bb, rr);
}

ClimbResult hillClimb(const BinaryImage &binary, const BinaryImage &reference, int sx, int sy,
                      double startScore, int maxShift) {
    static const int order[8][2] = {{1, 1},   {1, 0},  {1, -1}, {0, -1},
                                    {-1, -1}, {-1, 0}, {-1, 1}, {0, 1}};
    ClimbResult r;
    r.sx = sx;
    r.sy = sy;
    r.score = startScore;
    if (comparable(binary, reference) != Comparable::Yes)
        return r;
    const qint64 limit = maxShift >= 0 ? maxShift : qint64(TiffData::MaxShift);
    for (;;) {
        int bestX = r.sx, bestY = r.sy;
        bool moved = false;
        for (const auto &d : order) {
            const qint64 nx = qint64(r.sx) + d[0], ny = qint64(r.sy) + d[1];
            if (std::llabs(nx) > limit || std::llabs(ny) > limit)
                continue;
            const double s = score(binary, reference, int(nx), int(ny));
            ++r.scored;
            if (s > r.score) { // strictly higher only: a flat surface keeps the shift
                r.score = s;
                bestX = int(nx);
                bestY = int(ny);
                moved = true;
            }
        }
        if (!moved)
            return r;
        r.sx = bestX;
        r.sy = bestY;
        ++r.moves;
    }
}

double comparisonPicture(const BinaryImage &binary, const BinaryImage &reference, int sx, int sy,
                         QImage &out) {
    const int w = reference.width, h = reference.height;
    if (out.width() != w || out.height() != h || out.format() != QImage::Format_RGB32)
        out = QImage(w, h, QImage::Format_RGB32);
    if (out.isNull())
        return 0;
    out.fill(qRgb(0, 0, 255));
    if (comparable(binary, reference) != Comparable::Yes)
        return 0;
    const Overlap o = overlapOf(w, h, sx, sy);
    quint64 br = 0, bb = 0, rr = 0;
    for (int j = o.j0; j < o.j1; ++j) {
        const std::uint8_t *r = reference.values.data() + size_t(j) * size_t(w);
        const std::uint8_t *b = binary.values.data() + size_t(j - sy) * size_t(w);
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(j));
        for (int k = o.k0; k < o.k1; ++k) {
            const int bv = b[qint64(k) - sx], rv = r[k];
            line[k] = qRgb(255 * rv, 255 * bv, 0);
            br += quint64(bv & rv);
            bb += quint64(bv);
            rr += quint64(rv);
        }
    }
    return normalised(br, bb, rr);
}

// ------------------------------------------------------------------ shift files

bool readShiftFile(const QString &fileName, QVector<ShiftEntry> &out, QString *error) {
    out.clear();
    QFile f(fileName);
    if (TextFileLimits::refuseSpecialFile(fileName) ||
        !f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (error)
            *error = QStringLiteral("Can not open ") + fileName;
        return false;
    }
    int lineNo = 0;
    // A shift file has one short line per image: a file far beyond that is
    // not one.
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine(4096)).trimmed();
        ++lineNo;
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList items = line.split(QRegExp("\\s+"));
        bool ok[4] = {false, false, false, true};
        ShiftEntry e;
        if (items.size() >= 3) {
            e.index = items[0].toInt(&ok[0]);
            e.dx = items[1].toDouble(&ok[1]);
            e.dy = items[2].toDouble(&ok[2]);
            if (items.size() >= 4)
                e.score = items[3].toDouble(&ok[3]);
        }
        const auto inRange = [](double d) { return std::fabs(d) <= TiffData::MaxShift; };
        if (!(ok[0] && ok[1] && ok[2] && ok[3]) || e.index < 0 || !inRange(e.dx) ||
            !inRange(e.dy)) {
            if (error)
                *error = QStringLiteral("%1:%2: expected \"index dx dy score\"")
                             .arg(fileName)
                             .arg(lineNo);
            out.clear();
            return false;
        }
        out.append(e);
    }
    return true;
}

bool writeShiftFile(const QString &fileName, const QVector<ShiftEntry> &entries) {
    OutputFile f(fileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream ts(f.device());
    // Whole pixels print as integers, so such a file reads as before; ten
    // digits keep steps of 1/upsample exact. "+ 0.0" turns -0 into 0.
    const auto pixels = [](double d) { return QString::number(d + 0.0, 'g', 10); };
    for (const ShiftEntry &e : entries)
        ts << e.index << ' ' << pixels(e.dx) << ' ' << pixels(e.dy) << ' '
           << QString::number(e.score, 'g', 6) << '\n';
    ts.flush();
    return f.commit();
}

int wholePixels(double shift) {
    const double limit = TiffData::MaxShift;
    return std::isfinite(shift) ? int(std::round(std::clamp(shift, -limit, limit))) : 0;
}

} // namespace Registration
