#include "display/widgets/VLabel.h"
#include "display/widgets/VPushButton.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

// Bounding box of the dark pixels of a rendered widget, away from its border.
QRect darkBox(QWidget &w) {
    const QRect inner = w.rect().adjusted(4, 4, -4, -4);
    QImage img(w.size(), QImage::Format_RGB32);
    img.fill(Qt::white);
    w.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (inner.contains(x, y) && qGray(img.pixel(x, y)) < 100)
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

TEST(VLabelTest, TextReadsUpwardsAndSizeHintsAreTransposed) {
    QLabel upright("Mu*t of the bin");
    VLabel label("Mu*t of the bin");
    EXPECT_EQ(label.sizeHint(), upright.sizeHint().transposed());
    label.resize(label.sizeHint());
    const QRect ink = darkBox(label);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GT(ink.height(), 2 * ink.width());
}

TEST(VLabelTest, VerticalButtonDrawsItsLabelUpwards) {
    QPushButton upright("Set All Images");
    VPushButton button("Set All Images");
    EXPECT_EQ(button.sizeHint(), upright.sizeHint().transposed());
    button.resize(button.sizeHint());
    const QRect ink = darkBox(button);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GT(ink.height(), 2 * ink.width());
}
