#include "display/PolylineRuns.h"

#include <QPainter>

int PolylineRuns::runLength(int r) const {
    const size_t next = size_t(r) + 1;
    const int end = next < m_runStarts.size() ? m_runStarts[next] : int(m_points.size());
    return end - m_runStarts[size_t(r)];
}

void PolylineRuns::draw(QPainter &p) const {
    for (int r = 0; r < runCount(); ++r) {
        const int len = runLength(r);
        if (len >= 2)
            p.drawPolyline(&m_points[size_t(m_runStarts[size_t(r)])], len);
    }
}
