#include "imageio/TiffData.h"
#include "app/DebugLog.h"
#include "imageio/ImageFiles.h"
#include "render/ImagePicture.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <numeric>
#include <tiffio.h>

using TestSupport::writeFile;

namespace {

QVector<quint16> ramp(int n, int start = 0, int step = 1) {
    QVector<quint16> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = quint16(start + i * step);
    return v;
}

class TiffDataTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    // A 16-bit image read from a written TIFF.
    std::unique_ptr<TiffData> image(int w, int h, const QVector<quint16> &samples,
                                    const QString &name = "img.tif") {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(TiffData::write16BitTiff(path, w, h, samples.constData()));
        auto d = std::make_unique<TiffData>();
        EXPECT_TRUE(d->load(path));
        return d;
    }
};

} // namespace

TEST_F(TiffDataTest, WrittenTiffReadsBackWithStripsContinuing) {
    // Taller than wide: rows per strip is the width, so 7 rows make 3 strips.
    const QVector<quint16> samples = ramp(21, 100, 37);
    const QString path = dir.filePath("tall.tif");
    ASSERT_TRUE(TiffData::write16BitTiff(path, 3, 7, samples.constData()));

    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "r");
    ASSERT_NE(tif, nullptr);
    uint32_t rps = 0;
    TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &rps);
    EXPECT_EQ(rps, 3u);
    ASSERT_EQ(TIFFNumberOfStrips(tif), 3u);
    uint64_t *offsets = nullptr, *counts = nullptr;
    TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets);
    TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts);
    EXPECT_EQ(counts[0], 18u);
    EXPECT_EQ(counts[2], 6u);
    EXPECT_EQ(offsets[1], offsets[0] + counts[0]);
    EXPECT_EQ(offsets[2], offsets[1] + counts[1]);
    TIFFClose(tif);

    TiffData d;
    ASSERT_TRUE(d.load(path));
    EXPECT_EQ(d.width(), 3);
    EXPECT_EQ(d.height(), 7);
    EXPECT_EQ(d.sampleType(), TiffData::TiffUInt16);
    EXPECT_DOUBLE_EQ(d.exposureMs(), 100); // no EXIF data
    EXPECT_DOUBLE_EQ(d.minimum(), 100);
    EXPECT_DOUBLE_EQ(d.maximum(), 100 + 20 * 37);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 3; ++x)
            ASSERT_EQ(d.value(x, y), samples[y * 3 + x]) << x << "," << y;
}

TEST_F(TiffDataTest, ExifExposureTimeInEitherByteOrder) {
    for (bool big : {false, true}) {
        const QVector<quint16> s = {1, 2, 65535, 4, 5, 6};
        const QString path =
            writeFile(dir, big ? "mm.tif" : "ii.tif", ImageFiles::tiff16(3, 2, s, big, 1, 500));
        TiffData d;
        ASSERT_TRUE(d.load(path)) << big;
        EXPECT_DOUBLE_EQ(d.exposureMs(), 2.0) << big;
        EXPECT_EQ(d.value(2, 0), 65535) << big;
        EXPECT_EQ(d.value(0, 1), 4) << big;
    }
    TiffData plain;
    ASSERT_TRUE(plain.load(writeFile(dir, "plain.tif", ImageFiles::tiff16(1, 1, {9}, true))));
    EXPECT_DOUBLE_EQ(plain.exposureMs(), 100);
}

TEST_F(TiffDataTest, OtherSampleLayoutsReadIntoMatchingTypes) {
    ImageFiles::TiffLayout l;
    l.bitsPerSample = 8;
    l.compression = 5; // LZW strips: libtiff decodes
    l.rowsPerStrip = 1;
    ASSERT_TRUE(ImageFiles::writeTiff(dir.filePath("u8.tif"), l,
                                      QByteArray("\x00\x01\x02\xff"
                                                 "abcdefgh",
                                                 12)));
    TiffData u8;
    ASSERT_TRUE(u8.load(dir.filePath("u8.tif")));
    EXPECT_EQ(u8.sampleType(), TiffData::TiffUInt16);
    EXPECT_EQ(u8.value(3, 0), 255);
    EXPECT_EQ(u8.value(0, 2), 'e');

    l = {};
    l.bitsPerSample = 32;
    l.compression = 8;
    QVector<quint32> big(12);
    std::iota(big.begin(), big.end(), 4000000000u);
    ASSERT_TRUE(ImageFiles::writeTiff(dir.filePath("u32.tif"), l,
                                      QByteArray(reinterpret_cast<const char *>(big.data()), 48)));
    TiffData u32;
    ASSERT_TRUE(u32.load(dir.filePath("u32.tif")));
    EXPECT_EQ(u32.sampleType(), TiffData::UInt32);
    EXPECT_EQ(u32.value(3, 2), 4000000011.0);
    EXPECT_EQ(u32.maximum(), 4000000011.0);

    l.sampleFormat = 3;
    QVector<float> f(12, -1.5f);
    f[5] = 2.25f;
    ASSERT_TRUE(ImageFiles::writeTiff(dir.filePath("f32.tif"), l,
                                      QByteArray(reinterpret_cast<const char *>(f.data()), 48)));
    TiffData f32;
    ASSERT_TRUE(f32.load(dir.filePath("f32.tif")));
    EXPECT_EQ(f32.sampleType(), TiffData::Float32);
    EXPECT_EQ(f32.value(1, 1), 2.25);
    EXPECT_EQ(f32.minimum(), -1.5);
}

TEST_F(TiffDataTest, UnsupportedTiffLayoutsAreRefusedByName) {
    struct Case {
        const char *name;
        ImageFiles::TiffLayout layout;
    };
    ImageFiles::TiffLayout rgb, tiled, signed16, bits12;
    rgb.samplesPerPixel = 3;
    rgb.bitsPerSample = 8;
    tiled.tiled = true;
    tiled.width = tiled.height = 32;
    signed16.sampleFormat = 2;
    bits12.bitsPerSample = 12;
    for (const Case &c : {Case{"rgb.tif", rgb}, Case{"tiled.tif", tiled},
                          Case{"signed.tif", signed16}, Case{"b12.tif", bits12}}) {
        const QString path = dir.filePath(c.name);
        ImageFiles::writeTiff(path, c.layout, QByteArray(32 * 32 * 8, '\x01'));
        DebugLog::Capture log;
        TiffData d;
        EXPECT_FALSE(d.load(path)) << c.name;
        EXPECT_TRUE(log.contains(path)) << c.name;
        EXPECT_FALSE(d.hasData());
    }
}

TEST_F(TiffDataTest, LoadChoosesByContentAndReportsShortFiles) {
    {
        DebugLog::Capture log;
        TiffData d;
        EXPECT_FALSE(d.load(dir.filePath("missing.tif")));
        EXPECT_TRUE(log.contains("Can not open (1)"));
    }
    {
        DebugLog::Capture log;
        TiffData d;
        EXPECT_FALSE(d.load(writeFile(dir, "short.tif", "II*\0abcdefghij")));
        EXPECT_TRUE(log.contains("Error on reading file (1)"));
    }
    {
        DebugLog::Capture log;
        TiffData d;
        EXPECT_FALSE(d.load(writeFile(dir, "other.tif", "GIF89a-not-an-image")));
        EXPECT_TRUE(log.lines().isEmpty());
    }
    // The content decides, not the extension: an IMG named .tif.
    TiffData d;
    EXPECT_TRUE(
        d.load(writeFile(dir, "really-img.tif", ImageFiles::img(2, 1, 0, 0, "", {7, 8}, 2))));
    EXPECT_EQ(d.value(1, 0), 8);
}

TEST_F(TiffDataTest, ImgHeaderCommentAndUnits) {
    struct Case {
        QByteArray comment;
        double ms;
    };
    for (const Case &c :
         {Case{"BytesPerPixel=2,ExposureTime=250 us", 0.25}, Case{"ExposureTime=2", 2000},
          Case{"ExposureTime=5 ms,X=1", 5}, Case{"ExposureTime=3 s", 3000},
          Case{"ExposureTime=7 min", 7}, Case{"Other=1", 100}}) {
        const QString path =
            writeFile(dir, "a.img", ImageFiles::img(2, 2, 5, 6, c.comment, {1, 2, 3, 4}, 2));
        TiffData d;
        ASSERT_TRUE(d.load(path)) << c.comment.constData();
        EXPECT_DOUBLE_EQ(d.exposureMs(), c.ms) << c.comment.constData();
        EXPECT_EQ(d.originX(), 5);
        EXPECT_EQ(d.originY(), 6);
        EXPECT_EQ(d.sampleType(), TiffData::UInt16);
    }
    // A comment padded with zero bytes, as fixed-size header fields are.
    const QString padded = writeFile(
        dir, "p.img",
        ImageFiles::img(1, 1, 0, 0, QByteArray("ExposureTime=3 ms,BytesPerPixel=4\0\0\0", 36),
                        {123456}, 4));
    TiffData p;
    ASSERT_TRUE(p.load(padded));
    EXPECT_EQ(p.sampleType(), TiffData::UInt32);
    EXPECT_EQ(p.value(0, 0), 123456);
    EXPECT_DOUBLE_EQ(p.exposureMs(), 3);
    const QString wide = writeFile(
        dir, "w.img", ImageFiles::img(2, 1, 0, 0, "BytesPerPixel=4", {70000, 3000000000u}, 4));
    TiffData d;
    ASSERT_TRUE(d.load(wide));
    EXPECT_EQ(d.sampleType(), TiffData::UInt32);
    EXPECT_EQ(d.value(1, 0), 3000000000.0);
}

TEST_F(TiffDataTest, ImgShortOrOversizedDataFailsWithoutAllocating) {
    {
        DebugLog::Capture log;
        TiffData d;
        const QString p =
            writeFile(dir, "s.img", ImageFiles::img(3, 3, 0, 0, "", QVector<quint32>(9, 1), 2, 1));
        EXPECT_FALSE(d.load(p));
        EXPECT_TRUE(log.contains("invalid file size. expected (h,w) = 3 3"));
        EXPECT_TRUE(log.contains("Error on reading (3)"));
        EXPECT_FALSE(d.hasData());
    }
    {
        DebugLog::Capture log;
        TiffData d; // claims 65535 x 65535 x 4 bytes in a file of a few bytes
        const QString p = writeFile(
            dir, "huge.img", ImageFiles::img(65535, 65535, 0, 0, "BytesPerPixel=4", {1, 2}, 4));
        EXPECT_FALSE(d.load(p));
        EXPECT_TRUE(log.contains("Error on reading (2)"));
    }
}

TEST_F(TiffDataTest, TextImageValuesAndSizes) {
    const QByteArray text = "#PRXM-CTImg\n"
                            "# RANGE_X0 = 10\n"
                            "# range_x1 = 12.9\n"
                            "# RANGE_Y0 = 0\n"
                            "# RANGE_Y1 = 2\n"
                            "0 0 -3\n"
                            "1 0 0.5\n"
                            "0 1 1e-3\n"; // the last pixel is missing: 0
    TiffData d;
    DebugLog::Capture log;
    ASSERT_TRUE(d.load(writeFile(dir, "t.dat", text)));
    EXPECT_EQ(d.width(), 2);
    EXPECT_EQ(d.height(), 2);
    EXPECT_EQ(d.sampleType(), TiffData::Float32);
    EXPECT_EQ(d.value(0, 0), 0);
    EXPECT_EQ(d.value(1, 0), 250);
    EXPECT_FLOAT_EQ(float(d.value(0, 1)), 0.5f);
    EXPECT_EQ(d.value(1, 1), 0);
    EXPECT_DOUBLE_EQ(d.exposureMs(), 100);
    EXPECT_TRUE(log.contains("rrr 10 12 0 2 2 2"));

    TiffData empty;
    EXPECT_FALSE(empty.load(writeFile(dir, "e.dat",
                                      "#PRXM-CTImg\n# RANGE_X0 = 3\n"
                                      "# RANGE_X1 = 3\n# RANGE_Y1 = 4\n1 1 1\n")));
    DebugLog::Capture hugeLog;
    TiffData huge;
    EXPECT_FALSE(huge.load(writeFile(dir, "h.dat",
                                     "#PRXM-CTImg\n# RANGE_X1 = 1e9\n"
                                     "# RANGE_Y1 = 1e9\n1 1 1\n")));
    EXPECT_TRUE(hugeLog.contains("invalid file size"));
}

TEST_F(TiffDataTest, BoxSumsAndAreaAverage) {
    auto d = image(4, 3, ramp(12)); // value = 4y + x
    EXPECT_EQ(d->boxSum(1, 1, 1, 1), 0 + 1 + 2 + 4 + 5 + 6 + 8 + 9 + 10);
    EXPECT_EQ(d->boxSum(1, 1, -1, -1), d->boxSum(1, 1, 1, 1));
    EXPECT_EQ(d->boxSum(0, 0, 1, 0), 0 + 1); // columns -1 and 0 off the image
    EXPECT_EQ(d->boxSum(10, 10, 2, 2), 0);
    EXPECT_EQ(d->value(-1, 0), 0);
    EXPECT_EQ(d->value(4, 0), 0);
    // Columns 2..3, rows 1..2: (6 + 7 + 10 + 11) / 4; fractions truncate.
    EXPECT_DOUBLE_EQ(d->areaAverage(2.9, 1.2, 1.7, 1.0), 8.5);
    EXPECT_DOUBLE_EQ(d->areaAverage(3, 2, 1, 1), 11.0 / 4); // partly off the image
    EXPECT_EQ(d->areaAverage(0, 0, -1, 2), 0);

    d->setShift(1, 2); // stored (0, 0) now shows at (1, 2)
    EXPECT_EQ(d->value(1, 2), 0 + 0.0);
    EXPECT_EQ(d->value(2, 2), 1);
    EXPECT_EQ(d->value(1, 1), 0);
    EXPECT_EQ(d->boxSum(2, 2, 1, 0), 0 + 1 + 2);
}

TEST_F(TiffDataTest, InterpolatedBoxSumFollowsEnergy) {
    std::vector<std::unique_ptr<TiffData>> owned;
    QVector<TiffData *> series;
    const double energies[] = {100, 110, 110, 130};
    for (int i = 0; i < 4; ++i) {
        owned.push_back(
            image(2, 2, QVector<quint16>(4, quint16(10 * (i + 1))), QString("e%1.tif").arg(i)));
        owned.back()->setEnergy(energies[i]);
        series.append(owned.back().get());
    }
    // Box sums (radius 0): 10, 20, 30, 40.
    EXPECT_EQ(TiffData::interpolatedBoxSum(QVector<TiffData *>(), 105, 0, 0, 0, 0), 1);
    EXPECT_EQ(TiffData::interpolatedBoxSum(series.mid(0, 1), 500, 0, 0, 0, 0), 10);
    EXPECT_DOUBLE_EQ(TiffData::interpolatedBoxSum(series, 105, 0, 0, 0, 0), 15);
    EXPECT_DOUBLE_EQ(TiffData::interpolatedBoxSum(series, 90, 0, 0, 0, 0), 0); // extrapolated
    EXPECT_DOUBLE_EQ(TiffData::interpolatedBoxSum(series, 120, 0, 0, 0, 0), 35);
    EXPECT_DOUBLE_EQ(TiffData::interpolatedBoxSum(series, 140, 0, 0, 0, 0), 45);
    // Two images at one energy: the pair (110, 110) is averaged.
    EXPECT_DOUBLE_EQ(TiffData::interpolatedBoxSum(series.mid(1, 2), 110, 0, 0, 0, 0), 25);
    QList<TiffData *> list = series.toList();
    EXPECT_DOUBLE_EQ(TiffData::interpolatedBoxSum(list, 105, 0, 0, 0, 0), 15);
}

TEST_F(TiffDataTest, ErrorPointsRepairWithNeighbourMean) {
    QVector<quint32> px = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ErrPoints mask;
    mask.addPoint(10 + 1, 20 + 1); // detector coordinates: origin (10, 20)
    mask.addPoint(10 + 3, 20 + 0);
    mask.addPoint(10 + 2, 20 + 0);
    mask.addPoint(10 + 2, 20 + 1);
    mask.addPoint(10 + 3, 20 + 1);
    mask.addPoint(10 + 3, 20 + 2);
    mask.addPoint(10 + 2, 20 + 2);
    mask.setUse(true);
    const QString path = writeFile(dir, "m.img", ImageFiles::img(4, 3, 10, 20, "", px, 2));
    TiffData d;
    ASSERT_TRUE(d.load(path, mask));
    // (1,1): usable neighbours 1,2,5,9,10 (3,7,11 masked) -> 27/5 truncated.
    EXPECT_EQ(d.value(1, 1), 5);
    // (3,0): every neighbour masked or outside -> 0.
    EXPECT_EQ(d.value(3, 0), 0);
    EXPECT_EQ(d.minimum(), 1); // the range is taken before repair
    EXPECT_EQ(d.maximum(), 12);

    mask.setUse(false); // the IMG reader repairs only with its own mask in use
    TiffData plain;
    ASSERT_TRUE(plain.load(path, mask));
    EXPECT_EQ(plain.value(1, 1), 6);
}

// Mask points anywhere in the int range, on images with an origin: the
// detector-to-image conversion must not overflow (the sanitizer build aborts
// on it), and the ordinary point is still repaired.
TEST_F(TiffDataTest, RepairWithMaskPointsAtTheIntLimits) {
    const QVector<quint32> px = {1, 2, 3, 4, 5, 6};
    for (const int origin : {0, 10, 65535}) {
        ErrPoints mask;
        mask.addPoint(std::numeric_limits<int>::max(), std::numeric_limits<int>::min());
        mask.addPoint(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
        mask.addPoint(origin + 1, origin); // image point (1, 0)
        mask.setUse(true);
        const QString path =
            writeFile(dir, "edge.img", ImageFiles::img(3, 2, origin, origin, "", px, 2));
        TiffData d;
        ASSERT_TRUE(d.load(path, mask)) << origin;
        EXPECT_EQ(d.value(1, 0), 3) << origin; // mean of 1, 3, 4, 5, 6 truncated
    }
}

TEST_F(TiffDataTest, TiffRepairFollowsTheProcessWideSwitch) {
    const QString path = dir.filePath("r.tif");
    const QVector<quint16> s = {10, 10, 10, 10, 99, 10, 10, 10, 10};
    ASSERT_TRUE(TiffData::write16BitTiff(path, 3, 3, s.constData()));
    ErrPoints mask;
    mask.addPoint(1, 1);
    mask.setUse(true);
    const ErrPoints saved = ErrPoints::processWide();
    ErrPoints::setProcessWideUse(false);
    TiffData off;
    ASSERT_TRUE(off.load(path, mask));
    EXPECT_EQ(off.value(1, 1), 99);
    ErrPoints::setProcessWideUse(true);
    TiffData on;
    ASSERT_TRUE(on.load(path, mask));
    EXPECT_EQ(on.value(1, 1), 10);
    ErrPoints::setProcessWide(saved);
}

TEST_F(TiffDataTest, RepairNeverUsesAMaskedNeighbour) {
    // The TIFF reader repairs by the process-wide switch, even when the
    // image's own mask is switched off: the other bad pixel must still not
    // feed the repair, in whichever order the points come.
    const QString path = dir.filePath("pair.tif");
    const QVector<quint16> s = {10, 10, 10, 10, 10, 99, 500, 10, 10, 10, 10, 10};
    ASSERT_TRUE(TiffData::write16BitTiff(path, 4, 3, s.constData()));
    const ErrPoints saved = ErrPoints::processWide();
    ErrPoints::setProcessWideUse(true);
    for (bool reversed : {false, true}) {
        ErrPoints mask;
        mask.addPoint(reversed ? 2 : 1, 1);
        mask.addPoint(reversed ? 1 : 2, 1);
        TiffData d;
        ASSERT_TRUE(d.load(path, mask));
        EXPECT_EQ(d.value(1, 1), 10) << reversed;
        EXPECT_EQ(d.value(2, 1), 10) << reversed;
    }
    ErrPoints::setProcessWide(saved);
}

TEST_F(TiffDataTest, DisplayRendersTheRangeThroughTheColourMap) {
    const ColorMap saved = ColorMap::shared();
    ColorMap::setShared(ColorMap());
    auto d = image(5, 2, {100, 200, 300, 400, 500, 100, 100, 100, 100, 500});
    const QImage img = imagePicture(*d);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.format(), QImage::Format_Grayscale8);
    EXPECT_EQ(img.bytesPerLine() % 4, 0);
    EXPECT_EQ(img.constScanLine(0)[0], 0);
    EXPECT_EQ(img.constScanLine(0)[2], 128);
    EXPECT_EQ(img.constScanLine(0)[4], 255);
    const QImage kept = img; // a copy held by a display outlives the next rebuild
    d->setShift(1, 0);       // column 0 now off the data: value 0, below the range
    const QImage rgb = imagePicture(*d, ColorMap::shared(), QImage::Format_RGB888);
    EXPECT_EQ(rgb.pixelColor(0, 0), QColor(0, 0, 0));
    EXPECT_EQ(rgb.pixelColor(4, 0), ColorMap::rgbEntry(0.75));
    EXPECT_EQ(rgb.pixelColor(0, 1), QColor(0, 0, 0));
    EXPECT_EQ(kept.constScanLine(0)[4], 255);
    // The place in the range is a true division: over a range of 98 the value
    // 49 is exactly one half (grey 128); times the reciprocal it fell just
    // below and gave 127.
    auto even = image(3, 1, {100, 149, 198}, "even.tif");
    EXPECT_EQ(imagePicture(*even).constScanLine(0)[1], 128);
    // A constant image has an empty range: no division by zero.
    auto flat = image(2, 2, QVector<quint16>(4, 7), "flat.tif");
    EXPECT_EQ(imagePicture(*flat).constScanLine(1)[1], 0);
    ColorMap::setShared(saved);
}

TEST_F(TiffDataTest, WriterNeverLeavesAHalfFile) {
    const QString path = dir.filePath("keep.tif");
    const QVector<quint16> good = ramp(4);
    ASSERT_TRUE(TiffData::write16BitTiff(path, 2, 2, good.constData()));
    const QByteArray before = TestSupport::readFile(path);
    DebugLog::Capture log;
    EXPECT_FALSE(TiffData::write16BitTiff(path, 0, 2, good.constData()));
    EXPECT_FALSE(
        TiffData::write16BitTiff(dir.filePath("no/such/dir/x.tif"), 2, 2, good.constData()));
    EXPECT_EQ(TestSupport::readFile(path), before);

    ASSERT_TRUE(TiffData::writeConstantTiff(path, 3, 2, 1));
    TiffData one;
    ASSERT_TRUE(one.load(path));
    EXPECT_EQ(one.boxSum(1, 0, 1, 1), 6);
}

TEST_F(TiffDataTest, FileNamesBeyondLatin1WriteAndRead) {
    const QString path = dir.filePath(QString::fromUtf8("試料-Fe K.tif"));
    const QVector<quint16> s = {3, 1, 4, 1};
    ASSERT_TRUE(TiffData::write16BitTiff(path, 2, 2, s.constData()));
    EXPECT_TRUE(QFile::exists(path));
    TiffData d;
    ASSERT_TRUE(d.load(path));
    EXPECT_EQ(d.value(0, 1), 4);
}
