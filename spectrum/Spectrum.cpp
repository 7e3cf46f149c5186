#include "spectrum/Spectrum.h"

#include "spectrum/PointArrays.h"
#include "spectrum/SpectrumFile.h"

namespace {

// The straight line through (x1, y1) and (x2, y2) at x; the mean of the two
// values when the abscissae coincide.
inline double lineThrough(double x1, double y1, double x2, double y2, double x) {
    if (x1 == x2)
        return (y1 + y2) / 2;
    return y1 + (y2 - y1) / (x2 - x1) * (x - x1);
}

// Interpolation at effective abscissa x over n points; xs(i) gives the
// effective abscissa, ys(i) the value.
template <typename XS, typename YS> double interpolate(int n, XS xs, YS ys, double x) {
    if (n == 0)
        return 0.0;
    if (n == 1)
        return ys(0);
    if (x <= xs(0))
        return lineThrough(xs(0), ys(0), xs(1), ys(1), x);
    if (x >= xs(n - 1))
        return lineThrough(xs(n - 2), ys(n - 2), xs(n - 1), ys(n - 1), x);
    int lo = 0;
    int hi = n - 1;
    while (lo < hi - 1) {
        const int mid = (lo + hi) / 2;
        if (x < xs(mid))
            hi = mid;
        else
            lo = mid;
    }
    return lineThrough(xs(lo), ys(lo), xs(hi), ys(hi), x);
}

} // namespace

void Spectrum::addPoint(double x, double y) {
    m_points.append(QPointF(x, y));
    updateBounds(m_points.size() - 1, x, y);
}

QPointF *Spectrum::pointsForWrite(int n) {
    m_points.resize(qMax(n, 0));
    return m_points.data();
}

void Spectrum::rebuildBounds() {
    // The same comparisons as updateBounds, on locals the compiler can keep in
    // registers.
    double xMin = 1e300, yMin = 1e300, xMax = -1e300, yMax = -1e300;
    int iYMin = m_iYMin, iYMax = m_iYMax;
    const QPointF *p = m_points.constData();
    const int n = m_points.size();
    for (int i = 0; i < n; ++i) {
        const double x = p[i].x(), y = p[i].y();
        if (x < xMin)
            xMin = x;
        if (y < yMin) {
            yMin = y;
            iYMin = i;
        }
        if (x > xMax)
            xMax = x;
        if (y > yMax) {
            yMax = y;
            iYMax = i;
        }
    }
    m_xMin = xMin;
    m_yMin = yMin;
    m_xMax = xMax;
    m_yMax = yMax;
    m_iYMin = iYMin;
    m_iYMax = iYMax;
}

void Spectrum::clearBounds() {
    m_xMin = m_yMin = 1e300;
    m_xMax = m_yMax = -1e300;
}

void Spectrum::clear() {
    m_points.resize(0);
    m_smoothed.resize(0);
    clearBounds();
}

void Spectrum::reserve(int n) {
    m_points.reserve(n);
}

double Spectrum::valueAt(double x) const {
    const QPointF *p = m_points.constData();
    const double s = activeShift();
    return interpolate(
        m_points.size(), [p, s](int i) { return p[i].x() - s; }, [p](int i) { return p[i].y(); },
        x);
}

double Spectrum::smoothedAt(double x) const {
    const QPointF *p = m_points.constData();
    const double *sm = m_smoothed.constData();
    const double s = activeShift();
    // The smoothed list may be shorter than the points (never smoothed): only
    // the common part takes part.
    const int n = qMin(m_points.size(), m_smoothed.size());
    return interpolate(
        n, [p, s](int i) { return p[i].x() - s; }, [sm](int i) { return sm[i]; }, x);
}

void Spectrum::smooth(int k) {
    const int n = m_points.size();
    m_smoothed.resize(n);
    if (n > 0)
        movingAverage(*this, k, m_smoothed.data());
}

bool Spectrum::readTwoColumns(const QString &fileName) {
    return SpectrumFile::readTwoColumns(fileName, *this);
}
