#include "analysis/AnalyzeCond.h"

#include <QtGlobal>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Coordinates are pinned to +-CoordLimit and half sizes to MaxHalf, so that a
// centre plus a step (x0 + hx, cx + sx) always fits an int; the counts below
// are worked out in 64 bits all the same.
constexpr int CoordLimit = 1 << 30;
constexpr int MaxHalf = 1 << 28;

int halfSize(int half) {
    return std::clamp(half, 0, MaxHalf);
}

// Steps of zero or below would never move the walk forward.
int stepOrTiling(int step, int half) {
    return step > 0 ? std::min(step, 2 * MaxHalf + 1) : 2 * half + 1;
}

// Number of centres c = start + k*step (k >= 0) below end; at least one,
// because the first bin is visited even when the area is narrower than a bin.
int centresBelow(int start, int end, int step) {
    if (start >= end)
        return 1;
    const qint64 count = (qint64(end) - start - 1) / step + 1;
    return int(std::min<qint64>(count, INT_MAX));
}

// Integer part of a pixel coordinate; out-of-range or NaN input is pinned so
// the conversion stays defined.
int integerPart(double v) {
    constexpr double limit = CoordLimit;
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::clamp(v, -limit, limit));
}

} // namespace

AnalyzeCond::AnalyzeCond(int W, int H, int hx, int hy, double x, double y, double w, double h,
                         int sx, int sy)
    : W(W), H(H), hx(halfSize(hx)), hy(halfSize(hy)) {
    x0 = integerPart(x);
    x1 = integerPart(x + w);
    if (x1 < x0)
        std::swap(x0, x1);
    y0 = integerPart(y);
    y1 = integerPart(y + h);
    if (y1 < y0)
        std::swap(y0, y1);
    this->sx = stepOrTiling(sx, this->hx);
    this->sy = stepOrTiling(sy, this->hy);
    reset();
}

void AnalyzeCond::reset() {
    cx = x0 + hx;
    cy = y0 + hy;
    newRow = true;
}

bool AnalyzeCond::next() {
    cx += std::max(sx, 1);
    newRow = false;
    if (cx < x1)
        return true;
    cx = x0 + hx;
    newRow = true;
    cy += std::max(sy, 1);
    return cy < y1;
}

int AnalyzeCond::binsX() const {
    return centresBelow(x0 + hx, x1, std::max(sx, 1));
}

int AnalyzeCond::binsY() const {
    return centresBelow(y0 + hy, y1, std::max(sy, 1));
}
