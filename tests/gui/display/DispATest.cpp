#include "display/widgets/DispA.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

void sendWheel(QWidget *w, QPoint pos, int deltaY) {
    QWheelEvent ev(QPointF(pos), QPointF(w->mapToGlobal(pos)), QPoint(), QPoint(0, deltaY),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w, &ev);
}

void sendMove(QWidget *w, QPoint pos, Qt::MouseButtons buttons = Qt::NoButton) {
    QMouseEvent ev(QEvent::MouseMove, QPointF(pos), Qt::NoButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &ev);
}

} // namespace

TEST(DispATest, MouseEventsUpdateStateAndEmitSignals) {
    DispA d;
    d.resize(200, 100);
    QSignalSpy moved(&d, &DispA::mouseMoved0);
    QSignalSpy pressed(&d, &DispA::mousePressed0);
    QSignalSpy released(&d, &DispA::mouseReleased0);
    QSignalSpy wheeled(&d, &DispA::wheelMoved0);

    QTest::mousePress(&d, Qt::LeftButton, Qt::ShiftModifier, QPoint(30, 40));
    EXPECT_EQ(pressed.count(), 1);
    EXPECT_TRUE(d.mc().pressed());
    EXPECT_EQ(d.mc().pressPos(), QPoint(30, 40));
    EXPECT_EQ(d.mc().code(), MouseC::ShiftLeft);

    QTest::mouseRelease(&d, Qt::LeftButton, Qt::ShiftModifier, QPoint(50, 60));
    EXPECT_EQ(released.count(), 1);
    EXPECT_FALSE(d.mc().pressed());
    EXPECT_EQ(d.mc().releasePos(), QPoint(50, 60));

    sendMove(&d, QPoint(70, 20));
    EXPECT_GE(moved.count(), 1);
    EXPECT_EQ(d.mc().pos(), QPoint(70, 20));

    sendWheel(&d, QPoint(10, 10), -120);
    EXPECT_EQ(wheeled.count(), 1);
    EXPECT_DOUBLE_EQ(d.mc().wheelFactor(), 1.1);
    EXPECT_EQ(d.mc().pos(), QPoint(10, 10));
}

TEST(DispATest, RealMousePosGoesThroughTransform) {
    DispA d;
    d.cc().setScreen(0, 0, 100, 100);
    d.cc().setReal(0, 10, 10, 0);
    QSignalSpy moved(&d, &DispA::mouseMoved0);
    d.setRealMousePos(2.5, 2.5);
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(d.mc().pos(), QPoint(25, 75));
    d.setScreenMousePos(3, 4);
    EXPECT_EQ(d.mc().pos(), QPoint(3, 4));
    EXPECT_EQ(moved.count(), 2);
}

TEST(DispATest, PaintFillsWhiteThenDrawsInSignalOrder) {
    DispA d;
    d.setFrameShape(QFrame::NoFrame);
    d.resize(40, 30);
    QObject::connect(&d, &DispA::drawImage1,
                     [](QPainter *p) { p->fillRect(0, 0, 20, 30, Qt::red); });
    QObject::connect(&d, &DispA::drawImage2,
                     [](QPainter *p) { p->fillRect(10, 0, 5, 30, Qt::blue); });
    const QImage img = d.renderToImage();
    EXPECT_EQ(img.pixelColor(5, 5), QColor(Qt::red));
    EXPECT_EQ(img.pixelColor(12, 5), QColor(Qt::blue));
    EXPECT_EQ(img.pixelColor(30, 5), QColor(Qt::white));
}
