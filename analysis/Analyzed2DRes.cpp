#include "analysis/Analyzed2DRes.h"

#include "app/DebugLog.h"
#include "app/OutputFile.h"
#include "display/ImageRenderer.h"

#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Visits every bin of a copy of `grid` in walk order.
template <typename Visit> void forEachBin(AnalyzeCond grid, Visit visit) {
    grid.reset();
    do {
        visit(grid);
    } while (grid.next());
}

quint16 sample16(double v, double lo, double hi) {
    const double f = ImageRenderer::placeInRange(v, lo, hi);
    const double clamped = f < 0 ? 0 : (f > 1 ? 1 : f);
    return quint16(std::trunc(clamped * 65535));
}

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
    m_categories = o.m_categories;
    m_filled = o.m_filled;
    m_pointsWritten = o.m_pointsWritten;
}

void Analyzed2DRes::releaseGrids() {
    std::vector<double>().swap(m_values);
    std::vector<double>().swap(m_processed);
    m_filled = false;
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

void Analyzed2DRes::fillBlock(int ix, int iy, int xw, int yw, double t) {
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
