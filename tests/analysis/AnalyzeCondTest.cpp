#include "analysis/AnalyzeCond.h"

#include <climits>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct Visit {
    int cx, cy;
    bool newRow;
    bool operator==(const Visit &o) const { return cx == o.cx && cy == o.cy && newRow == o.newRow; }
};

std::vector<Visit> walk(AnalyzeCond g) {
    std::vector<Visit> out;
    g.reset();
    do {
        out.push_back({g.cx, g.cy, g.newRow});
        if (out.size() > 100000)
            break; // a runaway walk fails the test instead of hanging it
    } while (g.next());
    return out;
}

} // namespace

TEST(AnalyzeCond, TilesTenByTenWithThreePixelBins) {
    AnalyzeCond g(10, 10, 1, 1, 0, 0, 10, 10, -1, -1);
    EXPECT_EQ(g.sx, 3);
    EXPECT_EQ(g.sy, 3);
    const std::vector<Visit> v = walk(g);
    ASSERT_EQ(v.size(), 9u);
    const int c[3] = {1, 4, 7};
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(v[size_t(i + 3 * j)], (Visit{c[i], c[j], i == 0}));
    EXPECT_EQ(g.binsX(), 3);
    EXPECT_EQ(g.binsY(), 3);
}

TEST(AnalyzeCond, AreaTruncatedSwappedAndOffset) {
    // Negative width: the column range is swapped; coordinates are truncated.
    AnalyzeCond g(100, 100, 2, 0, 20.7, 5.2, -10.5, 2.9, -1, -1);
    EXPECT_EQ(g.x0, 10);
    EXPECT_EQ(g.x1, 20);
    EXPECT_EQ(g.y0, 5);
    EXPECT_EQ(g.y1, 8);
    EXPECT_EQ(g.cx, 12);
    EXPECT_EQ(g.cy, 5);
    EXPECT_TRUE(g.newRow);
    const std::vector<Visit> v = walk(g);
    ASSERT_EQ(v.size(), 6u); // centres 12, 17 in x; 5, 6, 7 in y
    EXPECT_EQ(v[1], (Visit{17, 5, false}));
    EXPECT_EQ(v[2], (Visit{12, 6, true}));
}

TEST(AnalyzeCond, AreaSmallerThanABinIsVisitedOnce) {
    AnalyzeCond g(50, 50, 3, 3, 10, 10, 0, 0, -1, -1);
    const std::vector<Visit> v = walk(g);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0], (Visit{13, 13, true}));
    EXPECT_EQ(g.binCount(), 1);
}

TEST(AnalyzeCond, ZeroOrNegativeStepsAndHalfSizesNeverStall) {
    AnalyzeCond zeroStep(20, 20, 1, 1, 0, 0, 9, 9, 0, 0);
    EXPECT_EQ(walk(zeroStep).size(), 9u);
    AnalyzeCond negHalf(20, 20, -4, -4, 0, 0, 4, 2, -1, -1);
    EXPECT_EQ(negHalf.hx, 0);
    EXPECT_EQ(walk(negHalf).size(), 8u);
    AnalyzeCond manual; // fields set by hand, step left at 0
    manual.x1 = 3;
    manual.y1 = 2;
    EXPECT_EQ(walk(manual).size(), 6u);
}

TEST(AnalyzeCond, BinCountsAgreeWithTheWalk) {
    // The 16-bit "as analysed" save sizes its picture from binsX/binsY and
    // fills it by walking; they must agree for every geometry.
    for (int h = 0; h <= 3; ++h)
        for (int w = 0; w <= 12; ++w)
            for (int step : {-1, 1, 2, 5}) {
                AnalyzeCond g(64, 64, h, h, 3, 2, w, w / 2, step, step);
                EXPECT_EQ(int(walk(g).size()), g.binCount())
                    << "half " << h << " width " << w << " step " << step;
            }
}

TEST(AnalyzeCond, ResetReturnsToTheFirstBin) {
    AnalyzeCond g(10, 10, 1, 1, 0, 0, 10, 10, -1, -1);
    g.next();
    g.next();
    g.next();
    EXPECT_EQ(g.cy, 4);
    g.reset();
    EXPECT_EQ(g.cx, 1);
    EXPECT_EQ(g.cy, 1);
    EXPECT_TRUE(g.newRow);
}

TEST(AnalyzeCond, AbsurdHalfSizesAndAreasStayDefinedAndFinish) {
    struct Case {
        int hx, hy;
        double x, y, w, h;
        qint64 bins;
    };
    const Case cases[] = {
        {INT_MAX, 1500000000, 0, 0, 64, 48, 1}, // one bin, the half sizes pinned
        {1 << 30, 0, -1e10, 0, 2e10, 1, 4},     // bins of 2^29 + 1 over +-2^30 pixels
        {0, 0, -1e10, -1e10, 2e10, 2e10, qint64(INT_MAX) * INT_MAX}, // counted, not walked
    };
    for (const Case &c : cases) {
        const AnalyzeCond g(64, 48, c.hx, c.hy, c.x, c.y, c.w, c.h);
        EXPECT_LE(g.hx, 1 << 28);
        EXPECT_GT(g.sx, 0);
        EXPECT_EQ(g.binCount(), c.bins) << c.hx << " " << c.x;
        if (c.bins < 100)
            EXPECT_EQ(qint64(walk(g).size()), c.bins);
    }
}
