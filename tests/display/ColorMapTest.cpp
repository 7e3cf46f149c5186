#include "display/ColorMap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

QColor rgbAt(const ColorMap &m, double x) {
    uchar px[3] = {1, 2, 3};
    EXPECT_EQ(m.writePixel(x, px, QImage::Format_RGB888), px + 3);
    return QColor(px[0], px[1], px[2]);
}

int greyAt(const ColorMap &m, double x) {
    uchar px = 7;
    EXPECT_EQ(m.writePixel(x, &px, QImage::Format_Grayscale8), &px + 1);
    return px;
}

} // namespace

TEST(ColorMap, RgbTableRunsBlackRedYellowWhite) {
    const uchar *t = ColorMap::rgbTable();
    auto entry = [t](int i) { return QColor(t[3 * i], t[3 * i + 1], t[3 * i + 2]); };
    EXPECT_EQ(entry(0), QColor(0, 0, 0));
    EXPECT_EQ(entry(255), QColor(255, 0, 0));
    EXPECT_EQ(entry(256), QColor(255, 1, 0));
    EXPECT_EQ(entry(510), QColor(255, 255, 0));
    EXPECT_EQ(entry(511), QColor(255, 255, 1));
    EXPECT_EQ(entry(765), QColor(255, 255, 255));
    EXPECT_EQ(entry(766), QColor(255, 255, 255));
    // Each step raises exactly one channel by one: the ramp has no jumps.
    for (int i = 1; i < ColorMap::RgbEntries - 1; ++i) {
        const int rise = (t[3 * i] - t[3 * i - 3]) + (t[3 * i + 1] - t[3 * i - 2]) +
                         (t[3 * i + 2] - t[3 * i - 1]);
        EXPECT_EQ(rise, 1) << i;
    }
}

TEST(ColorMap, TableEntriesClampFractions) {
    EXPECT_EQ(ColorMap::rgbIndex(-0.5), 0);
    EXPECT_EQ(ColorMap::rgbIndex(0.5), 383);
    EXPECT_EQ(ColorMap::rgbIndex(1.0), 766);
    EXPECT_EQ(ColorMap::rgbIndex(7.0), 766);
    EXPECT_EQ(ColorMap::greyIndex(1.0), 255);
    EXPECT_EQ(ColorMap::greyIndex(0.999), 255);
    EXPECT_EQ(ColorMap::greyIndex(0.5), 128);
    EXPECT_EQ(ColorMap::greyIndex(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(ColorMap::rgbIndex(std::numeric_limits<double>::infinity()), 766);
}

TEST(ColorMap, WindowStretchesFractions) {
    ColorMap m;
    m.setWindow(0.25, 0.75);
    EXPECT_EQ(greyAt(m, 0.25), 0);
    EXPECT_EQ(greyAt(m, 0.5), 128);
    EXPECT_EQ(greyAt(m, 0.75), 255); // at the upper fraction: last entry
    EXPECT_EQ(rgbAt(m, 0.75), QColor(255, 255, 255));
    EXPECT_EQ(rgbAt(m, 0.1), QColor(0, 0, 0));
    // Outside [0, 1] before stretching: clamped only after stretching.
    m.setWindow(-1, 3);
    EXPECT_EQ(greyAt(m, -0.5), 32);
    EXPECT_EQ(greyAt(m, 2.0), 192);
}

TEST(ColorMap, InvertedWindowInvertsTheRamp) {
    ColorMap m;
    m.setWindow(0.8, 0.2);
    EXPECT_EQ(greyAt(m, 0.8), 0);
    EXPECT_EQ(greyAt(m, 0.2), 255);
    EXPECT_GT(greyAt(m, 0.3), greyAt(m, 0.7));
}

TEST(ColorMap, EmptyWindowIsAStep) {
    ColorMap m;
    m.setWindow(0.4, 0.4);
    EXPECT_EQ(greyAt(m, 0.39), 0);
    EXPECT_EQ(greyAt(m, 0.4), 255);
    EXPECT_EQ(rgbAt(m, 0.9), QColor(255, 255, 255));
    EXPECT_EQ(greyAt(m, std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(ColorMap, OtherFormatsWriteNothing) {
    ColorMap m;
    uchar px[4] = {9, 9, 9, 9};
    EXPECT_EQ(m.writePixel(0.5, px, QImage::Format_ARGB32), px);
    EXPECT_EQ(px[0], 9);
    EXPECT_EQ(ColorMap::bytesPerPixel(QImage::Format_ARGB32), 0);
}

TEST(ColorMap, ColourOfValueUsesTheRealRange) {
    ColorMap m;
    m.setFormat(QImage::Format_RGB888);
    m.setRange(100, 200);
    EXPECT_EQ(m.colorOfValue(100), QColor(0, 0, 0));
    EXPECT_EQ(m.colorOfValue(200), QColor(255, 255, 255));
    EXPECT_EQ(m.colorOfValue(150), ColorMap::rgbEntry(0.5));
    m.setFormat(QImage::Format_Grayscale8);
    EXPECT_EQ(m.colorOfFraction(0.5), QColor(128, 128, 128));
    m.setRange(5, 5); // empty range: no division by zero
    EXPECT_EQ(m.colorOfValue(4), QColor(0, 0, 0));
    EXPECT_EQ(m.colorOfValue(5), QColor(255, 255, 255));
}

TEST(ColorMap, OverlayColoursCycleByNine) {
    EXPECT_EQ(ColorMap::overlayColor(0), QColor(255, 0, 0));
    EXPECT_EQ(ColorMap::overlayColor(8), QColor(0, 200, 255));
    EXPECT_EQ(ColorMap::overlayColor(9), QColor(255, 0, 0));
    EXPECT_EQ(ColorMap::overlayColor(-1), QColor(0, 200, 255));
}

TEST(ColorMap, SharedWindowIsASnapshot) {
    const ColorMap saved = ColorMap::shared();
    ColorMap::setSharedWindow(0.1, 0.9);
    ColorMap::setSharedRange(-2, 2);
    ColorMap snap = ColorMap::shared();
    ColorMap::setSharedWindow(0, 1);
    EXPECT_DOUBLE_EQ(snap.lower(), 0.1);
    EXPECT_DOUBLE_EQ(snap.realMinimum(), -2);
    EXPECT_DOUBLE_EQ(ColorMap::shared().lower(), 0);
    ColorMap::setShared(saved);
}
