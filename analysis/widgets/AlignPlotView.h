#pragma once
// Draws an AlignmentPlot: dx (blue) and dy (red) in pixels on the left axis,
// the score (grey) on a 0 .. 1 axis at the right, suspect images ringed.
// A click picks the image nearest along x.
#include "analysis/AlignmentPlot.h"

#include <QWidget>

class AlignPlotView : public QWidget {
    Q_OBJECT
public:
    explicit AlignPlotView(QWidget *parent = nullptr);
    void setPlot(const AlignmentPlot &plot);
    const AlignmentPlot &plot() const { return m_plot; }
    QSize sizeHint() const override { return QSize(360, 160); }

signals:
    void imageClicked(int image);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QRectF frame() const;
    QPointF toPixel(double x, double value, double lo, double hi) const;
    void drawAxes(QPainter &p) const;
    void drawSeries(QPainter &p, const QVector<double> &values, double lo, double hi,
                    const QColor &colour) const;
    void drawSuspects(QPainter &p) const;

    AlignmentPlot m_plot;
};
