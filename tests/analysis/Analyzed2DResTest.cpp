#include "analysis/Analyzed2DRes.h"

#include "app/DebugLog.h"
#include "display/ColorMap.h"
#include "render/MapPicture.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace {

// A map whose bins (half size `half`, tiling the whole image) hold the given
// values, row by row; the image is rows.size() bins high.
void fillBins(Analyzed2DRes &map, int half, const std::vector<std::vector<double>> &rows) {
    const int side = 2 * half + 1;
    const int W = int(rows[0].size()) * side, H = int(rows.size()) * side;
    map.prepare(AnalyzeCond(W, H, half, half, 0, 0, W, H, -1, -1));
    for (size_t j = 0; j < rows.size(); ++j)
        for (size_t i = 0; i < rows[j].size(); ++i)
            map.setData(half + int(i) * side, half + int(j) * side, half, half, rows[j][i]);
}

// The processed value at the centre of bin (i, j).
double procBin(const Analyzed2DRes &map, int i, int j) {
    const AnalyzeCond &g = map.grid();
    return map.processedAt(g.x0 + g.hx + i * g.sx, g.y0 + g.hy + j * g.sy);
}

// Resets the shared colour window for the rendering tests and restores it.
struct SharedWindow {
    ColorMap saved = ColorMap::shared();
    SharedWindow() { ColorMap::setSharedWindow(0, 1); }
    ~SharedWindow() { ColorMap::setShared(saved); }
};

QString textOf(const QString &path) {
    return QString::fromUtf8(TestSupport::readFile(path));
}

} // namespace

TEST(Analyzed2DRes, RunOverTenByTenLeavesLastColumnAndRowUnwritten) {
    Analyzed2DRes map("a2d Zansa");
    AnalyzeCond g(10, 10, 1, 1, 0, 0, 10, 10, -1, -1);
    map.prepare(g);
    g.reset();
    do {
        map.setData(g.cx, g.cy, g.hx, g.hy, 1 + g.cx + 10 * g.cy);
    } while (g.next());
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const double expected =
                (x == 9 || y == 9) ? 0 : 1 + (x / 3 * 3 + 1) + 10 * (y / 3 * 3 + 1);
            EXPECT_EQ(map.valueAt(x, y), expected) << x << "," << y;
        }
    EXPECT_EQ(map.min(), 12);
    EXPECT_EQ(map.minPos(), QPoint(1, 1));
    EXPECT_EQ(map.max(), 78);
    EXPECT_EQ(map.maxPos(), QPoint(7, 7));
}

TEST(Analyzed2DRes, SetDataKeepsFirstExtremePositionAndClipsToTheMap) {
    Analyzed2DRes map("m");
    map.prepare(AnalyzeCond(6, 6, 0, 0, 0, 0, 6, 6, -1, -1));
    map.setData(1, 1, 0, 0, 5);
    map.setData(3, 3, 0, 0, 5); // equal to the max: position unchanged
    EXPECT_EQ(map.maxPos(), QPoint(1, 1));
    map.setData(2, 2, 0, 0, -1);
    map.setData(4, 4, 0, 0, -1);
    EXPECT_EQ(map.minPos(), QPoint(2, 2));
    // A bin hanging over the corner: only the cells inside change, negative
    // half sizes count as their magnitude; the extremes follow regardless.
    map.setData(6, -1, -1, -2, 9);
    EXPECT_EQ(map.valueAt(5, 0), 9);
    EXPECT_EQ(map.valueAt(5, 1), 9);
    EXPECT_EQ(map.valueAt(5, 2), 0);
    EXPECT_EQ(map.valueAt(4, 0), 0);
    EXPECT_EQ(map.max(), 9);
    EXPECT_EQ(map.maxPos(), QPoint(6, -1));
    map.setData(100, 100, 1, 1, -7); // entirely outside
    EXPECT_EQ(map.min(), -7);
}

TEST(Analyzed2DRes, MapWithoutGridsIgnoresEveryOperation) {
    Analyzed2DRes map("empty");
    DebugLog::Capture log;
    map.setData(0, 0, 1, 1, 3);
    map.deglitch();
    map.deglitch2(1);
    map.copyProc2Data();
    map.markFilled();
    EXPECT_EQ(map.max(), -1e300);
    EXPECT_EQ(map.pmin(), 0);
    EXPECT_EQ(map.pmax(), 1);
    EXPECT_FALSE(map.isFilled());
    EXPECT_TRUE(mapPicture(map).image.isNull());
    EXPECT_TRUE(map.tiffDataForSave(false, 0, 1, false).isNull());
    QTemporaryDir dir;
    EXPECT_FALSE(map.writeText(dir.filePath("m.dat"), true, true));
    EXPECT_FALSE(QFile::exists(dir.filePath("m.dat")));
    EXPECT_TRUE(log.lines().isEmpty());

    // clear returns a prepared map to that state.
    fillBins(map, 0, {{1, 2}});
    map.markFilled();
    map.clear();
    EXPECT_FALSE(map.hasGrids());
    EXPECT_FALSE(map.isFilled());
    EXPECT_EQ(map.grid().W, 0);
    EXPECT_EQ(map.min(), 1e300);
}

TEST(Analyzed2DRes, FirstDeglitchReplacesASpikeNearTheRangeEnds) {
    // 3x3-pixel bins; one spike at the centre bin and a deep low at a corner.
    // The corner has no neighbour pairs, so it never counts as sticking out.
    Analyzed2DRes map("m");
    fillBins(
        map, 1,
        {{-10, 1, 1, 1, 1}, {1, 1, 1, 1, 1}, {1, 1, 10, 1, 1}, {1, 1, 1, 1, 1}, {1, 1, 1, 1, 1}});
    // Second differences: spike 18, its four neighbours 4.5, the two
    // neighbours of the corner 11; threshold = 58/25 * 2 = 4.64. Band with
    // r = 0.2 is 4: only values below -6 or above 6 may be replaced.
    map.setDeglitchConds(2.0, 0.2);
    DebugLog::Capture log;
    map.deglitch();
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 5; ++i) {
            const double expected = (i == 2 && j == 2) ? 1 : (i == 0 && j == 0 ? -10 : 1);
            EXPECT_EQ(procBin(map, i, j), expected) << i << "," << j;
        }
    // The whole bin is filled, not only its centre.
    EXPECT_EQ(map.processedAt(5, 5), 1);
    EXPECT_EQ(map.processedAt(8, 8), 1);
    EXPECT_EQ(map.pmin(), -10);
    EXPECT_EQ(map.pmax(), 1);
    EXPECT_EQ(map.valueAt(7, 7), 10); // values untouched
    EXPECT_TRUE(log.contains("deglitch 1"));
    EXPECT_TRUE(log.contains("deglitch 2 13"));

    // With the default ratio every value is in the band; a lower factor also
    // takes the spike's neighbours, each replaced by the mean of its own
    // neighbours in the original values, spike included.
    map.setDeglitchConds(1.0, 0.9);
    map.deglitch(); // threshold 2.32
    EXPECT_EQ(procBin(map, 1, 2), (1 + 10 + 1 + 1) / 4.0);
    EXPECT_EQ(procBin(map, 0, 1), (-10 + 1 + 1) / 3.0); // edge bin: three neighbours
}

TEST(Analyzed2DRes, SecondDeglitchReplacesOutliersByOrdinaryNeighbours) {
    Analyzed2DRes map("a2d esm");
    fillBins(map, 0, {{1, 2, 3, 4}, {2, 100, 2, 3}, {3, 2, 1, -90}, {4, 3, 2, 90}});
    map.deglitch2(40);
    // m = mean of the 13 ordinary values = 32/13. The centre spike takes the
    // mean of its 8 neighbours (all ordinary); -90 takes the mean of 3, 2, 1,
    // 2 (90 is not ordinary); 90 takes the mean of 1 and 2.
    EXPECT_DOUBLE_EQ(map.processedAt(1, 1), (1 + 2 + 3 + 2 + 2 + 3 + 2 + 1) / 8.0);
    EXPECT_DOUBLE_EQ(map.processedAt(3, 2), (3 + 2 + 1 + 2) / 4.0);
    EXPECT_DOUBLE_EQ(map.processedAt(3, 3), (1 + 2) / 2.0);
    EXPECT_EQ(map.processedAt(0, 0), 1);
    EXPECT_EQ(map.pmin(), 1);
    EXPECT_EQ(map.pmax(), 4);

    // A limit beyond every deviation leaves the processed grid equal to the values.
    map.deglitch2(1000);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(map.processedAt(x, y), map.valueAt(x, y));

    // An outlier with no ordinary neighbour becomes 0.
    Analyzed2DRes lone("m");
    fillBins(lone, 2, {{500}});
    lone.deglitch2(40);
    EXPECT_EQ(lone.processedAt(0, 0), 0);
    EXPECT_EQ(lone.processedAt(4, 4), 0);
}

TEST(Analyzed2DRes, CopyProcessedIntoValues) {
    Analyzed2DRes map("m");
    fillBins(map, 0, {{1, 1, 1}, {1, 50, 1}, {1, 1, 1}});
    map.deglitch2(10);
    map.copyProc2Data();
    EXPECT_EQ(map.valueAt(1, 1), 1);
    EXPECT_EQ(map.min(), 1);
    EXPECT_EQ(map.max(), 1);
}

TEST(Analyzed2DRes, SixteenBitSamplesClampToANarrowFixedRange) {
    Analyzed2DRes map("m");
    fillBins(map, 1, {{0, 2, 5}, {8, 10, std::numeric_limits<double>::quiet_NaN()}});
    MapSamples16 s = map.tiffDataForSave(true, 2, 8, false);
    ASSERT_EQ(s.width, 9);
    ASSERT_EQ(s.height, 6);
    EXPECT_EQ(map.pointsWritten(), 54);
    EXPECT_EQ(s.samples[0], 0);             // 0 below the range
    EXPECT_EQ(s.samples[3], 0);             // 2 at its bottom
    EXPECT_EQ(s.samples[6], 32767);         // 5 in the middle: trunc(0.5 * 65535)
    EXPECT_EQ(s.samples[3 * 9], 65535);     // 8 at its top
    EXPECT_EQ(s.samples[3 * 9 + 3], 65535); // 10 above it
    EXPECT_EQ(s.samples[3 * 9 + 6], 0);     // NaN never reaches a sample

    // As analysed: one sample per bin, over the map's own range (0, 10).
    s = map.tiffDataForSave(false, 2, 8, true);
    ASSERT_EQ(s.width, 3);
    ASSERT_EQ(s.height, 2);
    EXPECT_EQ(map.pointsWritten(), 6);
    EXPECT_EQ(s.samples[1], quint16(std::trunc(0.2 * 65535)));
    EXPECT_EQ(s.samples[4], 65535);
}

TEST(Analyzed2DRes, ProcessedGridIsSavedWhenShown) {
    Analyzed2DRes map("m");
    fillBins(map, 0, {{1, 4}, {4, 40}});
    map.deglitch2(10);  // 40 becomes the mean of 1, 4, 4: processed range (1, 4)
    map.setScale(0, 0); // a fixed range on the map does not steer the save
    map.setFixedScale(true);
    map.selectProcImg(true);
    const MapSamples16 s = map.tiffDataForSave(false, 0, 0, false);
    EXPECT_EQ(s.samples[0], 0);
    EXPECT_EQ(s.samples[1], 65535);
    EXPECT_EQ(s.samples[3], quint16(std::trunc(2.0 / 3.0 * 65535)));
}

TEST(Analyzed2DRes, UniformMapShowsTheTopWithoutNaN) {
    SharedWindow window;
    Analyzed2DRes map("m");
    fillBins(map, 0, {{3, 3}, {3, 3}});
    const MapSamples16 s = map.tiffDataForSave(false, 0, 0, false);
    for (quint16 v : s.samples)
        EXPECT_EQ(v, 65535);
    EXPECT_EQ(qGray(mapPicture(map).image.pixel(1, 1)), 255);
    // A zero-width fixed range is a step at its value.
    const MapSamples16 step = map.tiffDataForSave(true, 4, 4, false);
    EXPECT_EQ(step.samples[0], 0);
}

TEST(Analyzed2DRes, RendersThroughTheSharedColourMap) {
    SharedWindow window;
    Analyzed2DRes map("m");
    fillBins(map, 0, {{0, 5, 10, std::numeric_limits<double>::quiet_NaN()}});
    const auto rgb = [&map] { return mapPicture(map, ColorMap::shared(), QImage::Format_RGB888); };
    const QImage img = rgb().image;
    ASSERT_EQ(img.size(), QSize(4, 1));
    EXPECT_EQ(img.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(1, 0), qRgb(255, 128, 0)); // entry 383 of black-red-yellow-white
    EXPECT_EQ(img.pixel(2, 0), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(3, 0), qRgb(0, 0, 0));

    // The colour window stretches the map: the middle value at the upper
    // window fraction is white.
    ColorMap::setSharedWindow(0, 0.5);
    EXPECT_EQ(rgb().image.pixel(1, 0), qRgb(255, 255, 255));

    // A fixed range renders through it and goes with the picture to the
    // colour bar.
    ColorMap::setSharedWindow(0, 1);
    map.setScale(5, 7);
    map.setFixedScale(true);
    const ImageRenderer::MapPicture fixed = rgb();
    EXPECT_EQ(fixed.lo, 5);
    EXPECT_EQ(fixed.hi, 7);
    EXPECT_EQ(fixed.image.pixel(1, 0), qRgb(0, 0, 0));
    EXPECT_EQ(fixed.image.pixel(2, 0), qRgb(255, 255, 255));
}

TEST(Analyzed2DRes, GreyImageRowsArePaddedAndShowTheProcessedGridOnRequest) {
    SharedWindow window;
    Analyzed2DRes map("m");
    fillBins(map, 0, {{0, 10, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 10}});
    const QImage img = mapPicture(map).image;
    EXPECT_EQ(img.format(), QImage::Format_Grayscale8);
    EXPECT_EQ(img.bytesPerLine() % 4, 0);
    EXPECT_EQ(img.scanLine(0)[1], 255);
    EXPECT_EQ(img.scanLine(2)[4], 255);
    map.deglitch2(5); // both tens are outliers and become 0
    map.selectProcImg(true);
    const QImage processed = mapPicture(map).image;
    EXPECT_EQ(processed.scanLine(0)[1], processed.scanLine(0)[0]);
}

// Place of v in [lo, hi] as the colour image takes it: NaN at the bottom, a
// range of no width a step at its value, infinities at their end.
static double placeInRange(double v, double lo, double hi) {
    if (std::isnan(v))
        return 0;
    if (hi == lo)
        return v >= lo ? 1 : 0;
    const double f = (v - lo) / (hi - lo);
    return std::isnan(f) ? (v > lo ? 1 : 0) : f;
}

TEST(Analyzed2DRes, ImageBytesAreThoseOfThePixelWriter) {
    // Values on and beside every RGB table boundary of the range (2, 5), its
    // ends, outside it and not finite; every pixel must carry exactly the bytes
    // the colour map's writer gives for its place in the display range.
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> values = {std::nan(""), -inf, inf, -1, 2, 5, 9, 1e300}; // odd count
    for (int k = 0; k <= 766; ++k) {
        const double v = 2 + 3.0 * k / 766;
        values.insert(values.end(), {v, std::nextafter(v, -inf), std::nextafter(v, inf)});
    }
    const int n = int(values.size());
    Analyzed2DRes map("m");
    map.prepare(AnalyzeCond(n, 1, 0, 0, 0, 0, n, 1, -1, -1));
    for (int x = 0; x < n; ++x)
        map.setData(x, 0, 0, 0, values[size_t(x)]);
    SharedWindow restore;
    const double windows[][2] = {{0, 1}, {0.2, 0.7}, {0.7, 0.2}, {0.4, 0.4}};
    const double ranges[][2] = {{2, 5}, {5, 2}, {3, 3}, {-inf, inf}};
    for (QImage::Format format : {QImage::Format_Grayscale8, QImage::Format_RGB888}) {
        const int bpp = format == QImage::Format_RGB888 ? 3 : 1;
        for (const auto &w : windows) {
            ColorMap::setSharedWindow(w[0], w[1]);
            const ColorMap colorMap = ColorMap::shared();
            for (const auto &r : ranges) {
                map.setScale(r[0], r[1]);
                map.setFixedScale(true);
                const QImage img = mapPicture(map, colorMap, format).image;
                const uchar *row = img.constScanLine(0);
                for (int x = 0; x < n; ++x) {
                    uchar expected[3] = {0, 0, 0};
                    colorMap.writePixel(placeInRange(values[size_t(x)], r[0], r[1]), expected,
                                        format);
                    ASSERT_EQ(std::memcmp(row + x * bpp, expected, size_t(bpp)), 0)
                        << "value " << values[size_t(x)] << " window " << w[0] << "," << w[1]
                        << " range " << r[0] << "," << r[1] << " bpp " << bpp;
                }
            }
        }
    }
}

TEST(Analyzed2DRes, BlocksRenderWhole) {
    // Bins are blocks of equal cells; every pixel of each block gets its colour.
    SharedWindow window;
    Analyzed2DRes map("m");
    fillBins(map, 1, {{0, 10, 0}, {10, 0, 5}});
    const QImage img = mapPicture(map).image;
    const int expected[2][3] = {{0, 255, 0}, {255, 0, 128}};
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x)
            EXPECT_EQ(img.scanLine(y)[x], expected[y / 3][x / 3]) << x << "," << y;
}

TEST(Analyzed2DRes, TextListAndMatrixForms) {
    QTemporaryDir dir;
    Analyzed2DRes one("m");
    fillBins(one, 2, {{0.123456789}});
    ASSERT_TRUE(one.writeText(dir.filePath("one.dat"), false, false));
    EXPECT_EQ(textOf(dir.filePath("one.dat")), "\n0.123457\n");

    Analyzed2DRes map("m");
    fillBins(map, 1, {{1, 2.5}, {-3, 1e-7}});
    ASSERT_TRUE(map.writeText(dir.filePath("m.csv"), true, false));
    EXPECT_EQ(textOf(dir.filePath("m.csv")), "\n1,2.5\n-3,1e-07\n");
    ASSERT_TRUE(map.writeText(dir.filePath("m.ssv"), false, false));
    EXPECT_EQ(textOf(dir.filePath("m.ssv")), "\n1 2.5\n-3 1e-07\n");
    ASSERT_TRUE(map.writeText(dir.filePath("l.csv"), true, true));
    EXPECT_EQ(textOf(dir.filePath("l.csv")), "1,1,1\n4,1,2.5\n1,4,-3\n4,4,1e-07\n");
    ASSERT_TRUE(map.writeText(dir.filePath("l.ssv"), false, true));
    EXPECT_EQ(textOf(dir.filePath("l.ssv")), "1 1 1\n4 1 2.5\n1 4 -3\n4 4 1e-07\n");

    DebugLog::Capture log;
    const QString bad = dir.filePath("missing/dir/m.dat");
    EXPECT_FALSE(map.writeText(bad, true, true));
    EXPECT_TRUE(log.contains("Can't open " + bad));
}

TEST(Analyzed2DRes, CopyIsDeepAndComplete) {
    SharedWindow window;
    Analyzed2DRes src("a2d DMut");
    src.setNo(3);
    fillBins(src, 0, {{1, 2}, {3, 4}});
    src.deglitch2(100);

    Analyzed2DRes unfilled(src); // values survive even before the map is marked filled
    EXPECT_EQ(unfilled.valueAt(1, 1), 4);
    EXPECT_FALSE(unfilled.isFilled());

    src.setScale(1, 2);
    src.setCategories(2);
    src.markFilled();
    Analyzed2DRes copy(src);
    EXPECT_EQ(copy.name(), "a2d DMut");
    EXPECT_EQ(copy.no(), 3);
    EXPECT_EQ(copy.fixMin(), 1);
    EXPECT_EQ(copy.max(), 4);
    EXPECT_EQ(copy.maxPos(), QPoint(1, 1));
    EXPECT_EQ(copy.pmax(), 4);
    EXPECT_EQ(copy.categories(), 2);
    EXPECT_TRUE(copy.isFilled());
    EXPECT_NE(copy.values(), src.values());

    src.setData(0, 0, 0, 0, 9);
    src.clear();
    EXPECT_EQ(copy.valueAt(0, 0), 1);
    EXPECT_EQ(copy.processedAt(1, 0), 2);

    Analyzed2DRes assigned("other");
    assigned = copy;
    EXPECT_EQ(assigned.name(), "a2d DMut");
    EXPECT_EQ(assigned.valueAt(1, 0), 2);
    assigned = Analyzed2DRes("blank");
    EXPECT_FALSE(assigned.hasGrids());
}
