// Writing results: spectrum sets (headers, one line per bin, the three
// kinds), numbered data names and result maps as 16-bit TIFF.
#include "analysis/MapExport.h"
#include "analysis/Analyzed2DRes.h"
#include "imageio/TiffData.h"
#include "measurement/MeasurementStack.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <tiffio.h>
#include <vector>

namespace {

constexpr int W = 7, H = 5, N = 4;

double i1Pixel(int i, int x, int y) {
    return 3000 + 40 * x + 25 * y - 300 * i;
}

QStringList fileLines(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

class MapExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < N; ++i) {
            std::vector<quint16> px(W * H);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    px[y * W + x] = quint16(i1Pixel(i, x, y));
            const QString path = dir.filePath(QStringLiteral("i%1.tif").arg(i));
            ASSERT_TRUE(TiffData::write16BitTiff(path, W, H, px.data()));
            auto *t = new TiffData;
            ASSERT_TRUE(t->load(path));
            t->setEnergy(7000 + 50 * i);
            stack.append(Series::I1, t);
        }
        stack.takeGeometryFromFirstI1();
        source.conditions.hx = 1;
        source.conditions.hy = 0;
    }
    QTemporaryDir dir;
    MeasurementStack stack;
    BinSpectrumSettings source;
    // Area (1, 1)-(7, 4) in bins of 3 x 1: centres x = 2, 5 and y = 1, 2, 3.
    AnalyzeCond grid{W, H, 1, 0, 1, 1, 6, 3};
};

} // namespace

TEST_F(MapExportTest, SpectrumSetsOfEveryKind) {
    struct Case {
        SpectrumSetKind kind;
        const char *format;
        int headItems; // "X Y" or "X Y shift"
    };
    for (const Case &c :
         {Case{SpectrumSetKind::NormalizedXafs, "# Lumenstack Save Normalized Xafs Spectra 1.0", 3},
          Case{SpectrumSetKind::RawXafs, "# Lumenstack Save Raw Xafs Spectra 1.0", 3},
          Case{SpectrumSetKind::Raw, "# Lumenstack Save Raw Spectra 1.0", 2}}) {
        const QString name = dir.filePath(QStringLiteral("set%1").arg(int(c.kind)));
        ASSERT_TRUE(writeSpectrumSet(name, c.kind, grid, stack, source));
        const QStringList lines = fileLines(name + ".dat"); // suffix added
        ASSERT_EQ(lines.size(), 7 + 2 * 3) << c.format;
        EXPECT_EQ(lines.mid(0, 7),
                  QStringList({c.format, "# X-Range (x0, x1), steps : 1 7 2",
                               "# Y-Range (y0, y1), steps : 1 4 3",
                               "# Full Width, Height      : 7 5", "# Bin Half Width, Height  : 1 0",
                               "# Step dX, dY             : 3 1", "# End of Header"}));
        // Bins in walk order; each line holds the head and one pair per image.
        const QStringList first = lines[7].split(' ');
        ASSERT_EQ(first.size(), c.headItems + 2 * N);
        EXPECT_EQ(first[0], "2");
        EXPECT_EQ(first[1], "1");
        EXPECT_EQ(lines[8].split(' ').mid(0, 2), QStringList({"5", "1"}));
        EXPECT_EQ(first[c.headItems].toDouble(), 7000);
        const double sum = i1Pixel(1, 1, 1) + i1Pixel(1, 2, 1) + i1Pixel(1, 3, 1);
        const double value = first[c.headItems + 3].toDouble();
        if (c.kind == SpectrumSetKind::Raw)
            EXPECT_DOUBLE_EQ(value, sum);
        else if (c.kind == SpectrumSetKind::RawXafs)
            EXPECT_NEAR(value, std::log(3.0 / sum), 1e-5 * std::abs(std::log(3.0 / sum)));
    }

    // Without I1 images nothing is written.
    MeasurementStack empty;
    EXPECT_FALSE(
        writeSpectrumSet(dir.filePath("none.dat"), SpectrumSetKind::Raw, grid, empty, source));
    EXPECT_FALSE(QFile::exists(dir.filePath("none.dat")));
}

TEST_F(MapExportTest, NumberedNamesAndMapTiffs) {
    EXPECT_EQ(numberedDataFileName("/d/name.txt", 2, "dat"), "/d/name-2.dat");
    EXPECT_EQ(numberedDataFileName("/d/name", 0, "tif"), "/d/name-0.tif");

    Analyzed2DRes map("m");
    const QString path = dir.filePath("m.tif");
    EXPECT_FALSE(writeMapTiff(map, path, MapTiffOptions())); // no grids
    map.prepare(grid);
    map.setData(5, 2, 1, 0, 0.5);
    map.setData(2, 3, 1, 0, 1.0);
    struct Case {
        bool asAnalyzed;
        int width, height;
    };
    for (const Case &c : {Case{false, W, H}, Case{true, 2, 3}}) {
        MapTiffOptions o;
        o.fixedScale = true;
        o.scaleMin = 0;
        o.scaleMax = 1;
        o.asAnalyzed = c.asAnalyzed;
        ASSERT_TRUE(writeMapTiff(map, path, o));
        TiffData t;
        ASSERT_TRUE(t.load(path));
        EXPECT_EQ(t.width(), c.width);
        EXPECT_EQ(t.height(), c.height);
        // Bin (5, 2) holds 0.5 of the fixed range 0..1.
        EXPECT_NEAR(t.value(c.asAnalyzed ? 1 : 5, c.asAnalyzed ? 1 : 2), 0.5 * 65535, 1.0)
            << c.asAnalyzed;
    }
}

namespace {

QString tiffDescription(const QString &path) {
    TIFF *tif = TIFFOpen(path.toLocal8Bit().constData(), "r");
    if (!tif)
        return {};
    char *text = nullptr;
    const QString d = TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text) ? text : "";
    TIFFClose(tif);
    return d;
}

} // namespace

// The numbers come back out of the files: the float TIFF holds them (NaN
// where no bin was analysed), the 16-bit TIFF records the scale that recovers
// them within one step, and the text export's JSON says what they are.
TEST_F(MapExportTest, MapValuesComeBackFromTheFloatAndThe16BitTiff) {
    Analyzed2DRes map("LCF Ref 2");
    map.prepare(grid);
    const double values[2][3] = {{0.125, -0.25, 0.75}, {1.5, 0.0, 0.3}};
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j)
            map.setData(2 + 3 * i, 1 + j, 1, 0, values[i][j]);
    const QString floatPath = dir.filePath("f.tif");
    ASSERT_TRUE(writeMapFloatTiff(map, floatPath));
    TiffData f;
    ASSERT_TRUE(f.load(floatPath));
    EXPECT_EQ(f.sampleType(), TiffData::Float32);
    EXPECT_DOUBLE_EQ(f.value(5, 2), float(values[1][1]));
    EXPECT_DOUBLE_EQ(f.value(1, 3), float(values[0][2])); // the bin's left cell
    EXPECT_TRUE(std::isnan(f.value(0, 0)));               // left of the area
    EXPECT_TRUE(tiffDescription(floatPath).startsWith(
        "Lumenstack map; name=LCF Ref 2; units=fraction; bin=1 0; origin=1 1; size=7 5"));
    // With what the map was made from, that follows on the next line as JSON.
    ASSERT_TRUE(
        writeMapFloatTiff(map, floatPath, QJsonObject{{"inputs", QJsonObject{{"i1", "a.tif"}}}}));
    const QStringList description = tiffDescription(floatPath).split('\n');
    ASSERT_EQ(description.size(), 2);
    const QJsonObject embedded = QJsonDocument::fromJson(description[1].toUtf8()).object();
    EXPECT_EQ(embedded["inputs"].toObject()["i1"].toString(), "a.tif");
    EXPECT_EQ(embedded["units"].toString(), "fraction");
    ASSERT_TRUE(f.load(floatPath));

    const QString path16 = dir.filePath("s.tif");
    ASSERT_TRUE(writeMapTiff(map, path16, MapTiffOptions()));
    const QString d = tiffDescription(path16);
    const QRegularExpressionMatch m = QRegularExpression("scale=(\\S+) (\\S+);").match(d);
    ASSERT_TRUE(m.hasMatch()) << d.toStdString();
    const double lo = m.captured(1).toDouble(), hi = m.captured(2).toDouble();
    TiffData t;
    ASSERT_TRUE(t.load(path16));
    const double step = (hi - lo) / 65535;
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(lo + t.value(2 + 3 * i, 1 + j) * step, values[i][j], step);
    EXPECT_TRUE(d.contains("unanalysed=0"));
    EXPECT_EQ(t.value(0, 0), 0);

    ASSERT_TRUE(writeMapSidecar(map, dir.filePath("m.dat"), {"X", "Y", "fraction"}));
    const QString json = fileLines(dir.filePath("m.dat.json")).join(' ');
    for (const char *part : {"\"map\": \"LCF Ref 2\"", "\"units\": \"fraction\"", "\"X\""})
        EXPECT_TRUE(json.contains(part)) << part;
}
