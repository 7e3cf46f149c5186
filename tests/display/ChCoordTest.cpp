#include "display/ChCoord.h"

#include <gtest/gtest.h>

TEST(ChCoordTest, TransformsRoundTripWithInvertedYAxis) {
    ChCoord c;
    c.setScreen(0, 0, 200, 100);
    // Data y grows upwards: ry0 at the bottom of the screen.
    c.setReal(10, 5, 30, -5);
    EXPECT_DOUBLE_EQ(c.realToScreenX(10), 0);
    EXPECT_DOUBLE_EQ(c.realToScreenX(20), 100);
    EXPECT_DOUBLE_EQ(c.realToScreenY(5), 0);
    EXPECT_DOUBLE_EQ(c.realToScreenY(-5), 100);
    EXPECT_DOUBLE_EQ(c.screenToRealX(c.realToScreenX(17.25)), 17.25);
    EXPECT_DOUBLE_EQ(c.screenToRealY(c.realToScreenY(-1.5)), -1.5);
    // Distances drop the offsets and keep the axis direction.
    EXPECT_DOUBLE_EQ(c.realToScreenDX(2), 20);
    EXPECT_DOUBLE_EQ(c.realToScreenDY(1), -10);
    EXPECT_DOUBLE_EQ(c.screenToRealDX(50), 5);
    EXPECT_DOUBLE_EQ(c.screenToRealDY(-10), 1);
}

TEST(ChCoordTest, ClampedInverseStaysInsideWindowWhicheverEndIsLarger) {
    ChCoord c;
    c.setScreen(0, 0, 100, 100);
    c.setReal(0, 10, 10, 0);
    EXPECT_DOUBLE_EQ(c.screenToRealXClamped(-50), 0);
    EXPECT_DOUBLE_EQ(c.screenToRealXClamped(150), 10);
    EXPECT_DOUBLE_EQ(c.screenToRealYClamped(-50), 10);
    EXPECT_DOUBLE_EQ(c.screenToRealYClamped(150), 0);
    EXPECT_DOUBLE_EQ(c.screenToRealYClamped(30), 7);
}

TEST(ChCoordTest, MarginsShrinkPlotAreaAndBandsFollowIt) {
    ChCoord c;
    c.setScreen(0, 0, 205, 105);
    c.applyMargins();
    EXPECT_EQ(c.sx0(), 20);  // int(0.1 * 205)
    EXPECT_EQ(c.sx1(), 195); // 205 - int(0.05 * 205)
    EXPECT_EQ(c.sy0(), 10);
    EXPECT_EQ(c.sy1(), 100);
    EXPECT_EQ(c.x1(), 205);
    // Band is 0.1 * 175 = 17.5 pixels from either end of the plot area.
    EXPECT_TRUE(c.inEdgeBandX(37));
    EXPECT_FALSE(c.inEdgeBandX(38));
    EXPECT_FALSE(c.inEdgeBandX(177));
    EXPECT_TRUE(c.inEdgeBandX(178));
    EXPECT_TRUE(c.inEdgeBandX(-5));
    EXPECT_TRUE(c.inEdgeBandX(300));
    EXPECT_TRUE(c.inEdgeBandY(18));
    EXPECT_FALSE(c.inEdgeBandY(50));
}

TEST(ChCoordTest, DegenerateWindowGivesFiniteCoordinates) {
    ChCoord c;
    c.setScreen(0, 0, 100, 100);
    c.setReal(3, 3, 3, 3);
    EXPECT_DOUBLE_EQ(c.realToScreenX(7), 0);
    EXPECT_DOUBLE_EQ(c.realToScreenDY(7), 0);
    c.setScreen(5, 5, 5, 5);
    c.setReal(0, 0, 1, 1);
    EXPECT_DOUBLE_EQ(c.screenToRealX(40), 0);
}

TEST(ChCoordTest, TickStepFollowsLeadingDigit) {
    struct Case {
        double a, b, step;
    } cases[] = {
        {0, 1, 0.2},       {0, 2.5, 0.2},    {0, 3, 0.5},    {0, 4.9, 0.5},      {0, 5, 1},
        {0, 7.9, 1},       {0, 8, 2},        {0, 9.99, 2},   {0, 10, 2},         {0, 0.3, 0.05},
        {7000, 7600, 100}, {-0.2, 1.2, 0.2}, {0, 1500, 200}, {1e-6, 9e-6, 2e-6},
    };
    for (const Case &c : cases) {
        const ChCoord::Ticks t = ChCoord::ticks(c.a, c.b);
        EXPECT_NEAR(t.step, c.step, c.step * 1e-9) << c.a << " .. " << c.b;
    }
}

TEST(ChCoordTest, TicksCoverRangeOnMultiplesOfStep) {
    ChCoord::Ticks t = ChCoord::ticks(6950, 7580);
    EXPECT_DOUBLE_EQ(t.step, 100);
    EXPECT_DOUBLE_EQ(t.first, 7000);
    EXPECT_DOUBLE_EQ(t.last, 7500);
    EXPECT_EQ(t.values().size(), 6);

    t = ChCoord::ticks(-0.25, 0.3);
    EXPECT_DOUBLE_EQ(t.step, 0.1);
    const QVector<double> v = t.values();
    ASSERT_EQ(v.size(), 6);
    EXPECT_NEAR(v.front(), -0.2, 1e-12);
    EXPECT_NEAR(v.back(), 0.3, 1e-12);

    // Ends that are themselves ticks are included.
    t = ChCoord::ticks(0, 1);
    EXPECT_EQ(t.values().size(), 6);
}

TEST(ChCoordTest, EmptyOrBrokenRangeHasNoTicks) {
    EXPECT_TRUE(ChCoord::ticks(1, 1).values().isEmpty());
    EXPECT_TRUE(ChCoord::ticks(2, 1).values().isEmpty());
    EXPECT_TRUE(ChCoord::ticks(0, qInf()).values().isEmpty());
    EXPECT_TRUE(ChCoord::ticks(qQNaN(), 1).values().isEmpty());
    // Finite ends whose span overflows or whose power of ten underflows.
    EXPECT_EQ(ChCoord::ticks(-1e308, 1e308).step, 0);
    EXPECT_TRUE(ChCoord::ticks(-1e300, 1e300).values().isEmpty()); // an empty plot's bounds
    EXPECT_EQ(ChCoord::ticks(0, 1e298).values().size(), 6);
    EXPECT_EQ(ChCoord::ticks(0, 5e-324).step, 0);
    EXPECT_TRUE(ChCoord::ticks(-1e308, 1e308).values().isEmpty());
}
