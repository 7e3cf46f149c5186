#include "analysis/Analyzed2DRes.h"

#include "app/DebugLog.h"
#include "app/OutputFile.h"
#include "display/ColorMap.h"

#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Visits every bin of a copy of `grid` in walk order.
template <typename Visit> void forEachBin(AnalyzeCond grid, Visit visit) {
    grid.reset();
    do {
        visit(grid);
    } while (grid.next());
}

// Place of v in the display range [lo, hi] (0 at lo, 1 at hi), never NaN. A
// range of no width (every value of the map equal, or a fixed range with
// min = max) is a step, like the colour bar's own read-out: values at or above
// it are at the top, values below it at the bottom. NaN values sit at the
// bottom; infinities at their end.
double rangeFraction(double v, double lo, double hi) {
    if (std::isnan(v))
        return 0;
    if (hi == lo)
        return v >= lo ? 1 : 0;
    const double f = (v - lo) / (hi - lo);
    if (std::isnan(f)) // infinite value over an infinite span
        return v > lo ? 1 : 0;
    return f;
}

quint16 sample16(double v, double lo, double hi) {
    const double f = rangeFraction(v, lo, hi);
    const double clamped = f < 0 ? 0 : (f > 1 ? 1 : f);
    return quint16(std::trunc(clamped * 65535));
}

// The colour map's pixel writer applied to whole rows: the same arithmetic as
// ColorMap::writePixel on rangeFraction (place in the display range, stretch
// over the colour window, clamp, table entry), with the window, the range and
// the table fetched once per image. The table indices of a chunk of pixels
// are computed first, two at a time, then the bytes are copied from the table.
// A 2048 x 2048 map of distinct values renders in about 7 ms (grey) or 11 ms
// (RGB) this way; a call of the writer per pixel took three to four times as
// long.
class RowRenderer {
public:
    RowRenderer(const ColorMap &map, QImage::Format format, double lo, double hi)
        : m_lo(lo), m_hi(hi), m_span(hi - lo), m_stepRange(hi == lo), m_lower(map.lower()),
          m_width(map.upper() - map.lower()), m_stepWindow(m_width == 0),
          m_rgb(format == QImage::Format_RGB888),
          m_scale(m_rgb ? ColorMap::RgbEntries - 1 : ColorMap::GreyEntries),
          m_table(ColorMap::rgbTable()) {}

    void render(const double *v, int W, uchar *out) const {
        int index[Chunk];
        for (int start = 0; start < W; start += Chunk) {
            const int n = std::min(Chunk, W - start);
            computeIndices(v + start, n, index);
            out = writeBytes(index, n, out);
        }
    }

private:
    static constexpr int Chunk = 256;

    // A range or window of no width (a uniform map, a closed window) is a
    // step; those and chunks holding a place that is NaN (a NaN value, or an
    // infinite value over an infinite range) go value by value through the
    // rules of rangeFraction and ColorMap::stretch.
    void computeIndices(const double *v, int n, int *index) const {
        if (m_stepRange || m_stepWindow || !linearIndices(v, n, index))
            exactIndices(v, n, index);
    }

    // The common case: place in the range, stretched over the window and
    // clamped to [0, 1], two pixels at a time where the processor allows it.
    // False when some place in the range was NaN.
    bool linearIndices(const double *v, int n, int *index) const {
        int i = 0;
        bool nan = false;
#if defined(__SSE2__)
        const __m128d lo = _mm_set1_pd(m_lo), span = _mm_set1_pd(m_span);
        const __m128d lower = _mm_set1_pd(m_lower), width = _mm_set1_pd(m_width);
        const __m128d zero = _mm_setzero_pd(), one = _mm_set1_pd(1.0);
        const __m128d scale = _mm_set1_pd(m_scale);
        __m128d nanMask = zero;
        for (; i + 2 <= n; i += 2) {
            const __m128d f = _mm_div_pd(_mm_sub_pd(_mm_loadu_pd(v + i), lo), span);
            nanMask = _mm_or_pd(nanMask, _mm_cmpunord_pd(f, f));
            __m128d t = _mm_div_pd(_mm_sub_pd(f, lower), width);
            // max(t, 0) is "t > 0 ? t : 0" (NaN gives 0), min(t, 1) "t < 1 ? t : 1".
            t = _mm_min_pd(_mm_max_pd(t, zero), one);
            _mm_storel_epi64(reinterpret_cast<__m128i *>(index + i),
                             _mm_cvttpd_epi32(_mm_mul_pd(t, scale)));
        }
        nan = _mm_movemask_pd(nanMask) != 0;
#endif
        for (; i < n; ++i) {
            const double f = (v[i] - m_lo) / m_span;
            nan = nan || f != f;
            index[i] = int(stretch(f) * m_scale);
        }
        return !nan;
    }

    void exactIndices(const double *v, int n, int *index) const {
        for (int i = 0; i < n; ++i)
            index[i] = int(stretch(rangeFraction(v[i], m_lo, m_hi)) * m_scale);
    }

    // ColorMap::stretch: over the window, clamped to [0, 1].
    double stretch(double x) const {
        if (m_stepWindow)
            return x >= m_lower ? 1.0 : 0.0;
        const double t = (x - m_lower) / m_width;
        return t > 0 ? (t < 1 ? t : 1.0) : 0.0;
    }

    uchar *writeBytes(const int *index, int n, uchar *out) const {
        if (m_rgb) {
            for (int i = 0; i < n; ++i, out += 3) {
                const uchar *e = m_table + 3 * index[i];
                out[0] = e[0];
                out[1] = e[1];
                out[2] = e[2];
            }
            return out;
        }
        for (int i = 0; i < n; ++i)
            out[i] = uchar(std::min(index[i], ColorMap::GreyEntries - 1));
        return out + n;
    }

    double m_lo, m_hi, m_span;
    bool m_stepRange;
    double m_lower, m_width;
    bool m_stepWindow;
    bool m_rgb;
    double m_scale; // table entries spanned by the fractions 0 .. 1
    const uchar *m_table;
};

void trackRange(double v, double *lo, double *hi) {
    if (v < *lo)
        *lo = v;
    if (v > *hi)
        *hi = v;
}

} // namespace

Analyzed2DRes::Analyzed2DRes(const QString &name, QObject *parent)
    : QObject(parent), m_name(name) {}

Analyzed2DRes::Analyzed2DRes(const Analyzed2DRes &other) : QObject(nullptr) {
    copyFrom(other);
}

Analyzed2DRes &Analyzed2DRes::operator=(const Analyzed2DRes &other) {
    if (this != &other)
        copyFrom(other);
    return *this;
}

Analyzed2DRes::~Analyzed2DRes() = default;

void Analyzed2DRes::copyFrom(const Analyzed2DRes &o) {
    m_no = o.m_no;
    m_name = o.m_name;
    m_grid = o.m_grid;
    m_values = o.m_values;
    m_processed = o.m_processed;
    m_min = o.m_min;
    m_max = o.m_max;
    m_minPos = o.m_minPos;
    m_maxPos = o.m_maxPos;
    m_pmin = o.m_pmin;
    m_pmax = o.m_pmax;
    m_fixedScale = o.m_fixedScale;
    m_fixMin = o.m_fixMin;
    m_fixMax = o.m_fixMax;
    m_showProcessed = o.m_showProcessed;
    m_deglitchFactor = o.m_deglitchFactor;
    m_deglitchRatio = o.m_deglitchRatio;
    m_format = o.m_format;
    m_categories = o.m_categories;
    m_image = o.m_image.copy(); // deep: the copy must not share pixels
    m_valid = o.m_valid;
    m_pointsWritten = o.m_pointsWritten;
}

void Analyzed2DRes::releaseGrids() {
    std::vector<double>().swap(m_values);
    std::vector<double>().swap(m_processed);
    m_image = QImage();
    m_valid = false;
}

void Analyzed2DRes::clear() {
    m_grid = AnalyzeCond();
    m_min = 1e300;
    m_max = -1e300;
    m_minPos = m_maxPos = QPoint();
    m_pmin = 0;
    m_pmax = 1;
    releaseGrids();
}

void Analyzed2DRes::prepare(const AnalyzeCond &grid) {
    releaseGrids();
    m_grid = grid;
    m_min = 1e300;
    m_max = -1e300;
    m_minPos = m_maxPos = QPoint();
    m_pmin = 0;
    m_pmax = 1;
    const size_t cells = size_t(qMax(grid.W, 0)) * size_t(qMax(grid.H, 0));
    m_values.assign(cells, 0.0);
    m_processed.assign(cells, 0.0);
}

double Analyzed2DRes::valueAt(int x, int y) const {
    return m_values.empty() || !insideMap(x, y) ? 0 : m_values[size_t(x) + size_t(y) * m_grid.W];
}

double Analyzed2DRes::processedAt(int x, int y) const {
    return m_processed.empty() || !insideMap(x, y) ? 0
                                                   : m_processed[size_t(x) + size_t(y) * m_grid.W];
}

double Analyzed2DRes::centreValue(const std::vector<double> &grid, int cx, int cy) const {
    return insideMap(cx, cy) ? grid[size_t(cx) + size_t(cy) * m_grid.W] : 0;
}

void Analyzed2DRes::displayRange(double *lo, double *hi) const {
    if (m_fixedScale) {
        *lo = m_fixMin;
        *hi = m_fixMax;
    } else if (m_showProcessed) {
        *lo = m_pmin;
        *hi = m_pmax;
    } else {
        *lo = m_min;
        *hi = m_max;
    }
}

void Analyzed2DRes::setImageFormat(QImage::Format format) {
    if (ColorMap::bytesPerPixel(format) > 0)
        m_format = format;
}

// Paints the block [ix - |xw|, ix + |xw|] x [iy - |yw|, iy + |yw|], clipped to
// the map, in one grid.
static void paintBlock(std::vector<double> &grid, int W, int H, qint64 ix, qint64 iy, qint64 xw,
                       qint64 yw, double t) {
    const qint64 xa = qMax<qint64>(ix - xw, 0), xb = qMin<qint64>(ix + xw, W - 1);
    const qint64 ya = qMax<qint64>(iy - yw, 0), yb = qMin<qint64>(iy + yw, H - 1);
    for (qint64 y = ya; y <= yb; ++y) {
        double *row = grid.data() + y * W;
        for (qint64 x = xa; x <= xb; ++x)
            row[x] = t;
    }
}

void Analyzed2DRes::setData(int ix, int iy, int xw, int yw, double t) {
    if (!hasGrids())
        return;
    if (t > m_max) {
        m_max = t;
        m_maxPos = QPoint(ix, iy);
    }
    if (t < m_min) {
        m_min = t;
        m_minPos = QPoint(ix, iy);
    }
    paintBlock(m_values, m_grid.W, m_grid.H, ix, iy, std::abs(qint64(xw)), std::abs(qint64(yw)), t);
}

void Analyzed2DRes::fillCells(int ix, int iy, int xw, int yw, double t) {
    if (!hasGrids())
        return;
    paintBlock(m_values, m_grid.W, m_grid.H, ix, iy, std::abs(qint64(xw)), std::abs(qint64(yw)), t);
}

void Analyzed2DRes::mergeRange(const MapRange &r) {
    if (!hasGrids())
        return;
    if (r.max > m_max) {
        m_max = r.max;
        m_maxPos = r.maxPos;
    }
    if (r.min < m_min) {
        m_min = r.min;
        m_minPos = r.minPos;
    }
}

void Analyzed2DRes::fillBin(std::vector<double> &grid, int cx, int cy, double v) const {
    paintBlock(grid, m_grid.W, m_grid.H, cx, cy, m_grid.hx, m_grid.hy, v);
}

void Analyzed2DRes::genImg() {
    if (!hasGrids())
        return;
    const int W = m_grid.W, H = m_grid.H;
    m_image = QImage();
    if (W <= 0 || H <= 0)
        return;
    QImage image(W, H, m_format);
    if (image.isNull()) // allocation refused for a huge map
        return;
    const std::vector<double> &src = m_showProcessed ? m_processed : m_values;
    if (m_categories > 0) {
        m_image = categoryImage(src);
        m_valid = !m_image.isNull();
        emit imageUpdated();
        return;
    }
    double lo, hi;
    displayRange(&lo, &hi);
    const RowRenderer renderer(ColorMap::shared(), m_format, lo, hi);
    const int bpp = ColorMap::bytesPerPixel(m_format);
    const size_t rowBytes = size_t(W) * bpp, stride = size_t(image.bytesPerLine());
    uchar *bits = image.bits();
    for (int y = 0; y < H; ++y) {
        const double *v = src.data() + size_t(y) * W;
        uchar *out = bits + y * stride;
        // A bin is a block of equal rows: repeat the row above when it matches.
        if (y > 0 && std::memcmp(v, v - W, size_t(W) * sizeof(double)) == 0)
            std::memcpy(out, out - stride, rowBytes);
        else
            renderer.render(v, W, out);
        std::memset(out + rowBytes, 0, stride - rowBytes); // row padding
    }
    m_image = image;
    m_valid = true;
    emit imageUpdated();
}

QImage Analyzed2DRes::categoryImage(const std::vector<double> &src) const {
    const int W = m_grid.W, H = m_grid.H;
    QImage image(W, H, QImage::Format_RGB888);
    if (image.isNull())
        return image;
    std::vector<QColor> palette(size_t(m_categories) + 1, QColor(Qt::black)); // last: none
    for (int k = 0; k < m_categories; ++k)
        palette[size_t(k)] = ColorMap::overlayColor(k);
    for (int y = 0; y < H; ++y) {
        const double *v = src.data() + size_t(y) * W;
        uchar *out = image.scanLine(y);
        for (int x = 0; x < W; ++x, out += 3) {
            const bool inside = v[x] >= 0 && v[x] < m_categories;
            const QColor &c = palette[inside ? size_t(std::lround(v[x])) : palette.size() - 1];
            out[0] = uchar(c.red());
            out[1] = uchar(c.green());
            out[2] = uchar(c.blue());
        }
    }
    return image;
}

void Analyzed2DRes::announceRange() {
    double lo, hi;
    displayRange(&lo, &hi);
    ColorMap::setSharedRange(lo, hi);
    emit displayRangeChanged(lo, hi);
}

void Analyzed2DRes::selectProcImg(bool f) {
    m_showProcessed = f;
    genImg();
    announceRange();
}

void Analyzed2DRes::setFixedScale(bool f) {
    m_fixedScale = f;
    genImg();
    announceRange();
}

void Analyzed2DRes::setScale(double min, double max) {
    m_fixMin = min;
    m_fixMax = max;
    genImg();
    announceRange();
}

void Analyzed2DRes::setDeglitchConds(double f, double r) {
    m_deglitchFactor = f;
    m_deglitchRatio = r;
}

void Analyzed2DRes::copyProc2Data() {
    if (!hasGrids())
        return;
    m_values = m_processed;
    m_min = m_pmin;
    m_max = m_pmax;
}

double Analyzed2DRes::secondDifference(const AnalyzeCond &g) const {
    const double v2 = 2 * centreValue(m_values, g.cx, g.cy);
    const bool hasX = insideMap(g.cx - g.sx, g.cy) && insideMap(g.cx + g.sx, g.cy);
    const bool hasY = insideMap(g.cx, g.cy - g.sy) && insideMap(g.cx, g.cy + g.sy);
    const double dx = hasX ? std::abs(v2 - centreValue(m_values, g.cx - g.sx, g.cy) -
                                      centreValue(m_values, g.cx + g.sx, g.cy))
                           : 0;
    const double dy = hasY ? std::abs(v2 - centreValue(m_values, g.cx, g.cy - g.sy) -
                                      centreValue(m_values, g.cx, g.cy + g.sy))
                           : 0;
    return (hasX && hasY) ? (dx + dy) / 2 : dx + dy;
}

double Analyzed2DRes::meanOfNeighbours(const AnalyzeCond &g, double fallback) const {
    const int nx[4] = {g.cx - g.sx, g.cx + g.sx, g.cx, g.cx};
    const int ny[4] = {g.cy, g.cy, g.cy - g.sy, g.cy + g.sy};
    double sum = 0;
    int n = 0;
    for (int k = 0; k < 4; ++k) {
        if (insideMap(nx[k], ny[k])) {
            sum += centreValue(m_values, nx[k], ny[k]);
            ++n;
        }
    }
    return n > 0 ? sum / n : fallback;
}

double Analyzed2DRes::meanOfOrdinaryNeighbours(const AnalyzeCond &g, double level,
                                               double limit) const {
    double sum = 0;
    int n = 0;
    for (int b = -1; b <= 1; ++b) {
        for (int a = -1; a <= 1; ++a) {
            const int x = g.cx + a * g.sx, y = g.cy + b * g.sy;
            if ((a == 0 && b == 0) || !insideMap(x, y))
                continue;
            const double v = centreValue(m_values, x, y);
            if (std::abs(v - level) < limit) {
                sum += v;
                ++n;
            }
        }
    }
    return n > 0 ? sum / n : 0;
}

void Analyzed2DRes::deglitch() {
    if (!hasGrids())
        return;
    const AnalyzeCond &g0 = m_grid;
    // Pass 1: the second difference of each bin against its neighbours one
    // step away, a measure of how much the bin sticks out of its surroundings.
    std::vector<double> spike;
    spike.reserve(size_t(g0.binCount()));
    double sum = 0;
    int count = 0;
    forEachBin(g0, [&](const AnalyzeCond &g) {
        if (g.newRow)
            DebugLog::write(QString("deglitch %1").arg(g.cy));
        if (!g.centreInside()) {
            spike.push_back(0);
            return;
        }
        const double e = secondDifference(g);
        spike.push_back(e);
        fillBin(m_processed, g.cx, g.cy, e);
        sum += e;
        ++count;
    });
    if (count == 0)
        return;
    const double threshold = sum / count * m_deglitchFactor;
    const double band = (m_max - m_min) * m_deglitchRatio;

    // Pass 2: a bin that sticks out and lies near either end of the value
    // range is a glitch; it takes the mean of its four neighbours.
    m_pmin = 1e300;
    m_pmax = -1e300;
    size_t bin = 0;
    forEachBin(g0, [&](const AnalyzeCond &g) {
        if (g.newRow)
            DebugLog::write(QString("deglitch 2 %1").arg(g.cy));
        const double e = spike[bin++];
        if (!g.centreInside())
            return;
        double v = centreValue(m_values, g.cx, g.cy);
        if (e > threshold && (v < m_min + band || v > m_max - band))
            v = meanOfNeighbours(g, v);
        trackRange(v, &m_pmin, &m_pmax);
        fillBin(m_processed, g.cx, g.cy, v);
    });
    if (m_showProcessed)
        genImg();
}

void Analyzed2DRes::deglitch2(double limit) {
    if (!hasGrids())
        return;
    // Pass 1: the level of the ordinary bins (those inside the limit).
    double sum = 0;
    int count = 0;
    forEachBin(m_grid, [&](const AnalyzeCond &g) {
        if (g.newRow)
            DebugLog::write(QString("deglitch2 %1").arg(g.cy));
        if (!g.centreInside())
            return;
        const double v = centreValue(m_values, g.cx, g.cy);
        if (std::abs(v) < limit) {
            sum += v;
            ++count;
        }
    });
    const double m = count > 0 ? sum / count : 0;

    // Pass 2: a bin farther than the limit from that level takes the mean of
    // its ordinary neighbours among the eight around it, or 0.
    m_pmin = 1e300;
    m_pmax = -1e300;
    forEachBin(m_grid, [&](const AnalyzeCond &g) {
        if (g.newRow)
            DebugLog::write(QString("deglitch 2 %1").arg(g.cy));
        if (!g.centreInside())
            return;
        double v = centreValue(m_values, g.cx, g.cy);
        if (std::abs(v - m) > limit)
            v = meanOfOrdinaryNeighbours(g, m, limit);
        trackRange(v, &m_pmin, &m_pmax);
        fillBin(m_processed, g.cx, g.cy, v);
    });
    if (m_showProcessed)
        genImg();
}

MapSamples16 Analyzed2DRes::tiffDataForSave(bool fixedScale, double scaleMin, double scaleMax,
                                            bool asAnalyzed) {
    MapSamples16 out;
    if (!hasGrids())
        return out;
    const std::vector<double> &src = m_showProcessed ? m_processed : m_values;
    double lo = m_showProcessed ? m_pmin : m_min;
    double hi = m_showProcessed ? m_pmax : m_max;
    if (fixedScale) {
        lo = scaleMin;
        hi = scaleMax;
    }
    out.lo = lo;
    out.hi = hi;
    if (asAnalyzed) {
        out.width = m_grid.binsX();
        out.height = m_grid.binsY();
        out.samples.reserve(size_t(out.width) * size_t(out.height));
        forEachBin(m_grid, [&](const AnalyzeCond &g) {
            out.samples.push_back(sample16(centreValue(src, g.cx, g.cy), lo, hi));
        });
    } else {
        out.width = m_grid.W;
        out.height = m_grid.H;
        out.samples.resize(src.size());
        for (size_t i = 0; i < src.size(); ++i)
            out.samples[i] = sample16(src[i], lo, hi);
    }
    m_pointsWritten = int(out.samples.size());
    return out;
}

std::vector<char> Analyzed2DRes::analysedCells() const {
    std::vector<double> covered(size_t(qMax(m_grid.W, 0)) * size_t(qMax(m_grid.H, 0)), 0.0);
    forEachBin(m_grid, [&](const AnalyzeCond &g) { fillBin(covered, g.cx, g.cy, 1.0); });
    return std::vector<char>(covered.begin(), covered.end());
}

bool Analyzed2DRes::writeText(const QString &path, bool csv, bool list) const {
    if (!hasGrids())
        return false;
    OutputFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        DebugLog::write("Can't open " + path);
        return false;
    }
    QTextStream out(file.device());
    const QChar sep = csv ? ',' : ' ';
    forEachBin(m_grid, [&](const AnalyzeCond &g) {
        const QString value = QString::number(centreValue(m_values, g.cx, g.cy), 'g', 6);
        if (list) {
            out << g.cx << sep << g.cy << sep << value << '\n';
        } else {
            if (g.newRow)
                out << '\n';
            else
                out << sep;
            out << value;
        }
    });
    if (!list)
        out << '\n';
    out.flush();
    if (out.status() != QTextStream::Ok || !file.commit()) {
        DebugLog::write("Can't write " + path);
        return false;
    }
    return true;
}
