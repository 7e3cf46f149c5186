#include "spectrum/VictLine.h"
#include "spectrum/PhysicalConstants.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

Spectrum line(double from, double to, double step, double slope, double c0) {
    Spectrum s;
    for (double e = from; e <= to + 1e-9; e += step)
        s.addPoint(e, slope * e + c0);
    return s;
}

double victoreen(double e, double c0, double C, double D) {
    const double l = PhysicalConstants::wavelength(e);
    return c0 + C * l * l * l + D * l * l * l * l;
}

} // namespace

TEST(VictLineFitTest, StraightLineRecoveredExactly) {
    VictLine v;
    EXPECT_TRUE(v.fit(line(100, 200, 10, 0.25, -3), 100, 200, 1));
    EXPECT_EQ(v.ok(), 1);
    EXPECT_NEAR(v.slope(), 0.25, 1e-13);
    EXPECT_NEAR(v.c0(), -3, 1e-10);
    EXPECT_NEAR(v.sigma(), 0, 1e-10);
    EXPECT_EQ(v.nUsed(), 10); // 200 itself is outside [100, 200)
    EXPECT_EQ(v.start(), 100);
    EXPECT_EQ(v.end(), 200);
    EXPECT_NEAR(v.lineValue(300), 72, 1e-9);
}

TEST(VictLineFitTest, OnePointInRangeGivesFlatLineAndFailure) {
    Spectrum s;
    s.addPoint(1, 5);
    s.addPoint(2, 7.25);
    s.addPoint(3, 11);
    VictLine v;
    EXPECT_FALSE(v.fit(s, 1.5, 2.5, 1));
    EXPECT_EQ(v.slope(), 0.0);
    EXPECT_EQ(v.c0(), 7.25);
    EXPECT_EQ(v.sigma(), 0.0);
    EXPECT_EQ(v.nUsed(), 1);
    // No point at all: c0 = 0 and the empty residual reads 1.
    EXPECT_FALSE(v.fit(s, 10, 20, 1));
    EXPECT_EQ(v.c0(), 0.0);
    EXPECT_EQ(v.sigma(), 1.0);
    EXPECT_EQ(v.nUsed(), 0);
}

TEST(VictLineFitTest, TooFewPointsLeaveCoefficientsAlone) {
    VictLine v;
    ASSERT_TRUE(v.fit(line(0, 10, 1, 2, 1), 0, 11, 1));
    const double slope = v.slope(), c0 = v.c0(), sigma = v.sigma();
    Spectrum two;
    two.addPoint(1, 1);
    two.addPoint(2, 9);
    EXPECT_FALSE(v.fit(two, 0, 10, 1));
    EXPECT_EQ(v.ok(), 0);
    EXPECT_EQ(v.slope(), slope);
    EXPECT_EQ(v.c0(), c0);
    EXPECT_EQ(v.sigma(), sigma);
    EXPECT_EQ(v.end(), 10); // the range is stored all the same
    Spectrum three = two;
    three.addPoint(3, 4);
    EXPECT_FALSE(v.fit(three, 0, 10, 0)); // the Victoreen form needs four
    EXPECT_EQ(v.c0(), c0);
    EXPECT_EQ(v.simple(), 0);
}

TEST(VictLineFitTest, UpperEndExcludedFromFitsButIncludedInVictoreenResidual) {
    // Points on y = E, except an outlier exactly at the upper end b = 5.
    Spectrum s;
    for (int e = 1; e <= 4; ++e)
        s.addPoint(e, e);
    s.addPoint(5, 105);
    s.addPoint(6, 6);
    VictLine straight;
    ASSERT_TRUE(straight.fit(s, 1, 5, 1));
    EXPECT_NEAR(straight.slope(), 1, 1e-12); // the outlier did not enter
    EXPECT_EQ(straight.nUsed(), 4);
    EXPECT_NEAR(straight.sigma(), 0, 1e-12);

    // Victoreen data with the same kind of outlier at b.
    Spectrum v;
    for (double e = 7000; e < 9000; e += 100)
        v.addPoint(e, victoreen(e, 1, 0.5, -0.1));
    v.addPoint(9000, victoreen(9000, 1, 0.5, -0.1) + 2);
    VictLine vic;
    ASSERT_TRUE(vic.fit(v, 7000, 9000, 0));
    EXPECT_EQ(vic.nUsed(), 21);
    EXPECT_NEAR(vic.sigma(), std::sqrt(4.0 / 21), 1e-6);
    EXPECT_NEAR(vic.vicC(), 0.5, 1e-6);
}

TEST(VictLineFitTest, FitStopsAtTheFirstPointBeyondTheRangeButTheResidualDoesNot) {
    // Energies out of order: the fit walks up to 10 >= b and stops, so the
    // later points at 4 and 5 do not enter it; the residual pass takes every
    // point inside [a, b), those two included.
    Spectrum s;
    for (const QPointF &p : {QPointF(1, 1), QPointF(2, 2), QPointF(3, 3), QPointF(10, 0),
                             QPointF(4, 100), QPointF(5, 100)})
        s.addPoint(p.x(), p.y());
    VictLine v;
    ASSERT_TRUE(v.fit(s, 0, 6, 1));
    EXPECT_NEAR(v.slope(), 1, 1e-12);
    EXPECT_NEAR(v.c0(), 0, 1e-12);
    EXPECT_EQ(v.nUsed(), 5);
    EXPECT_NEAR(v.sigma(), std::sqrt((96.0 * 96 + 95.0 * 95) / 5), 1e-9);
}

TEST(VictLineFitTest, KnownVictoreenCurveRecovered) {
    Spectrum s;
    for (double e = 6000; e <= 12000; e += 25)
        s.addPoint(e, victoreen(e, 0.3, 0.4, 0.05));
    VictLine v;
    ASSERT_TRUE(v.fit(s, 6000, 12001, 0));
    EXPECT_NEAR(v.c0(), 0.3, 1e-9);
    EXPECT_NEAR(v.vicC(), 0.4, 1e-8);
    EXPECT_NEAR(v.vicD(), 0.05, 1e-8);
    EXPECT_LT(v.sigma(), 1e-12);
    EXPECT_EQ(v.slope(), 0.0); // never fitted straight
    EXPECT_NEAR(v.lineValue(7777), victoreen(7777, 0.3, 0.4, 0.05), 1e-12);
}

TEST(VictLineFitTest, EqualEnergiesGiveSingularSystem) {
    Spectrum s;
    for (int i = 0; i < 5; ++i)
        s.addPoint(2.0, i);
    VictLine v;
    EXPECT_FALSE(v.fit(s, 0, 10, 1));
    EXPECT_TRUE(std::isfinite(v.slope()));
    EXPECT_TRUE(std::isfinite(v.c0()));
}

namespace {

// Pre-edge line y = 0.01 E on [100, 150), post-edge line y = 5 - 0.01 E on
// [160, 300): they approach each other upwards.
struct BridgePair {
    VictLine pre, post;
    BridgePair(double postSlope = -0.01, double postC0 = 5) {
        pre.fit(line(100, 200, 5, 0.01, 0), 100, 150, 1);
        post.fit(line(100, 300, 5, postSlope, postC0), 160, 300, 1);
    }
};

} // namespace

TEST(VictLineBridgeTest, BridgeAboveStartsOnThePreLineAndEndsOnTheLoweredPostValue) {
    BridgePair p;
    p.pre.bridgeAbove(p.post);
    ASSERT_TRUE(p.pre.bridged());
    EXPECT_TRUE(p.pre.bridgeIsAbove());
    ASSERT_EQ(p.pre.count(), VictLine::bridgeSamples);
    const QVector<QPointF> cp = p.pre.controlPoints();
    ASSERT_EQ(cp.size(), 4);
    const double f = 150, h = 300;
    const double d = p.pre.slope(), c = p.post.slope();
    // First sample = P0 on the pre-edge line at its end.
    EXPECT_EQ(p.pre.point(0), QPointF(f, d * f + p.pre.c0()));
    // Tangents: the pre-edge slope at the start, the post-edge slope at the end.
    EXPECT_NEAR((cp[1].y() - cp[0].y()) / (cp[1].x() - cp[0].x()), d, 1e-12);
    EXPECT_NEAR((cp[3].y() - cp[2].y()) / (cp[3].x() - cp[2].x()), c, 1e-12);
    // Crossing at 250: o = 1/3; e = 1.5, m = 3.5, l = 2, l' = 2 - (1/3)(2)/2.
    EXPECT_EQ(cp[3].x(), h);
    EXPECT_NEAR(cp[3].y(), 2 - 1.0 / 3, 1e-10);
    EXPECT_NEAR(cp[1].x() - f, 0.1 * (1.0 / 3) * 150, 1e-9);
    // The value above the end follows the bridge, below it the line.
    EXPECT_NEAR(p.pre.lineValue(140), 1.4, 1e-12);
    EXPECT_DOUBLE_EQ(p.pre.lineValue(p.pre.point(50).x()), p.pre.point(50).y());
    EXPECT_LT(p.pre.lineValue(290), 0.01 * 290);
}

TEST(VictLineBridgeTest, BridgeBelowMirrorsTheConstruction) {
    // Pre-edge line falling faster than the post-edge line.
    VictLine pre, post;
    pre.fit(line(100, 300, 5, -0.02, 6), 100, 150, 1);
    post.fit(line(100, 300, 5, 0.01, 0), 200, 300, 1);
    post.bridgeBelow(pre);
    ASSERT_TRUE(post.bridged());
    EXPECT_FALSE(post.bridgeIsAbove());
    const QVector<QPointF> cp = post.controlPoints();
    ASSERT_EQ(cp.size(), 4);
    // f = pre start 100, h = post start 200; l = P(100) = 4, g = P(200) = 2,
    // e = Q(200) = 2; x_c = 100 - (1 - 4)/(0.03) = 200; m = 0.5·0/(-100) = 0.
    EXPECT_NEAR(cp[0].x(), 100, 1e-12);
    EXPECT_NEAR(cp[0].y(), 4, 1e-9);
    EXPECT_NEAR(cp[3].y(), 2, 1e-9);
    EXPECT_EQ(cp[3].x(), 200);
    EXPECT_NEAR(post.lineValue(150), post.valueAt(150), 0);
    EXPECT_NEAR(post.lineValue(250), 2.5, 1e-9);
}

TEST(VictLineBridgeTest, NoBridgeWhenLinesDivergeOrCrossFarAway) {
    BridgePair diverging(0.02, 0);
    diverging.pre.bridgeAbove(diverging.post);
    EXPECT_FALSE(diverging.pre.bridged());
    EXPECT_EQ(diverging.pre.count(), 0);

    // Nearly parallel: crossing far beyond twice the distance (o > 1).
    BridgePair far(0.0099, 1);
    far.pre.bridgeAbove(far.post);
    EXPECT_FALSE(far.pre.bridged());

    // A Victoreen-form line never gets a bridge.
    BridgePair p;
    Spectrum vs;
    for (double e = 100; e <= 300; e += 5)
        vs.addPoint(e, 1 + 1e-6 * e);
    p.pre.fit(vs, 100, 150, 0);
    p.pre.bridgeAbove(p.post);
    EXPECT_FALSE(p.pre.bridged());
}

TEST(VictLineBridgeTest, BridgingAgainReplacesTheSamples) {
    BridgePair p;
    p.pre.bridgeAbove(p.post);
    const QVector<QPointF> first = p.pre.points();
    p.pre.bridgeAbove(p.post);
    EXPECT_EQ(p.pre.count(), VictLine::bridgeSamples);
    EXPECT_EQ(p.pre.points(), first);
    // A new fit drops the old bridge.
    p.pre.fit(line(100, 200, 5, 0.01, 0), 100, 150, 1);
    EXPECT_FALSE(p.pre.bridged());
    EXPECT_NEAR(p.pre.lineValue(290), 2.9, 1e-9);
}
