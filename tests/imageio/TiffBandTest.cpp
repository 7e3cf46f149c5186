// A band of rows read from a file holds exactly the rows of the whole image
// inside the band and reads 0 outside, for every strip layout and sample type,
// so a tile of a map run that reads only its rows computes the same bins.
#include "imageio/ImageFiles.h"
#include "imageio/TiffData.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

namespace {

struct BandCase {
    const char *name;
    ImageFiles::TiffLayout layout;
    TiffData::RowRange band;
    int expectFirst, expectEnd;
};

QByteArray samplesFor(const ImageFiles::TiffLayout &l) {
    const int n = l.width * l.height, bytes = l.bitsPerSample / 8;
    QByteArray s(n * bytes, '\0');
    for (int i = 0; i < n; ++i) {
        const quint32 v = quint32(i * 37 % 251 + 1);
        if (bytes == 1)
            s[i] = char(v);
        else if (bytes == 2) {
            const quint16 w = quint16(v * 97);
            std::memcpy(s.data() + 2 * i, &w, 2);
        } else if (l.sampleFormat == 3) {
            const float f = float(v) * 0.25f;
            std::memcpy(s.data() + 4 * i, &f, 4);
        } else {
            const quint32 w = v * 100003u;
            std::memcpy(s.data() + 4 * i, &w, 4);
        }
    }
    return s;
}

ImageFiles::TiffLayout layout(int bits, int format, int compression, int rowsPerStrip) {
    ImageFiles::TiffLayout l;
    l.width = 9;
    l.height = 40;
    l.bitsPerSample = bits;
    l.sampleFormat = format;
    l.compression = compression;
    l.rowsPerStrip = rowsPerStrip;
    return l;
}

} // namespace

TEST(TiffBand, BandReadsTheWholeImagesRowsAndZeroOutside) {
    const BandCase cases[] = {
        {"16-bit strips of 8, band across strips", layout(16, 1, 1, 8), {5, 19}, 5, 19},
        {"16-bit one strip, band inside", layout(16, 1, 1, 0), {10, 12}, 10, 12},
        {"16-bit row strips, band past the end", layout(16, 1, 1, 1), {35, 90}, 35, 40},
        {"16-bit deflate strips of 7, band from before the start",
         layout(16, 1, 8, 7),
         {-4, 15},
         0,
         15},
        {"16-bit LZW strips on the band's edges", layout(16, 1, 5, 8), {8, 24}, 8, 24},
        {"8-bit widened, scan lines", layout(8, 1, 1, 3), {2, 33}, 2, 33},
        {"32-bit float, strips of 6", layout(32, 3, 1, 6), {1, 2}, 1, 2},
        {"32-bit unsigned deflate", layout(32, 1, 8, 5), {30, 40}, 30, 40},
        {"whole image by default", layout(16, 1, 1, 8), {}, 0, 40},
    };
    QTemporaryDir dir;
    for (const BandCase &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath("band.tif");
        ASSERT_TRUE(ImageFiles::writeTiff(path, c.layout, samplesFor(c.layout)));
        TiffData whole, band;
        ASSERT_TRUE(whole.load(path, ErrPoints()));
        ASSERT_TRUE(band.load(path, ErrPoints(), c.band));
        EXPECT_EQ(band.width(), whole.width());
        EXPECT_EQ(band.height(), whole.height());
        EXPECT_EQ(band.sampleType(), whole.sampleType());
        EXPECT_EQ(band.storedRowBegin(), c.expectFirst);
        EXPECT_EQ(band.storedRowEnd(), c.expectEnd);
        std::vector<double> a(13), b(13);
        for (int y = -2; y < whole.height() + 2; ++y) {
            const bool inside = y >= c.expectFirst && y < c.expectEnd;
            EXPECT_EQ(band.rowData(y) != nullptr, inside) << y;
            for (int x = -1; x <= whole.width(); ++x)
                EXPECT_EQ(band.value(x, y), inside ? whole.value(x, y) : 0.0) << x << "," << y;
            whole.shiftedSpan(y, -2, 13, 0, 0, a.data());
            band.shiftedSpan(y, -2, 13, 0, 0, b.data());
            EXPECT_EQ(b, inside ? a : std::vector<double>(13, 0.0)) << y;
            // A box wholly inside the band sums the same bits as the whole image.
            if (y - 1 >= c.expectFirst && y + 1 < c.expectEnd) {
                EXPECT_EQ(band.boxSum(4, y, 3, 1), whole.boxSum(4, y, 3, 1)) << y;
            }
        }
        // A band off the image (rows a registration shift moved away) stores none.
        TiffData off;
        ASSERT_TRUE(off.load(path, ErrPoints(), {50, 60}));
        EXPECT_EQ(off.storedRowBegin(), off.storedRowEnd());
        EXPECT_EQ(off.value(1, 39), 0.0);
        EXPECT_EQ(off.boxSum(4, 20, 10, 30), 0.0);
    }
}

TEST(TiffBand, AssignedRowsAndCutWholeImagesKeepOnlyTheBand) {
    const std::vector<quint16> rows{1, 2, 3, 4, 5, 6}; // rows 2 and 3 of a 3 x 8 image
    TiffData t;
    ASSERT_TRUE(t.assignRows(3, 8, TiffData::UInt16, {2, 4}, rows.data()));
    EXPECT_EQ(t.height(), 8);
    EXPECT_EQ(t.value(2, 3), 6.0);
    EXPECT_EQ(t.value(0, 1), 0.0);
    EXPECT_EQ(t.boxSum(1, 2, 1, 1), 21.0);
    EXPECT_EQ(t.maximum(), 6.0);
    EXPECT_FALSE(t.assignRows(3, 8, TiffData::Float32, {2, 4}, nullptr));
    EXPECT_TRUE(t.assignRows(3, 8, TiffData::UInt16, {8, 9}, nullptr)); // no rows
    EXPECT_EQ(t.sampleSum(), 0.0);

    // IMG images are read whole and cut to the band.
    QTemporaryDir dir;
    const QString img = dir.filePath("a.img");
    QFile f(img);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(ImageFiles::img(2, 4, 0, 0, "", {1, 2, 3, 4, 5, 6, 7, 8}, 2));
    f.close();
    TiffData cut;
    ASSERT_TRUE(cut.load(img, ErrPoints(), {1, 3}));
    EXPECT_EQ(cut.storedRowBegin(), 1);
    EXPECT_EQ(cut.value(1, 2), 6.0);
    EXPECT_EQ(cut.value(1, 3), 0.0);
    EXPECT_EQ(cut.sampleSum(), 3.0 + 4 + 5 + 6);
}
