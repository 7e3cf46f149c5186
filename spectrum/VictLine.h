#pragma once
// A background line of an XAFS spectrum: a straight line or the Victoreen form
// c0 + C·λ³ + D·λ⁴, fitted by linear least squares over an energy range, with
// an optional Bézier bridge that bends it away from the other line. The inherited
// point list holds the sampled bridge curve.
#include "spectrum/PhysicalConstants.h"
#include "spectrum/PointArrays.h"
#include "spectrum/Spectrum.h"

#include <QVector>
#include <array>

class VictLine : public Spectrum {
public:
    // The sums of a straight fit, added point by point.
    struct StraightSums {
        int n = 0;
        double sy = 0, se = 0, sey = 0, see = 0;
        void add(double e, double y) {
            ++n;
            sy += y;
            se += e;
            sey += e * y;
            see += e * e;
        }
    };
    static constexpr int bridgeSamples = 100;

    // Stores simple, start = a, end = b and fits over the spectrum's effective
    // energies in [a, b). Returns (and stores as ok) whether the fit succeeded.
    // A new fit drops the bridge of the previous one.
    bool fit(const Spectrum &spectrum, double a, double b, int simple);
    // The same fit over points held as arrays (a map run's bins). With
    // deferSigma the residual pass waits until sigmaOf asks for it: a map run
    // reads sigma only in the jump test, and mostly one line's alone.
    bool fit(const PointArrays &points, double a, double b, int simple, bool deferSigma = false);
    // Straight fits of first over [a, b) and second over [c, d) of the same
    // points at once, as fit(points, ..., 1, true) on each would make them: with
    // rising energies the two windows' sums are added side by side, each in its
    // own point order (two chains of additions at a time instead of one).
    static void fitStraightPair(VictLine &first, double a, double b, VictLine &second, double c,
                                double d, const PointArrays &points);
    // sigma of the last fit over the same points, passed over now if deferred.
    // It belongs to the fitted line, before any addToC0.
    double sigmaOf(const PointArrays &points);

    // On the pre-edge line with the post-edge line as other: bends the region
    // above end towards the post-edge line when the lines would cross.
    void bridgeAbove(const VictLine &other);
    // On the post-edge line with the pre-edge line as other: the region below
    // start.
    void bridgeBelow(const VictLine &other);

    // The line at energy E, the bridge included.
    double lineValue(double E) const {
        if (m_bridged && (m_bridgeAbove ? E > m_end : E < m_start))
            return valueAt(E);
        return formValue(E);
    }
    // The line's own form at E, without the bridge.
    double formValue(double E) const { return formValueWith(E, m_c0); }

    int ok() const { return m_ok; }
    int simple() const { return m_simple; }
    double c0() const { return m_c0; }
    double vicC() const { return m_vicC; }
    double vicD() const { return m_vicD; }
    double slope() const { return m_slope; }
    double sigma() const { return m_sigma; }
    int nUsed() const { return m_nUsed; }
    double start() const { return m_start; }
    double end() const { return m_end; }
    bool bridged() const { return m_bridged; }
    // True: the bridge applies for E > end; false: for E < start.
    bool bridgeIsAbove() const { return m_bridgeAbove; }
    // The four Bézier control points of the last bridge (empty before one).
    QVector<QPointF> controlPoints() const;

    // Back to the state of a fresh line, keeping the storage of the point list.
    void reset();

    // Moves the constant term (separation of lines that cross at the edge).
    void addToC0(double delta) { m_c0 += delta; }

private:
    // Points: Spectrum or PointArrays (count, effectiveX, y).
    template <typename Points> bool fitPoints(const Points &points, double a, double b, int simple);
    template <typename Points> bool fitStraight(const Points &points, double a, double b);
    template <typename Points> bool fitVictoreen(const Points &points, double a, double b);
    // RMS residual over a <= E < b, or a <= E <= b when includeEnd.
    template <typename Points>
    void residualPass(const Points &points, double a, double b, bool includeEnd);
    bool solveStraight(const StraightSums &sums);
    void takeStraightFit(const StraightSums &sums, double a, double b);
    // After a fit: the residual pass now, or when sigmaOf asks.
    template <typename Points>
    void finishSigma(const Points &points, double a, double b, bool includeEnd);
    // The form at E with the constant term c0.
    double formValueWith(double E, double c0) const {
        if (m_simple)
            return m_slope * E + c0;
        const double l = PhysicalConstants::wavelength(E);
        return c0 + (m_vicC + m_vicD * l) * l * l * l;
    }
    void sampleBezier(const std::array<QPointF, 4> &cp);

    int m_ok = 0;
    int m_simple = 1;
    double m_c0 = 0.0;
    double m_vicC = 0.0;
    double m_vicD = 0.0;
    double m_slope = 0.0;
    double m_sigma = 0.0;
    double m_fitC0 = 0.0; // c0 as fitted, which the residual pass reads
    bool m_deferSigma = false;
    bool m_sigmaPending = false; // a deferred residual pass not yet made
    int m_nUsed = 0;
    double m_start = 0.0;
    double m_end = 0.0;
    bool m_bridged = false;
    bool m_bridgeAbove = true;
    bool m_hasControlPoints = false;
    std::array<QPointF, 4> m_controlPoints{};
};
