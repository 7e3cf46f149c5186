#include "display/widgets/CrossSView.h"

#include <QPainter>
#include <QPolygonF>

namespace {
const QColor MarkerColor(192, 192, 0);

// A flat profile gets a value range of one unit around it, so that it is drawn
// across the middle rather than collapsing onto an edge.
void valueRange(const Spectrum &s, double *lo, double *hi) {
    *lo = s.yMin();
    *hi = s.yMax();
    if (!(*hi > *lo)) {
        *lo -= 0.5;
        *hi = *lo + 1;
    }
}
} // namespace

CrossSView::CrossSView(QWidget *parent) : DispA(parent) {
    connect(this, &DispA::drawImage1, this, &CrossSView::draw);
}

void CrossSView::setProfile(const Spectrum &profile, bool vertical, double offset) {
    m_profile = profile;
    m_vertical = vertical;
    m_offset = offset;
    updateTransform();
    update();
}

void CrossSView::setMarker(double position) {
    m_marker = position;
    m_hasMarker = true;
    update();
}

void CrossSView::updateTransform() {
    cc().setScreen(0, 0, width(), height());
    if (m_profile.count() == 0)
        return;
    const double p0 = m_profile.xMin() - m_offset;
    const double p1 = m_profile.xMax() - m_offset;
    double lo, hi;
    valueRange(m_profile, &lo, &hi);
    if (m_vertical)
        cc().setReal(lo, p0, hi, p1);
    else
        cc().setReal(p0, hi, p1, lo);
}

QPointF CrossSView::toScreen(double position, double value) const {
    if (m_vertical)
        return QPointF(cc().realToScreenX(value), cc().realToScreenY(position));
    return QPointF(cc().realToScreenX(position), cc().realToScreenY(value));
}

void CrossSView::draw(QPainter *p) {
    updateTransform();
    if (m_profile.count() == 0)
        return;
    QPolygonF line;
    line.reserve(m_profile.count());
    for (const QPointF &pt : m_profile.points())
        line.append(toScreen(pt.x() - m_offset, pt.y()));
    p->save();
    p->setPen(QPen(Qt::black, 1));
    p->drawPolyline(line);
    if (m_hasMarker) {
        p->setPen(QPen(MarkerColor, 1));
        const double m = m_marker - m_offset;
        if (m_vertical)
            p->drawLine(QPointF(0, cc().realToScreenY(m)), QPointF(width(), cc().realToScreenY(m)));
        else
            p->drawLine(QPointF(cc().realToScreenX(m), 0),
                        QPointF(cc().realToScreenX(m), height()));
    }
    p->restore();
}
