#include "measurement/MeasurementStack.h"

#include "analysis/AnalyzeCond.h"
#include "analysis/Analyzed2DRes.h"
#include "imageio/TiffData.h"

#include <QDir>
#include <QTemporaryDir>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr int W = 8;
constexpr int H = 6;
using PixelFn = std::function<double(int x, int y)>;

// Pixel values chosen so that every bin sum differs from every other one.
double i1Pixel(int i, int x, int y) {
    return 1000 + 37 * x + 11 * y + 150 * i;
}
double i0Pixel(int k, int x, int y) {
    return 5000 + 13 * x + 7 * y + 400 * k;
}
double darkPixel(int x, int y) {
    return 20 + x + 2 * y;
}

class MeasurementStackTest : public ::testing::Test {
protected:
    TiffData *image(const PixelFn &fn, double energy, int w = W, int h = H) {
        std::vector<quint16> samples(size_t(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                samples[size_t(y) * w + x] = quint16(std::lround(fn(x, y)));
        const QString path = dir.filePath(QStringLiteral("img%1.tif").arg(counter++));
        EXPECT_TRUE(TiffData::write16BitTiff(path, w, h, samples.data()));
        auto *t = new TiffData;
        EXPECT_TRUE(t->load(path));
        t->setEnergy(energy);
        return t;
    }
    QString darkFile() {
        std::vector<quint16> samples(size_t(W) * H);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                samples[size_t(y) * W + x] = quint16(darkPixel(x, y));
        const QString path = dir.filePath(QStringLiteral("dark.tif"));
        EXPECT_TRUE(TiffData::write16BitTiff(path, W, H, samples.data()));
        return path;
    }
    void loadI1(int n) {
        for (int i = 0; i < n; ++i)
            stack.append(Series::I1,
                         image([i](int x, int y) { return i1Pixel(i, x, y); }, 7000 + 10 * i));
        stack.takeGeometryFromFirstI1();
    }
    // I0 images at the given energies, image k with pixels i0Pixel(k, ...).
    void loadI0(const std::vector<double> &energies) {
        for (size_t k = 0; k < energies.size(); ++k)
            stack.append(Series::I0,
                         image([k](int x, int y) { return i0Pixel(int(k), x, y); }, energies[k]));
    }
    // Independent bin sum: pixels outside the image count nothing.
    static double binSum(const PixelFn &fn, int x, int y, int hx, int hy) {
        double s = 0;
        for (int yy = y - hy; yy <= y + hy; ++yy)
            for (int xx = x - hx; xx <= x + hx; ++xx)
                if (xx >= 0 && xx < W && yy >= 0 && yy < H)
                    s += fn(xx, yy);
        return s;
    }
    static double i1Sum(int i, int x, int y, int hx, int hy) {
        return binSum([i](int a, int b) { return i1Pixel(i, a, b); }, x, y, hx, hy);
    }
    static double i0Sum(int k, int x, int y, int hx, int hy) {
        return binSum([k](int a, int b) { return i0Pixel(k, a, b); }, x, y, hx, hy);
    }

    QTemporaryDir dir;
    int counter = 0;
    MeasurementStack stack;
    Spectrum out;
};

TEST_F(MeasurementStackTest, TransmissionWithoutI0IsMinusLogOfTheBinMean) {
    loadI1(3);
    MuTConditions c;
    c.hx = 1;
    c.hy = 2;
    stack.buildMuT(4, 3, c, out);
    ASSERT_EQ(out.count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(out.x(i), 7000 + 10 * i);
        EXPECT_NEAR(out.y(i), std::log(15.0 / i1Sum(i, 4, 3, 1, 2)), 1e-12);
    }
    // Fluorescence divides instead.
    c.fluo = true;
    stack.buildMuT(4, 3, c, out);
    EXPECT_NEAR(out.y(1), i1Sum(1, 4, 3, 1, 2) / 15.0, 1e-9);
}

// Beyond the I0 energies the incident beam is unknown: those I1 points are
// left out, not extrapolated, and the mismatch names them.
TEST_F(MeasurementStackTest, I0IsInterpolatedInsideItsRangeAndPointsOutsideAreLeftOut) {
    loadI1(3); // 7000, 7010, 7020
    MuTConditions c;
    c.useI0 = true;
    c.hx = 2;
    c.hy = 1;
    loadI0({7005, 7015});
    stack.buildMuT(3, 2, c, out);
    ASSERT_EQ(out.count(), 1);
    EXPECT_DOUBLE_EQ(out.x(0), 7010);
    const double r = 0.5 * (i0Sum(0, 3, 2, 2, 1) + i0Sum(1, 3, 2, 2, 1));
    EXPECT_NEAR(out.y(0), std::log(r / i1Sum(1, 3, 2, 2, 1)), 1e-12);
    c.fluo = true;
    stack.buildMuT(3, 2, c, out);
    EXPECT_NEAR(out.y(0), i1Sum(1, 3, 2, 2, 1) / r, 1e-12);
    const QStringList problems = stack.i0Mismatch();
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems.first().contains("I0 covers 7005.00 eV to 7015.00 eV only: 2 of the 3"))
        << problems.first().toStdString();
    EXPECT_TRUE(problems.first().contains("img0.tif (7000.00 eV), img2.tif (7020.00 eV)"));

    // Without I0 every point stays.
    c.useI0 = false;
    stack.buildMuT(3, 2, c, out);
    EXPECT_EQ(out.count(), 3);
}

// Other sizes and an I0 too sparse to follow the I1 steps are named too.
TEST_F(MeasurementStackTest, I0OfOtherSizeOrTooFewImagesIsNamed) {
    loadI1(6); // 7000 .. 7050
    stack.append(Series::I0, image([](int x, int y) { return i0Pixel(0, x, y); }, 6990, W / 2, H));
    stack.append(Series::I0, image([](int x, int y) { return i0Pixel(1, x, y); }, 7060, W / 2, H));
    const QStringList problems = stack.i0Mismatch();
    ASSERT_EQ(problems.size(), 2) << problems.join('\n').toStdString();
    EXPECT_TRUE(problems[0].contains("The I0 images are 4 x 6 pixels, the I1 images 8 x 6"));
    EXPECT_TRUE(problems[1].contains("I0 has 2 images for the 6 I1 energies"));
    stack.clear(Series::I0);
    loadI0({6990, 7020, 7060});
    EXPECT_TRUE(stack.i0Mismatch().isEmpty());
}

TEST_F(MeasurementStackTest, I0OfOneImageOrEqualEnergies) {
    loadI1(2);
    MuTConditions c;
    c.useI0 = true;
    loadI0({7100});
    stack.buildMuT(1, 1, c, out);
    EXPECT_NEAR(out.y(0), std::log(i0Pixel(0, 1, 1) / i1Pixel(0, 1, 1)), 1e-12);

    // Two images at one energy: their mean, whatever the energy asked.
    stack.append(Series::I0, image([](int x, int y) { return i0Pixel(1, x, y); }, 7100));
    EXPECT_NEAR(stack.i0At(6000, 1, 1, 0, 0), 0.5 * (i0Pixel(0, 1, 1) + i0Pixel(1, 1, 1)), 1e-9);
}

TEST_F(MeasurementStackTest, DarkFrameIsScaledByExposureAndUsedWithoutI0Images) {
    loadI1(2);
    ASSERT_TRUE(stack.loadDark(darkFile()));
    const auto dark = [](int x, int y) { return darkPixel(x, y); };
    MuTConditions c;
    c.hx = 1;
    c.hy = 1;
    c.darkExpMs = 50;
    c.i1ExpMs = 100;
    c.i0ExpMs = 25;
    stack.buildMuT(2, 2, c, out);
    const double d1 = binSum(dark, 2, 2, 1, 1) * 2.0;
    EXPECT_NEAR(out.y(1), std::log(9.0 / (i1Sum(1, 2, 2, 1, 1) - d1)), 1e-12);

    // With the I0 box on but no I0 images, I0(E) is 1 and the I0 dark is
    // subtracted from it: the logarithm is undefined, so mu = 1.
    c.useI0 = true;
    stack.buildMuT(2, 2, c, out);
    EXPECT_DOUBLE_EQ(out.y(0), 1.0);

    // A dark frame without exposure is not used at all.
    c.useI0 = false;
    c.darkExpMs = 0;
    stack.buildMuT(2, 2, c, out);
    EXPECT_NEAR(out.y(1), std::log(9.0 / i1Sum(1, 2, 2, 1, 1)), 1e-12);
}

TEST_F(MeasurementStackTest, DarkAreasAreMeasuredPerFileAndFollowLateImages) {
    loadI1(1);
    loadI0({7000, 7010});
    ASSERT_TRUE(stack.loadDark(darkFile()));
    const QRectF rect(1, 1, 2, 1); // columns 1..3, rows 1..2: 6 pixels
    const auto areaMean = [](const PixelFn &fn) {
        double s = 0;
        for (int y = 1; y <= 2; ++y)
            for (int x = 1; x <= 3; ++x)
                s += fn(x, y);
        return s / 6;
    };
    const double darkMean = areaMean([](int x, int y) { return darkPixel(x, y); });
    stack.setDarkArea(Series::I1, rect, 100, 100);
    stack.setDarkArea(Series::I0, rect, 100, 100);
    ASSERT_EQ(stack.darkArea(Series::I1).values.size(), 1);

    // An image loaded after the area was set gets its value on first use.
    stack.append(Series::I1, image([](int x, int y) { return i1Pixel(1, x, y); }, 7010));
    MuTConditions c;
    c.useI0 = true;
    c.darkExpMs = c.i1ExpMs = c.i0ExpMs = 100;
    stack.buildMuT(5, 4, c, out);
    ASSERT_EQ(stack.darkArea(Series::I1).values.size(), 2);
    ASSERT_EQ(out.count(), 2);

    const double dk = darkPixel(5, 4);
    for (int i = 0; i < 2; ++i) {
        const double da1 = areaMean([i](int x, int y) { return i1Pixel(i, x, y); }) - darkMean;
        const double da0 = areaMean([i](int x, int y) { return i0Pixel(i, x, y); }) - darkMean;
        const double expected =
            std::log((i0Pixel(i, 5, 4) - dk - da0) / (i1Pixel(i, 5, 4) - dk - da1));
        EXPECT_NEAR(out.y(i), expected, 1e-12) << i;
    }

    // Clearing the series drops its values; they come back on the next use.
    stack.clear(Series::I1);
    EXPECT_TRUE(stack.darkArea(Series::I1).values.isEmpty());
    stack.clearDarkArea(Series::I0);
    EXPECT_FALSE(stack.darkArea(Series::I0).on);
}

TEST_F(MeasurementStackTest, TotalI0ReplacesI0AndIsZeroPastItsEnd) {
    loadI1(3);
    loadI0({7000, 7020});
    stack.totalI0OfI1().addPoint(7000, 4000);
    stack.totalI0OfI1().addPoint(7010, 5000);
    MuTConditions c;
    c.useI0 = true; // overridden by the total I0
    stack.buildMuT(0, 0, c, out);
    ASSERT_EQ(out.count(), 3);
    EXPECT_NEAR(out.y(0), std::log(4000 / i1Pixel(0, 0, 0)), 1e-12);
    EXPECT_NEAR(out.y(1), std::log(5000 / i1Pixel(1, 0, 0)), 1e-12);
    EXPECT_DOUBLE_EQ(out.y(2), 1.0);
}

TEST_F(MeasurementStackTest, BordersOutsidePointsAndZeroCounts) {
    loadI1(2);
    MuTConditions c;
    c.hx = 2;
    c.hy = 2;
    // A bin reaching past the corner sums only the pixels inside.
    stack.buildMuT(0, H - 1, c, out);
    EXPECT_NEAR(out.y(0), std::log(25.0 / i1Sum(0, 0, H - 1, 2, 2)), 1e-12);
    stack.buildRaw(0, H - 1, 2, 2, out);
    EXPECT_DOUBLE_EQ(out.y(1), i1Sum(1, 0, H - 1, 2, 2));

    // Outside the image there is no spectrum at all.
    for (const QPoint &p : {QPoint(-1, 0), QPoint(W, 0), QPoint(0, H), QPoint(0, -1)}) {
        stack.buildMuT(p.x(), p.y(), c, out);
        EXPECT_EQ(out.count(), 0);
        stack.buildRaw(p.x(), p.y(), 0, 0, out);
        EXPECT_EQ(out.count(), 0);
    }

    // A typed half-width far beyond the image: the bin is the whole image
    // and N counts the nominal bin, without overflowing an int.
    c.hx = c.hy = 100000;
    stack.buildMuT(1, 1, c, out);
    ASSERT_EQ(out.count(), 2);
    EXPECT_NEAR(out.y(0), std::log(200001.0 * 200001.0 / i1Sum(0, 0, 0, W, H)), 1e-12);

    // An all-zero image: r * v = 0 gives mu = 1.
    stack.append(Series::I1, image([](int, int) { return 0.0; }, 7100));
    c.hx = c.hy = 0;
    stack.buildMuT(3, 3, c, out);
    EXPECT_DOUBLE_EQ(out.y(2), 1.0);
    EXPECT_DOUBLE_EQ(MeasurementStack::muOf(-5, 10, false), 1.0);
    // Fluorescence without incident intensity (a total I0 shorter than the
    // series) reads 1 rather than an infinity.
    EXPECT_DOUBLE_EQ(MeasurementStack::muOf(0, 10, true), 1.0);
    EXPECT_DOUBLE_EQ(MeasurementStack::muOf(-4, 10, true), -2.5);
    EXPECT_NEAR(MeasurementStack::muOf(-5, -10, false), std::log(0.5), 1e-15);
}

TEST_F(MeasurementStackTest, ProfilesAreMuAgainstI0OrRaw) {
    loadI1(2);
    loadI0({7000, 7010});
    stack.horizontalProfile(Series::I1, 1, 2, 1, true, false, out);
    ASSERT_EQ(out.count(), W);
    EXPECT_NEAR(out.y(3), std::log(i0Sum(1, 3, 2, 1, 1) / i1Sum(1, 3, 2, 1, 1)), 1e-12);
    stack.verticalProfile(Series::I0, 0, 4, 2, false, false, out);
    ASSERT_EQ(out.count(), H);
    EXPECT_DOUBLE_EQ(out.x(1), 1);
    EXPECT_DOUBLE_EQ(out.y(1), i0Sum(0, 4, 1, 1, 2));
    stack.horizontalProfile(Series::I1, 5, 2, 1, true, false, out);
    EXPECT_EQ(out.count(), 0);
}

TEST_F(MeasurementStackTest, ExposureAgreementAndGeometry) {
    loadI1(2);
    EXPECT_EQ(stack.width(), W);
    EXPECT_EQ(stack.height(), H);
    EXPECT_TRUE(stack.sameExposure(Series::I1));
    stack.i1().last()->setExposureMs(200);
    EXPECT_FALSE(stack.sameExposure(Series::I1));
    EXPECT_TRUE(stack.sameExposure(Series::I0)); // empty series
}

TEST_F(MeasurementStackTest, ShiftMapLookupUsesTheDetectorOrigin) {
    loadI1(1);
    Analyzed2DRes map(QStringLiteral("a2d esm"));
    const AnalyzeCond grid(4, 4, 0, 0, 0, 0, 4, 4);
    map.prepare(grid);
    map.setData(1, 2, 0, 0, 3.5);
    EXPECT_DOUBLE_EQ(stack.shiftAt(shiftMapView(&map, true, -2, 0), -1, 2), 3.5);
    EXPECT_DOUBLE_EQ(stack.shiftAt(shiftMapView(&map, false, -2, 0), -1, 2), 0.0);
    EXPECT_DOUBLE_EQ(stack.shiftAt(shiftMapView(&map, true, 0, 0), 10, 2), 0.0);
    // Offsets at the ends of int (as a map file may give) read off the map.
    for (int offset : {INT_MIN, INT_MAX})
        EXPECT_DOUBLE_EQ(stack.shiftAt(shiftMapView(&map, true, offset, offset), 1, 2), 0.0);
}

TEST_F(MeasurementStackTest, FlatAndDarkFilesNeedAnImageSize) {
    EXPECT_FALSE(MeasurementStack::writeFlatDark(dir.path(), -1, 0));
    EXPECT_FALSE(QFile::exists(dir.filePath("flat.dat")));
    ASSERT_TRUE(MeasurementStack::writeFlatDark(dir.path(), 5, 9));
    TiffData flat, dark;
    ASSERT_TRUE(flat.load(dir.filePath("flat.dat")));
    ASSERT_TRUE(dark.load(dir.filePath("dark.dat")));
    EXPECT_EQ(flat.width(), 5);
    EXPECT_EQ(flat.height(), 9);
    EXPECT_DOUBLE_EQ(flat.boxSum(2, 4, 2, 4), 45.0);
    EXPECT_DOUBLE_EQ(dark.boxSum(2, 4, 2, 4), 0.0);
}

TEST_F(MeasurementStackTest, UnreadableDarkKeepsTheDarkInUse) {
    loadI1(1);
    ASSERT_TRUE(stack.loadDark(darkFile()));
    const TiffData *inUse = stack.dark();
    QString why;
    EXPECT_FALSE(stack.loadDark(dir.filePath("missing.tif"), &why));
    EXPECT_EQ(stack.dark(), inUse);
    EXPECT_FALSE(why.isEmpty());
}

} // namespace

// A run reads a whole row of bins image by image; every bin must come out as
// the bin-by-bin read gives it, bit for bit, whatever the conditions.
TEST_F(MeasurementStackTest, RowReadGivesTheBinByBinSpectraExactly) {
    loadI1(5);
    loadI0({6990, 7015, 7025, 7060});
    ASSERT_TRUE(stack.loadDark(darkFile()));
    // Registered images are read through their shifts, whole or fractional,
    // on both paths.
    stack.setImageShift(Series::I1, 2, 1, -1);
    stack.setImageShift(Series::I0, 1, -2, 0);
    stack.setImageShift(Series::I1, 3, 0.25, -1.5); // interpolated between stored pixels
    stack.setImageShift(Series::I0, 2, 0, 0.7);
    struct Case {
        int hx, hy;
        bool useI0, fluo, darkArea;
        int y, firstX, step, count;
    };
    const Case cases[] = {
        {0, 0, true, false, false, 2, 0, 1, W},      {1, 1, true, false, true, 0, -1, 3, 4},
        {2, 0, false, true, true, 5, 1, 5, 3},       {0, 2, true, true, false, H - 1, 0, 2, 5},
        {0, 0, false, false, false, H + 3, 0, 1, 2}, // a row below the image
    };
    Spectrum single;
    MuTRow row;
    for (const Case &k : cases) {
        MuTConditions c;
        c.hx = k.hx;
        c.hy = k.hy;
        c.useI0 = k.useI0;
        c.fluo = k.fluo;
        c.darkExpMs = 100;
        c.i1ExpMs = 200;
        c.i0ExpMs = 50;
        if (k.darkArea) {
            stack.setDarkArea(Series::I1, QRectF(0, 0, 2, 2), c.i1ExpMs, c.darkExpMs);
            stack.setDarkArea(Series::I0, QRectF(1, 1, 2, 2), c.i0ExpMs, c.darkExpMs);
        } else {
            stack.clearDarkArea(Series::I1);
            stack.clearDarkArea(Series::I0);
        }
        stack.updateDarkAreas(c);
        stack.computeMuTRow(k.y, k.firstX, k.step, k.count, c, row);
        for (int b = 0; b < k.count; ++b) {
            stack.computeMuT(k.firstX + b * k.step, k.y, c, single);
            stack.muTOfRowBin(row, b, out);
            ASSERT_EQ(out.count(), single.count()) << b;
            for (int i = 0; i < single.count(); ++i) {
                EXPECT_EQ(out.x(i), single.x(i));
                EXPECT_EQ(std::memcmp(&out.points()[i], &single.points()[i], sizeof(QPointF)), 0)
                    << "bin " << b << " image " << i;
            }
        }
    }
}
