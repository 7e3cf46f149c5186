#include "analysis/ElemAnalysis.h"

#include "app/DebugLog.h"

#include "spectrum/EdgeTable.h"
#include "spectrum/ElementTable.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace {

// mu at stored energy x: the straight line through the neighbouring points,
// extended from the two end points outside the range (the mean of two points
// at the same energy).
double muAt(const QPointF *p, int n, double x) {
    if (n == 0)
        return 0;
    if (n == 1)
        return p[0].y();
    int lo = 0, hi = 1;
    if (x >= p[n - 1].x()) {
        lo = n - 2;
        hi = n - 1;
    } else if (x > p[0].x()) {
        hi = n - 1;
        while (lo < hi - 1) {
            const int mid = (lo + hi) / 2;
            if (x < p[mid].x())
                hi = mid;
            else
                lo = mid;
        }
    }
    const double x1 = p[lo].x(), y1 = p[lo].y(), x2 = p[hi].x(), y2 = p[hi].y();
    if (x1 == x2)
        return (y1 + y2) / 2;
    return y1 + (y2 - y1) / (x2 - x1) * (x - x1);
}

// Index of the point nearest to x: the first k whose midpoint to the next
// point lies above x, else the last point (raw point energies).
int nearestPoint(const QPointF *p, int n, double x) {
    for (int k = 0; k + 1 < n; ++k) {
        if (x < (p[k].x() + p[k + 1].x()) / 2)
            return k;
    }
    return std::max(n - 1, 0);
}

bool belowFirstMidpoint(const QPointF *p, int n, double x) {
    return n >= 2 && x < (p[0].x() + p[1].x()) / 2;
}

// Mean energy (nominal, shift removed) where mu crosses the half-jump level
// upwards between points k and j, minus e0; 0 without a crossing.
double halfJumpShift(const QPointF *p, int n, int k, int j, double half, double g, double e0) {
    double sum = 0;
    int crossings = 0;
    for (int m = k; m < j && m + 1 < n; ++m) {
        if (p[m].y() < half && half <= p[m + 1].y()) {
            sum += (p[m].x() + p[m + 1].x()) / 2 - g;
            ++crossings;
        }
    }
    return crossings > 0 ? sum / crossings - e0 : 0.0;
}

// Mean of mu - muMinus over the points i .. l-1 of the ROI; 0 when empty.
double roiMean(const QPointF *p, int n, const ElemCondition &c, double g, double muMinus,
               bool *beforeData) {
    *beforeData = belowFirstMidpoint(p, n, c.roiEnd + g);
    if (*beforeData)
        return 0;
    const int i = nearestPoint(p, n, c.roiStart + g);
    const int l = nearestPoint(p, n, c.roiEnd + g);
    if (i >= l)
        return 0;
    double sum = 0;
    for (int m = i; m < l; ++m)
        sum += p[m].y() - muMinus;
    return sum / (l - i);
}

void analyzeOne(const Spectrum &s, double g, const ElemCondition &c, const ElemBackground &bg,
                ElemValues &out) {
    const QPointF *p = s.points().constData();
    const int n = s.count();
    const double muPlus = muAt(p, n, c.e0 + c.dE + g);
    const double muMinus = muAt(p, n, c.e0 - c.dE + g);
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
    const int k = nearestPoint(p, n, c.e0 - c.dE + g);
    const int j = nearestPoint(p, n, c.e0 + c.dE + g);
    out.v[ElemDMut] = dmut;
    out.v[ElemMuPlus] = muPlus;
    out.v[ElemMuMinus] = muMinus;
    out.v[ElemDE] = halfJumpShift(p, n, k, j, (muPlus + muMinus) / 2, g, c.e0);
    bool beforeData = false;
    const double roi = roiMean(p, n, c, g, muMinus, &beforeData);
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

} // namespace

void analyzeElems(const Spectrum &s, double g, const ElemCondition *conds, int count, int mainT,
                  const ElemBackground &bg, ElemValues *out) {
    for (int e = 0; e < count; ++e)
        analyzeOne(s, g, conds[e], bg, out[e]);
    double main = (mainT >= 0 && mainT < count) ? out[mainT].dMut() : 0.0;
    if (main == 0)
        main = 1;
    for (int e = 0; e < count; ++e)
        out[e].v[ElemRatio] = out[e].dMut() / main;
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
    const int n = s.elemCount();
    s.stack->muTOfRowBin(m_row, (cx - m_firstCx) / m_sx, m_mut);
    const double g = s.stack->shiftAt(s.shift, cx, cy);
    analyzeElems(m_mut, g, s.conds.constData(), n, s.mainT, s.bg, m_values.data());
    for (int e = 0; e < n; ++e) {
        const ElemValues &v = m_values[e];
        for (int k = 0; k < ElemMapKinds; ++k)
            out.set(elemMapIndex(e, k, n), v.v[k]);
        m_ratios[e] = v.ratio();
    }
    const double cor =
        elemCorrelation(m_ratios.constData(), s.stdRatios.constData(), s.use.constData(), n);
    out.set(elemCorIndex(n), cor);
    out.set(elemCorIndex(n) + 1, cor >= s.corTh ? cor : 0.0);
    if (s.logBins)
        DebugLog::write(QStringLiteral("a"));
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
    // Short standard or use lists would be read past their end.
    auto whole = std::make_shared<ElemRunSetup>(*setup);
    whole->stdRatios.resize(whole->elemCount());
    whole->use.resize(whole->elemCount());
    return [whole] { return std::make_unique<ElemBinTask>(whole); };
}

void registerElemMetaTypes() {
    qRegisterMetaType<ElemCondition>("ElemCondition");
    qRegisterMetaType<ElemBackground>("ElemBackground");
    qRegisterMetaType<QVector<ElemCondition>>("QVector<ElemCondition>");
}
