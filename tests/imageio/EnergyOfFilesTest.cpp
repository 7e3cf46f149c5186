#include "imageio/EnergyOfFiles.h"
#include "app/DebugLog.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr double hc = 12398.424360387684;
constexpr double d = 3.13553;
constexpr double pi = 3.1415926535;

double bragg(double degrees) {
    return hc / (2 * d * std::sin(degrees * pi / 180));
}

EofSettings byName(const QString &pattern) {
    EofSettings s;
    s.pattern = pattern;
    s.factor = EnergyOfFiles::factorForPattern(pattern);
    return s;
}

} // namespace

TEST(EnergyOfFiles, NamePatternInKeVGivesFactor1000) {
    const EofSettings s = byName("\\d\\d_\\d\\d\\d\\d\\d\\dKeV");
    EXPECT_EQ(s.factor, 1000);
    EXPECT_DOUBLE_EQ(EnergyOfFiles::energyOfFile(s, "/data/scan/CuO_08_979000KeV.tif", 7), 8979);
    // eV patterns and plain numbers keep the factor 1.
    EXPECT_EQ(EnergyOfFiles::factorForPattern("\\d\\d\\d\\d_\\d\\deV"), 1);
    EXPECT_EQ(EnergyOfFiles::factorForPattern("\\d\\d\\d\\d_\\d\\d"), 1);
    EXPECT_EQ(EnergyOfFiles::factorForPattern("\\dkev"), 1000);
}

TEST(EnergyOfFiles, NamePatternMatchesAnywhereInThePath) {
    const EofSettings s = byName("\\d\\d\\d\\d_\\d\\d\\d\\d");
    // The folder matches first, not the file name.
    EXPECT_DOUBLE_EQ(EnergyOfFiles::energyOfFile(s, "/data/2021_0304/img_8979_5000.tif", 0),
                     2021.0304);
    EXPECT_DOUBLE_EQ(
        EnergyOfFiles::energyOfFile(byName("\\d\\d\\d\\d_\\d\\deV"), "/d/a_8979_50eV.tif", 0),
        8979.5);
}

TEST(EnergyOfFiles, NameWithoutMatchUsesFileNumberTimesFactor) {
    EofSettings s = byName("\\d\\d_\\d\\d\\d\\d\\d\\dKeV");
    EXPECT_DOUBLE_EQ(EnergyOfFiles::energyOfFile(s, "/data/plain.tif", 3), 3000);
    s.factor = 0; // a non-positive factor is not applied
    EXPECT_DOUBLE_EQ(EnergyOfFiles::energyOfFile(s, "/data/plain.tif", 3), 3);
    s.pattern = "(unbalanced"; // an invalid pattern never matches
    EXPECT_DOUBLE_EQ(EnergyOfFiles::energyOfFile(s, "/data/plain.tif", 4), 4);
}

TEST(EnergyOfFiles, CalculationEvenInEnergy) {
    EofSettings s;
    s.mode = EofSettings::Mode::FromFileNum;
    s.evenInAngle = false;
    s.start = 8000;
    s.delta = 2;
    EXPECT_DOUBLE_EQ(EnergyOfFiles::energyOfFile(s, "x", 5), 8010);
    s.unit = EofSettings::Unit::KEV;
    s.start = 8;
    s.delta = 0.5;
    EXPECT_DOUBLE_EQ(EnergyOfFiles::energyOfFile(s, "x", 2), 9000);
}

TEST(EnergyOfFiles, CalculationInDegrees) {
    EofSettings s;
    s.mode = EofSettings::Mode::FromFileNum;
    s.unit = EofSettings::Unit::Deg;
    s.start = 14.0;
    s.delta = 0.01;
    EXPECT_DOUBLE_EQ(EnergyOfFiles::energyOfFile(s, "x", 0), bragg(14.0));
    EXPECT_DOUBLE_EQ(EnergyOfFiles::energyOfFile(s, "x", 10), bragg(14.1));
    s.evenInAngle = false; // degrees always step in angle
    EXPECT_DOUBLE_EQ(EnergyOfFiles::energyOfFile(s, "x", 10), bragg(14.1));
}

TEST(EnergyOfFiles, CalculationEvenInAngleRunsFromStartToEnd) {
    EofSettings s; // defaults: eV, even in angle, 8000 .. 9000 in 1000 steps
    s.mode = EofSettings::Mode::FromFileNum;
    EXPECT_NEAR(EnergyOfFiles::energyOfFile(s, "x", 0), 8000, 1e-7);
    EXPECT_NEAR(EnergyOfFiles::energyOfFile(s, "x", 1000), 9000, 1e-7);
    const double mid = EnergyOfFiles::energyOfFile(s, "x", 500);
    const double midAngle =
        (EnergyOfFiles::angleOfEnergy(8000) + EnergyOfFiles::angleOfEnergy(9000)) / 2;
    EXPECT_NEAR(mid, bragg(midAngle), 1e-7);
    EXPECT_LT(mid, 8500); // 1/sin is convex: the middle angle lies below the middle energy
    s.unit = EofSettings::Unit::KEV;
    s.start = 8;
    s.end = 9;
    EXPECT_NEAR(EnergyOfFiles::energyOfFile(s, "x", 1000), 9000, 1e-7);
}

TEST(EnergyOfFiles, ZeroStepsAndUnreachableEnergiesStayFinite) {
    EofSettings s;
    s.mode = EofSettings::Mode::FromFileNum;
    s.numOfPoints = 0;
    EXPECT_NEAR(EnergyOfFiles::energyOfFile(s, "x", 7), 8000, 1e-7);
    double delta = 42;
    EXPECT_FALSE(EnergyOfFiles::deltaOf(8000, 9000, 0, &delta));
    EXPECT_EQ(delta, 42);
    // Below the lowest energy the crystal reflects, the angle is taken as -1.
    EXPECT_EQ(EnergyOfFiles::angleOfEnergy(1000), -1);
    EXPECT_EQ(EnergyOfFiles::angleOfEnergy(0), -1);
}

TEST(EnergyOfFiles, EvenSeriesEndAndDelta) {
    EXPECT_DOUBLE_EQ(EnergyOfFiles::endOf(8000, 2, 1000), 10000);
    double delta = 0;
    ASSERT_TRUE(EnergyOfFiles::deltaOf(8000, 9500, 1000, &delta));
    EXPECT_DOUBLE_EQ(delta, 1.5);
}

TEST(EnergyOfFiles, ReferenceModeWithoutFileCountsFrom8000AndClampsIndex) {
    EofSettings s;
    s.mode = EofSettings::Mode::FromRefFile;
    EXPECT_EQ(EnergyOfFiles::energyOfFile(s, "x", 0), 8000);
    EXPECT_EQ(EnergyOfFiles::energyOfFile(s, "x", 1), 8001);
    s.refEnergies = {9000, 9001, 9002};
    EXPECT_EQ(EnergyOfFiles::energyOfFile(s, "x", -3), 9000);
    EXPECT_EQ(EnergyOfFiles::energyOfFile(s, "x", 1), 9001);
    EXPECT_EQ(EnergyOfFiles::energyOfFile(s, "x", 99), 9002);
}

TEST(EnergyOfFiles, ReadsSimpleReferenceFileSkippingCommentsAndEmptyLines) {
    QTemporaryDir dir;
    const QString path = TestSupport::writeFile(dir, "ref.dat",
                                                "angles of the scan\n"
                                                "14.0 1 2\n"
                                                "# a comment\n"
                                                "  # an indented comment\n"
                                                "\n"
                                                "14.1\n"
                                                "not-a-number\n");
    DebugLog::Capture log;
    QVector<double> e{1, 2, 3};
    ASSERT_TRUE(EnergyOfFiles::readRefFile(path, &e));
    ASSERT_EQ(e.size(), 2);
    EXPECT_DOUBLE_EQ(e[0], bragg(14.0));
    EXPECT_DOUBLE_EQ(e[1], bragg(14.1));
    EXPECT_TRUE(log.contains("reading simple"));
}

TEST(EnergyOfFiles, ReadsBeamlineReferenceFileAfterOffsetLine) {
    QTemporaryDir dir;
    const QString path = TestSupport::writeFile(dir, "ref9809.dat",
                                                "  9809     ring   line-1\n"
                                                "12.0 13.0 header numbers\n"
                                                "   Offset     0   0\n"
                                                "1 13.5 4 5\n"
                                                "# 1 13.6\n"
                                                "single\n"
                                                "2 13.7\n");
    QVector<double> e;
    ASSERT_TRUE(EnergyOfFiles::readRefFile(path, &e));
    ASSERT_EQ(e.size(), 2);
    EXPECT_DOUBLE_EQ(e[0], bragg(13.5));
    EXPECT_DOUBLE_EQ(e[1], bragg(13.7));
}

TEST(EnergyOfFiles, MissingReferenceFileKeepsPreviousEnergies) {
    DebugLog::Capture log;
    QVector<double> e{9000};
    EXPECT_FALSE(EnergyOfFiles::readRefFile("/nonexistent/ref.dat", &e));
    EXPECT_EQ(e, QVector<double>{9000});
    EXPECT_TRUE(log.contains("Can't open ref file"));
    EXPECT_TRUE(log.contains("/nonexistent/ref.dat"));
}
