#pragma once
// Two map tools that work on whole maps rather than spectra:
// - the sum-up image: per bin, the raw I1 bin sums added over chosen ranges
//   of image numbers (a range covers from <= j < to; overlapping ranges count
//   their images once per range; numbers outside the series are skipped);
// - map processing: two maps combined bin by bin into a third.
#include "analysis/MapRun.h"
#include "measurement/MeasurementStack.h"

#include <QString>
#include <QVector>

struct SumUpRange {
    int from = 0;
    int to = 0;
    int spare = 0;
};

// "%1-%2" of the range, as listed in the panel.
QString sumUpRangeText(const SumUpRange &r);

class SumUpTask : public BinTask {
public:
    SumUpTask(const MeasurementStack &stack, const QVector<SumUpRange> &ranges, int hx, int hy);
    void analyzeBin(int cx, int cy, BinWriter &out) override;
    // The centre row of each row of bins to the debug log.
    void beginRow(int cy, int firstCx, int sx, int count) override;
    // The sum of one bin.
    double binSum(int cx, int cy) const;

private:
    const MeasurementStack &m_stack;
    const QVector<SumUpRange> &m_ranges;
    int m_hx, m_hy;
};

// Fills `map` ("Sum Up Img", prepared here) on the calling thread.
bool runSumUp(MapRun &run, const MeasurementStack &stack, const QVector<SumUpRange> &ranges,
              const AnalyzeCond &grid, Analyzed2DRes &map, int threads = 0);

enum class MapOperation { Sub, Mask, Div };

// Result of one bin from the sums of the two maps over the bin:
// Sub: s1 - s2; Div: s1 / s2, 1 where s2 is 0; Mask: s1 where s2 > 0, else 0.
double combineBinSums(MapOperation op, double sum1, double sum2);

// Sum of a map's cells over the bin centred at (cx, cy) with half sizes
// (hx, hy); cells outside the map count 0.
double mapBinSum(const Analyzed2DRes &map, int cx, int cy, int hx, int hy);

class ProcessMapsTask : public BinTask {
public:
    ProcessMapsTask(const Analyzed2DRes &map1, const Analyzed2DRes &map2, MapOperation op, int hx,
                    int hy);
    // Also writes "cx cy result processed-value hx hy W H" to the debug log
    // (the processed map's value at the centre is the result just written;
    // W x H is the size of map 1).
    void analyzeBin(int cx, int cy, BinWriter &out) override;

private:
    const Analyzed2DRes &m_map1;
    const Analyzed2DRes &m_map2;
    MapOperation m_op;
    int m_hx, m_hy;
};

// "Processed Map" (prepared here with the grid) from map 1 and map 2. Nothing
// (false) unless both maps are filled.
bool processMaps(MapRun &run, const Analyzed2DRes &map1, const Analyzed2DRes &map2, MapOperation op,
                 const AnalyzeCond &grid, Analyzed2DRes &out, int threads = 0);
