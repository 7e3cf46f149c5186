#include "analysis/LcfEngine.h"

#include "app/DebugLog.h"
#include "spectrum/LinearSolver.h"

#include <algorithm>
#include <cmath>

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

} // namespace

struct LcfEngine::Setup {
    NormalEquations eq;
};

LcfEngine::LcfEngine() : m_setup(new Setup) {}

LcfEngine::~LcfEngine() = default;

void LcfEngine::setReferencesFixed(bool fixed) {
    m_referencesFixed = fixed;
    m_lookupValid = false;
}

bool LcfEngine::setUp(const XafsSpectrum &sample, const QVector<LcfReference> &refs, double sE0,
                      double eE0) {
    if (sample.isEmpty() || refs.size() < 2)
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
void LcfEngine::lookUpReferences(const XafsSpectrum &sample) {
    const int m = sample.count();
    bool same = m_referencesFixed && m_lookupValid && m_cachedN == m_n && m_energies.size() == m;
    for (int j = 0; same && j < m_n; ++j)
        same = m_cachedUsed[j] == m_used[j];
    m_energies.resize(m);
    double *e = m_energies.data();
    // The sample's energy offset: the calibration shift its bin carries (0
    // without a shift map). A calibrated bin is fitted at corrected energies.
    const double offset = sample.eShiftValue();
    for (int i = 0; i < m; ++i) {
        const double ei = sample.effectiveX(i) - offset;
        same = same && ei == e[i];
        e[i] = ei;
    }
    if (same)
        return;
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

bool LcfEngine::analyze(LcfKind kind, const XafsSpectrum &sample, const QVector<LcfReference> &refs,
                        double sE0, double eE0, const SuggestElm &sElm, XafsSpectrum *fitted,
                        LcfResult &out) {
    if (!setUp(sample, refs, sE0, eE0))
        return false;
    if (kind == LcfKind::LCF && sample.dMut() <= 0) {
        // No edge: nothing to fit. Every row, used or not, reads 0, and so
        // does the residual (never the value of an earlier spectrum).
        out.fractions.fill(0.0, refs.size());
        out.amounts.fill(0.0, refs.size());
        out.residual = 0;
        out.fitted = false;
        if (fitted)
            fitted->assign(Spectrum(), QStringLiteral("anal-LCF"), 1, 0, sElm);
        return true;
    }
    lookUpReferences(sample);
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

// Pre-base double-normalised sample curve y ~ sum_j a_j r_j.
void LcfEngine::fitLcf(const XafsSpectrum &sample, LcfResult &out) {
    const int m = sample.count();
    const int n = m_n;
    const Spectrum &dn = sample.doubleNormalizedPreBase();
    const bool haveY = dn.count() >= m;
    NormalEquations &eq = m_setup->eq;
    eq.reset(n);
    double f[MaxUnknowns];
    for (int i = 0; i < m; ++i) {
        const double e = m_energies[i];
        if (!(m_lo <= e && e <= m_hi))
            continue;
        for (int j = 0; j < n; ++j)
            f[j] = m_pre[j * m + i];
        eq.add(n, f, haveY ? dn.y(i) : 0.0);
    }
    eq.solve(n);
    const double jump = std::max(0.0, sample.dMut());
    out.fractions.resize(n);
    out.amounts.resize(n);
    for (int j = 0; j < n; ++j) {
        out.fractions[j] = eq.x[j];
        out.amounts[j] = eq.x[j] * jump;
    }
    buildCurve(sample, out.fractions.constData());
}

// Raw mu*t ~ c0 + c1 E' + sum_j c_j q_j: the c_j are the references' absolute
// edge jumps in the sample.
void LcfEngine::fitMlcf(const XafsSpectrum &sample, LcfResult &out) {
    const int m = sample.count();
    const int n = m_n;
    const int unknowns = n + 2;
    NormalEquations &eq = m_setup->eq;
    eq.reset(unknowns);
    double f[MaxUnknowns];
    for (int i = 0; i < m; ++i) {
        const double e = m_energies[i];
        if (!(m_lo <= e && e <= m_hi))
            continue;
        f[0] = 1;
        f[1] = e;
        for (int j = 0; j < n; ++j)
            f[2 + j] = m_post[j * m + i];
        eq.add(unknowns, f, sample.y(i));
    }
    eq.solve(unknowns);
    double sum = 0;
    for (int j = 0; j < n; ++j)
        sum += eq.x[2 + j];
    out.fractions.resize(n);
    out.amounts.resize(n);
    for (int j = 0; j < n; ++j) {
        const double c = std::max(eq.x[2 + j], 0.0);
        out.amounts[j] = c;
        // A non-positive sum gives no meaningful shares: every fraction 0.
        out.fractions[j] = sum > 0 ? c / sum : 0.0;
    }
    buildCurve(sample, out.fractions.constData());
}

// The fitted pre-base curve sum_j c_j r_j at every sample point; its points
// (those inside the curve range) are written only when asked for, since a
// map run reads the values at the nodes alone.
void LcfEngine::buildCurve(const XafsSpectrum &sample, const double *c) {
    const int m = sample.count();
    m_curveAt.resize(m);
    for (int i = 0; i < m; ++i) {
        double v = 0;
        for (int j = 0; j < m_n; ++j)
            v += c[j] * m_pre[j * m + i];
        m_curveAt[i] = v;
    }
    m_curvePointsValid = false;
}

const Spectrum &LcfEngine::curvePoints() {
    if (m_curvePointsValid)
        return m_curve;
    const int m = m_curveAt.size();
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
double LcfEngine::residualOf(const XafsSpectrum &sample) {
    const Spectrum &dn = sample.doubleNormalizedPreBase();
    const int m = dn.count();
    if (m < 3)
        return 0;
    double sum = 0;
    int count = 0;
    const double offset = sample.eShiftValue();
    for (int k = 1; k <= m - 2; ++k) {
        const double e = dn.effectiveX(k) - offset;
        if (!(m_lo <= e && e <= m_hi))
            continue;
        const double y = dn.y(k);
        // At a curve point the curve's value is the fitted sum itself.
        const bool node = k < m_energies.size() && e == m_energies[k] && m_v <= e && e <= m_u;
        const double c = node ? m_curveAt[k] : curvePoints().valueAt(e);
        sum += y != 0 ? ((c - y) / y) * ((c - y) / y) : 1.0;
        ++count;
    }
    const double mean = count > 0 ? sum / count : 0.0;
    return mean / sample.count();
}

void LcfEngine::emitCurve(LcfKind kind, const SuggestElm &sElm, XafsSpectrum *fitted) {
    curvePoints();
    m_curve.rebuildBounds();
    fitted->assign(m_curve,
                   kind == LcfKind::MLCF ? QStringLiteral("anal-MLCF") : QStringLiteral("anal-LCF"),
                   1, 0, sElm);
}

bool loadLcfReference(const QString &fileName, double dE, bool victoreen, XafsSpectrum &out) {
    XafsSpectrum ref;
    if (!ref.readFile(fileName) || ref.isEmpty())
        return false;
    ref.setShifted(true);
    ref.setShift(dE);
    ref.normalize(victoreen ? 0 : 1);
    ref.setEShiftValue(dE);
    out = ref;
    return true;
}
