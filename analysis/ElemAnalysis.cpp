#include "analysis/ElemAnalysis.h"

#include "analysis/SparseMuTRow.h"
#include "app/DebugLog.h"

#include "spectrum/EdgeTable.h"
#include "spectrum/ElementTable.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace {

// The points of a spectrum as the analysis reads them: x(i) the stored
// energy, y(i) mu, and nearest(x) the index of the point nearest to x.
// Spectra give QPointF arrays; a row run gives its arrays of energies and
// mu*t, with only the points the conditions reach filled in.
struct SpectrumPoints {
    const QPointF *p;
    int n;
    double x(int i) const { return p[i].x(); }
    double y(int i) const { return p[i].y(); }
    // The first k whose midpoint to the next point lies above x, else the
    // last point.
    int nearest(double x) const {
        for (int k = 0; k + 1 < n; ++k) {
            if (x < (p[k].x() + p[k + 1].x()) / 2)
                return k;
        }
        return std::max(n - 1, 0);
    }
};

// mu at stored energy x: the straight line through the neighbouring points,
// extended from the two end points outside the range (the mean of two points
// at the same energy). The pair read is bracket(x).
template <typename Points> void bracket(const Points &p, double x, int &lo, int &hi) {
    const int n = p.n;
    lo = 0;
    hi = 1;
    if (x >= p.x(n - 1)) {
        lo = n - 2;
        hi = n - 1;
    } else if (x > p.x(0)) {
        hi = n - 1;
        while (lo < hi - 1) {
            const int mid = (lo + hi) / 2;
            if (x < p.x(mid))
                hi = mid;
            else
                lo = mid;
        }
    }
}

template <typename Points> double muAt(const Points &p, double x) {
    if (p.n == 0)
        return 0;
    if (p.n == 1)
        return p.y(0);
    int lo, hi;
    bracket(p, x, lo, hi);
    const double x1 = p.x(lo), y1 = p.y(lo), x2 = p.x(hi), y2 = p.y(hi);
    if (x1 == x2)
        return (y1 + y2) / 2;
    return y1 + (y2 - y1) / (x2 - x1) * (x - x1);
}

template <typename Points> bool belowFirstMidpoint(const Points &p, double x) {
    return p.n >= 2 && x < (p.x(0) + p.x(1)) / 2;
}

// Mean energy (nominal, shift removed) where mu crosses the half-jump level
// upwards between points k and j, minus e0; 0 without a crossing.
template <typename Points>
double halfJumpShift(const Points &p, int k, int j, double half, double g, double e0) {
    double sum = 0;
    int crossings = 0;
    for (int m = k; m < j && m + 1 < p.n; ++m) {
        if (p.y(m) < half && half <= p.y(m + 1)) {
            sum += (p.x(m) + p.x(m + 1)) / 2 - g;
            ++crossings;
        }
    }
    return crossings > 0 ? sum / crossings - e0 : 0.0;
}

// Mean of mu - muMinus over the points i .. l-1 of the ROI; 0 when empty.
template <typename Points>
double roiMean(const Points &p, const ElemCondition &c, double g, double muMinus,
               bool *beforeData) {
    *beforeData = belowFirstMidpoint(p, c.roiEnd + g);
    if (*beforeData)
        return 0;
    const int i = p.nearest(c.roiStart + g);
    const int l = p.nearest(c.roiEnd + g);
    if (i >= l)
        return 0;
    double sum = 0;
    for (int m = i; m < l; ++m)
        sum += p.y(m) - muMinus;
    return sum / (l - i);
}

template <typename Points>
void analyzeOne(const Points &p, double g, const ElemCondition &c, const ElemBackground &bg,
                ElemValues &out) {
    const double muPlus = muAt(p, c.e0 + c.dE + g);
    const double muMinus = muAt(p, c.e0 - c.dE + g);
    const double dmut = muPlus - muMinus;
    out.rawDMut = dmut;
    if (!(dmut > c.th)) { // NaN jumps count as no edge too
        out.v[ElemDMut] = bg.dMut;
        out.v[ElemMuPlus] = bg.dMut;
        out.v[ElemMuMinus] = bg.dMut;
        out.v[ElemDE] = bg.dE;
        out.v[ElemROI] = bg.roi;
        out.v[ElemNROI] = bg.nRoi;
        return;
    }
    const int k = p.nearest(c.e0 - c.dE + g);
    const int j = p.nearest(c.e0 + c.dE + g);
    out.v[ElemDMut] = dmut;
    out.v[ElemMuPlus] = muPlus;
    out.v[ElemMuMinus] = muMinus;
    out.v[ElemDE] = halfJumpShift(p, k, j, (muPlus + muMinus) / 2, g, c.e0);
    bool beforeData = false;
    const double roi = roiMean(p, c, g, muMinus, &beforeData);
    if (beforeData) {
        out.v[ElemROI] = 0;
        out.v[ElemNROI] = 0;
    } else if (c.noNeg && roi < 0) {
        out.v[ElemROI] = bg.roi;
        out.v[ElemNROI] = bg.nRoi;
    } else {
        out.v[ElemROI] = roi;
        // A negative threshold lets a zero jump through: no normalisation then.
        out.v[ElemNROI] = dmut != 0 ? roi / dmut : bg.nRoi;
    }
}

template <typename Points>
void analyzeElemsOf(const Points &p, double g, const ElemCondition *conds, int count, int mainT,
                    const ElemBackground &bg, ElemValues *out) {
    for (int e = 0; e < count; ++e)
        analyzeOne(p, g, conds[e], bg, out[e]);
    double main = (mainT >= 0 && mainT < count) ? out[mainT].dMut() : 0.0;
    if (main == 0)
        main = 1;
    for (int e = 0; e < count; ++e)
        out[e].v[ElemRatio] = out[e].dMut() / main;
}

} // namespace

void analyzeElems(const Spectrum &s, double g, const ElemCondition *conds, int count, int mainT,
                  const ElemBackground &bg, ElemValues *out) {
    analyzeElemsOf(SpectrumPoints{s.points().constData(), s.count()}, g, conds, count, mainT, bg,
                   out);
}

double elemCorrelation(const double *r, const double *s, const char *use, int n) {
    double a = 0, b = 0, c = 0;
    for (int e = 0; e < n; ++e) {
        if (!use[e])
            continue;
        a += r[e] * r[e];
        b += s[e] * s[e];
        c += r[e] * s[e];
    }
    return (a > 0 && b > 0) ? c / std::sqrt(a * b) : 0.0;
}

// ---- target names ----

namespace {

ElemTarget targetOf(const QString &part) {
    ElemTarget t;
    const int dash = part.indexOf('-');
    if (dash > 0) {
        t.symbol = part.left(dash);
        t.edgeName = part.mid(dash + 1);
    } else {
        t.symbol = part;
        t.edgeName = QStringLiteral("K");
    }
    t.name = t.symbol + '-' + t.edgeName;
    t.Z = atomicNumberOf(t.symbol);
    t.edge = edgeIndexOf(t.edgeName);
    if (t.Z > 0)
        t.e0 = edgeEnergyEV(t.Z, t.edge);
    return t;
}

} // namespace

QVector<ElemTarget> parseElemTargets(const QString &text, bool sortByZ) {
    if (EdgeTable::count() == 0)
        loadEdgeTable();
    QString plain = text;
    plain.replace(',', ' ');
    const QStringList parts = plain.simplified().split(' ', Qt::SkipEmptyParts);
    QVector<ElemTarget> targets;
    for (const QString &part : parts) {
        const ElemTarget t = targetOf(part);
        if (t.Z > 0)
            targets.append(t);
    }
    if (sortByZ) {
        std::stable_sort(targets.begin(), targets.end(),
                         [](const ElemTarget &a, const ElemTarget &b) { return a.Z < b.Z; });
    }
    return targets;
}

QString elemMapName(const QString &rowName, int kind) {
    static const char *const tags[ElemMapKinds] = {"0", "N", "MP", "MM", "DE", "ROI", "NROI"};
    const int k = std::clamp(kind, 0, int(ElemMapKinds) - 1);
    return QStringLiteral("%1 Elem Ctrl %2").arg(rowName, QLatin1String(tags[k]));
}

QString elemShortText(double v) {
    return QString::number(v, 'g', 6).left(5);
}

QString elemFieldText(double v) {
    return QString::number(v, 'g', 6);
}

double elemFieldValue(double v) {
    return elemFieldText(v).toDouble();
}

// ---- correlation maps ----

void recalcCorrelationMaps(const QVector<const Analyzed2DRes *> &ratioMaps,
                           const QVector<double> &stdRatios, const QVector<char> &use,
                           double threshold, Analyzed2DRes &cor, Analyzed2DRes &corTh,
                           const std::function<void(double)> &rowStarted) {
    if (!cor.hasGrids())
        return;
    AnalyzeCond grid = cor.grid();
    grid.reset();
    cor.prepare(grid);
    corTh.prepare(grid);
    const int n = std::min({ratioMaps.size(), stdRatios.size(), use.size()});
    std::vector<double> c(size_t(std::max(n, 1)), 0.0);
    const double span = grid.y1 - grid.y0;
    do {
        if (rowStarted && grid.newRow)
            rowStarted(span != 0 ? (grid.cy - grid.y0) / span * 100 : 0.0);
        for (int e = 0; e < n; ++e)
            c[size_t(e)] = ratioMaps[e] ? ratioMaps[e]->valueAt(grid.cx, grid.cy) : 0.0;
        const double v = elemCorrelation(c.data(), stdRatios.constData(), use.constData(), n);
        cor.setData(grid.cx, grid.cy, grid.hx, grid.hy, v);
        corTh.setData(grid.cx, grid.cy, grid.hx, grid.hy, v >= threshold ? v : 0.0);
    } while (grid.next());
}

// ---- the element map run ----

namespace {

// The seven values of every element and the correlation of the ratios.
void writeElemBin(const ElemRunSetup &s, const ElemValues *values, double *ratios, BinWriter &out) {
    const int n = s.elemCount();
    for (int e = 0; e < n; ++e) {
        const ElemValues &v = values[e];
        for (int k = 0; k < ElemMapKinds; ++k)
            out.set(elemMapIndex(e, k, n), v.v[k]);
        ratios[e] = v.ratio();
    }
    const double cor = elemCorrelation(ratios, s.stdRatios.constData(), s.use.constData(), n);
    out.set(elemCorIndex(n), cor);
    out.set(elemCorIndex(n) + 1, cor >= s.corTh ? cor : 0.0);
    if (s.logBins)
        DebugLog::write(QStringLiteral("a"));
}

// The points of a row run: the energies, their midpoints and the mu*t of one
// bin (point i at ys[i * stride]).
struct RowPoints {
    const double *xs;
    const double *mids; // (x_k + x_{k+1}) / 2
    const double *ys;
    int stride;
    int n;
    bool ascending;
    double x(int i) const { return xs[i]; }
    double y(int i) const { return ys[size_t(i) * size_t(stride)]; }
    // SpectrumPoints::nearest. Over rising energies the midpoints do not fall
    // (rounding keeps the order of the sums), so the first one above x is
    // found by bisection.
    int nearest(double x) const {
        if (!ascending) {
            for (int k = 0; k + 1 < n; ++k)
                if (x < mids[k])
                    return k;
            return std::max(n - 1, 0);
        }
        int lo = 0, hi = std::max(n - 1, 0);
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (x < mids[mid])
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    }
};

// The points the analysis of one element reads at shift g lie within
// [lo, hi]: the pairs mu is interpolated from, the half-jump search between
// the nearest points, the ROI. Each of these indices rises with g, so the
// points of every shift between g1 and g2 lie within the union of theirs.
void reachedPoints(const RowPoints &p, const ElemCondition &c, double g, int &lo, int &hi) {
    int a0, a1, b0, b1;
    bracket(p, c.e0 + c.dE + g, a0, a1);
    bracket(p, c.e0 - c.dE + g, b0, b1);
    const int k = p.nearest(c.e0 - c.dE + g), j = p.nearest(c.e0 + c.dE + g);
    const int i = p.nearest(c.roiStart + g), l = p.nearest(c.roiEnd + g);
    lo = std::min({lo, a0, b0, k, j, i, l});
    hi = std::max({hi, a1, b1, k, j, i, l});
}

// The element run a row at a time: mu*t only at the points the conditions
// reach for the shifts of the row (SparseMuTRow), each bin analysed from the
// row's arrays by the code that analyses a spectrum: the bits of ElemBinTask.
class ElemRowTask : public BinTask {
public:
    explicit ElemRowTask(std::shared_ptr<const ElemRunSetup> setup)
        : m_setup(std::move(setup)), m_values(size_t(m_setup->elemCount())),
          m_ratios(size_t(m_setup->elemCount())) {
        m_points.take(*m_setup->stack, m_setup->mut);
        const int n = m_points.count();
        const double *x = m_points.energies.data();
        for (int k = 0; k + 1 < n; ++k)
            m_mids.push_back((x[k] + x[k + 1]) / 2);
        m_wanted.resize(size_t(n));
    }

    void beginRow(int cy, int firstCx, int sx, int count) override {
        const ElemRunSetup &s = *m_setup;
        m_firstCx = firstCx;
        m_sx = sx > 0 ? sx : 1;
        m_shifts.resize(size_t(std::max(count, 0)));
        for (int b = 0; b < count; ++b)
            m_shifts[size_t(b)] = s.stack->shiftAt(s.shift, firstCx + b * m_sx, cy);
        markWanted();
        m_row.read(*s.stack, m_points, m_wanted.data(), cy, firstCx, m_sx, count, s.mut);
    }

    void analyzeBin(int cx, int cy, BinWriter &out) override {
        (void)cy; // the row was read in beginRow
        const ElemRunSetup &s = *m_setup;
        const int b = (cx - m_firstCx) / m_sx;
        RowPoints p = points();
        p.ys = m_row.binMu(b);
        p.n = m_row.inside(b) ? p.n : 0;
        analyzeElemsOf(p, m_shifts[size_t(b)], s.conds.constData(), s.elemCount(), s.mainT, s.bg,
                       m_values.data());
        writeElemBin(s, m_values.data(), m_ratios.data(), out);
    }

private:
    RowPoints points() const {
        return {m_points.energies.data(), m_mids.data(),    nullptr,
                m_row.stride(),           m_points.count(), m_points.ascending};
    }

    // Every point when the points are few, out of order or a shift is not a
    // number; else those any element reaches at the row's least and greatest
    // shift, and all between.
    void markWanted() {
        const int n = m_points.count();
        const auto [gLo, gHi] = std::minmax_element(m_shifts.begin(), m_shifts.end());
        const bool finite = std::all_of(m_shifts.begin(), m_shifts.end(),
                                        [](double g) { return std::isfinite(g); });
        if (n <= 2 || !m_points.ascending || !finite || m_shifts.empty()) {
            std::fill(m_wanted.begin(), m_wanted.end(), 1);
            return;
        }
        std::fill(m_wanted.begin(), m_wanted.end(), 0);
        const RowPoints p = points();
        for (const ElemCondition &c : m_setup->conds) {
            int lo = n - 1, hi = 0;
            reachedPoints(p, c, *gLo, lo, hi);
            reachedPoints(p, c, *gHi, lo, hi);
            for (int i = std::max(lo, 0); i <= std::min(hi, n - 1); ++i)
                m_wanted[size_t(i)] = 1;
        }
    }

    std::shared_ptr<const ElemRunSetup> m_setup;
    MuTPoints m_points;
    std::vector<double> m_mids;
    std::vector<char> m_wanted;
    std::vector<double> m_shifts; // per bin of the row
    SparseMuTRow m_row;
    std::vector<ElemValues> m_values;
    std::vector<double> m_ratios;
    int m_firstCx = 0;
    int m_sx = 1;
};

// Short standard or use lists would be read past their end.
std::shared_ptr<const ElemRunSetup> wholeSetup(const std::shared_ptr<const ElemRunSetup> &setup) {
    auto whole = std::make_shared<ElemRunSetup>(*setup);
    whole->stdRatios.resize(whole->elemCount());
    whole->use.resize(whole->elemCount());
    return whole;
}

} // namespace

ElemBinTask::ElemBinTask(std::shared_ptr<const ElemRunSetup> setup)
    : m_setup(std::move(setup)), m_values(m_setup->elemCount()), m_ratios(m_setup->elemCount()) {
    m_mut.reserve(m_setup->stack ? m_setup->stack->i1().size() : 0);
}

void ElemBinTask::beginRow(int cy, int firstCx, int sx, int count) {
    m_firstCx = firstCx;
    m_sx = sx > 0 ? sx : 1;
    m_setup->stack->computeMuTRow(cy, firstCx, m_sx, count, m_setup->mut, m_row);
}

void ElemBinTask::analyzeBin(int cx, int cy, BinWriter &out) {
    const ElemRunSetup &s = *m_setup;
    s.stack->muTOfRowBin(m_row, (cx - m_firstCx) / m_sx, m_mut);
    const double g = s.stack->shiftAt(s.shift, cx, cy);
    analyzeElems(m_mut, g, s.conds.constData(), s.elemCount(), s.mainT, s.bg, m_values.data());
    writeElemBin(s, m_values.constData(), m_ratios.data(), out);
}

ElemRunSetup elemDefaultSetup(const QVector<ElemTarget> &targets) {
    ElemRunSetup s;
    for (const ElemTarget &t : targets) {
        ElemCondition c;
        c.e0 = elemFieldValue(t.e0);
        s.conds.append(c);
        s.stdRatios.append(1.0);
        s.use.append(1);
    }
    return s;
}

MapRun::TaskFactory elemTaskFactory(std::shared_ptr<const ElemRunSetup> setup) {
    auto whole = wholeSetup(setup);
    return [whole] { return std::make_unique<ElemRowTask>(whole); };
}

MapRun::TaskFactory elemBinByBinFactory(std::shared_ptr<const ElemRunSetup> setup) {
    auto whole = wholeSetup(setup);
    return [whole] { return std::make_unique<ElemBinTask>(whole); };
}

void registerElemMetaTypes() {
    qRegisterMetaType<ElemCondition>("ElemCondition");
    qRegisterMetaType<ElemBackground>("ElemBackground");
    qRegisterMetaType<QVector<ElemCondition>>("QVector<ElemCondition>");
}
