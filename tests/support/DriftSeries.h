#pragma once
// A synthetic sample that drifts across a series: a scene of rectangles and
// discs with sharp borders on a flat background, with deterministic noise.
// Image i shows the scene moved by drift(i), so the registration shift that
// lines it up again is -drift(i).
#include "imageio/TiffData.h"

#include <QPoint>
#include <QVector>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

namespace DriftSeries {

// Scene value at (x, y): 1 inside a feature, 0 outside.
inline double scene(double x, double y) {
    struct Rect {
        double x0, y0, x1, y1;
    };
    static const Rect rects[] = {
        {10, 8, 30, 20}, {40, 30, 52, 60}, {60, 10, 84, 18}, {14, 44, 26, 70}};
    for (const Rect &r : rects)
        if (x >= r.x0 && x < r.x1 && y >= r.y0 && y < r.y1)
            return 1;
    const double d1 = std::hypot(x - 72, y - 48), d2 = std::hypot(x - 30, y - 32);
    return d1 < 9 || d2 < 5 ? 1 : 0;
}

// Noise in [-1, 1), the same for the same (seed, x, y).
inline double noise(std::uint32_t seed, int x, int y) {
    std::uint32_t h = seed * 2654435761u ^ std::uint32_t(x) * 40503u ^ std::uint32_t(y) * 9973u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return (h & 0xffff) / 32768.0 - 1.0;
}

struct Options {
    int width = 96;
    int height = 80;
    double background = 1000;
    double contrast = 2000; // feature height above the background
    double noise = 0;       // noise amplitude (uniform in +-noise)
    double absorption = 0;  // per-image scale step: image i is scaled by 1 + i*absorption
};

// Image i: the scene moved by d (scene(x - d.x, y - d.y)), 16-bit samples.
inline std::unique_ptr<TiffData> image(const Options &o, QPoint d, int seed, double energy = 0) {
    QVector<quint16> s(o.width * o.height);
    const double scale = 1 + seed * o.absorption;
    for (int y = 0; y < o.height; ++y)
        for (int x = 0; x < o.width; ++x) {
            const double v = (o.background + o.contrast * scene(x - d.x(), y - d.y())) * scale +
                             o.noise * noise(std::uint32_t(seed + 1), x, y);
            s[y * o.width + x] = quint16(std::lround(std::clamp(v, 0.0, 65535.0)));
        }
    auto t = std::make_unique<TiffData>();
    t->assign(o.width, o.height, TiffData::UInt16, s.constData());
    t->setEnergy(energy);
    return t;
}

// ---- across an absorption edge, with drifts of any fraction of a pixel ----
//
// Two compounds: A (the rectangles) and B (the discs). Below the edge both
// stand out from the background; across it the transmitted intensity falls
// and B's contrast changes sign, passing through 0 at the middle of the
// series (bAbove -1; with reverseAll A's too). Each pixel is the scene averaged over the
// pixel's area, as a detector pixel integrates the light falling on it, so a
// drift of a fraction of a pixel moves the borders' grey levels as it would.

struct EdgeOptions {
    int images = 24;
    double background = 3000;
    double contrast = 1500;    // of each compound below the edge
    double noise = 0;          // uniform in +-noise, on every image
    double transmission = 0.4; // above the edge, relative to below
    double bAbove = -1;        // B's contrast above the edge, relative to below
    bool reverseAll = false;   // A's contrast follows B's
};

// Fraction of [a0, a1] x [b0, b1] covered by the rectangles (exact).
inline double rectsCover(double a0, double b0, double a1, double b1) {
    static const double rects[][4] = {
        {10, 8, 30, 20}, {40, 30, 52, 60}, {60, 10, 84, 18}, {14, 44, 26, 70}};
    double area = 0;
    for (const auto &r : rects)
        area += std::max(0.0, std::min(a1, r[2]) - std::max(a0, r[0])) *
                std::max(0.0, std::min(b1, r[3]) - std::max(b0, r[1]));
    return area / ((a1 - a0) * (b1 - b0));
}

// Fraction of the pixel square at (a, b) covered by the discs (16 x 16 samples).
inline double discsCover(double a, double b) {
    const bool near = std::hypot(a - 72, b - 48) < 11 || std::hypot(a - 30, b - 32) < 7;
    if (!near)
        return 0;
    int in = 0;
    for (int j = 0; j < 16; ++j)
        for (int i = 0; i < 16; ++i) {
            const double x = a + (i + 0.5) / 16, y = b + (j + 0.5) / 16;
            in += std::hypot(x - 72, y - 48) < 9 || std::hypot(x - 30, y - 32) < 5;
        }
    return in / 256.0;
}

// How far image i is across the edge: 0 below, 1 above, 0.5 in the middle.
inline double across(const EdgeOptions &o, int i) {
    return 1 / (1 + std::exp(-(i - 0.5 * (o.images - 1)) * 8.0 / o.images));
}

// Image i of the series, the scene moved by d (fractions of a pixel allowed).
inline std::unique_ptr<TiffData> edgeImage(const EdgeOptions &o, QPointF d, int i) {
    const int w = Options().width, h = Options().height;
    const double s = across(o, i);
    const double scale = 1 - (1 - o.transmission) * s;
    const double cB = o.contrast * (1 - (1 - o.bAbove) * s), cA = o.reverseAll ? cB : o.contrast;
    QVector<quint16> v(w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double a = x - d.x(), b = y - d.y();
            const double value = scale * (o.background + cA * rectsCover(a, b, a + 1, b + 1) +
                                          cB * discsCover(a, b)) +
                                 o.noise * noise(std::uint32_t(i + 101), x, y);
            v[y * w + x] = quint16(std::lround(std::clamp(value, 0.0, 65535.0)));
        }
    auto t = std::make_unique<TiffData>();
    t->assign(w, h, TiffData::UInt16, v.constData());
    return t;
}

// A smooth drift of up to about 3 pixels over n images, at fractions of a
// pixel; whole pixels when `whole`.
inline QVector<QPointF> edgeDrifts(int n, bool whole) {
    QVector<QPointF> d;
    for (int i = 0; i < n; ++i) {
        const QPointF p(2.9 * std::sin(0.37 * i) + 0.013 * i, 2.3 * std::sin(0.23 * i + 1) - 1.9);
        d << (whole ? QPointF(std::round(p.x()), std::round(p.y())) : p);
    }
    return d;
}

// A drift path of integer steps: at most one pixel per image in each direction.
inline QVector<QPoint> drifts() {
    return {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {3, 2}, {4, 3}, {5, 3}, {4, 4}};
}

} // namespace DriftSeries
