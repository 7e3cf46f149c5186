#include "spectrum/VictLine.h"

#include "spectrum/LinearSolver.h"
#include "spectrum/PhysicalConstants.h"

#include <algorithm>
#include <cmath>

using PhysicalConstants::wavelength;

namespace {

// Where a pass over the points for energies in [a, ...) may start: at 0 in
// general; with rising energies at the first point >= a, since the ones
// before would all be skipped.
int firstIndexFrom(const Spectrum &, double) {
    return 0;
}
int firstIndexFrom(const PointArrays &p, double a) {
    return p.ascending ? int(std::lower_bound(p.xs, p.xs + p.n, a) - p.xs) : 0;
}
// With rising energies a pass may stop at the first point beyond its window.
bool beyondWindow(const Spectrum &, double, double, bool) {
    return false;
}
bool beyondWindow(const PointArrays &p, double e, double b, bool includeEnd) {
    return p.ascending && (includeEnd ? e > b : e >= b);
}

} // namespace

bool VictLine::fit(const Spectrum &spectrum, double a, double b, int simple) {
    m_deferSigma = false;
    return fitPoints(spectrum, a, b, simple);
}

bool VictLine::fit(const PointArrays &points, double a, double b, int simple, bool deferSigma) {
    m_deferSigma = deferSigma;
    return fitPoints(points, a, b, simple);
}

double VictLine::sigmaOf(const PointArrays &points) {
    if (m_sigmaPending) {
        m_sigmaPending = false;
        residualPass(points, m_start, m_end, !m_simple);
    }
    return m_sigma;
}

template <typename Points>
bool VictLine::fitPoints(const Points &spectrum, double a, double b, int simple) {
    m_simple = simple;
    m_start = a;
    m_end = b;
    // The bridge belongs to the coefficients of the previous fit; keeping it
    // would let a renormalisation (or a switch to the Victoreen form) read a
    // stale curve.
    m_bridged = false;
    m_sigmaPending = false;
    m_ok = simple ? fitStraight(spectrum, a, b) : fitVictoreen(spectrum, a, b);
    return m_ok;
}

template <typename Points> bool VictLine::fitStraight(const Points &spectrum, double a, double b) {
    const int count = spectrum.count();
    if (count <= 2)
        return false;
    StraightSums sums;
    for (int i = firstIndexFrom(spectrum, a); i < count; ++i) {
        const double e = spectrum.effectiveX(i);
        if (e >= b)
            break;
        if (!(e >= a)) // also skips NaN energies
            continue;
        sums.add(e, spectrum.y(i));
    }
    const bool ok = solveStraight(sums);
    finishSigma(spectrum, a, b, false);
    return ok;
}

bool VictLine::solveStraight(const StraightSums &s) {
    bool ok = false;
    if (s.n < 2) {
        m_slope = 0.0;
        m_c0 = (s.n == 1) ? s.sy : 0.0;
    } else {
        LinearSolver::Matrix m{};
        m[0] = {s.see, s.se, 0, 0};
        m[1] = {s.se, double(s.n), 0, 0};
        const LinearSolver::Vector rhs{s.sey, s.sy, 0, 0};
        LinearSolver::Vector x{};
        ok = LinearSolver::solve(2, m, rhs, x);
        m_slope = x[0];
        m_c0 = x[1];
    }
    return ok;
}

namespace {

// Points [from, to) added to the sums in point order, in registers.
void addStraightSums(const PointArrays &p, int from, int to, VictLine::StraightSums &sums) {
    double sy = sums.sy, se = sums.se, sey = sums.sey, see = sums.see;
    for (int i = from; i < to; ++i) {
        const double e = p.xs[i], y = p.ys[i];
        sy += y;
        se += e;
        sey += e * y;
        see += e * e;
    }
    sums = {sums.n + std::max(0, to - from), sy, se, sey, see};
}

} // namespace

void VictLine::fitStraightPair(VictLine &first, double a, double b, VictLine &second, double c,
                               double d, const PointArrays &p) {
    // A NaN bound leaves windows that a search by bisection cannot find.
    const bool bounded = !std::isnan(a) && !std::isnan(b) && !std::isnan(c) && !std::isnan(d);
    if (!p.ascending || p.count() <= 2 || !bounded) {
        first.fit(p, a, b, 1, true);
        second.fit(p, c, d, 1, true);
        return;
    }
    // Rising energies: each window is the run of points from the first at or
    // above its start to the first at or above its end.
    auto window = [&p](double from, double to) {
        const int begin = firstIndexFrom(p, from);
        return std::make_pair(begin, std::max(begin, firstIndexFrom(p, to)));
    };
    const auto [i0, i1] = window(a, b);
    const auto [j0, j1] = window(c, d);
    // Eight chains of additions, each in point order, held in registers (the
    // sums of a struct whose address is taken went through memory on every
    // point).
    const int common = std::min(i1 - i0, j1 - j0);
    double sy = 0, se = 0, sey = 0, see = 0, ty = 0, te = 0, tey = 0, tee = 0;
    for (int k = 0; k < common; ++k) {
        const double e = p.xs[i0 + k], y = p.ys[i0 + k];
        const double f = p.xs[j0 + k], z = p.ys[j0 + k];
        sy += y;
        se += e;
        sey += e * y;
        see += e * e;
        ty += z;
        te += f;
        tey += f * z;
        tee += f * f;
    }
    StraightSums s{common, sy, se, sey, see}, t{common, ty, te, tey, tee};
    addStraightSums(p, i0 + common, i1, s);
    addStraightSums(p, j0 + common, j1, t);
    first.takeStraightFit(s, a, b);
    second.takeStraightFit(t, c, d);
}

// What fit(points, a, b, 1, true) leaves, from sums already made.
void VictLine::takeStraightFit(const StraightSums &sums, double a, double b) {
    m_deferSigma = true;
    m_simple = 1;
    m_start = a;
    m_end = b;
    m_bridged = false;
    m_sigmaPending = false;
    m_ok = solveStraight(sums);
    m_fitC0 = m_c0;
    m_sigmaPending = true;
}

template <typename Points> bool VictLine::fitVictoreen(const Points &spectrum, double a, double b) {
    const int count = spectrum.count();
    if (count <= 3)
        return false;
    double n = 0, su = 0, st = 0, suu = 0, sut = 0, stt = 0, sy = 0, suy = 0, sty = 0;
    for (int i = firstIndexFrom(spectrum, a); i < count; ++i) {
        const double e = spectrum.effectiveX(i);
        if (e >= b)
            break;
        if (!(e >= a)) // also skips NaN energies
            continue;
        const double y = spectrum.y(i);
        const double l = wavelength(e);
        const double u = l * l * l;
        const double t = u * l;
        n += 1;
        su += u;
        st += t;
        suu += u * u;
        sut += u * t;
        stt += t * t;
        sy += y;
        suy += u * y;
        sty += t * y;
    }
    LinearSolver::Matrix m{};
    m[0] = {n, su, st, 0};
    m[1] = {su, suu, sut, 0};
    m[2] = {st, sut, stt, 0};
    const LinearSolver::Vector rhs{sy, suy, sty, 0};
    LinearSolver::Vector x{};
    const bool ok = LinearSolver::solve(3, m, rhs, x);
    m_c0 = x[0];
    m_vicC = x[1];
    m_vicD = x[2];
    finishSigma(spectrum, a, b, true);
    return ok;
}

template <typename Points>
void VictLine::finishSigma(const Points &spectrum, double a, double b, bool includeEnd) {
    m_fitC0 = m_c0;
    if (m_deferSigma)
        m_sigmaPending = true;
    else
        residualPass(spectrum, a, b, includeEnd);
}

template <typename Points>
void VictLine::residualPass(const Points &spectrum, double a, double b, bool includeEnd) {
    const int count = spectrum.count();
    double sum = 0.0;
    int used = 0;
    for (int i = firstIndexFrom(spectrum, a); i < count; ++i) {
        const double e = spectrum.effectiveX(i);
        if (beyondWindow(spectrum, e, b, includeEnd))
            break;
        const bool inRange = e >= a && (includeEnd ? e <= b : e < b);
        if (!inRange)
            continue;
        const double d = spectrum.y(i) - formValueWith(e, m_fitC0);
        sum += d * d;
        ++used;
    }
    m_nUsed = used;
    m_sigma = used == 0 ? 1.0 : std::sqrt(sum / used);
}

void VictLine::reset() {
    QVector<QPointF> storage;
    storage.swap(m_points);
    *this = VictLine();
    m_points.swap(storage);
    clear();
}

QVector<QPointF> VictLine::controlPoints() const {
    QVector<QPointF> out;
    if (m_hasControlPoints)
        for (const QPointF &p : m_controlPoints)
            out.append(p);
    return out;
}

void VictLine::sampleBezier(const std::array<QPointF, 4> &cp) {
    m_controlPoints = cp;
    m_hasControlPoints = true;
    // A renormalisation samples again: start from an empty list so that the
    // curve is never doubled (the storage is kept).
    clear();
    reserve(bridgeSamples);
    double u = 0.0;
    for (int i = 0; i < bridgeSamples; ++i, u += 0.01) {
        const double v = 1.0 - u;
        const double b0 = v * v * v;
        const double b1 = 3 * v * v * u;
        const double b2 = 3 * v * u * u;
        const double b3 = u * u * u;
        addPoint(b0 * cp[0].x() + b1 * cp[1].x() + b2 * cp[2].x() + b3 * cp[3].x(),
                 b0 * cp[0].y() + b1 * cp[1].y() + b2 * cp[2].y() + b3 * cp[3].y());
    }
}

void VictLine::bridgeAbove(const VictLine &other) {
    if (!m_simple)
        return;
    m_bridged = false;
    const double d = m_slope;
    const double c = other.m_slope;
    if (!(c < d))
        return;
    const double f = m_end;
    const double h = other.m_end;
    const double e = d * f + m_c0;
    const double m = other.formValue(f);
    const double l = other.formValue(h);
    const double xc = f - (m - e) / (c - d);
    const double o = 0.5 * (xc - f) / (h - f);
    if (o > 1)
        return;
    const double t = 0.1 * o * (h - f);
    const double lp = l - o * (m - e) / 2;
    sampleBezier(
        {QPointF(f, e), QPointF(f + t, e + d * t), QPointF(h - t, lp - c * t), QPointF(h, lp)});
    m_bridged = true;
    m_bridgeAbove = true;
}

void VictLine::bridgeBelow(const VictLine &other) {
    if (!m_simple)
        return;
    m_bridged = false;
    const double c = m_slope;
    const double d = other.m_slope;
    if (!(c > d))
        return;
    const double f = other.m_start;
    const double h = m_start;
    const double l = other.formValue(f);
    const double g = other.formValue(h);
    const double e = c * h + m_c0;
    const double qf = c * f + m_c0;
    const double xc = f - (qf - l) / (c - d);
    const double m = 0.5 * (xc - h) / (f - h);
    if (m > 1)
        return;
    const double o = l + m * (e - g) / 2;
    const double s = 0.1 * m * (f - h);
    sampleBezier(
        {QPointF(f, o), QPointF(f - s, o - d * s), QPointF(h + s, e + c * s), QPointF(h, e)});
    m_bridged = true;
    m_bridgeAbove = false;
}
