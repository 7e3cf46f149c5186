#pragma once
// An ordered list of (x, y) points with running bounds, an optional energy
// offset, linear interpolation and a moving-average smoothing. Value type.
#include <QPointF>
#include <QString>
#include <QVector>

class Spectrum {
public:
    Spectrum() = default;

    // Appends a point and updates the running bounds (and the indices of the
    // points that last set yMin / yMax).
    void addPoint(double x, double y);
    // Resets the four bounds to +-1e300; the extreme indices stay.
    void clearBounds();
    // Empties points and smoothed values and resets the bounds; the storage is
    // kept, so refilling a spectrum of the same length does not allocate.
    void clear();
    void reserve(int n);
    // For builders of whole curves: replaces the points by n points to be
    // written through the returned pointer (the storage is kept when large
    // enough), after which rebuildBounds() must run.
    QPointF *pointsForWrite(int n);
    // Resets the bounds and updates them with every point in order, exactly
    // as appending the points one by one would have.
    void rebuildBounds();

    int count() const { return m_points.size(); }
    bool isEmpty() const { return m_points.isEmpty(); }
    const QVector<QPointF> &points() const { return m_points; }
    const QPointF &point(int i) const { return m_points.at(i); }
    // Stored abscissa and value of point i.
    double x(int i) const { return m_points.at(i).x(); }
    double y(int i) const { return m_points.at(i).y(); }
    // The abscissa minus the energy offset when the offset is in force.
    double effectiveX(int i) const { return m_points.at(i).x() - activeShift(); }

    // Linear interpolation in the effective abscissae (bisection, extrapolation
    // from the two end points outside the range).
    double valueAt(double x) const;
    // The same interpolation over the smoothed values.
    double smoothedAt(double x) const;
    // smoothed[i] := mean of y over i-k..i+k, the window shrinking at both ends.
    void smooth(int k);
    const QVector<double> &smoothed() const { return m_smoothed; }

    // Plain "x y" text; lines starting with "#" and lines of one token are
    // skipped. False (and the spectrum emptied) when the file cannot be opened.
    bool readTwoColumns(const QString &fileName);

    double xMin() const { return m_xMin; }
    double xMax() const { return m_xMax; }
    double yMin() const { return m_yMin; }
    double yMax() const { return m_yMax; }
    int iYMin() const { return m_iYMin; }
    int iYMax() const { return m_iYMax; }

    // 1 = drawn when shown as one of the further spectra of a spectrum view.
    int visible() const { return m_visible; }
    void setVisible(int v) { m_visible = v; }

    // Energy offset: when shifted, every effective x is x - shift.
    bool shifted() const { return m_shifted; }
    double shift() const { return m_shift; }
    void setShifted(bool on) { m_shifted = on; }
    void setShift(double shift) { m_shift = shift; }

protected:
    double activeShift() const { return m_shifted ? m_shift : 0.0; }
    void updateBounds(int i, double x, double y) {
        if (x < m_xMin)
            m_xMin = x;
        if (y < m_yMin) {
            m_yMin = y;
            m_iYMin = i;
        }
        if (x > m_xMax)
            m_xMax = x;
        if (y > m_yMax) {
            m_yMax = y;
            m_iYMax = i;
        }
    }

    int m_visible = 1;
    QVector<QPointF> m_points;
    double m_xMin = 1e300;
    double m_yMin = 1e300;
    double m_xMax = -1e300;
    double m_yMax = -1e300;
    int m_iYMin = -1879048193;
    int m_iYMax = 1879048193;
    QVector<double> m_smoothed;
    bool m_shifted = false;
    double m_shift = 0.0;
};
