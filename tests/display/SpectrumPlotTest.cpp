#include "display/SpectrumPlot.h"
#include "display/EnergyWindow.h"
#include "display/PolylineRuns.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

TEST(EnergyWindow, FollowSetsBothRangesOnlyWhileFollowing) {
    EnergyWindow w;
    w.followRange(8900, 9300);
    EXPECT_DOUBLE_EQ(w.xMinShown, 8900);
    EXPECT_DOUBLE_EQ(w.xMaxReset, 9300);

    w.follow = false;
    w.followRange(100, 200);
    EXPECT_DOUBLE_EQ(w.xMinShown, 8900);
    EXPECT_DOUBLE_EQ(w.xMinReset, 8900);
}

TEST(EnergyWindow, ZoomKeepsTheEnergyUnderTheMouseAndResetRestores) {
    EnergyWindow w;
    w.followRange(0, 100);
    w.zoomAbout(20, 1 / 1.1);
    EXPECT_NEAR(w.xMinShown, 20 - 20 / 1.1, 1e-12);
    EXPECT_NEAR(w.xMaxShown, 20 + 80 / 1.1, 1e-12);
    // The fraction of the window left of the zoom centre is unchanged.
    EXPECT_NEAR((20 - w.xMinShown) / (w.xMaxShown - w.xMinShown), 0.2, 1e-12);

    w.pan(5);
    EXPECT_NEAR(w.xMinShown, 25 - 20 / 1.1, 1e-12);
    w.reset();
    EXPECT_DOUBLE_EQ(w.xMinShown, 0);
    EXPECT_DOUBLE_EQ(w.xMaxShown, 100);
}

TEST(SpectrumPlot, PositionIndexTakesFirstMidpointBeyondTheEnergy) {
    const std::vector<double> e = {100, 110, 120, 130};
    auto at = [&](int i) { return e[size_t(i)]; };
    EXPECT_EQ(SpectrumPlot::positionIndex(4, at, 90), 0);
    EXPECT_EQ(SpectrumPlot::positionIndex(4, at, 105), 1); // midpoint 105 does not exceed 105
    EXPECT_EQ(SpectrumPlot::positionIndex(4, at, 114.9), 1);
    EXPECT_EQ(SpectrumPlot::positionIndex(4, at, 500), 3);
    EXPECT_EQ(SpectrumPlot::positionIndex(1, at, 500), 0);
    EXPECT_EQ(SpectrumPlot::positionIndex(0, at, 500), -1);
}

TEST(SpectrumPlot, FftShowsATenthAndExcludesTheZeroFrequencyFromItsWindow) {
    EXPECT_EQ(SpectrumPlot::fftShownCount(40), 4);
    EXPECT_EQ(SpectrumPlot::fftShownCount(9), 0);
    EXPECT_EQ(SpectrumPlot::fftShownCount(10), 1);

    const double mag[] = {1000, 3, 7, 0.5, 99};
    const auto r = SpectrumPlot::fftMagnitudeWindow(mag, 4); // k = 1, 2
    EXPECT_DOUBLE_EQ(r.lo, 3);
    EXPECT_DOUBLE_EQ(r.hi, 7);

    const auto degenerate = SpectrumPlot::fftMagnitudeWindow(mag, 2);
    EXPECT_EQ(degenerate.lo, std::numeric_limits<double>::max());
    EXPECT_EQ(degenerate.hi, std::numeric_limits<double>::min());
}

TEST(SpectrumPlot, ExtMsgFormat) {
    EXPECT_EQ(SpectrumPlot::extMsg(0.012345, 8979.123456), "dMut =  1.235e-02, Edge 8979.12 [eV]");
    EXPECT_EQ(SpectrumPlot::extMsg(-2, 0), "dMut = -2.000e+00, Edge 0 [eV]");
}

namespace {
struct Curve {
    std::vector<double> x, y;
    QPointF operator()(int i) const { return {x[size_t(i)], y[size_t(i)]}; }
};
QPointF identity(const QPointF &p) {
    return p;
}
} // namespace

TEST(PolylineRuns, BreaksAtWideGapsAndNonFiniteValues) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Curve c{{0, 10, 20, 80, 90, 100, 110, 120}, {1, 2, 3, 4, inf, 5, nan, 6}};
    PolylineRuns runs;
    runs.build(8, c, identity, 50);
    // [0 10 20] | gap 60 | [80] | inf | [100] | nan | [120]
    ASSERT_EQ(runs.runCount(), 4);
    EXPECT_EQ(runs.runLength(0), 3);
    EXPECT_EQ(runs.runLength(1), 1);
    EXPECT_EQ(runs.point(3, 0), QPointF(120, 6));
    EXPECT_EQ(runs.pointCount(), 6);

    // A gap of exactly the limit is still joined; no limit joins everything finite.
    Curve d{{0, 50, 200}, {0, 0, 0}};
    runs.build(3, d, identity, 50);
    EXPECT_EQ(runs.runCount(), 2);
    runs.build(3, d, identity, 0);
    EXPECT_EQ(runs.runCount(), 1);
}

TEST(PolylineRuns, MapsPointsAndDrawsOnlyWithinRuns) {
    Curve c{{0, 1, 2, 100, 101}, {0, 0, 0, 0, 0}};
    PolylineRuns runs;
    runs.build(
        5, c, [](const QPointF &p) { return QPointF(p.x() * 10 + 5, 20 - p.y()); }, 50);
    ASSERT_EQ(runs.runCount(), 2);
    EXPECT_EQ(runs.point(0, 2), QPointF(25, 20));

    // Rebuilding a shorter curve replaces the old one completely.
    runs.build(2, c, identity, 50);
    EXPECT_EQ(runs.runCount(), 1);
    EXPECT_EQ(runs.pointCount(), 2);

    QImage img(60, 30, QImage::Format_RGB32);
    img.fill(Qt::white);
    Curve line{{0, 2, 4}, {0, 0, 0}};
    runs.build(
        3, line, [](const QPointF &p) { return QPointF(p.x() * 10 + 5, 20 - p.y()); }, 50);
    {
        QPainter p(&img);
        p.setPen(QPen(Qt::black, 1));
        runs.draw(p);
    }
    EXPECT_EQ(img.pixel(25, 20), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(25, 10), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(55, 20), qRgb(255, 255, 255));
}
