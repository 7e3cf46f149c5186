// Every pixel reader of the stack reads an image through its registration
// shift: mu*t, the raw bin sums, the dark-area values (measured anew when a
// shift changes), the profiles and the display picture. A fractional shift
// interpolates bilinearly; a whole one reads the stored samples.
#include "imageio/TiffData.h"
#include "measurement/MeasurementStack.h"
#include "render/ImagePicture.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

// A 6 x 4 image whose pixel (x, y) is 100 + 10 x + y.
TiffData *ramp(double energy) {
    std::vector<quint16> s(24);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            s[size_t(y * 6 + x)] = quint16(100 + 10 * x + y);
    auto *t = new TiffData;
    t->assign(6, 4, TiffData::UInt16, s.data());
    t->setEnergy(energy);
    return t;
}

} // namespace

TEST(RegistrationShift, EveryReaderFollowsTheShift) {
    MeasurementStack stack;
    stack.append(Series::I1, ramp(100));
    stack.append(Series::I1, ramp(110));
    stack.takeGeometryFromFirstI1();
    stack.setDarkArea(Series::I1, QRectF(2, 1, 1, 1), 100, 100);
    MuTConditions c;
    c.i1ExpMs = c.i0ExpMs = 100;
    Spectrum raw, mu, hp, vp;
    stack.buildRaw(3, 2, 0, 0, raw);
    EXPECT_EQ(raw.y(1), 132);
    const double darkBefore = stack.darkArea(Series::I1).values.at(1);

    EXPECT_TRUE(stack.setImageShift(Series::I1, 1, 2, -1));  // reads (x - 2, y + 1)
    EXPECT_FALSE(stack.setImageShift(Series::I1, 1, 2, -1)); // unchanged
    EXPECT_FALSE(stack.setImageShift(Series::I1, 5, 1, 1));  // no such image
    stack.buildRaw(3, 2, 0, 0, raw);
    EXPECT_EQ(raw.y(0), 132);
    EXPECT_EQ(raw.y(1), 100 + 10 * 1 + 3);
    stack.buildMuT(3, 2, c, mu); // the dark area is measured again through the shift
    const double darkAfter = stack.darkArea(Series::I1).values.at(1);
    EXPECT_NE(darkAfter, darkBefore);
    EXPECT_DOUBLE_EQ(darkAfter, (100 + 10 * 0 + 2 + 100 + 10 * 1 + 2 + 100 + 3 + 110 + 3) / 4.0);
    EXPECT_DOUBLE_EQ(mu.y(1), MeasurementStack::muOf(1, 113 - darkAfter, false));
    stack.horizontalProfile(Series::I1, 1, 2, 0, false, false, hp);
    EXPECT_EQ(hp.y(0), 0); // stored columns -3 .. -1
    EXPECT_EQ(hp.y(3), 103 + 113 + 123);
    stack.verticalProfile(Series::I1, 1, 4, 0, false, false, vp);
    EXPECT_EQ(vp.y(3), 0); // row 3 reads stored row 4: outside

    const TiffData &img = *stack.i1().at(1);
    const QImage picture = imagePicture(img);
    // Off the data (0) at (0, 0) and (5, 3); stored (0, 1) at (2, 0).
    EXPECT_EQ(picture.pixel(0, 0), picture.pixel(5, 3));
    EXPECT_NE(picture.pixel(2, 0), picture.pixel(0, 0));
    EXPECT_EQ(stack.clearShifts(Series::I1), 1);
    EXPECT_EQ(img.shiftX(), 0);
}

// The ramp is linear in x and y, so bilinear interpolation reproduces it
// exactly inside the image: each reader must give the ramp at the shifted
// point, and the readers must agree with each other bit for bit.
TEST(RegistrationShift, FractionalShiftsInterpolateInEveryReader) {
    std::unique_ptr<TiffData> img(ramp(100));
    const auto rampAt = [](double x, double y) { return 100 + 10 * x + y; };
    const struct {
        double dx, dy;
        bool fractional;
    } shifts[] = {{0.25, -0.5, true}, {-1.75, 0, true}, {0, 0.4, true}, {2, -1, false}};
    std::vector<double> span(4);
    for (const auto &s : shifts) {
        img->setShift(s.dx, s.dy);
        EXPECT_EQ(img->fractionalShift(), s.fractional) << s.dx;
        img->shiftedSpan(1, 2, 4, span.data());
        for (int x = 2; x < 6; ++x) {
            const double v = img->value(x, 1);
            if (x - s.dx >= 0 && x - s.dx <= 5 && 1 - s.dy >= 0 && 1 - s.dy <= 3) {
                EXPECT_NEAR(v, rampAt(x - s.dx, 1 - s.dy), 1e-9) << s.dx << " " << x;
            }
            EXPECT_EQ(v, span[size_t(x - 2)]) << s.dx << " " << x;
            EXPECT_EQ(v, img->boxSum(x, 1, 0, 0)) << s.dx << " " << x;
        }
        // A box is the sum of its interpolated pixels, an area their mean.
        double box = 0;
        for (int y = 0; y <= 2; ++y)
            for (int x = 2; x <= 4; ++x)
                box += img->value(x, y);
        EXPECT_NEAR(img->boxSum(3, 1, 1, 1), box, 1e-9) << s.dx;
        EXPECT_NEAR(img->areaAverage(2, 0, 2, 2), box / 9, 1e-9) << s.dx;
    }
    // Half a pixel off the border, half of the edge pixel is read.
    img->setShift(-0.5, 0);
    EXPECT_DOUBLE_EQ(img->value(5, 0), 0.5 * rampAt(5, 0));
    // The picture shows the interpolated values: a fraction changes it.
    img->setShift(0, 0);
    const QImage whole = imagePicture(*img);
    img->setShift(0.5, 0);
    EXPECT_NE(imagePicture(*img), whole);
    EXPECT_EQ(img->shiftX(), 1); // the nearest whole pixel, halves away from 0
}
