#pragma once
// Transform between real (data) coordinates and screen pixels of a drawing area.
//
// The screen rectangle is the whole widget; the plot area is the part of it the
// data is mapped onto (the whole screen for image areas, the screen less its
// margins for plots). The real window is the range of data coordinates shown in
// the plot area. Either end of a range may be the larger one, so a y axis that
// grows upwards is simply ry0 > ry1 or sy0 > sy1.
#include <QObject>
#include <QVector>

class ChCoord : public QObject {
    Q_OBJECT
public:
    // Axis ticks of a real range: every multiple of step from first to last.
    struct Ticks {
        double step = 0;
        double first = 0;
        double last = 0;
        // The tick positions, computed by index so that rounding does not drift.
        QVector<double> values() const;
    };

    explicit ChCoord(QObject *parent = nullptr);

    // Sets the screen rectangle and the plot area alike.
    void setScreen(int x0, int y0, int x1, int y1);
    void setReal(double rx0, double ry0, double rx1, double ry1);
    void setRealX(double rx0, double rx1);
    void setRealY(double ry0, double ry1);
    // Shrinks the plot area by the margins (fractions of the screen size).
    void applyMargins();
    void setMargins(double left, double right, double bottom, double top);
    // Sets the plot area directly in pixels (either end of a range may be the
    // larger one), for plots that lay out their margins from their texts.
    void setPlotArea(int sx0, int sy0, int sx1, int sy1);
    void setEdgeBands(double bx, double by);

    double realToScreenX(double x) const;
    double realToScreenY(double y) const;
    double screenToRealX(double x) const;
    double screenToRealY(double y) const;
    // Distances: the same scale without the offsets.
    double realToScreenDX(double dx) const;
    double realToScreenDY(double dy) const;
    double screenToRealDX(double dx) const;
    double screenToRealDY(double dy) const;
    // As screenToReal, clamped into the real window whichever end is larger.
    double screenToRealXClamped(double x) const;
    double screenToRealYClamped(double y) const;

    // True when the screen position lies within the edge band of the plot area
    // at either end, or outside the plot area.
    bool inEdgeBandX(double x) const;
    bool inEdgeBandY(double y) const;

    // Tick rule: the step is 0.2, 0.5, 1 or 2 times the power of ten below the
    // range, chosen by the range's leading digit. A range that is empty,
    // reversed or not finite gives step 0 and no ticks.
    // An end at or beyond EmptyBound (the bounds of an empty spectrum) gives
    // no ticks either.
    static constexpr double EmptyBound = 1e299;
    static Ticks ticks(double a, double b);

    int x0() const { return m_x0; }
    int x1() const { return m_x1; }
    int y0() const { return m_y0; }
    int y1() const { return m_y1; }
    int sx0() const { return m_sx0; }
    int sx1() const { return m_sx1; }
    int sy0() const { return m_sy0; }
    int sy1() const { return m_sy1; }
    double rx0() const { return m_rx0; }
    double rx1() const { return m_rx1; }
    double ry0() const { return m_ry0; }
    double ry1() const { return m_ry1; }
    double marginLeft() const { return m_mLeft; }
    double marginRight() const { return m_mRight; }
    double marginBottom() const { return m_mBottom; }
    double marginTop() const { return m_mTop; }

    // Label layout shared by the plots: the width and height of a tick-label
    // box in pixels, the share of the plot height the curves may use, and
    // whether ticks are drawn.
    int labelBoxWidth() const { return m_labelBoxW; }
    int labelBoxHeight() const { return m_labelBoxH; }
    double curveScale() const { return m_curveScale; }
    bool showTicks() const { return m_showTicks; }
    void setShowTicks(bool f) { m_showTicks = f; }

private:
    static double mapLinear(double v, double from0, double from1, double to0, double to1);
    static double scaleOnly(double d, double from0, double from1, double to0, double to1);
    static double clampBetween(double v, double e0, double e1);
    static bool inBand(double v, int e0, int e1, double fraction);

    int m_x0 = 0, m_x1 = 1, m_y0 = 0, m_y1 = 1;
    int m_sx0 = 0, m_sx1 = 1, m_sy0 = 0, m_sy1 = 1;
    double m_rx0 = 0, m_rx1 = 1, m_ry0 = 0, m_ry1 = 1;
    double m_mLeft = 0.1, m_mRight = 0.05, m_mBottom = 0.05, m_mTop = 0.1;
    double m_bandX = 0.1, m_bandY = 0.1;
    int m_labelBoxW = 20;
    int m_labelBoxH = 25;
    double m_curveScale = 0.85;
    bool m_showTicks = true;
};
