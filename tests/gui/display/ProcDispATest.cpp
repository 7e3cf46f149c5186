#include "display/widgets/ProcDispA.h"

#include <QMouseEvent>
#include <QSignalSpy>
#include <QWheelEvent>
#include <gtest/gtest.h>

TEST(ProcDispATest, NewImageIsShownWholeAndWheelZoomsBothAxesEvenAtTheEdge) {
    ProcDispA d;
    d.setFrameShape(QFrame::NoFrame);
    d.resize(100, 100);
    QImage img(50, 50, QImage::Format_RGB32);
    img.fill(Qt::blue);
    img.setPixelColor(0, 0, Qt::red);
    d.setImage(img);
    EXPECT_EQ(d.viewWindow(), QRectF(0, 0, 50, 50));

    const QPointF at(2, 2); // inside the left and top edge bands
    QWheelEvent wheel(at, at, QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&d, &wheel);
    EXPECT_NEAR(d.viewWindow().width(), 50 / 1.1, 1e-9);
    EXPECT_NEAR(d.viewWindow().height(), 50 / 1.1, 1e-9);
    EXPECT_NEAR(d.viewWindow().x(), 0.02 * (50 - 50 / 1.1), 1e-9);
    EXPECT_NEAR(d.viewWindow().y(), 0.02 * (50 - 50 / 1.1), 1e-9);

    const QImage shot = d.renderToImage();
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(50, 50), QColor(Qt::blue));

    d.setImage(img);
    EXPECT_EQ(d.viewWindow(), QRectF(0, 0, 50, 50));
}

TEST(ProcDispATest, EveryMoveReportsImageCoordinates) {
    ProcDispA d;
    d.resize(200, 100);
    d.setImage(QImage(50, 20, QImage::Format_Grayscale8));
    QSignalSpy moved(&d, &ProcDispA::mouseMoved);
    QMouseEvent ev(QEvent::MouseMove, QPointF(100, 50), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
    QCoreApplication::sendEvent(&d, &ev);
    ASSERT_EQ(moved.count(), 1);
    EXPECT_DOUBLE_EQ(moved.at(0).at(0).toDouble(), 25);
    EXPECT_DOUBLE_EQ(moved.at(0).at(1).toDouble(), 10);
}
