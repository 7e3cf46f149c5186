#include "analysis/LcfEngine.h"

#include "analysis/ConstrainedLsq.h"
#include "app/DebugLog.h"
#include "app/PointLoops.h"
#include "spectrum/LinearSolver.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using Solver = LinearSolverN<LcfEngine::MaxUnknowns>;

// The normal equations of the current fit; kept with the engine so that a
// call neither allocates nor clears a large array on the stack.
struct NormalEquations {
    Solver::Matrix a;
    Solver::Vector b;
    Solver::Vector x;
    void reset(int n) {
        for (int j = 0; j < n; ++j) {
            std::fill_n(a[j].begin(), n, 0.0);
            b[j] = 0;
            x[j] = 0;
        }
    }
    // Adds the basis values f (n of them) with target y.
    void add(int n, const double *f, double y) {
        for (int j = 0; j < n; ++j) {
            const double fj = f[j];
            for (int k = 0; k < n; ++k)
                a[j][k] += fj * f[k];
            b[j] += fj * y;
        }
    }
    void solve(int n) { Solver::solveInPlace(n, a, b, x); }
};

// The energy offset in force when a reference's curves were built: the curves
// sit at the effective energies of that moment. Lookups at sample energy E'
// go to E' + dE - that offset on the curve, i.e. to the reference's own
// energy E' + dE, however the row set its offset.
double lookupDelta(const XafsSpectrum &ref) {
    const double dE = ref.shifted() ? ref.shift() : 0.0;
    const Spectrum &curve = ref.doubleNormalizedPreBase();
    const double builtWith = curve.isEmpty() ? 0.0 : ref.x(0) - curve.x(0);
    const double delta = dE - builtWith;
    // The subtraction above need not give dE back exactly.
    const double tolerance = 1e-9 * std::max(1.0, std::fabs(ref.x(0)));
    return std::fabs(delta) <= tolerance ? 0.0 : delta;
}

const QString NanMessage = QStringLiteral("nan EeV in XafsSpectrum::doubleNormalizedPreBase");

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// One term of the residual: the squared relative deviation of the curve c
// from the sample y, 1 where y is 0.
inline double residualTerm(double c, double y) {
    const bool held = y != 0;
    const double q = (c - y) / (held ? y : 1.0);
    const double q2 = q * q;
    return held ? q2 : 1.0;
}

// residualTerm over n points, four or more at a time (its steps written out:
// a function compiled without trapping math cannot take it inline).
LS_POINT_LOOPS
void residualTerms(const double *__restrict c, const double *__restrict y, double *__restrict t,
                   int n) {
    for (int k = 0; k < n; ++k) {
        const bool held = y[k] != 0;
        const double q = (c[k] - y[k]) / (held ? y[k] : 1.0);
        const double q2 = q * q;
        t[k] = held ? q2 : 1.0;
    }
}

static_assert(ConstrainedLsq::MaxN >= LcfEngine::MaxUnknowns, "constrained solver too small");

} // namespace

struct LcfEngine::Setup {
    NormalEquations eq;
    // sum_i r_j(E'_i) r_k(E'_i) over the fitting range (LCF), and its LU
    // factors: the unconstrained fits of a run's bins share them.
    Solver::Matrix lcfMatrix;
    Solver::Matrix lcfLu;
    Solver::Permutation lcfPerm;
    // A copy of the normal equations before the solve (which overwrites
    // them), for the constrained solve and the covariance.
    ConstrainedLsq::Matrix g;
    ConstrainedLsq::Vector h;
    ConstrainedLsq::Vector x;
    ConstrainedLsq::Matrix c;
    ConstrainedLsq solver;
};

LcfSample LcfSample::of(const XafsSpectrum &s) {
    // QPointF holds x and y as two adjacent doubles.
    static_assert(sizeof(QPointF) == 2 * sizeof(double), "QPointF is not two doubles");
    LcfSample v;
    v.count = s.count();
    const double *p = reinterpret_cast<const double *>(s.points().constData());
    v.x = {p, 2};
    v.mu = {p + 1, 2};
    v.activeShift = s.shifted() ? s.shift() : 0.0;
    const Spectrum &dn = s.doubleNormalizedPreBase();
    const double *d = reinterpret_cast<const double *>(dn.points().constData());
    v.dnCount = dn.count();
    v.dnX = {d, 2};
    v.dn = {d + 1, 2};
    v.dnShift = dn.shifted() ? dn.shift() : 0.0;
    v.dMut = s.dMut();
    v.eShiftValue = s.eShiftValue();
    return v;
}

LcfEngine::LcfEngine() : m_setup(new Setup) {}

LcfEngine::~LcfEngine() = default;

void LcfEngine::setReferencesFixed(bool fixed) {
    m_referencesFixed = fixed;
    m_lookupValid = false;
}

bool LcfEngine::setUp(const LcfSample &sample, const QVector<LcfReference> &refs, double sE0,
                      double eE0) {
    if (sample.count == 0 || refs.size() < 2)
        return false;
    int n = 0;
    for (const LcfReference &r : refs) {
        if (!r.isUsed())
            continue;
        if (n == MaxReferences) {
            DebugLog::write(QString("LCF: more than %1 references in use").arg(MaxReferences));
            return false;
        }
        m_used[n++] = r.spectrum;
    }
    m_n = n;
    double largestStart = -HUGE_VAL, smallestEnd = HUGE_VAL;
    for (int j = 0; j < n; ++j) {
        const XafsSpectrum &ref = *m_used[j];
        const double dE = ref.shifted() ? ref.shift() : 0.0;
        largestStart = std::max(largestStart, ref.xMin() - dE);
        smallestEnd = std::min(smallestEnd, ref.xMax() - dE);
    }
    m_lo = std::max(sE0, largestStart);
    m_hi = std::min(eE0, smallestEnd);
    m_v = std::max(0.0, largestStart);
    m_u = std::min(1e300, smallestEnd);
    return true;
}

// r_j and q_j of every used reference at every sample energy E'_i (the
// effective energy, less the sample's energy offset).
// While the references are fixed the values of the previous call stand when
// the sample energies and references are the same.
void LcfEngine::lookUpReferences(const LcfSample &sample) {
    const int m = sample.count;
    bool same = m_referencesFixed && m_lookupValid && m_cachedN == m_n && m_energies.size() == m;
    for (int j = 0; same && j < m_n; ++j)
        same = m_cachedUsed[j] == m_used[j];
    if (same && sample.energiesAsBefore)
        return;
    m_energies.resize(m);
    double *e = m_energies.data();
    // The sample's energy offset: the calibration shift its bin carries (0
    // without a shift map). A calibrated bin is fitted at corrected energies.
    const double offset = sample.eShiftValue;
    bool equal = true; // a plain and, so that the loop vectorises
    for (int i = 0; i < m; ++i) {
        const double ei = (sample.x[i] - sample.activeShift) - offset;
        equal &= ei == e[i];
        e[i] = ei;
    }
    same = same && equal;
    if (same)
        return;
    ++m_lookupGeneration;
    m_pre.resize(m * m_n);
    m_post.resize(m * m_n);
    bool nanLogged = false;
    for (int j = 0; j < m_n; ++j) {
        const XafsSpectrum &ref = *m_used[j];
        const double delta = lookupDelta(ref);
        const Spectrum &pre = ref.doubleNormalizedPreBase();
        const Spectrum &post = ref.doubleNormalizedPostBase();
        double *r = m_pre.data() + j * m;
        double *q = m_post.data() + j * m;
        for (int i = 0; i < m; ++i) {
            const double at = e[i] + delta;
            if (std::isnan(at) && !nanLogged) {
                DebugLog::write(NanMessage);
                nanLogged = true;
            }
            r[i] = pre.valueAt(at);
            q[i] = post.valueAt(at);
        }
        m_cachedUsed[j] = m_used[j];
    }
    m_cachedN = m_n;
    m_lookupValid = true;
}

// The indices of the points inside the fitting range, kept while the energies
// (the lookups' generation) and the range stay.
void LcfEngine::updateFitRange() {
    if (m_rangeGeneration == m_lookupGeneration && m_rangeLo == m_lo && m_rangeHi == m_hi &&
        m_rangeV == m_v && m_rangeU == m_u)
        return;
    m_inRange.clear();
    const int m = m_energies.size();
    bool insideCurve = true;
    for (int i = 0; i < m; ++i) {
        const double e = m_energies[i];
        if (m_lo <= e && e <= m_hi) {
            m_inRange.push_back(i);
            insideCurve = insideCurve && m_v <= e && e <= m_u;
        }
    }
    // Rising energies put the range's points side by side: loops over them
    // then run over plain index intervals.
    const bool contiguous =
        m_inRange.empty() || m_inRange.back() - m_inRange.front() + 1 == int(m_inRange.size());
    m_rangeBegin = m_inRange.empty() ? 0 : m_inRange.front();
    m_rangeEnd = m_inRange.empty() ? 0 : m_inRange.back() + 1;
    m_rangeSimple = contiguous && insideCurve;
    m_rangeGeneration = m_lookupGeneration;
    m_rangeLo = m_lo;
    m_rangeHi = m_hi;
    m_rangeV = m_v;
    m_rangeU = m_u;
    m_lcfMatrixValid = false;
}

bool LcfEngine::analyze(LcfKind kind, const XafsSpectrum &sample, const QVector<LcfReference> &refs,
                        double sE0, double eE0, const SuggestElm &sElm, XafsSpectrum *fitted,
                        LcfResult &out) {
    return analyze(kind, LcfSample::of(sample), refs, sE0, eE0, sElm, fitted, out);
}

bool LcfEngine::analyze(LcfKind kind, const LcfSample &sample, const QVector<LcfReference> &refs,
                        double sE0, double eE0, const SuggestElm &sElm, XafsSpectrum *fitted,
                        LcfResult &out) {
    if (!setUp(sample, refs, sE0, eE0))
        return false;
    if (kind == LcfKind::LCF && sample.dMut <= 0) {
        // No edge: nothing to fit. Every row, used or not, reads 0, and so
        // does the residual (never the value of an earlier spectrum).
        out.fractions.fill(0.0, refs.size());
        out.amounts.fill(0.0, refs.size());
        out.residual = 0;
        out.fitted = false;
        if (m_options.quality) {
            out.sigmas.fill(NaN, refs.size());
            out.rFactor = NaN;
            out.chi2 = NaN;
        }
        if (fitted)
            fitted->assign(Spectrum(), QStringLiteral("anal-LCF"), 1, 0, sElm);
        return true;
    }
    lookUpReferences(sample);
    updateFitRange();
    if (kind == LcfKind::MLCF)
        fitMlcf(sample, out);
    else
        fitLcf(sample, out);
    out.residual = residualOf(sample);
    out.fitted = true;
    if (fitted)
        emitCurve(kind, sElm, fitted);
    return true;
}

// Pre-base double-normalised sample curve y ~ sum_j a_j r_j. The matrix of
// the normal equations depends on the references and the range alone; the
// sums run over the points in the same order as adding point by point, so
// keeping it gives the same bits.
void LcfEngine::fitLcf(const LcfSample &sample, LcfResult &out) {
    const int m = sample.count;
    const int n = m_n;
    const bool haveY = sample.dnCount >= m;
    Solver::Matrix &matrix = m_setup->lcfMatrix;
    if (!m_lcfMatrixValid) {
        for (int j = 0; j < n; ++j)
            std::fill_n(matrix[j].begin(), n, 0.0);
        for (const int i : m_inRange)
            for (int j = 0; j < n; ++j)
                for (int k = 0; k < n; ++k)
                    matrix[j][k] += m_pre[j * m + i] * m_pre[k * m + i];
        m_setup->lcfLu = matrix;
        Solver::factorise(n, m_setup->lcfLu, m_setup->lcfPerm);
        m_lcfMatrixValid = true;
    }
    const bool withBounds = constrained(LcfKind::LCF);
    const bool keepEquations = withBounds || m_options.quality;
    NormalEquations &eq = m_setup->eq;
    eq.reset(n);
    if (keepEquations)
        for (int j = 0; j < n; ++j)
            std::copy_n(matrix[j].begin(), n, eq.a[j].begin());
    // The right-hand sides sum_i r_j(E'_i) y_i, four at a time: independent
    // sums side by side, each still added in point order.
    const bool interval = m_rangeSimple && haveY && sample.dn.stride == 1;
    for (int j0 = 0; j0 < n; j0 += 4) {
        const double *r[4];
        for (int g = 0; g < 4; ++g)
            r[g] = m_pre.constData() + std::min(j0 + g, n - 1) * m;
        double b[4] = {0, 0, 0, 0};
        auto add = [&b, &r](int i, double y) {
            b[0] += r[0][i] * y;
            b[1] += r[1][i] * y;
            b[2] += r[2][i] * y;
            b[3] += r[3][i] * y;
        };
        if (interval) {
            // The range's points side by side: the same sums without the
            // index list.
            const double *y = sample.dn.p;
            for (int i = m_rangeBegin; i < m_rangeEnd; ++i)
                add(i, y[i]);
        } else {
            for (const int i : m_inRange)
                add(i, haveY ? sample.dn[i] : 0.0);
        }
        for (int g = 0; g < 4 && j0 + g < n; ++g)
            eq.b[j0 + g] = b[g];
    }
    const int points = int(m_inRange.size());
    if (keepEquations)
        keepNormalEquations(n);
    const double *x = eq.x.data();
    if (withBounds) {
        m_setup->solver.solve(n, 0, m_setup->g, m_setup->h,
                              {m_options.nonNegative, m_options.sumToOne}, m_setup->x);
        x = m_setup->x.data();
    } else {
        // The same factors and substitutions as solving the copy afresh.
        Solver::solveFactorised(n, m_setup->lcfLu, m_setup->lcfPerm, eq.b, eq.x);
    }
    const double jump = std::max(0.0, sample.dMut);
    out.fractions.resize(n);
    out.amounts.resize(n);
    for (int j = 0; j < n; ++j) {
        out.fractions[j] = x[j];
        out.amounts[j] = x[j] * jump;
    }
    buildCurve(sample, out.fractions.constData());
    if (m_options.quality)
        lcfQuality(sample, points, out);
}

bool LcfEngine::constrained(LcfKind kind) const {
    if (kind == LcfKind::MLCF)
        return m_options.nonNegative;
    return m_options.nonNegative || m_options.sumToOne;
}

void LcfEngine::keepNormalEquations(int unknowns) {
    const NormalEquations &eq = m_setup->eq;
    for (int j = 0; j < unknowns; ++j) {
        std::copy_n(eq.a[j].begin(), unknowns, m_setup->g[j].begin());
        m_setup->h[j] = eq.b[j];
    }
}

namespace {

double reducedChi2(double rss, int points, int unknowns) {
    const int nu = points - unknowns;
    return nu > 0 ? rss / nu : NaN;
}

} // namespace

// Residual of the fitted curve against the pre-base curve over the fitting
// range, and the fractions' standard errors from the covariance.
void LcfEngine::lcfQuality(const LcfSample &sample, int points, LcfResult &out) {
    const int m = sample.count;
    const int n = m_n;
    const bool haveY = sample.dnCount >= m;
    double rss = 0, sumY2 = 0;
    for (const int i : m_inRange) {
        const double y = haveY ? sample.dn[i] : 0.0;
        const double d = y - m_curveAt[i];
        rss += d * d;
        sumY2 += y * y;
    }
    const bool sum1 = m_options.sumToOne;
    out.rFactor = sumY2 > 0 ? rss / sumY2 : NaN;
    out.chi2 = reducedChi2(rss, points, n - (sum1 ? 1 : 0));
    out.sigmas.resize(n);
    const bool known = m_setup->solver.covariance(n, 0, m_setup->g, sum1, m_setup->c);
    for (int j = 0; j < n; ++j)
        out.sigmas[j] = known ? std::sqrt(out.chi2 * std::max(0.0, m_setup->c[j][j])) : NaN;
}

// Raw mu*t ~ c0 + c1 E' + sum_j c_j q_j: the c_j are the references' absolute
// edge jumps in the sample.
void LcfEngine::fitMlcf(const LcfSample &sample, LcfResult &out) {
    const int m = sample.count;
    const int n = m_n;
    const int unknowns = n + 2;
    NormalEquations &eq = m_setup->eq;
    eq.reset(unknowns);
    double f[MaxUnknowns];
    for (const int i : m_inRange) {
        f[0] = 1;
        f[1] = m_energies[i];
        for (int j = 0; j < n; ++j)
            f[2 + j] = m_post[j * m + i];
        eq.add(unknowns, f, sample.mu[i]);
    }
    const int points = int(m_inRange.size());
    const bool withBounds = constrained(LcfKind::MLCF);
    if (withBounds || m_options.quality)
        keepNormalEquations(unknowns);
    const double *x = eq.x.data();
    if (withBounds) {
        // Offset and slope free, the jumps >= 0.
        m_setup->solver.solve(unknowns, 2, m_setup->g, m_setup->h, {true, false}, m_setup->x);
        x = m_setup->x.data();
    } else {
        eq.solve(unknowns);
    }
    double sum = 0;
    for (int j = 0; j < n; ++j)
        sum += x[2 + j];
    out.fractions.resize(n);
    out.amounts.resize(n);
    for (int j = 0; j < n; ++j) {
        const double c = std::max(x[2 + j], 0.0);
        out.amounts[j] = c;
        // A non-positive sum gives no meaningful shares: every fraction 0.
        out.fractions[j] = sum > 0 ? c / sum : 0.0;
    }
    buildCurve(sample, out.fractions.constData());
    if (m_options.quality)
        mlcfQuality(sample, points, x, out);
}

// The MLCF model against mu*t; the share f_j = c_j / S (S the sum of the
// jumps) has the gradient (delta_jk - f_j) / S in the jumps c_k.
void LcfEngine::mlcfQuality(const LcfSample &sample, int points, const double *x, LcfResult &out) {
    const int m = sample.count;
    const int n = m_n;
    double rss = 0, sumY2 = 0, sum = 0;
    for (const int i : m_inRange) {
        const double e = m_energies[i];
        double fit = x[0] + x[1] * e;
        for (int j = 0; j < n; ++j)
            fit += x[2 + j] * m_post[j * m + i];
        const double y = sample.mu[i];
        rss += (y - fit) * (y - fit);
        sumY2 += y * y;
    }
    for (int j = 0; j < n; ++j)
        sum += x[2 + j];
    out.rFactor = sumY2 > 0 ? rss / sumY2 : NaN;
    out.chi2 = reducedChi2(rss, points, n + 2);
    out.sigmas.resize(n);
    const ConstrainedLsq::Matrix &c = m_setup->c;
    const bool known =
        sum > 0 && m_setup->solver.covariance(n + 2, 2, m_setup->g, false, m_setup->c);
    for (int j = 0; j < n; ++j) {
        if (!known) {
            out.sigmas[j] = NaN;
            continue;
        }
        const double fj = x[2 + j] / sum;
        double var = 0;
        for (int k = 0; k < n; ++k) {
            const double gk = ((k == j ? 1.0 : 0.0) - fj) / sum;
            for (int l = 0; l < n; ++l) {
                const double gl = ((l == j ? 1.0 : 0.0) - fj) / sum;
                var += gk * c[2 + k][2 + l] * gl;
            }
        }
        out.sigmas[j] = std::sqrt(out.chi2 * std::max(0.0, var));
    }
}

// The fitted pre-base curve sum_j c_j r_j at every sample point; its points
// (those inside the curve range) are written only when asked for, since a
// map run reads the values at the nodes alone.
// The values inside the fitting range come first (the residual and the
// quality read those alone); the others when the curve's points are asked for.
void LcfEngine::buildCurve(const LcfSample &sample, const double *c) {
    const int m = sample.count;
    m_curveAt.resize(m);
    std::copy_n(c, m_n, m_curveCoefficients.begin());
    m_curveComplete = false;
    m_curvePointsValid = false;
    if (!m_rangeSimple) {
        for (const int i : m_inRange)
            m_curveAt[i] = curveValue(i);
        return;
    }
    // The same sums as curveValue, reference by reference over the interval.
    double *v = m_curveAt.data();
    std::fill(v + m_rangeBegin, v + m_rangeEnd, 0.0);
    for (int j = 0; j < m_n; ++j) {
        const double cj = c[j];
        const double *r = m_pre.constData() + j * m;
        for (int i = m_rangeBegin; i < m_rangeEnd; ++i)
            v[i] += cj * r[i];
    }
}

double LcfEngine::curveValue(int i) const {
    const int m = m_curveAt.size();
    double v = 0;
    for (int j = 0; j < m_n; ++j)
        v += m_curveCoefficients[j] * m_pre[j * m + i];
    return v;
}

const Spectrum &LcfEngine::curvePoints() {
    if (m_curvePointsValid)
        return m_curve;
    const int m = m_curveAt.size();
    if (!m_curveComplete)
        for (int i = 0; i < m; ++i)
            m_curveAt[i] = curveValue(i);
    m_curveComplete = true;
    int inside = 0;
    for (int i = 0; i < m; ++i) {
        const double e = m_energies[i];
        if (m_v <= e && e <= m_u)
            ++inside;
    }
    QPointF *p = m_curve.pointsForWrite(inside);
    for (int i = 0, k = 0; i < m; ++i) {
        const double e = m_energies[i];
        if (m_v <= e && e <= m_u)
            p[k++] = QPointF(e, m_curveAt[i]);
    }
    m_curvePointsValid = true;
    return m_curve;
}

// Mean squared relative deviation of the fitted curve from the sample's
// pre-base curve over the inner points in the fitting range, divided by the
// number of points of the spectrum.
double LcfEngine::residualOf(const LcfSample &sample) {
    const int m = sample.dnCount;
    if (m < 3)
        return 0;
    int count = 0;
    m_terms.resize(size_t(m));
    const bool sameEnergies = sample.dnX.p == sample.x.p && sample.dnX.stride == sample.x.stride &&
                              sample.dnShift == sample.activeShift && m == sample.count;
    if (sameEnergies && m_rangeSimple && sample.dn.stride == 1)
        return residualOverInterval(sample.dn.p, m);
    if (sameEnergies) {
        // The curve's points are the sample's: the inner ones in the fitting
        // range are those of m_inRange, at the energies E'_k.
        for (const int k : m_inRange) {
            if (k == 0 || k == m - 1)
                continue;
            const double e = m_energies[k];
            const double y = sample.dn[k];
            const double c = m_v <= e && e <= m_u ? m_curveAt[k] : curvePoints().valueAt(e);
            m_terms[size_t(count++)] = residualTerm(c, y);
        }
        const double mean = count > 0 ? sumInFourLanes(m_terms.data(), count) / count : 0.0;
        return mean / sample.count;
    }
    const double offset = sample.eShiftValue;
    for (int k = 1; k <= m - 2; ++k) {
        const double e = (sample.dnX[k] - sample.dnShift) - offset;
        if (!(m_lo <= e && e <= m_hi))
            continue;
        const double y = sample.dn[k];
        // At a curve point the curve's value is the fitted sum itself.
        const bool node = k < m_energies.size() && e == m_energies[k] && m_v <= e && e <= m_u;
        const double c = node ? m_curveAt[k] : curvePoints().valueAt(e);
        m_terms[size_t(count++)] = residualTerm(c, y);
    }
    const double mean = count > 0 ? sumInFourLanes(m_terms.data(), count) / count : 0.0;
    return mean / sample.count;
}

// residualOf over the interval of the fitting range, every point a node of
// the curve: the terms side by side first, then added as everywhere else.
double LcfEngine::residualOverInterval(const double *dn, int m) {
    const int from = std::max(m_rangeBegin, 1), to = std::min(m_rangeEnd, m - 1);
    if (from >= to)
        return 0;
    m_terms.resize(size_t(m));
    residualTerms(m_curveAt.constData() + from, dn + from, m_terms.data(), to - from);
    return sumInFourLanes(m_terms.data(), to - from) / (to - from) / m;
}

void LcfEngine::emitCurve(LcfKind kind, const SuggestElm &sElm, XafsSpectrum *fitted) {
    curvePoints();
    m_curve.rebuildBounds();
    fitted->assign(m_curve,
                   kind == LcfKind::MLCF ? QStringLiteral("anal-MLCF") : QStringLiteral("anal-LCF"),
                   1, 0, sElm);
}
