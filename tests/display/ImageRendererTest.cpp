#include "display/ImageRenderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

const double NaN = std::nan("");

std::vector<int> rowBytes(const QImage &img, int y) {
    const int n = img.width() * (img.format() == QImage::Format_RGB888 ? 3 : 1);
    return std::vector<int>(img.constScanLine(y), img.constScanLine(y) + n);
}

} // namespace

TEST(ImageRenderer, MapValuesThroughRangeAndColourMap) {
    ColorMap half;
    half.setWindow(0, 0.5);
    const struct {
        const char *what;
        std::vector<double> values;
        double lo, hi;
        ColorMap map;
        QImage::Format format;
        std::vector<int> bytes;
    } cases[] = {
        {"grey ramp, NaN at the bottom",
         {0, 5, 10, NaN},
         0,
         10,
         ColorMap(),
         QImage::Format_Grayscale8,
         {0, 128, 255, 0}},
        {"rgb ramp",
         {0, 5, 10},
         0,
         10,
         ColorMap(),
         QImage::Format_RGB888,
         {0, 0, 0, 255, 128, 0, 255, 255, 255}},
        {"range of no width is a step",
         {2, 3, 4},
         3,
         3,
         ColorMap(),
         QImage::Format_Grayscale8,
         {0, 255, 255}},
        {"window stretches", {0, 5, 10}, 0, 10, half, QImage::Format_Grayscale8, {0, 255, 255}},
        {"clamped outside the range",
         {-4, 14},
         0,
         10,
         ColorMap(),
         QImage::Format_Grayscale8,
         {0, 255}},
    };
    for (const auto &c : cases) {
        const int w = int(c.values.size());
        const QImage img =
            ImageRenderer::renderValues(c.values.data(), w, 1, c.lo, c.hi, c.map, c.format);
        ASSERT_EQ(img.format(), c.format) << c.what;
        EXPECT_EQ(img.bytesPerLine() % 4, 0) << c.what;
        EXPECT_EQ(rowBytes(img, 0), c.bytes) << c.what;
    }
    const double one = 1;
    EXPECT_TRUE(
        ImageRenderer::renderValues(&one, 1, 1, 0, 1, ColorMap(), QImage::Format_ARGB32).isNull());
}

TEST(ImageRenderer, SamplesUnderShiftAndMissingRows) {
    const quint16 u16[2][4] = {{100, 200, 300, 500}, {500, 500, 500, 500}};
    const float f32[2][4] = {{1, 2, 3, 5}, {5, 5, 5, 5}};
    const struct {
        const char *what;
        ImageRenderer::SampleRows::Type type;
        const void *row0, *row1;
        int shiftX, shiftY;
        double lo, hi;
        std::vector<int> row0Bytes, row1Bytes;
    } cases[] = {
        {"16-bit",
         ImageRenderer::SampleRows::UInt16,
         u16[0],
         u16[1],
         0,
         0,
         100,
         500,
         {0, 64, 128, 255},
         {255, 255, 255, 255}},
        // Pixels off the data read 0, below this range: the bottom entry.
        {"16-bit shifted right and down",
         ImageRenderer::SampleRows::UInt16,
         u16[0],
         u16[1],
         1,
         1,
         100,
         500,
         {0, 0, 0, 0},
         {0, 0, 64, 128}},
        {"float shifted left",
         ImageRenderer::SampleRows::Float32,
         f32[0],
         f32[1],
         -1,
         0,
         1,
         5,
         {64, 128, 255, 0},
         {255, 255, 255, 0}},
        {"a row not stored reads 0",
         ImageRenderer::SampleRows::UInt16,
         u16[0],
         nullptr,
         0,
         0,
         0,
         500,
         {51, 102, 153, 255},
         {0, 0, 0, 0}},
        {"a constant image sits at the bottom",
         ImageRenderer::SampleRows::Float32,
         f32[1],
         f32[1],
         0,
         0,
         5,
         5,
         {0, 0, 0, 0},
         {0, 0, 0, 0}},
    };
    for (const auto &c : cases) {
        const void *rows[2] = {c.row0, c.row1};
        ImageRenderer::SampleRows s;
        s.type = c.type;
        s.width = 4;
        s.height = 2;
        s.rows = rows;
        s.shiftX = c.shiftX;
        s.shiftY = c.shiftY;
        s.minimum = c.lo;
        s.maximum = c.hi;
        const QImage img = ImageRenderer::renderSamples(s, ColorMap());
        ASSERT_EQ(img.format(), QImage::Format_Grayscale8) << c.what;
        EXPECT_EQ(rowBytes(img, 0), c.row0Bytes) << c.what;
        EXPECT_EQ(rowBytes(img, 1), c.row1Bytes) << c.what;
    }
}

TEST(ImageRenderer, CategoriesInOverlayColoursLeftOutBlack) {
    const double v[] = {0, 1, -1, 2, NaN};
    const QImage img = ImageRenderer::renderCategories(v, 5, 1, 2);
    ASSERT_EQ(img.format(), QImage::Format_RGB888);
    EXPECT_EQ(img.pixelColor(0, 0), ColorMap::overlayColor(0));
    EXPECT_EQ(img.pixelColor(1, 0), ColorMap::overlayColor(1));
    for (int x : {2, 3, 4})
        EXPECT_EQ(img.pixelColor(x, 0), QColor(Qt::black)) << x;
}
