#include "display/ImageView.h"

#include "display/MouseC.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

void expectRect(const QRectF &r, double x, double y, double w, double h) {
    EXPECT_NEAR(r.x(), x, 1e-9);
    EXPECT_NEAR(r.y(), y, 1e-9);
    EXPECT_NEAR(r.width(), w, 1e-9);
    EXPECT_NEAR(r.height(), h, 1e-9);
}

ImageView viewOf(int w, int h) {
    ImageView v;
    v.setImageSize(w, h);
    return v;
}

} // namespace

TEST(ImageViewTest, FirstImageIsShownWholeLaterImagesKeepTheView) {
    ImageView v = viewOf(400, 200);
    expectRect(v.view(), 0, 0, 400, 200);
    v.setView(QRectF(10, 20, 100, 50));
    v.setImageSize(800, 800);
    expectRect(v.view(), 10, 20, 100, 50);
    v.resetView();
    expectRect(v.view(), 0, 0, 800, 800);

    // Zooming before any image leaves the first image to be shown whole.
    ImageView empty;
    empty.wheel(1.1, 50, 50, 100, 100);
    empty.zoom(0.5);
    empty.setImageSize(30, 20);
    expectRect(empty.view(), 0, 0, 30, 20);
}

TEST(ImageViewTest, MousePositionsConvertThroughTheViewWindow) {
    ImageView v = viewOf(400, 200);
    v.setView(QRectF(100, 50, 200, 100));
    const QPointF p = v.toImage(250, 50, 500, 200);
    EXPECT_DOUBLE_EQ(p.x(), 200);
    EXPECT_DOUBLE_EQ(p.y(), 75);
    const QPointF s = v.toScreen(p.x(), p.y(), 500, 200);
    EXPECT_DOUBLE_EQ(s.x(), 250);
    EXPECT_DOUBLE_EQ(s.y(), 50);
}

TEST(ImageViewTest, WheelZoomKeepsPointUnderMouseAndHonoursEdgeBands) {
    const double in = 1 / 1.1;
    // Middle of the widget: both axes, the image point under the mouse fixed.
    ImageView v = viewOf(1000, 1000);
    const QPointF under = v.toImage(300, 300, 500, 500);
    v.wheel(in, 300, 300, 500, 500);
    EXPECT_NEAR(v.view().width(), 1000 * in, 1e-9);
    EXPECT_NEAR(v.view().height(), 1000 * in, 1e-9);
    const QPointF after = v.toImage(300, 300, 500, 500);
    EXPECT_NEAR(after.x(), under.x(), 1e-9);
    EXPECT_NEAR(after.y(), under.y(), 1e-9);

    // Left or right band: only the height scales.
    v = viewOf(1000, 1000);
    v.wheel(1.1, 20, 250, 500, 500);
    EXPECT_NEAR(v.view().width(), 1000, 1e-9);
    EXPECT_NEAR(v.view().height(), 1100, 1e-9);
    v = viewOf(1000, 1000);
    v.wheel(1.1, 460, 10, 500, 500); // right band wins over the top band
    EXPECT_NEAR(v.view().width(), 1000, 1e-9);
    EXPECT_NEAR(v.view().height(), 1100, 1e-9);

    // Top or bottom band: only the width scales.
    v = viewOf(1000, 1000);
    v.wheel(in, 250, 480, 500, 500);
    EXPECT_NEAR(v.view().width(), 1000 * in, 1e-9);
    EXPECT_NEAR(v.view().height(), 1000, 1e-9);
    EXPECT_NEAR(v.view().x(), 0.5 * (1000 - 1000 * in), 1e-9);
    EXPECT_NEAR(v.view().y(), 0, 1e-9);
}

TEST(ImageViewTest, ZoomIsBoundedBothWays) {
    ImageView v = viewOf(100, 100);
    for (int i = 0; i < 500; ++i)
        v.wheel(1 / 1.1, 250, 250, 500, 500);
    EXPECT_GE(v.view().width(), ImageView::MinViewSize);
    EXPECT_GE(v.view().height(), ImageView::MinViewSize);
    for (int i = 0; i < 2000; ++i)
        v.wheel(1.1, 250, 250, 500, 500);
    EXPECT_LE(v.view().width(), 100 * ImageView::MaxZoomOut);
    EXPECT_TRUE(std::isfinite(v.view().x()));
}

TEST(ImageViewTest, LeftDragSelectsNormalisedAndKeepsPrevious) {
    ImageView v = viewOf(100, 100);
    v.setSelectedArea(1, 2, 3, 4);
    v.press(MouseC::Left, QPointF(50, 40));
    EXPECT_TRUE(v.isDragging());
    v.drag(MouseC::Left, QPointF(20, 10), QPointF(50, 40));
    EXPECT_FALSE(v.release(MouseC::Left));
    EXPECT_FALSE(v.isDragging());
    ASSERT_TRUE(v.hasSelection());
    expectRect(v.selection(), 20, 10, 30, 30);
    expectRect(v.view(), 0, 0, 100, 100);
    v.recallOldSelection();
    expectRect(v.selection(), 1, 2, 2, 2);
}

TEST(ImageViewTest, CtrlDragZoomsToSelectionUnlessItHasNoArea) {
    ImageView v = viewOf(100, 100);
    v.press(MouseC::CtrlLeft, QPointF(10, 20));
    v.drag(MouseC::CtrlLeft, QPointF(30, 60), QPointF(10, 20));
    EXPECT_TRUE(v.release(MouseC::CtrlLeft));
    expectRect(v.view(), 10, 20, 20, 40);

    // A drag with zero width changes neither the selection nor the view.
    v.press(MouseC::CtrlLeft, QPointF(15, 25));
    v.drag(MouseC::CtrlLeft, QPointF(15, 50), QPointF(15, 25));
    EXPECT_FALSE(v.release(MouseC::CtrlLeft));
    expectRect(v.selection(), 10, 20, 20, 40);
    expectRect(v.view(), 10, 20, 20, 40);
}

TEST(ImageViewTest, RightClickClearsAndShiftDragPans) {
    ImageView v = viewOf(100, 100);
    v.setSelectedArea(5, 5, 10, 10);
    v.press(MouseC::Right, QPointF(0, 0));
    EXPECT_FALSE(v.hasSelection());
    EXPECT_TRUE(v.isInSelectedArea(-1000, 1000));

    v.setView(QRectF(20, 20, 50, 50));
    v.press(MouseC::ShiftLeft, QPointF(40, 40));
    EXPECT_FALSE(v.isDragging());
    v.drag(MouseC::ShiftLeft, QPointF(45, 38), QPointF(40, 40));
    expectRect(v.view(), 15, 22, 50, 50);
}

TEST(ImageViewTest, SelectionContainsItsEnds) {
    ImageView v = viewOf(100, 100);
    v.setSelectedArea(30, 40, 10, 20);
    expectRect(v.selection(), 10, 20, 20, 20);
    EXPECT_TRUE(v.isInSelectedArea(10, 20));
    EXPECT_TRUE(v.isInSelectedArea(30, 40));
    EXPECT_FALSE(v.isInSelectedArea(30.01, 40));
    EXPECT_FALSE(v.isInSelectedArea(9.99, 25));
    v.setViewAsSelection();
    expectRect(v.view(), 10, 20, 20, 20);
}

// With the aspect kept, image pixels are square at every widget shape: the
// image is letterboxed about the view's centre, and the mouse maps back.
TEST(ImageViewAspect, SquarePixelsLetterboxedAtEveryWidgetShape) {
    ImageView v;
    v.setKeepAspect(true);
    v.setImageSize(256, 256);
    const struct { double w, h; } widgets[] = {{431, 496}, {800, 400}, {300, 300}, {120, 900}};
    for (const auto &s : widgets) {
        const QPointF a = v.toScreen(0, 0, s.w, s.h);
        const QPointF b = v.toScreen(256, 256, s.w, s.h);
        const double side = std::min(s.w, s.h);
        EXPECT_NEAR(b.x() - a.x(), side, 1e-9) << s.w << " x " << s.h;
        EXPECT_NEAR(b.y() - a.y(), side, 1e-9) << s.w << " x " << s.h;
        EXPECT_NEAR(a.x() + b.x(), s.w, 1e-9); // centred
        EXPECT_NEAR(a.y() + b.y(), s.h, 1e-9);
        const QPointF back = v.toImage(b.x(), b.y(), s.w, s.h);
        EXPECT_NEAR(back.x(), 256, 1e-9);
        EXPECT_NEAR(back.y(), 256, 1e-9);
    }
    EXPECT_EQ(v.view(), QRectF(0, 0, 256, 256)); // the view window itself is kept
}
