#include "analysis/widgets/AlignPlotView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

AlignPlotView::AlignPlotView(QWidget *parent) : QWidget(parent) {
    setMinimumSize(240, 120);
    setAutoFillBackground(true);
}

void AlignPlotView::setPlot(const AlignmentPlot &plot) {
    m_plot = plot;
    update();
}

QRectF AlignPlotView::frame() const {
    const QFontMetrics fm(font());
    const double left = fm.horizontalAdvance(QStringLiteral("-00.0")) + 8;
    const double right = fm.horizontalAdvance(QStringLiteral("0.0")) + 8;
    const double bottom = fm.height() + 6, top = fm.height() + 4;
    return QRectF(left, top, std::max(1.0, width() - left - right),
                  std::max(1.0, height() - top - bottom));
}

QPointF AlignPlotView::toPixel(double x, double value, double lo, double hi) const {
    const QRectF f = frame();
    const double span = m_plot.xMax - m_plot.xMin;
    const double u = span > 0 ? (x - m_plot.xMin) / span : 0.5;
    const double v = hi > lo ? (value - lo) / (hi - lo) : 0.5;
    return QPointF(f.left() + u * f.width(), f.bottom() - v * f.height());
}

void AlignPlotView::drawAxes(QPainter &p) const {
    const QRectF f = frame();
    p.setPen(palette().color(QPalette::WindowText));
    p.drawRect(f);
    const auto number = [](double v) { return QString::number(v, 'f', 1); };
    const int h = p.fontMetrics().height();
    p.drawText(QRectF(0, f.top() - h / 2, f.left() - 4, h), Qt::AlignRight | Qt::AlignVCenter,
               number(m_plot.shiftMax));
    p.drawText(QRectF(0, f.bottom() - h / 2, f.left() - 4, h), Qt::AlignRight | Qt::AlignVCenter,
               number(m_plot.shiftMin));
    p.drawText(QRectF(f.right() + 4, f.top() - h / 2, 40, h), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("1"));
    p.drawText(QRectF(f.right() + 4, f.bottom() - h / 2, 40, h), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("0"));
    const QString unit = m_plot.byEnergy ? tr("eV") : tr("image");
    p.drawText(QRectF(f.left(), f.bottom() + 2, f.width(), h), Qt::AlignLeft,
               QString::number(m_plot.xMin, 'f', m_plot.byEnergy ? 1 : 0));
    p.drawText(QRectF(f.left(), f.bottom() + 2, f.width(), h), Qt::AlignRight,
               QString::number(m_plot.xMax, 'f', m_plot.byEnergy ? 1 : 0) + ' ' + unit);
    p.drawText(QRectF(f.left(), 0, f.width(), h), Qt::AlignLeft, tr("dx, dy (pixels)"));
    p.drawText(QRectF(f.left(), 0, f.width(), h), Qt::AlignRight, tr("score"));
    if (m_plot.shiftMin < 0 && m_plot.shiftMax > 0) {
        p.setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DotLine));
        const double y = toPixel(m_plot.xMin, 0, m_plot.shiftMin, m_plot.shiftMax).y();
        p.drawLine(QPointF(f.left(), y), QPointF(f.right(), y));
    }
}

void AlignPlotView::drawSeries(QPainter &p, const QVector<double> &values, double lo, double hi,
                               const QColor &colour) const {
    QPainterPath path;
    for (int i = 0; i < values.size(); ++i) {
        const QPointF at = toPixel(m_plot.x[i], values[i], lo, hi);
        if (i == 0)
            path.moveTo(at);
        else
            path.lineTo(at);
    }
    p.setPen(QPen(colour, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.setBrush(colour);
    for (int i = 0; i < values.size(); ++i)
        p.drawEllipse(toPixel(m_plot.x[i], values[i], lo, hi), 2.0, 2.0);
}

void AlignPlotView::drawSuspects(QPainter &p) const {
    p.setPen(QPen(QColor(230, 120, 0), 2));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < m_plot.x.size(); ++i) {
        if (!m_plot.suspect[i])
            continue;
        for (double v : {m_plot.dx[i], m_plot.dy[i]})
            p.drawEllipse(toPixel(m_plot.x[i], v, m_plot.shiftMin, m_plot.shiftMax), 6.0, 6.0);
    }
}

void AlignPlotView::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_plot.isEmpty()) {
        p.setPen(palette().color(QPalette::Mid));
        p.drawText(rect(), Qt::AlignCenter, tr("Align Series shows the shifts here"));
        return;
    }
    drawAxes(p);
    p.setClipRect(frame().adjusted(-7, -7, 7, 7));
    drawSeries(p, m_plot.score, 0, 1, QColor(150, 150, 150));
    drawSeries(p, m_plot.dx, m_plot.shiftMin, m_plot.shiftMax, QColor(30, 90, 220));
    drawSeries(p, m_plot.dy, m_plot.shiftMin, m_plot.shiftMax, QColor(210, 40, 40));
    drawSuspects(p);
}

void AlignPlotView::mousePressEvent(QMouseEvent *event) {
    const QRectF f = frame();
    if (m_plot.isEmpty() || f.width() <= 0)
        return;
    const double u = (event->pos().x() - f.left()) / f.width();
    const int image = m_plot.nearestImage(m_plot.xMin + u * (m_plot.xMax - m_plot.xMin));
    if (image >= 0)
        emit imageClicked(image);
}
