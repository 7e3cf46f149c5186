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

// A drift path of integer steps: at most one pixel per image in each direction.
inline QVector<QPoint> drifts() {
    return {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {3, 2}, {4, 3}, {5, 3}, {4, 4}};
}

} // namespace DriftSeries
