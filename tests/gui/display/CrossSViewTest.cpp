#include "display/widgets/CrossSView.h"

#include <gtest/gtest.h>

namespace {

bool darkNear(const QImage &img, int x, int y) {
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            const QPoint p(x + dx, y + dy);
            if (img.rect().contains(p) && qGray(img.pixel(p)) < 80)
                return true;
        }
    return false;
}

Spectrum ramp(double from, double to) {
    Spectrum s;
    for (int i = 0; i <= 10; ++i)
        s.addPoint(from + i * (to - from) / 10, i);
    return s;
}

} // namespace

TEST(CrossSViewTest, HorizontalProfileRisesWithValueAndMarkerCrossesIt) {
    CrossSView v;
    v.setFrameShape(QFrame::NoFrame);
    v.resize(200, 100);
    v.setProfile(ramp(100, 300), false, 100);
    v.setMarker(200);
    const QImage img = v.renderToImage();
    EXPECT_TRUE(darkNear(img, 1, 98));  // position 0, smallest value: bottom left
    EXPECT_TRUE(darkNear(img, 198, 1)); // largest value: top right
    EXPECT_FALSE(darkNear(img, 30, 30));
    EXPECT_EQ(img.pixelColor(100, 10), QColor(192, 192, 0));
}

TEST(CrossSViewTest, VerticalProfileRunsDownTheWidget) {
    CrossSView v;
    v.setFrameShape(QFrame::NoFrame);
    v.resize(100, 200);
    v.setProfile(ramp(0, 20), true);
    v.setMarker(5);
    const QImage img = v.renderToImage();
    EXPECT_TRUE(darkNear(img, 1, 1));    // first position, smallest value: top left
    EXPECT_TRUE(darkNear(img, 98, 198)); // last position, largest value: bottom right
    EXPECT_FALSE(darkNear(img, 80, 30));
    EXPECT_EQ(img.pixelColor(10, 50), QColor(192, 192, 0));
}

TEST(CrossSViewTest, FlatProfileIsDrawnAcrossTheMiddle) {
    CrossSView v;
    v.setFrameShape(QFrame::NoFrame);
    v.resize(200, 100);
    Spectrum flat;
    flat.addPoint(0, 7);
    flat.addPoint(10, 7);
    v.setProfile(flat, false);
    const QImage img = v.renderToImage();
    EXPECT_TRUE(darkNear(img, 100, 50));
}
