#include "display/DrawText.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

// Bounding box of the pixels that are not white.
QRect inkBox(const QImage &img) {
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) != QColor(Qt::white))
                box |= QRect(x, y, 1, 1);
    return box;
}

QImage drawn(const QRectF &rect, int angle, const QColor &bg = QColor()) {
    QImage img(120, 120, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    DrawText::draw(&p, rect, QStringLiteral("WWWWWW"), angle, Qt::AlignCenter, 10, Qt::black, bg);
    return img;
}

} // namespace

TEST(DrawTextTest, UprightTextStaysInItsRectangleAndRunsHorizontally) {
    const QRect box = inkBox(drawn(QRectF(10, 40, 100, 30), 0));
    ASSERT_FALSE(box.isEmpty());
    EXPECT_TRUE(QRect(10, 40, 100, 30).contains(box));
    EXPECT_GT(box.width(), box.height());
}

TEST(DrawTextTest, TurnedTextRunsVerticallyInsideATallRectangle) {
    const QRect box = inkBox(drawn(QRectF(50, 10, 30, 100), 90));
    ASSERT_FALSE(box.isEmpty());
    EXPECT_TRUE(QRect(50, 10, 30, 100).contains(box));
    EXPECT_GT(box.height(), box.width());
}

TEST(DrawTextTest, BackgroundFillsTheRectangleAndPainterStateIsRestored) {
    QImage img(60, 60, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    DrawText::draw(&p, QRectF(10, 10, 20, 40), QStringLiteral("x"), 90, Qt::AlignCenter, 8,
                   Qt::black, QColor(0, 0, 255));
    p.fillRect(40, 40, 5, 5, Qt::red); // must land untransformed
    p.end();
    EXPECT_EQ(img.pixelColor(11, 11), QColor(0, 0, 255));
    EXPECT_EQ(img.pixelColor(28, 48), QColor(0, 0, 255));
    EXPECT_EQ(img.pixelColor(35, 30), QColor(Qt::white));
    EXPECT_EQ(img.pixelColor(42, 42), QColor(Qt::red));
}
