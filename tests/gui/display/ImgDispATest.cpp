#include "display/widgets/ImgDispA.h"

#include "analysis/Analyzed2DRes.h"
#include "display/widgets/ColorBar.h"
#include "imageio/TiffData.h"
#include "render/MapPicture.h"

#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

void sendMouse(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons held, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent ev(type, QPointF(pos), button, held, mods);
    QCoreApplication::sendEvent(w, &ev);
}

void dragWith(QWidget *w, QPoint from, QPoint to, Qt::KeyboardModifiers mods) {
    sendMouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, mods);
    sendMouse(w, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, mods);
    sendMouse(w, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, mods);
}

void sendWheel(QWidget *w, QPoint pos, int deltaY) {
    const QPointF at(pos);
    QWheelEvent ev(at, at, QPoint(), QPoint(0, deltaY), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w, &ev);
}

// A 4 x 4 picture whose pixel (x, y) has red 60x+10, green 60y+10.
QImage checkerPicture() {
    QImage img(4, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            img.setPixelColor(x, y, QColor(60 * x + 10, 60 * y + 10, 0));
    return img;
}

struct ImgDispATest : ::testing::Test {
    // The geometry below is that of a view stretched over the widget; square
    // pixels have a test of their own.
    void SetUp() override {
        d.setFrameShape(QFrame::NoFrame);
        d.resize(400, 200);
        d.setKeepAspect(false);
    }
    ImgDispA d;
};

} // namespace

TEST_F(ImgDispATest, DrawsTheViewWindowScaledIntoTheWidget) {
    d.setPicture(checkerPicture());
    QImage shot = d.renderToImage();
    EXPECT_EQ(shot.pixelColor(10, 10), QColor(10, 10, 0));
    EXPECT_EQ(shot.pixelColor(390, 190), QColor(190, 190, 0));
    EXPECT_EQ(shot.pixelColor(150, 60), QColor(70, 70, 0));

    d.setViewWindow(QRectF(2, 1, 2, 2));
    shot = d.renderToImage();
    EXPECT_EQ(shot.pixelColor(10, 10), QColor(130, 70, 0));
    EXPECT_EQ(shot.pixelColor(390, 190), QColor(190, 130, 0));
    const QImage part = d.viewImage();
    ASSERT_EQ(part.size(), QSize(2, 2));
    EXPECT_EQ(part.pixelColor(0, 0), QColor(130, 70, 0));

    // Zoomed or panned beyond the image: the image stays in place, white around.
    d.setViewWindow(QRectF(-4, -4, 8, 8));
    shot = d.renderToImage();
    EXPECT_EQ(shot.pixelColor(10, 10), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(390, 10), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(390, 190), QColor(190, 190, 0));
    EXPECT_EQ(shot.pixelColor(250, 150), QColor(70, 130, 0));
    EXPECT_EQ(shot.pixelColor(205, 105), QColor(10, 10, 0));
    // The shown part of the picture is the part of the view lying on it.
    const QImage shownPart = d.viewImage();
    ASSERT_EQ(shownPart.size(), QSize(4, 4));
    EXPECT_EQ(shownPart.pixelColor(0, 0), QColor(10, 10, 0));
}

TEST_F(ImgDispATest, ResultModeDrawsTheMapAndSetsTheBarRange) {
    ColorBar bar;
    bar.registerAsShared();
    d.setColorBar(&bar);
    Analyzed2DRes map("a2d test");
    map.prepare(AnalyzeCond(10, 10, 0, 0, 0, 0, 10, 10));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            map.setData(x, y, 0, 0, x < 5 ? -2.0 : 6.0);
    d.setResultMode(true, mapPicture(map));
    const QImage shot = d.renderToImage();
    EXPECT_DOUBLE_EQ(bar.realMinimum(), -2);
    EXPECT_DOUBLE_EQ(bar.realMaximum(), 6);
    EXPECT_EQ(shot.pixelColor(20, 100), QColor(0, 0, 0));
    EXPECT_EQ(shot.pixelColor(380, 100), QColor(255, 255, 255));
    ColorMap::setShared(ColorMap());
}

TEST_F(ImgDispATest, ShowsALoadedImageThroughItsDisplayPicture) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ramp.tif");
    std::vector<quint16> samples(8 * 8);
    for (int i = 0; i < 64; ++i)
        samples[i] = quint16(i % 8 < 4 ? 100 : 5000);
    ASSERT_TRUE(TiffData::write16BitTiff(path, 8, 8, samples.data()));
    TiffData image;
    ASSERT_TRUE(image.load(path));
    ColorBar bar;
    d.setColorBar(&bar);
    d.setImage(&image);
    EXPECT_EQ(d.viewWindow(), QRectF(0, 0, 8, 8));
    // The bar's numbers are the image's counts.
    EXPECT_DOUBLE_EQ(bar.realMinimum(), 100);
    EXPECT_DOUBLE_EQ(bar.realMaximum(), 5000);
    const QImage shot = d.renderToImage();
    EXPECT_LT(qGray(shot.pixel(50, 100)), 20);
    EXPECT_GT(qGray(shot.pixel(350, 100)), 235);
}

TEST_F(ImgDispATest, MovesReportImageCoordinatesAndExactPointsStayExact) {
    d.setPicture(QImage(4096, 4096, QImage::Format_Grayscale8));
    d.resize(333, 217);
    QSignalSpy moved(&d, &ImgDispA::mouseMoved);
    sendMouse(&d, QEvent::MouseMove, QPoint(111, 31), Qt::NoButton, Qt::NoButton);
    ASSERT_EQ(moved.count(), 1);
    EXPECT_NEAR(moved.at(0).at(0).toDouble(), 111.0 / 333 * 4096, 1e-9);
    EXPECT_NEAR(moved.at(0).at(1).toDouble(), 31.0 / 217 * 4096, 1e-9);

    d.setImageMousePos(1234, 567);
    ASSERT_EQ(moved.count(), 2);
    EXPECT_EQ(moved.at(1).at(0).toDouble(), 1234.0);
    EXPECT_EQ(moved.at(1).at(1).toDouble(), 567.0);
    EXPECT_EQ(d.mouseImagePos(), QPointF(1234, 567));
}

TEST_F(ImgDispATest, MouseSelectsZoomsPansAndClears) {
    d.setPicture(QImage(800, 400, QImage::Format_Grayscale8));
    QSignalSpy dragged(&d, &ImgDispA::mouseDragged);
    dragWith(&d, QPoint(100, 50), QPoint(40, 150), Qt::NoModifier);
    EXPECT_EQ(dragged.count(), 1);
    ASSERT_TRUE(d.hasSelection());
    EXPECT_EQ(d.selectedArea(), QRectF(80, 100, 120, 200));
    EXPECT_EQ(d.viewWindow(), QRectF(0, 0, 800, 400));

    dragWith(&d, QPoint(200, 0), QPoint(300, 100), Qt::ControlModifier);
    EXPECT_EQ(d.viewWindow(), QRectF(400, 0, 200, 200));

    // Shift+left: the image follows the mouse, 100 screen pixels = 50 image pixels.
    dragWith(&d, QPoint(300, 100), QPoint(200, 100), Qt::ShiftModifier);
    EXPECT_EQ(d.viewWindow(), QRectF(450, 0, 200, 200));
    EXPECT_EQ(d.selectedArea(), QRectF(400, 0, 200, 200));

    d.recallOldSelectedArea();
    EXPECT_EQ(d.selectedArea(), QRectF(80, 100, 120, 200));
    d.setViewWAsSelectedArea();
    EXPECT_EQ(d.viewWindow(), QRectF(80, 100, 120, 200));

    sendMouse(&d, QEvent::MouseButtonPress, QPoint(5, 5), Qt::RightButton, Qt::RightButton);
    EXPECT_FALSE(d.hasSelection());
    d.resetImageViewWindow();
    EXPECT_EQ(d.viewWindow(), QRectF(0, 0, 800, 400));
}

TEST_F(ImgDispATest, WheelZoomsInUpAndOutDownWithEdgeBands) {
    d.setPicture(QImage(800, 400, QImage::Format_Grayscale8));
    sendWheel(&d, QPoint(200, 100), 120);
    EXPECT_NEAR(d.viewWindow().width(), 800 / 1.1, 1e-9);
    EXPECT_NEAR(d.viewWindow().height(), 400 / 1.1, 1e-9);
    d.resetImageViewWindow();
    sendWheel(&d, QPoint(395, 100), -120); // right edge band: height only
    EXPECT_NEAR(d.viewWindow().width(), 800, 1e-9);
    EXPECT_NEAR(d.viewWindow().height(), 440, 1e-9);
}

TEST_F(ImgDispATest, OverlayDrawsTheSelection) {
    QImage black(100, 50, QImage::Format_RGB32);
    black.fill(Qt::black);
    d.setPicture(black);
    d.setSelectedArea(10, 10, 50, 40);
    EXPECT_EQ(d.renderToImage().pixelColor(20, 40), QColor(Qt::black));
    d.setShowOverlayer(true);
    EXPECT_EQ(d.renderToImage().pixelColor(40, 40), QColor(192, 192, 255));
}

// By default image pixels are square: a 4 x 4 picture in a 400 x 200 widget
// is drawn 200 x 200 in the middle, white beside it, and the mouse maps
// through the same square.
TEST(ImgDispAAspect, PicturesAreLetterboxedWithSquarePixels) {
    ImgDispA d;
    d.setFrameShape(QFrame::NoFrame);
    d.resize(400, 200);
    d.setPicture(checkerPicture());
    const QImage shot = d.renderToImage();
    EXPECT_EQ(shot.pixelColor(50, 100), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(350, 100), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(110, 10), QColor(10, 10, 0));
    EXPECT_EQ(shot.pixelColor(290, 190), QColor(190, 190, 0));
    EXPECT_EQ(d.viewWindow(), QRectF(0, 0, 4, 4));
    QSignalSpy moved(&d, &ImgDispA::mouseMoved);
    sendMouse(&d, QEvent::MouseMove, QPoint(150, 60), Qt::NoButton, Qt::NoButton);
    ASSERT_EQ(moved.count(), 1);
    EXPECT_NEAR(moved.at(0).at(0).toDouble(), 1.0, 1e-9);
    EXPECT_NEAR(moved.at(0).at(1).toDouble(), 1.2, 1e-9);
}
