#include "display/ChCoord.h"

#include <algorithm>
#include <cmath>

ChCoord::ChCoord(QObject *parent) : QObject(parent) {}

void ChCoord::setScreen(int x0, int y0, int x1, int y1) {
    m_x0 = m_sx0 = x0;
    m_y0 = m_sy0 = y0;
    m_x1 = m_sx1 = x1;
    m_y1 = m_sy1 = y1;
}

void ChCoord::setReal(double rx0, double ry0, double rx1, double ry1) {
    setRealX(rx0, rx1);
    setRealY(ry0, ry1);
}

void ChCoord::setRealX(double rx0, double rx1) {
    m_rx0 = rx0;
    m_rx1 = rx1;
}

void ChCoord::setRealY(double ry0, double ry1) {
    m_ry0 = ry0;
    m_ry1 = ry1;
}

void ChCoord::applyMargins() {
    const int w = m_x1 - m_x0;
    const int h = m_y1 - m_y0;
    m_sx0 = m_x0 + int(m_mLeft * w);
    m_sx1 = m_x1 - int(m_mRight * w);
    m_sy0 = m_y0 + int(m_mTop * h);
    m_sy1 = m_y1 - int(m_mBottom * h);
}

void ChCoord::setPlotArea(int sx0, int sy0, int sx1, int sy1) {
    m_sx0 = sx0;
    m_sy0 = sy0;
    m_sx1 = sx1;
    m_sy1 = sy1;
}

void ChCoord::setMargins(double left, double right, double bottom, double top) {
    m_mLeft = left;
    m_mRight = right;
    m_mBottom = bottom;
    m_mTop = top;
}

void ChCoord::setEdgeBands(double bx, double by) {
    m_bandX = bx;
    m_bandY = by;
}

// A window of zero width maps everything onto its first end instead of
// producing infinities that would end up as painter coordinates.
double ChCoord::mapLinear(double v, double from0, double from1, double to0, double to1) {
    if (from1 == from0)
        return to0;
    return (to1 - to0) / (from1 - from0) * (v - from0) + to0;
}

double ChCoord::scaleOnly(double d, double from0, double from1, double to0, double to1) {
    if (from1 == from0)
        return 0;
    return (to1 - to0) / (from1 - from0) * d;
}

double ChCoord::clampBetween(double v, double e0, double e1) {
    return std::clamp(v, std::min(e0, e1), std::max(e0, e1));
}

double ChCoord::realToScreenX(double x) const {
    return mapLinear(x, m_rx0, m_rx1, m_sx0, m_sx1);
}
double ChCoord::realToScreenY(double y) const {
    return mapLinear(y, m_ry0, m_ry1, m_sy0, m_sy1);
}
double ChCoord::screenToRealX(double x) const {
    return mapLinear(x, m_sx0, m_sx1, m_rx0, m_rx1);
}
double ChCoord::screenToRealY(double y) const {
    return mapLinear(y, m_sy0, m_sy1, m_ry0, m_ry1);
}

double ChCoord::realToScreenDX(double dx) const {
    return scaleOnly(dx, m_rx0, m_rx1, m_sx0, m_sx1);
}
double ChCoord::realToScreenDY(double dy) const {
    return scaleOnly(dy, m_ry0, m_ry1, m_sy0, m_sy1);
}
double ChCoord::screenToRealDX(double dx) const {
    return scaleOnly(dx, m_sx0, m_sx1, m_rx0, m_rx1);
}
double ChCoord::screenToRealDY(double dy) const {
    return scaleOnly(dy, m_sy0, m_sy1, m_ry0, m_ry1);
}

double ChCoord::screenToRealXClamped(double x) const {
    return clampBetween(screenToRealX(x), m_rx0, m_rx1);
}

double ChCoord::screenToRealYClamped(double y) const {
    return clampBetween(screenToRealY(y), m_ry0, m_ry1);
}

bool ChCoord::inBand(double v, int e0, int e1, double fraction) {
    const double lo = std::min(e0, e1);
    const double hi = std::max(e0, e1);
    const double band = fraction * (hi - lo);
    return v < lo + band || v > hi - band;
}

bool ChCoord::inEdgeBandX(double x) const {
    return inBand(x, m_sx0, m_sx1, m_bandX);
}
bool ChCoord::inEdgeBandY(double y) const {
    return inBand(y, m_sy0, m_sy1, m_bandY);
}

ChCoord::Ticks ChCoord::ticks(double a, double b) {
    Ticks t;
    const double range = b - a;
    if (!std::isfinite(a) || !std::isfinite(b) || !(range > 0))
        return t;
    // The bounds of a plot with nothing in it are the +-1e300 of an empty
    // spectrum: no numbers belong on such an axis.
    if (std::fabs(a) >= EmptyBound || std::fabs(b) >= EmptyBound)
        return t;
    const double e = std::pow(10.0, std::floor(std::log10(range)));
    // A span beyond the doubles (ends near +-1e308) or one so small that its
    // power of ten underflows has no leading digit to choose a step by.
    if (!std::isfinite(range / e) || !(e > 0))
        return t;
    // The small allowance keeps ranges such as 0.3 (stored as 0.2999...) on
    // their intended leading digit.
    const int m = int(range / e + 1e-9);
    double factor = 1;
    if (m == 1 || m == 2)
        factor = 0.2;
    else if (m == 3 || m == 4)
        factor = 0.5;
    else if (m >= 5 && m <= 7)
        factor = 1;
    else if (m == 8 || m == 9)
        factor = 2;
    t.step = e * factor;
    t.first = std::ceil(a / t.step - 1e-9) * t.step;
    t.last = std::floor(b / t.step + 1e-9) * t.step;
    return t;
}

QVector<double> ChCoord::Ticks::values() const {
    QVector<double> v;
    if (!(step > 0) || last < first)
        return v;
    const int n = int(std::floor((last - first) / step + 0.5));
    v.reserve(n + 1);
    for (int i = 0; i <= n; ++i)
        v.append(first + i * step);
    return v;
}
