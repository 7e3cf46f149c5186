#include "spectrum/FourierTransform.h"
#include "spectrum/Spectrum.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

Spectrum values(std::initializer_list<double> ys) {
    Spectrum s;
    int i = 0;
    for (double y : ys)
        s.addPoint(i++, y);
    return s;
}

} // namespace

TEST(FourierTransformTest, ConstantSpectrumHasOnlyTheZeroFrequency) {
    FourierTransform ft;
    EXPECT_EQ(ft.magnitudes(), nullptr);
    ft.transform(values({1, 2})); // no buffers: nothing happens
    ft.setSize(8);
    ft.transform(values({-2, -2, -2, -2, -2, -2, -2, -2}));
    const double *m = ft.magnitudes();
    ASSERT_NE(m, nullptr);
    EXPECT_DOUBLE_EQ(m[0], 16.0);
    for (int k = 1; k < 8; ++k)
        EXPECT_NEAR(m[k], 0.0, 1e-14) << k;
}

TEST(FourierTransformTest, PadsShortSpectraAndIgnoresExtraPoints) {
    FourierTransform ft;
    ft.setSize(4);
    // x = (1, 0, 0, 0): a flat spectrum of magnitude 1.
    ft.transform(values({1}));
    const double *m = ft.magnitudes();
    for (int k = 0; k < 4; ++k)
        EXPECT_DOUBLE_EQ(m[k], 1.0);
    // x = (1, -1, 1, -1, [5, 5]): all energy at the Nyquist frequency.
    ft.transform(values({1, -1, 1, -1, 5, 5}));
    m = ft.magnitudes();
    EXPECT_NEAR(m[0], 0.0, 1e-14);
    EXPECT_NEAR(m[1], 0.0, 1e-14);
    EXPECT_DOUBLE_EQ(m[2], 4.0);
    EXPECT_NEAR(m[3], 0.0, 1e-14);
}

TEST(FourierTransformTest, SameSizeKeepsBuffersNewSizeReplacesThem) {
    FourierTransform ft;
    ft.setSize(16);
    const double *before = ft.magnitudes();
    ft.setSize(16);
    EXPECT_EQ(ft.magnitudes(), before);
    EXPECT_EQ(ft.size(), 16);
    ft.setSize(5);
    EXPECT_EQ(ft.size(), 5);
    // A sine of one period in 5 points: magnitude n/2 at k = 1 and k = 4.
    Spectrum s;
    for (int i = 0; i < 5; ++i)
        s.addPoint(i, std::sin(2 * M_PI * i / 5));
    ft.transform(s);
    const double *m = ft.magnitudes();
    EXPECT_NEAR(m[1], 2.5, 1e-12);
    EXPECT_NEAR(m[4], 2.5, 1e-12);
    EXPECT_NEAR(m[2], 0.0, 1e-12);
    ft.release();
    EXPECT_EQ(ft.size(), 0);
    EXPECT_EQ(ft.magnitudes(), nullptr);
    ft.setSize(0);
    EXPECT_EQ(ft.size(), 0);
}
