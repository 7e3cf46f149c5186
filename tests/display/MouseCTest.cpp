#include "display/MouseC.h"

#include <gtest/gtest.h>

TEST(MouseCTest, RoundsHalfAwayFromZero) {
    EXPECT_EQ(MouseC::roundPixel(2.5), 3);
    EXPECT_EQ(MouseC::roundPixel(2.49), 2);
    EXPECT_EQ(MouseC::roundPixel(-2.5), -3);
    EXPECT_EQ(MouseC::roundPixel(-2.49), -2);
    EXPECT_EQ(MouseC::roundPixel(0), 0);
    EXPECT_EQ(MouseC::roundPixel(1e30), INT_MAX);
    EXPECT_EQ(MouseC::roundPixel(-1e30), INT_MIN);
}

TEST(MouseCTest, ButtonCodesCombineButtonAndModifiers) {
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    EXPECT_EQ(MouseC::buttonCode(Qt::LeftButton, none), 0);
    EXPECT_EQ(MouseC::buttonCode(Qt::LeftButton, Qt::ShiftModifier), 1);
    EXPECT_EQ(MouseC::buttonCode(Qt::LeftButton, Qt::ControlModifier), 2);
    EXPECT_EQ(MouseC::buttonCode(Qt::LeftButton, Qt::AltModifier), 3);
    EXPECT_EQ(MouseC::buttonCode(Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier), 4);
    EXPECT_EQ(MouseC::buttonCode(Qt::LeftButton, Qt::ShiftModifier | Qt::AltModifier), 5);
    EXPECT_EQ(MouseC::buttonCode(Qt::LeftButton, Qt::ControlModifier | Qt::AltModifier), 6);
    EXPECT_EQ(MouseC::buttonCode(Qt::LeftButton,
                                 Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier),
              7);
    EXPECT_EQ(MouseC::buttonCode(Qt::RightButton, none), 8);
    EXPECT_EQ(MouseC::buttonCode(Qt::RightButton, Qt::ControlModifier), 10);
    EXPECT_EQ(MouseC::buttonCode(Qt::MiddleButton, Qt::ControlModifier), 16);
    EXPECT_EQ(MouseC::buttonCode(Qt::NoButton, none), 16);
    // Keypad and meta do not change the code.
    EXPECT_EQ(MouseC::buttonCode(Qt::LeftButton, Qt::KeypadModifier), 0);
}

TEST(MouseCTest, PressReleaseAndMoveKeepTheirPositions) {
    MouseC m;
    m.press(10.4, 20.6, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_TRUE(m.pressed());
    EXPECT_EQ(m.pressPos(), QPoint(10, 21));
    EXPECT_EQ(m.code(), 2);
    m.move(15, 25, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(m.prevPos(), QPoint(10, 21));
    EXPECT_EQ(m.pos(), QPoint(15, 25));
    m.release(16, 26, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_FALSE(m.pressed());
    EXPECT_EQ(m.releasePos(), QPoint(16, 26));
    EXPECT_EQ(m.pressPos(), QPoint(10, 21));
    EXPECT_EQ(m.code(), 2);
}

TEST(MouseCTest, WheelFactorPerEvent) {
    MouseC m;
    m.wheel(120);
    EXPECT_DOUBLE_EQ(m.wheelSteps(), 1);
    EXPECT_DOUBLE_EQ(m.wheelFactor(), 1 / 1.1);
    m.wheel(-240);
    EXPECT_DOUBLE_EQ(m.wheelSteps(), -2);
    EXPECT_DOUBLE_EQ(m.wheelFactor(), 1.1);
    // Fine-grained touchpad deltas still zoom by one step per event.
    m.wheel(15);
    EXPECT_DOUBLE_EQ(m.wheelFactor(), 1 / 1.1);
    m.wheel(0);
    EXPECT_DOUBLE_EQ(m.wheelFactor(), 1);
}
