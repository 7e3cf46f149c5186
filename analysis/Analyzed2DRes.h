#pragma once
// A named two-dimensional result (fit fractions, residual, element maps, energy
// shift, ...): a grid of doubles of the image size filled bin by bin during a
// run, a second "processed" grid made by the deglitch filters, the settings
// that choose what a picture of it shows (which grid, which range), and
// conversions for saving. Pictures are made from it by the display code
// (render/MapPicture.h).
//
// A map "without grids" (never prepared, or cleared) ignores every operation
// that would read or write the grids.
#include "analysis/AnalyzeCond.h"
#include "measurement/MeasurementStack.h"

#include <QObject>
#include <QPoint>
#include <QString>
#include <QVector>
#include <vector>

// The extremes of the values written over part of a run, with the bin centres
// where they were first reached; merged into a map in walk order they give the
// same extremes as writing every bin in turn.
struct MapRange {
    double min = 1e300;
    double max = -1e300;
    QPoint minPos;
    QPoint maxPos;
    void note(double t, int x, int y) {
        if (t > max) {
            max = t;
            maxPos = QPoint(x, y);
        }
        if (t < min) {
            min = t;
            minPos = QPoint(x, y);
        }
    }
};

// Samples of a map converted for a 16-bit TIFF: width x height values,
// row-major. Null (no samples) when the map has no grids.
struct MapSamples16 {
    int width = 0;
    int height = 0;
    std::vector<quint16> samples;
    double lo = 0; // the values 0 and 65535 stand for
    double hi = 0;
    bool isNull() const { return samples.empty(); }
};

class Analyzed2DRes : public QObject {
    Q_OBJECT
public:
    explicit Analyzed2DRes(const QString &name = QString(), QObject *parent = nullptr);
    // Copies every field, including deep copies of both grids.
    // The QObject parent is not copied.
    Analyzed2DRes(const Analyzed2DRes &other);
    Analyzed2DRes &operator=(const Analyzed2DRes &other);
    ~Analyzed2DRes() override;

    // Sets up the map for a run over `grid`: grid copied (its W, H are the map
    // size), zero-filled values and processed grids, extremes reset, not filled.
    void prepare(const AnalyzeCond &grid);

    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    const AnalyzeCond &grid() const { return m_grid; }
    int width() const { return m_grid.W; }
    int height() const { return m_grid.H; }
    bool hasGrids() const { return !m_values.empty() && !m_processed.empty(); }

    // Row-major W*H grids (index x + y*W); nullptr without grids.
    const double *values() const { return m_values.empty() ? nullptr : m_values.data(); }
    const double *processedValues() const {
        return m_processed.empty() ? nullptr : m_processed.data();
    }
    // Value of one cell; 0 outside the map or without grids.
    double valueAt(int x, int y) const;
    double processedAt(int x, int y) const;

    double min() const { return m_min; }
    double max() const { return m_max; }
    QPoint minPos() const { return m_minPos; }
    QPoint maxPos() const { return m_maxPos; }
    double pmin() const { return m_pmin; }
    double pmax() const { return m_pmax; }

    bool fixedScale() const { return m_fixedScale; }
    double fixMin() const { return m_fixMin; }
    double fixMax() const { return m_fixMax; }
    bool showProcessed() const { return m_showProcessed; }
    double deglitchFactor() const { return m_deglitchFactor; }
    double deglitchRatio() const { return m_deglitchRatio; }

    // The range a picture of the map spans: the fixed range when fixedScale,
    // else the processed range when showing the processed grid, else
    // (min, max).
    void displayRange(double *lo, double *hi) const;

    // A map of categories (cluster indices 0..count-1, -1 for bins left out)
    // is drawn with one distinct colour per category, black for -1, instead
    // of the colour ramp; 0: an ordinary map.
    void setCategories(int count) { m_categories = count > 0 ? count : 0; }
    int categories() const { return m_categories; }

    // Whether the map holds values to show: a run has written it out (or the
    // window has shown it part way through the run), or it was read from a
    // file. Whoever fills the map marks it; prepare and clear empty it. A map
    // without grids is never filled.
    bool isFilled() const { return m_filled; }
    void markFilled() { m_filled = hasGrids(); }

    // Count of values produced by the last tiffDataForSave.
    int pointsWritten() const { return m_pointsWritten; }

    // 16-bit conversion for saving. Range (scaleMin, scaleMax) when fixedScale,
    // else the processed or value range; values are clamped to the range and
    // scaled to 0..65535. asAnalyzed: one sample per bin in walk order
    // (binsX x binsY), else every pixel (W x H).
    MapSamples16 tiffDataForSave(bool fixedScale, double scaleMin, double scaleMax,
                                 bool asAnalyzed);

    // Writes the map over its bins in walk order: list form "cx cy value" per
    // line, or matrix form with one line per bin row (the file begins with an
    // empty line). Separator "," when csv, else " ". False on failure (logged).
    bool writeText(const QString &path, bool csv, bool list) const;
    // Per cell (row-major, width x height): 1 where a bin of the walk covers
    // it, 0 where no bin was analysed.
    std::vector<char> analysedCells() const;

public slots:
    void clear();
    void setNo(int no) { m_no = no; }
    int no() const { return m_no; }

    // Records t for the bin centred at (ix, iy) with half sizes xw, yw: every
    // cell of the bin inside the map gets t; min/max follow t.
    void setData(int ix, int iy, int xw, int yw, double t);

    // setData in two halves, for runs that fill bins on several threads:
    // fillCells paints the bin's cells only (bins of one run never share a
    // cell), mergeRange folds in the extremes of a part of the run.
    // A one-cell bin, the common case of a map run, is written here inline.
    void fillCells(int ix, int iy, int xw, int yw, double t) {
        if ((xw | yw) == 0 && insideMap(ix, iy) && hasGrids())
            m_values[size_t(iy) * size_t(m_grid.W) + size_t(ix)] = t;
        else
            fillBlock(ix, iy, xw, yw, t);
    }
    void mergeRange(const MapRange &r);

    void deglitch();
    void setDeglitchConds(double f, double r);
    void deglitch2(double limit);
    void copyProc2Data();

    // What a picture shows: the processed grid instead of the values, the
    // fixed range (min, max) instead of the map's own.
    void selectProcImg(bool f) { m_showProcessed = f; }
    void setFixedScale(bool f) { m_fixedScale = f; }
    void setScale(double min, double max) {
        m_fixMin = min;
        m_fixMax = max;
    }

private:
    void copyFrom(const Analyzed2DRes &other);
    void releaseGrids();
    void fillBin(std::vector<double> &grid, int cx, int cy, double v) const;
    double centreValue(const std::vector<double> &grid, int cx, int cy) const;
    void fillBlock(int ix, int iy, int xw, int yw, double t);
    bool insideMap(int x, int y) const { return x >= 0 && x < m_grid.W && y >= 0 && y < m_grid.H; }
    // Deglitch pieces, on the values around bin centre (g.cx, g.cy): how much
    // the bin sticks out of its x and y neighbours; the mean of its four
    // neighbours (fallback when none lies in the map); the mean of its eight
    // neighbours within limit of level (0 when none).
    double secondDifference(const AnalyzeCond &g) const;
    double meanOfNeighbours(const AnalyzeCond &g, double fallback) const;
    double meanOfOrdinaryNeighbours(const AnalyzeCond &g, double level, double limit) const;

    int m_no = 0;
    QString m_name;
    AnalyzeCond m_grid;
    std::vector<double> m_values;
    std::vector<double> m_processed;
    double m_min = 1e300, m_max = -1e300;
    QPoint m_minPos, m_maxPos;
    double m_pmin = 0, m_pmax = 1;
    bool m_fixedScale = false;
    double m_fixMin = 1e300, m_fixMax = -1e300;
    bool m_showProcessed = false;
    double m_deglitchFactor = 2.0, m_deglitchRatio = 0.9;
    int m_categories = 0;
    bool m_filled = false;
    int m_pointsWritten = 0;
};

// The shift map as the measurement reads it: placed on the detector at
// (x0, y0); no values without grids or when not valid.
inline ShiftMapView shiftMapView(const Analyzed2DRes *map, bool valid, int x0, int y0) {
    ShiftMapView v;
    if (map && valid && map->hasGrids()) {
        v.values = map->values();
        v.width = map->width();
        v.height = map->height();
    }
    v.x0 = x0;
    v.y0 = y0;
    return v;
}
