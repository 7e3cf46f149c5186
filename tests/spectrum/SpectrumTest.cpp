#include "spectrum/Spectrum.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

Spectrum fromPoints(std::initializer_list<std::pair<double, double>> pts) {
    Spectrum s;
    for (const auto &p : pts)
        s.addPoint(p.first, p.second);
    return s;
}

} // namespace

TEST(SpectrumTest, BoundsFollowAppendedPoints) {
    Spectrum s;
    EXPECT_EQ(s.xMin(), 1e300);
    EXPECT_EQ(s.xMax(), -1e300);
    EXPECT_EQ(s.iYMin(), -1879048193);
    EXPECT_EQ(s.iYMax(), 1879048193);
    s.addPoint(5, 2);
    s.addPoint(3, 7);
    s.addPoint(9, -1);
    s.addPoint(4, 7);
    EXPECT_EQ(s.xMin(), 3);
    EXPECT_EQ(s.xMax(), 9);
    EXPECT_EQ(s.yMin(), -1);
    EXPECT_EQ(s.iYMin(), 2);
    EXPECT_EQ(s.yMax(), 7);
    EXPECT_EQ(s.iYMax(), 1); // an equal value does not move the index
    s.clearBounds();
    EXPECT_EQ(s.yMin(), 1e300);
    EXPECT_EQ(s.iYMin(), 2);
}

TEST(SpectrumTest, ValueAtInterpolatesAndExtrapolates) {
    EXPECT_EQ(Spectrum().valueAt(3), 0.0);
    EXPECT_EQ(fromPoints({{1, 4}}).valueAt(100), 4.0);
    const Spectrum s = fromPoints({{0, 0}, {10, 10}, {20, 0}, {30, 5}});
    EXPECT_EQ(s.valueAt(10), 10.0); // exactly at a data energy
    EXPECT_EQ(s.valueAt(20), 0.0);
    EXPECT_EQ(s.valueAt(15), 5.0);
    EXPECT_EQ(s.valueAt(25), 2.5);
    EXPECT_EQ(s.valueAt(-5), -5.0); // line through the first two points
    EXPECT_EQ(s.valueAt(40), 10.0); // line through the last two points
    EXPECT_EQ(s.valueAt(30), 5.0);
    // Equal energies: the mean.
    EXPECT_EQ(fromPoints({{1, 2}, {1, 6}}).valueAt(1), 4.0);
    EXPECT_EQ(fromPoints({{1, 2}, {1, 6}}).valueAt(7), 4.0);
}

TEST(SpectrumTest, ShiftMovesTheEffectiveEnergies) {
    Spectrum s = fromPoints({{100, 1}, {110, 3}});
    s.setShifted(true);
    s.setShift(5);
    EXPECT_EQ(s.effectiveX(0), 95);
    EXPECT_EQ(s.valueAt(95), 1.0);
    EXPECT_EQ(s.valueAt(100), 2.0);
    EXPECT_EQ(s.valueAt(105), 3.0);
    s.setShifted(false);
    EXPECT_EQ(s.valueAt(105), 2.0);
}

TEST(SpectrumTest, SmoothingShrinksItsWindowAtTheEnds) {
    Spectrum s = fromPoints({{0, 1}, {1, 2}, {2, 6}, {3, 4}, {4, 8}, {5, 3}});
    s.smooth(2);
    ASSERT_EQ(s.smoothed().size(), 6);
    EXPECT_DOUBLE_EQ(s.smoothed()[0], 3.0);      // (1+2+6)/3
    EXPECT_DOUBLE_EQ(s.smoothed()[1], 13.0 / 4); // (1+2+6+4)/4
    EXPECT_DOUBLE_EQ(s.smoothed()[2], 21.0 / 5); // (1+2+6+4+8)/5
    EXPECT_DOUBLE_EQ(s.smoothed()[3], 23.0 / 5);
    EXPECT_DOUBLE_EQ(s.smoothed()[5], 5.0); // (4+8+3)/3
    EXPECT_DOUBLE_EQ(s.smoothedAt(4.5), (s.smoothed()[4] + s.smoothed()[5]) / 2);
    s.smooth(100); // wider than the spectrum: the overall mean everywhere
    EXPECT_DOUBLE_EQ(s.smoothed()[0], 4.0);
    EXPECT_DOUBLE_EQ(s.smoothed()[5], 4.0);

    // One infinite value does not spoil the means beyond its window.
    Spectrum inf =
        fromPoints({{0, 1}, {1, 1}, {2, HUGE_VAL}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}});
    inf.smooth(2);
    EXPECT_EQ(inf.smoothed()[7], 1.0);
}

TEST(SpectrumTest, CurvesWrittenWholeGetTheBoundsOfAppendedOnes) {
    const double ys[] = {3, -1, 7, 7, -1, NAN, 2};
    Spectrum appended, written;
    QPointF *p = written.pointsForWrite(7);
    for (int i = 0; i < 7; ++i) {
        appended.addPoint(10 - i, ys[i]);
        p[i] = QPointF(10 - i, ys[i]);
    }
    written.rebuildBounds();
    EXPECT_EQ(written.count(), appended.count());
    EXPECT_EQ(written.xMin(), appended.xMin());
    EXPECT_EQ(written.xMax(), appended.xMax());
    EXPECT_EQ(written.yMin(), appended.yMin());
    EXPECT_EQ(written.yMax(), appended.yMax());
    EXPECT_EQ(written.iYMin(), 1);
    EXPECT_EQ(written.iYMax(), 2);
    EXPECT_EQ(appended.iYMin(), 1);
    EXPECT_EQ(appended.iYMax(), 2);
    // A shorter curve reuses the storage.
    const QPointF *storage = written.points().constData();
    written.pointsForWrite(3);
    EXPECT_EQ(written.points().constData(), storage);
}
