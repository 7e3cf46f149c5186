#pragma once
// Linear-combination fitting of one XAFS spectrum by reference spectra:
//
//  - LCF: the sample's pre-base double-normalised curve y ~ sum_j a_j r_j,
//    r_j the references' pre-base double-normalised curves, unconstrained
//    linear least squares over the fitting range; amounts a_j * dMut.
//  - old LCF: the same fit made whatever the sample's edge jump.
//  - MLCF: the raw mu*t ~ c0 + c1 E + sum_j c_j q_j, q_j the references'
//    post-base double-normalised curves: the c_j are absolute edge jumps.
//
// One engine per thread: every buffer is kept between calls, so analysing a
// spectrum of the same length as the previous one allocates nothing. The
// normal equations live in a fixed array.
#include "analysis/LcfReferenceFile.h" // loadLcfReference(): how rows are built
#include "spectrum/XafsSpectrum.h"

#include <QMetaType>
#include <QVector>
#include <array>
#include <memory>
#include <vector>

// One reference row as the engine sees it. The spectrum carries the row's dE
// as its energy offset (setShifted(true), setShift(dE)) and as eShiftValue;
// loadLcfReference() builds it that way. A row counts when it is in use and
// its spectrum holds points.
struct LcfReference {
    const XafsSpectrum *spectrum = nullptr;
    bool inUse = false;
    bool isUsed() const { return inUse && spectrum && !spectrum->isEmpty(); }
};

enum class LcfKind { LCF, OldLCF, MLCF };

// Values at the points i of a sample, read with a stride: the x or y of
// QPointF points (stride 2), or a plain array (stride 1).
struct StridedValues {
    const double *p = nullptr;
    int stride = 1;
    double operator[](int i) const { return p[qsizetype(i) * stride]; }
};

// A sample as the fit reads it: an XafsSpectrum (of()), or the arrays of a map
// run's bin normalised by RunNormalization. The effective energy of point i is
// x[i] - activeShift; the pre-base double-normalised curve has dnCount points
// at energies dnX[k] - dnShift.
struct LcfSample {
    int count = 0;
    StridedValues x;
    double activeShift = 0;
    StridedValues mu;
    int dnCount = 0;
    StridedValues dnX;
    double dnShift = 0;
    StridedValues dn;
    double dMut = 0;
    double eShiftValue = 0; // the bin's calibration shift
    // The caller vouches that the effective energies (x, activeShift and
    // eShiftValue) are those of the previous call: the engine then keeps its
    // lookups without comparing them point by point.
    bool energiesAsBefore = false;
    static LcfSample of(const XafsSpectrum &s);
};

// Options of a fit; all off gives the plain least-squares fit.
//  - nonNegative: no coefficient below 0 (LCF fractions; MLCF edge jumps,
//    whose offset and slope stay free).
//  - sumToOne: the LCF fractions add up to 1. MLCF fractions are the jumps'
//    shares and add up to 1 by construction: there the option changes nothing.
//  - quality: also the standard errors of the fractions, the R-factor and the
//    reduced chi^2 (LcfResult).
struct LcfOptions {
    bool nonNegative = false;
    bool sumToOne = false;
    bool quality = false;
};

struct LcfResult {
    QVector<double> fractions; // one per used reference (all rows when dMut <= 0)
    QVector<double> amounts;
    double residual = 0;
    // False when the fit was skipped because the sample shows no edge
    // (LCF with dMut <= 0): fractions and amounts are then all 0.
    bool fitted = false;
    // With LcfOptions::quality, over the points of the fitting range (y the
    // fitted data: the pre-base double-normalised curve for LCF, mu*t for
    // MLCF; nu = points - unknowns, + 1 with sum to one):
    //  - sigmas: per used reference, the standard error of its fraction,
    //    sqrt(chi2 * C_jj), C = (A^T A)^-1 (projected onto the sum-to-one
    //    plane when that option is on). MLCF fractions c_j / sum c carry the
    //    error of the jumps c_j propagated to the share.
    //  - rFactor = sum (y - fit)^2 / sum y^2;
    //  - chi2 = sum (y - fit)^2 / nu, the reduced chi^2 with unit weights
    //    (the residual variance).
    // NaN means undetermined: no fit made, nu <= 0 (no more points than
    // unknowns), or a singular A^T A (references that cannot be told apart;
    // then every sigma of the fit is NaN).
    QVector<double> sigmas;
    double rFactor = 0;
    double chi2 = 0;
};

// The sum of t[0..n) in four running sums, term k in sum k mod 4, joined as
// (s0 + s1) + (s2 + s3): four chains of additions instead of one. For
// non-negative terms (the residual's) any order of summation lies within
// (n - 1) units in the last place, relative, of the exact sum.
inline double sumInFourLanes(const double *t, int n) {
    double s[4] = {0, 0, 0, 0};
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        s[0] += t[k];
        s[1] += t[k + 1];
        s[2] += t[k + 2];
        s[3] += t[k + 3];
    }
    for (int l = 0; k < n; ++k, ++l)
        s[l] += t[k];
    return (s[0] + s[1]) + (s[2] + s[3]);
}

class LcfEngine {
public:
    // Most references in use at once; MLCF solves for two more unknowns.
    static constexpr int MaxReferences = 16;
    static constexpr int MaxUnknowns = MaxReferences + 2;

    LcfEngine();
    ~LcfEngine();
    LcfEngine(const LcfEngine &) = delete;
    LcfEngine &operator=(const LcfEngine &) = delete;

    // While set, the engine may keep the reference values looked up at the
    // sample energies between calls: the caller promises that the reference
    // spectra do not change (a map run). Results are the same either way.
    void setReferencesFixed(bool fixed);
    void setOptions(const LcfOptions &options) { m_options = options; }
    const LcfOptions &options() const { return m_options; }

    // Analyses sample against the rows refs over the fitting range [sE0, eE0]
    // (eV). fitted, when given, receives the fitted curve ("anal-LCF" or
    // "anal-MLCF"). False, with out untouched, when there is nothing to
    // analyse: an empty sample, fewer than two rows, or more used rows than
    // MaxReferences.
    bool analyze(LcfKind kind, const XafsSpectrum &sample, const QVector<LcfReference> &refs,
                 double sE0, double eE0, const SuggestElm &sElm, XafsSpectrum *fitted,
                 LcfResult &out);
    // The same analysis of a sample given as arrays; the same bits.
    bool analyze(LcfKind kind, const LcfSample &sample, const QVector<LcfReference> &refs,
                 double sE0, double eE0, const SuggestElm &sElm, XafsSpectrum *fitted,
                 LcfResult &out);

private:
    struct Setup;
    bool setUp(const LcfSample &sample, const QVector<LcfReference> &refs, double sE0, double eE0);
    void lookUpReferences(const LcfSample &sample);
    void updateFitRange();
    void fitLcf(const LcfSample &sample, LcfResult &out);
    void fitMlcf(const LcfSample &sample, LcfResult &out);
    bool constrained(LcfKind kind) const;
    void keepNormalEquations(int unknowns);
    void lcfQuality(const LcfSample &sample, int points, LcfResult &out);
    void mlcfQuality(const LcfSample &sample, int points, const double *x, LcfResult &out);
    void buildCurve(const LcfSample &sample, const double *coefficients);
    double curveValue(int i) const;
    const Spectrum &curvePoints();
    double residualOf(const LcfSample &sample);
    double residualOverInterval(const double *dn, int m);
    void emitCurve(LcfKind kind, const SuggestElm &sElm, XafsSpectrum *fitted);

    std::unique_ptr<Setup> m_setup;
    bool m_referencesFixed = false;
    LcfOptions m_options;
    // The used references of the current call, in row order.
    std::array<const XafsSpectrum *, MaxReferences> m_used{};
    int m_n = 0;
    double m_lo = 0, m_hi = 0; // fitting range
    double m_v = 0, m_u = 0;   // curve range
    // Sample energies E'_i and, per used reference j, r_j(E'_i) and q_j(E'_i)
    // at index j * count + i.
    QVector<double> m_energies;
    QVector<double> m_pre;
    QVector<double> m_post;
    bool m_lookupValid = false;
    // Incremented whenever the lookups are redone: the fit range and the
    // references' normal equations below belong to one generation.
    quint64 m_lookupGeneration = 0;
    // The indices i with E'_i in the fitting range, in order, and the LCF
    // normal matrix sum_i r_j r_k over them: neither depends on the sample's
    // values, so a map run computes them once while energies and range stay.
    std::vector<int> m_inRange;
    quint64 m_rangeGeneration = ~quint64(0);
    double m_rangeLo = 0, m_rangeHi = 0, m_rangeV = 0, m_rangeU = 0;
    // The range's points are [m_rangeBegin, m_rangeEnd), all inside the
    // curve range.
    bool m_rangeSimple = false;
    int m_rangeBegin = 0, m_rangeEnd = 0;
    std::vector<double> m_terms; // scratch of the residual
    bool m_lcfMatrixValid = false;
    // Key of the cached lookups (references fixed only).
    std::array<const XafsSpectrum *, MaxReferences> m_cachedUsed{};
    int m_cachedN = -1;
    // Fitted value at each sample point inside the curve range, and the curve.
    QVector<double> m_curveAt;
    std::array<double, MaxUnknowns> m_curveCoefficients{};
    bool m_curveComplete = false; // every point of m_curveAt, not only the range's
    Spectrum m_curve;
    bool m_curvePointsValid = false;
};

Q_DECLARE_METATYPE(LcfReference)
Q_DECLARE_METATYPE(QVector<LcfReference>)
