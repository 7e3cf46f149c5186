#pragma once
// A curve mapped to screen points once, kept as runs of connected points.
//
// A run ends where two consecutive abscissae lie further apart than the break
// gap (a hole in the measured energies is not bridged by a line) and where a
// value is not finite (a spectrum normalised by a zero edge jump holds
// infinities, which must not reach the painter). The buffers keep their
// capacity between builds, so redrawing a spectrum per mouse move allocates
// nothing once the longest curve has been seen.
#include <QPointF>
#include <cmath>
#include <vector>

class QPainter;

class PolylineRuns {
public:
    // Builds from n points: pointAt(i) gives the real point, map(real) its
    // screen position. breakGap <= 0 never breaks on gaps.
    template <class PointAt, class Map>
    void build(int n, PointAt pointAt, Map map, double breakGap);

    // Draws every run of two or more points as a polyline with the current pen.
    void draw(QPainter &p) const;

    int runCount() const { return int(m_runStarts.size()); }
    // Number of points in run r.
    int runLength(int r) const;
    const QPointF &point(int r, int k) const {
        return m_points[size_t(m_runStarts[size_t(r)] + k)];
    }
    int pointCount() const { return int(m_points.size()); }

private:
    std::vector<QPointF> m_points;
    std::vector<int> m_runStarts;
};

template <class PointAt, class Map>
void PolylineRuns::build(int n, PointAt pointAt, Map map, double breakGap) {
    m_points.clear();
    m_runStarts.clear();
    bool inRun = false;
    double prevX = 0;
    for (int i = 0; i < n; ++i) {
        const QPointF r = pointAt(i);
        if (!std::isfinite(r.x()) || !std::isfinite(r.y())) {
            inRun = false;
            continue;
        }
        const QPointF s = map(r);
        if (!std::isfinite(s.x()) || !std::isfinite(s.y())) {
            inRun = false;
            continue;
        }
        if (!inRun || (breakGap > 0 && std::fabs(r.x() - prevX) > breakGap))
            m_runStarts.push_back(int(m_points.size()));
        m_points.push_back(s);
        prevX = r.x();
        inRun = true;
    }
}
