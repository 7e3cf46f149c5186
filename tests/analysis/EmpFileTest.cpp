#include "analysis/EmpFile.h"

#include "analysis/Analyzed2DRes.h"
#include "app/DebugLog.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

const double SiSpacing = 3.1355316;
const double EStd = 8979;

// A 12 x 8 map of shifts between -3 and 3.5 eV, bins of one pixel.
void fillPattern(Analyzed2DRes &map, int w = 12, int h = 8) {
    map.prepare(AnalyzeCond(w, h, 0, 0, 0, 0, w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            map.setData(x, y, 0, 0, -3 + 0.5 * ((x + 3 * y) % 14));
}

EmpFile::WriteInfo infoFor(const Analyzed2DRes &map, double eStd = EStd) {
    EmpFile::WriteInfo info;
    info.stdEdgeEnergy = eStd;
    info.spacing = SiSpacing;
    info.xOffset = 100;
    info.yOffset = 200;
    info.walk = AnalyzeCond(map.width(), map.height(), 1, 2, 1, 2, 9, 5);
    info.stdFileName = QStringLiteral("std.dat");
    info.dataWidth = map.width();
    info.dataHeight = map.height();
    return info;
}

// The shift a value v written at E_std reads back as at edge energy u.
double shiftAt(double v, double eStd, double u) {
    const double dTheta = Bragg::angleDeg(eStd - v, SiSpacing) - Bragg::angleDeg(eStd, SiSpacing);
    return u - Bragg::energyAt(dTheta + Bragg::angleDeg(u, SiSpacing), SiSpacing);
}

class EmpFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const char *name) { return dir.filePath(QLatin1String(name)); }
    QString written(const Analyzed2DRes &map, const EmpFile::WriteInfo &info) {
        const QString p = path("map.emp");
        EXPECT_TRUE(EmpFile::write(p, map, info));
        return p;
    }
};

} // namespace

TEST_F(EmpFileTest, RoundTripAtTheSameAndAtAnotherEdgeEnergy) {
    Analyzed2DRes map("a2d esm");
    fillPattern(map);
    const QString p = written(map, infoFor(map));
    const QByteArray text = TestSupport::readFile(p);
    EXPECT_TRUE(text.startsWith("###Lumenstack::LMSK\nRecord Date             : "));
    EXPECT_TRUE(text.contains("\nSpacing [nm]            : 3.13553\n"));
    EXPECT_TRUE(text.contains("\nMap Width               : 7 12\n##-----------------\n"));

    for (double u : {0.0, EStd, 9659.0}) {
        Analyzed2DRes back("a2d esm");
        EmpFile::LoadOptions o;
        o.edgeEnergy = u;
        const EmpFile::LoadResult r = EmpFile::load(p, back, o);
        ASSERT_TRUE(r.ok()) << u;
        EXPECT_EQ(r.missingValues, 0);
        const EMPHeader &h = r.header;
        EXPECT_TRUE(h.valid);
        EXPECT_EQ(h.xOffset, 100);
        EXPECT_EQ(h.yOffset, 200);
        EXPECT_EQ(h.width, 12);
        EXPECT_EQ(h.height, 8);
        EXPECT_EQ(h.halfWidth, 1);
        EXPECT_EQ(h.halfHeight, 2);
        EXPECT_EQ(QVector<int>({h.areaX0, h.areaX1, h.areaY0, h.areaY1}),
                  QVector<int>({1, 10, 2, 7}));
        EXPECT_DOUBLE_EQ(h.stdEdgeEnergy, EStd);
        EXPECT_TRUE(back.isFilled());
        EXPECT_EQ(back.grid().hx, 1);
        const double at = u > 0 ? u : EStd;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 12; ++x) {
                const double v = map.valueAt(x, y);
                // Same energy: the shift itself; another: the same angle offset.
                const double expected = at == EStd ? v : shiftAt(v, EStd, at);
                EXPECT_NEAR(back.valueAt(x, y), expected, 2e-4) << x << "," << y << " u=" << u;
            }
    }
    // At a higher energy the same angle is a larger energy step.
    Analyzed2DRes higher;
    EmpFile::LoadOptions o;
    o.edgeEnergy = 9659;
    ASSERT_TRUE(EmpFile::load(p, higher, o).ok());
    EXPECT_GT(std::abs(higher.valueAt(0, 0)), 3.0 * 1.1);
}

TEST_F(EmpFileTest, MapSmallerThanTheImageIsWrittenWithZerosOutside) {
    Analyzed2DRes map;
    fillPattern(map, 5, 4);
    EmpFile::WriteInfo info = infoFor(map);
    info.dataWidth = 9;
    info.dataHeight = 6;
    const QString p = written(map, info);
    const QByteArray text = TestSupport::readFile(p);
    const QList<QByteArray> rows = text.mid(text.indexOf("##---")).split('\n');
    ASSERT_GE(rows.size(), 8);
    EXPECT_EQ(rows[6], QByteArray("0 0 0 0 0 0 0 0 0 ")); // row 5, outside the map
    EXPECT_TRUE(rows[1].endsWith(" 0 0 0 0 "));
    Analyzed2DRes back;
    ASSERT_TRUE(EmpFile::load(p, back, {}).ok());
    EXPECT_EQ(back.width(), 9);
    EXPECT_EQ(back.height(), 6);
    EXPECT_NEAR(back.valueAt(2, 1), map.valueAt(2, 1), 2e-4);
    EXPECT_EQ(back.valueAt(7, 1), 0.0);
    EXPECT_EQ(back.valueAt(2, 5), 0.0);
}

TEST_F(EmpFileTest, BraggArgumentBeyondOneIsMinusOneAndTheLoadIsRefused) {
    EXPECT_EQ(Bragg::angleDeg(1900, SiSpacing), -1);
    EXPECT_EQ(Bragg::angleDeg(0, SiSpacing), -1);
    EXPECT_NEAR(Bragg::angleDeg(8979, SiSpacing), 12.7202, 1e-4);
    EXPECT_NEAR(Bragg::energyAt(Bragg::angleDeg(8979, SiSpacing), SiSpacing), 8979, 1e-6);
    EXPECT_DOUBLE_EQ(crystalSpacing("Ge(333)"), 1.0887941);
    EXPECT_EQ(crystalCount(), 5);

    Analyzed2DRes map;
    fillPattern(map, 3, 2);
    const QString p = written(map, infoFor(map, 1900));
    // Both angles are -1, so every difference is 0.
    EXPECT_TRUE(TestSupport::readFile(p).endsWith("##-----------------\n0 0 0 \n0 0 0 \n"));
    Analyzed2DRes back;
    fillPattern(back, 2, 2);
    DebugLog::Capture log;
    EXPECT_EQ(EmpFile::load(p, back, {}).status, EmpFile::LoadStatus::NoBraggAngle);
    EXPECT_TRUE(log.contains("No Bragg angle"));
    EXPECT_EQ(back.width(), 2); // untouched
}

TEST_F(EmpFileTest, BadFilesAreRefusedAndLeaveTheMapAsItWas) {
    const QByteArray head = "###Lumenstack::LMSK\n"
                            "Std Edge Energy [eV]    : 8979\n"
                            "Spacing [nm]            : 3.13553\n"
                            "Width [pix]             : 3\n"
                            "Height [pix]            : 2\n";
    const QByteArray sep = "##-----------------\n";
    const QByteArray data = "0 0.001 -0.001\n0 0 0\n";
    using S = EmpFile::LoadStatus;
    struct Case {
        const char *name;
        QByteArray bytes;
        S status;
        const char *message;
        EmpFile::LoadOptions options;
    };
    EmpFile::LoadOptions checked;
    checked.checkSize = true;
    checked.imagesLoaded = true;
    checked.imageWidth = 4;
    checked.imageHeight = 2;
    QByteArray noWidth = head;
    noWidth.replace("Width [pix]             : 3\n", "");
    QByteArray noSpacing = head;
    noSpacing.replace("Spacing [nm]            : 3.13553\n", "");
    QByteArray noEnergy = head;
    noEnergy.replace("Std Edge Energy [eV]    : 8979\n", "");
    QByteArray absurd = head;
    absurd.replace(": 3\n", ": 100000\n").replace(": 2\n", ": 100000\n");
    QByteArray tall = head;
    tall.replace(": 2\n", ": 9\n");
    QByteArray negative = head;
    negative.replace(": 3\n", ": -3\n");
    const Case cases[] = {
        {"not an emp", "hello\n" + sep + data, S::InvalidHeader, "Not a emp file.", {}},
        {"empty", "", S::InvalidHeader, "Not a emp file.", {}},
        {"no separator", head + data, S::InvalidHeader, "Invalid Energy Map Data File", {}},
        {"no width", noWidth + sep + data, S::InvalidHeader, "Invalid Energy Map", {}},
        {"no spacing", noSpacing + sep + data, S::InvalidHeader, "Invalid Energy Map", {}},
        {"no energy", noEnergy + sep + data, S::InvalidHeader, "Invalid Energy Map", {}},
        {"absurd size", absurd + sep + data, S::Unreasonable, "does not fit the file", {}},
        {"negative size", negative + sep + data, S::Unreasonable, "does not fit", {}},
        {"mostly missing", tall + sep + "0 0\n", S::Unreasonable, "does not fit", {}},
        {"not a number", head + sep + "0 abc 0\n0 0 0\n", S::BadData, "Not a number", {}},
        {"size checked", head + sep + data, S::SizeMismatch,
         "Loading Energy Map size : 3 x 2 : is not matched to the current image size : 4 x 2",
         checked},
        {"missing file", QByteArray(), S::CannotOpen, "Can not open", {}},
    };
    for (const Case &c : cases) {
        const QString p = QString(c.name) == "missing file"
                              ? path("none.emp")
                              : TestSupport::writeFile(dir, QString(c.name) + ".emp", c.bytes);
        Analyzed2DRes map;
        fillPattern(map, 2, 2);
        DebugLog::Capture log;
        const EmpFile::LoadResult r = EmpFile::load(p, map, c.options);
        EXPECT_EQ(int(r.status), int(c.status)) << c.name;
        EXPECT_FALSE(r.header.valid) << c.name;
        EXPECT_TRUE(log.contains(c.message))
            << c.name << ": " << log.lines().join('|').toStdString();
        EXPECT_EQ(map.width(), 2) << c.name;
        EXPECT_EQ(map.valueAt(1, 1), -3 + 0.5 * 4) << c.name;
    }
}

TEST_F(EmpFileTest, AcceptedVariants) {
    const QByteArray oldHead = "###LMSK\r\n"
                               "Std Edge Energy [eV]    : 8979\r\n"
                               "Spacing [nm]            : 3.13553\r\n"
                               "Width [pix]             : 3\r\n"
                               "Height [pix]            : 2\r\n"
                               "##-----------------\r\n";
    struct Case {
        const char *name;
        QByteArray data;
        int missing;
        bool checkSizeWithoutImages;
    };
    const Case cases[] = {
        {"complete", "0 +0.001 -1e-3\r\n0 0 0\r\n", 0, false},
        {"truncated", "0 0.001 -1e-3\n0", 2, false},
        {"other size, no images", "0 0.001 -1e-3 0 0 0", 0, true},
    };
    for (const Case &c : cases) {
        const QString p = TestSupport::writeFile(dir, QString(c.name) + ".emp", oldHead + c.data);
        Analyzed2DRes map;
        EmpFile::LoadOptions o;
        o.checkSize = c.checkSizeWithoutImages;
        o.imageWidth = 5;
        o.imageHeight = 5;
        DebugLog::Capture log;
        const EmpFile::LoadResult r = EmpFile::load(p, map, o);
        ASSERT_TRUE(r.ok()) << c.name;
        EXPECT_EQ(r.missingValues, c.missing) << c.name;
        EXPECT_EQ(log.contains("run out!"), c.missing > 0) << c.name;
        // A larger angle is a lower energy: the spectrum sits above the standard.
        EXPECT_GT(map.valueAt(1, 0), 0) << c.name;
        EXPECT_LT(map.valueAt(2, 0), 0) << c.name;
        EXPECT_EQ(map.valueAt(2, 1), 0.0) << c.name;
    }
}
