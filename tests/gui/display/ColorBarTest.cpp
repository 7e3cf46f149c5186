#include "display/widgets/ColorBar.h"

#include <QMouseEvent>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

void send(QWidget *w, QEvent::Type type, int y, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent ev(type, QPointF(10, y), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &ev);
}

void drag(ColorBar &bar, int fromY, int toY) {
    send(&bar, QEvent::MouseButtonPress, fromY, Qt::LeftButton);
    send(&bar, QEvent::MouseMove, toY, Qt::LeftButton);
    send(&bar, QEvent::MouseButtonRelease, toY, Qt::NoButton);
}

struct ColorBarTest : ::testing::Test {
    void SetUp() override {
        bar.resize(20, 200);
        bar.setFormat(QImage::Format_RGB888);
    }
    ColorBar bar;
};

} // namespace

TEST_F(ColorBarTest, PressTakesTheNearerThresholdAndDraggingMovesIt) {
    QSignalSpy updating(&bar, &ColorBar::cBarUpdating);
    QSignalSpy updated(&bar, &ColorBar::cBarUpdated);
    send(&bar, QEvent::MouseButtonPress, 170, Qt::LeftButton); // fraction 0.15
    EXPECT_EQ(bar.draggedThreshold(), ColorBar::Lower);
    send(&bar, QEvent::MouseMove, 150, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(bar.lower(), 0.25);
    EXPECT_EQ(updating.count(), 1);
    EXPECT_EQ(updated.count(), 0);
    ColorBar::Threshold seenOnRelease = ColorBar::None;
    QObject::connect(&bar, &ColorBar::cBarUpdated, [&] { seenOnRelease = bar.draggedThreshold(); });
    send(&bar, QEvent::MouseButtonRelease, 150, Qt::NoButton);
    EXPECT_EQ(updated.count(), 1);
    EXPECT_EQ(seenOnRelease, ColorBar::Lower); // announced before the drag ends
    EXPECT_FALSE(bar.isDragging());

    drag(bar, 20, 50); // near the top: the upper threshold
    EXPECT_DOUBLE_EQ(bar.upper(), 0.75);
    EXPECT_DOUBLE_EQ(bar.lower(), 0.25);

    // Moving without a drag changes nothing.
    send(&bar, QEvent::MouseMove, 10, Qt::NoButton);
    EXPECT_DOUBLE_EQ(bar.upper(), 0.75);
    EXPECT_EQ(updating.count(), 2);
}

TEST_F(ColorBarTest, PressHalfWayDragsNothingAndDragsStayOnTheBar) {
    bar.setWindow(0.25, 0.75);
    send(&bar, QEvent::MouseButtonPress, 100, Qt::LeftButton); // fraction 0.5
    EXPECT_EQ(bar.draggedThreshold(), ColorBar::None);
    send(&bar, QEvent::MouseButtonRelease, 100, Qt::NoButton);
    EXPECT_DOUBLE_EQ(bar.lower(), 0.25);

    drag(bar, 90, -300);
    EXPECT_DOUBLE_EQ(bar.upper(), 1.0);
}

TEST_F(ColorBarTest, ClosedWindowCanBeOpenedAgain) {
    bar.setWindow(0.5, 0.5);
    drag(bar, 60, 40); // press above the closed window
    EXPECT_DOUBLE_EQ(bar.upper(), 0.8);
    EXPECT_DOUBLE_EQ(bar.lower(), 0.5);
    bar.setWindow(0.5, 0.5);
    drag(bar, 140, 160);
    EXPECT_DOUBLE_EQ(bar.lower(), 0.2);
}

TEST_F(ColorBarTest, LowerAboveUpperInvertsTheMapping) {
    bar.setRange(0, 100);
    drag(bar, 190, 40); // lower to 0.8
    drag(bar, 5, 160);  // upper, nearer at the top, down to 0.2
    EXPECT_DOUBLE_EQ(bar.lower(), 0.8);
    EXPECT_DOUBLE_EQ(bar.upper(), 0.2);
    // Values below the window's upper end are white, those above its lower end black.
    EXPECT_EQ(bar.colorOf(10), QColor(255, 255, 255));
    EXPECT_EQ(bar.colorOf(90), QColor(0, 0, 0));
    const QColor mid = bar.colorOf(50);
    EXPECT_NE(mid, QColor(0, 0, 0));
    EXPECT_NE(mid, QColor(255, 255, 255));
    EXPECT_GT(bar.colorOf(30).lightness(), bar.colorOf(70).lightness());
}

TEST_F(ColorBarTest, RegisteredBarIsTheSharedColourWindow) {
    bar.registerAsShared();
    bar.setRange(-5, 5);
    drag(bar, 190, 100);
    const ColorMap shared = ColorMap::shared();
    EXPECT_DOUBLE_EQ(shared.lower(), 0.5);
    EXPECT_DOUBLE_EQ(shared.realMinimum(), -5);
    EXPECT_EQ(shared.format(), QImage::Format_RGB888);
    // Reset for other tests.
    ColorMap::setShared(ColorMap());

    ColorBar other;
    other.setWindow(0.1, 0.2);
    EXPECT_DOUBLE_EQ(ColorMap::shared().lower(), 0);
}

TEST_F(ColorBarTest, RenderingShowsRampThresholdsAndLabels) {
    bar.resize(20, 300);
    bar.setFrameShape(QFrame::NoFrame);
    bar.setWindow(0.25, 0.75);
    bar.setRange(0, 1234.5);
    const QImage img = bar.renderToImage();
    EXPECT_EQ(img.pixelColor(1, 75), QColor(0, 192, 255));
    EXPECT_EQ(img.pixelColor(1, 225), QColor(0, 192, 255));
    // Below the lower threshold black, above the upper white, red-yellow between.
    EXPECT_EQ(img.pixelColor(1, 280), QColor(0, 0, 0));
    EXPECT_EQ(img.pixelColor(1, 60), QColor(255, 255, 255)); // below the maximum's label
    const QColor mid = img.pixelColor(1, 150);
    EXPECT_EQ(mid.red(), 255);
    EXPECT_EQ(mid.blue(), 0);
    EXPECT_EQ(bar.colorOfH(150), mid);
    // The labels are drawn in their own colour somewhere on the bar.
    int labelPixels = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y).green() > 150 && img.pixelColor(x, y).red() < 100)
                ++labelPixels;
    EXPECT_GT(labelPixels, 10);
}

// The numbers at both ends sit on dark boxes, legible on the white end of the
// RGB map and on the black end alike, in both picture formats.
TEST_F(ColorBarTest, LabelsAtBothEndsSitOnDarkBoxes) {
    bar.resize(20, 300);
    bar.setFrameShape(QFrame::NoFrame);
    bar.setRange(-12.5, 40000);
    for (QImage::Format format : {QImage::Format_RGB888, QImage::Format_Grayscale8}) {
        bar.setFormat(format);
        const QImage img = bar.renderToImage();
        const auto boxPixels = [&](int y0, int y1) {
            int n = 0;
            for (int y = y0; y < y1; ++y)
                for (int x = 0; x < img.width(); ++x)
                    n += img.pixelColor(x, y) == ColorBar::labelBoxColor();
            return n;
        };
        EXPECT_GT(boxPixels(0, 100), 100) << "top, format " << format;
        EXPECT_GT(boxPixels(200, 300), 100) << "bottom, format " << format;
        EXPECT_EQ(boxPixels(110, 190), 0);
    }
}
