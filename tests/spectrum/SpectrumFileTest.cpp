#include "spectrum/SpectrumFile.h"
#include "SyntheticEdge.h"
#include "spectrum/XafsSpectrum.h"
#include "support/TestSupport.h"

#include "app/DebugLog.h"

#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

using TestSupport::writeFile;

namespace {

// A 9809 file: header lines, the "Offset" line, then data lines
// (index, angle, time, I0, I1).
QByteArray file9809(const QByteArray &extraHeader, const QByteArray &data) {
    return "9809     RING-A   BL-99\n"
           "sample  Cu foil\n" +
           extraHeader + "Offset     0.000     0.000\n" + data;
}

} // namespace

TEST(SpectrumFileTest, BraggEnergyAtTenDegrees) {
    const double expected = 12398.424360387684 / (2 * 3.13553 * std::sin(10 * 3.1415926535 / 180));
    EXPECT_DOUBLE_EQ(SpectrumFile::braggEnergy(10, 3.13553), expected);
    EXPECT_NEAR(expected, 11385.58, 0.01);
}

TEST(SpectrumFileTest, Reads9809WithLatticeSpacingRule) {
    QTemporaryDir dir;
    const QString plain = writeFile(dir, "a.dat",
                                    file9809("", "1 10.0 1 1000 100\n"
                                                 "2 9.9 1 0 100\n"
                                                 "short 1 2 3\n"
                                                 "3 9.8 1 1000 100 D= 1\n"));
    XafsSpectrum x;
    ASSERT_TRUE(SpectrumFile::read(plain, x));
    EXPECT_EQ(x.plainText(), 0);
    ASSERT_EQ(x.count(), 3);
    EXPECT_DOUBLE_EQ(x.x(0), SpectrumFile::braggEnergy(10, 3.13553));
    EXPECT_DOUBLE_EQ(x.y(0), std::log(10.0));
    EXPECT_EQ(x.y(1), 1.0); // I0·I1 <= 0
    // "D=" in a data line has no effect.
    EXPECT_DOUBLE_EQ(x.x(2), SpectrumFile::braggEnergy(9.8, 3.13553));
    ASSERT_EQ(x.i0().count(), 3);
    EXPECT_EQ(x.i0().y(0), 1000.0);
    EXPECT_EQ(x.i1().y(2), 100.0);
    EXPECT_EQ(x.i1().x(2), x.x(2));

    const QString withD =
        writeFile(dir, "b.dat", file9809("Mono D= 3.1356 angle\n", "1 10.0 1 1000 100\n"));
    ASSERT_TRUE(SpectrumFile::read(withD, x));
    ASSERT_EQ(x.count(), 1);
    EXPECT_DOUBLE_EQ(x.x(0), SpectrumFile::braggEnergy(10, 3.1356));
    EXPECT_EQ(x.i0().count(), 1); // a second read starts afresh

    // The "Offset" line itself is still a header line for "D=".
    const QString onOffset =
        writeFile(dir, "e.dat", "9809 header\nOffset 0 0 D= 3.1\n1 10.0 1 1000 100\n");
    ASSERT_TRUE(SpectrumFile::read(onOffset, x));
    ASSERT_EQ(x.count(), 1);
    EXPECT_DOUBLE_EQ(x.x(0), SpectrumFile::braggEnergy(10, 3.1));
}

TEST(SpectrumFileTest, Utf16FileIsRecognisedAs9809) {
    // Text saved as UTF-16 with a byte-order mark: the readers' text stream
    // decodes it, so the format decision must see "9809" too.
    const QByteArray text = file9809("", "1 10.0 1 1000 100\n");
    QByteArray utf16("\xFF\xFE", 2);
    for (const char c : text)
        utf16.append(c).append('\0');
    QTemporaryDir dir;
    const QString f = writeFile(dir, "utf16.dat", utf16);
    XafsSpectrum x;
    ASSERT_TRUE(SpectrumFile::read(f, x));
    EXPECT_EQ(x.plainText(), 0);
    ASSERT_EQ(x.count(), 1);
    EXPECT_DOUBLE_EQ(x.x(0), SpectrumFile::braggEnergy(10, 3.13553));
}

TEST(SpectrumFileTest, Without9809OffsetLineNoDataAreRead) {
    QTemporaryDir dir;
    const QString f = writeFile(dir, "c.dat", "9809 header\n1 10.0 1 1000 100\n");
    XafsSpectrum x;
    EXPECT_TRUE(SpectrumFile::read(f, x));
    EXPECT_EQ(x.plainText(), 0);
    EXPECT_EQ(x.count(), 0);
    EXPECT_EQ(x.xMin(), 1e300);
}

TEST(SpectrumFileTest, ReadsTwoColumns) {
    QTemporaryDir dir;
    const QString f = writeFile(dir, "d.txt",
                                "# energy mu\n"
                                "  8000   1.5  extra\n"
                                "8010\n"
                                "\n"
                                "#8020 9\n"
                                "8020\tabc\n"
                                "1e3 2.5e-1\r\n");
    XafsSpectrum x;
    ASSERT_TRUE(SpectrumFile::read(f, x));
    EXPECT_EQ(x.plainText(), 1);
    ASSERT_EQ(x.count(), 3);
    EXPECT_EQ(x.point(0), QPointF(8000, 1.5));
    EXPECT_EQ(x.point(1), QPointF(8020, 0));
    EXPECT_EQ(x.point(2), QPointF(1000, 0.25));
    EXPECT_EQ(x.xMin(), 1000);
    EXPECT_EQ(x.yMax(), 1.5);
}

TEST(SpectrumFileTest, MissingFilesFailAndEmptyTheSpectrum) {
    QTemporaryDir dir;
    XafsSpectrum x;
    x.addPoint(1, 1);
    DebugLog::Capture log;
    const QString missing = dir.filePath("missing.dat");
    EXPECT_FALSE(SpectrumFile::read(missing, x));
    EXPECT_EQ(x.count(), 0);
    EXPECT_EQ(x.plainText(), 1);
    EXPECT_TRUE(log.contains(missing));
    Spectrum s;
    s.addPoint(1, 1);
    EXPECT_FALSE(s.readTwoColumns(missing));
    EXPECT_EQ(s.count(), 0);
    XafsSpectrum y;
    EXPECT_FALSE(SpectrumFile::read9809(missing, y));
}

TEST(SpectrumFileTest, WriterHeaderAndRoundTrip) {
    QTemporaryDir dir;
    SyntheticEdge edge;
    edge.points = 50;
    XafsSpectrum x(edge.spectrum(), "w", 1, 2.5, SuggestElm());
    const QString f = dir.filePath("out.dat");
    ASSERT_TRUE(SpectrumFile::write(f, x, true));
    const QStringList lines = QString::fromUtf8(TestSupport::readFile(f)).split('\n');
    ASSERT_EQ(lines.size(), 7 + 50 + 1);
    EXPECT_EQ(lines[0], "###Lumenstack::XafsSpectrum");
    EXPECT_EQ(lines[1], "# midx    : " + QString::number(x.midx(), 'g', 6));
    EXPECT_EQ(lines[2], "# dMut    : " + QString::number(x.dMut(), 'g', 6));
    const auto vic = [](const VictLine &l) {
        return QStringList{QString::number(l.c0(), 'g', 6), QString::number(l.slope(), 'g', 6),
                           QString::number(l.vicC(), 'g', 6), QString::number(l.vicD(), 'g', 6)}
            .join(' ');
    };
    EXPECT_EQ(lines[3], "# pre   vic : " + vic(x.pre()));
    EXPECT_EQ(lines[4], "# poste vic : " + vic(x.post()));
    EXPECT_EQ(lines[5], "#");
    EXPECT_EQ(lines[6], "# x  double-normalized-pre-base y pre post");
    const QStringList first = lines[7].split('\t');
    ASSERT_EQ(first.size(), 5);
    EXPECT_EQ(first[0].toDouble(), QString::number(edge.from - 2.5, 'g', 6).toDouble());
    EXPECT_EQ(first[2], QString::number(x.y(0), 'g', 6));
    EXPECT_EQ(first[3], QString::number(x.pre().lineValue(edge.from), 'g', 6));
    EXPECT_EQ(lines.last(), "");

    // Read back: two-column text of (x, double-normalised pre-base value).
    XafsSpectrum back;
    ASSERT_TRUE(SpectrumFile::read(f, back));
    EXPECT_EQ(back.plainText(), 1);
    ASSERT_EQ(back.count(), 50);
    for (int i = 0; i < 50; i += 7)
        EXPECT_NEAR(back.y(i), x.doubleNormalizedPreBase().y(i),
                    1e-5 * std::max(1.0, std::fabs(x.doubleNormalizedPreBase().y(i))));

    // Without the shift subtraction the energies are the effective ones.
    ASSERT_TRUE(SpectrumFile::write(f, x, false));
    XafsSpectrum unshifted;
    ASSERT_TRUE(SpectrumFile::read(f, unshifted));
    EXPECT_EQ(unshifted.x(0), edge.from);

    // An unwritable target reports failure and leaves no file.
    EXPECT_FALSE(SpectrumFile::write(dir.filePath("no/such/dir/out.dat"), x, false));
}
