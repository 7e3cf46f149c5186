#pragma once
// The analysis grid: an area of the image tiled by bins of (2hx+1) x (2hy+1)
// pixels, walked bin by bin, row by row, left to right. Every 2-D run, the map
// text writer and the map save conversions walk the same way, so a value written
// at a bin centre during a run is found again by the writers.
#include <QMetaType>

struct AnalyzeCond {
    int W = 0, H = 0;    // image size in pixels
    int hx = 0, hy = 0;  // bin half-width and half-height
    int x0 = 0, x1 = 0;  // column range of the area [x0, x1)
    int sx = 0;          // step between bin centres in x
    int y0 = 0, y1 = 0;  // row range of the area [y0, y1)
    int sy = 0;          // step between bin centres in y
    int cx = 0, cy = 0;  // current bin centre
    bool newRow = false; // the current bin is the first of its row

    AnalyzeCond() = default;
    // Area (x, y, w, h) in pixels; a negative step means "bins tile the area"
    // (2*half+1). A step of zero is treated the same way, since it would never
    // leave the first bin. Negative half sizes count as 0, half sizes above
    // 2^28 as 2^28 and coordinates beyond +-2^30 as +-2^30: no image comes
    // near them, and the walk's sums then never overflow.
    AnalyzeCond(int W, int H, int hx, int hy, double x, double y, double w, double h, int sx = -1,
                int sy = -1);

    // Back to the first bin (top-left pixel at (x0, y0)).
    void reset();
    // Advances to the next bin; false when the walk has passed the last one.
    bool next();

    // Number of bins per row and of bin rows the walk visits (each at least 1).
    int binsX() const;
    int binsY() const;
    qint64 binCount() const { return qint64(binsX()) * binsY(); }

    // True when the current bin centre lies inside the W x H image.
    bool centreInside() const { return cx >= 0 && cx < W && cy >= 0 && cy < H; }
};

Q_DECLARE_METATYPE(AnalyzeCond)
