#include "e2e/ProgramRun.h"
#include "imageio/TiffData.h"
#include "support/TestSupport.h"

#include <QDataStream>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QList<QJsonObject> jsonLines(const QString &out) {
    QList<QJsonObject> objects;
    for (const QString &line : out.split('\n', Qt::SkipEmptyParts))
        objects << QJsonDocument::fromJson(line.toUtf8()).object();
    return objects;
}

QByteArray imgFile(int w, int h, int ox, int oy, const QVector<quint16> &samples) {
    QByteArray b;
    QDataStream s(&b, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    const QByteArray comment = "ExposureTime=250 us";
    s.writeRawData("IM", 2);
    s << quint16(comment.size()) << quint16(w) << quint16(h) << quint16(ox) << quint16(oy);
    s.writeRawData(QByteArray(52, '\0').constData(), 52);
    s.writeRawData(comment.constData(), comment.size());
    for (quint16 v : samples)
        s << v;
    return b;
}

} // namespace

TEST(ImageInfoTool, DescribesEachFileOnItsOwnLine) {
    QTemporaryDir dir;
    const QVector<quint16> px = {1, 2, 3, 4, 5, 60000};
    const QString tif = dir.filePath("a.tif");
    ASSERT_TRUE(TiffData::write16BitTiff(tif, 3, 2, px.constData()));
    const QString img = TestSupport::writeFile(dir, "b.img", imgFile(2, 2, 7, 8, {10, 20, 30, 40}));
    const QString txt = TestSupport::writeFile(
        dir, "c.dat", "#PRXM-CTImg\n# RANGE_X1 = 2\n# RANGE_Y1 = 1\n0 0 0.5\n1 0 -1\n");

    const auto r = ProgramRun::run(LS_TOOL, {"image-info", tif, img, txt}, dir.path());
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QList<QJsonObject> o = jsonLines(r.out);
    ASSERT_EQ(o.size(), 3) << r.out.toStdString();
    EXPECT_EQ(o[0]["file"].toString(), tif);
    EXPECT_TRUE(o[0]["ok"].toBool());
    EXPECT_EQ(o[0]["reader"].toString(), "tiff");
    EXPECT_EQ(o[0]["width"].toInt(), 3);
    EXPECT_EQ(o[0]["height"].toInt(), 2);
    EXPECT_EQ(o[0]["sampleType"].toInt(), 0);
    EXPECT_EQ(o[0]["min"].toDouble(), 1);
    EXPECT_EQ(o[0]["max"].toDouble(), 60000);
    EXPECT_EQ(o[0]["exposureMs"].toDouble(), 100);
    EXPECT_EQ(o[0]["sum"].toDouble(), 60015);

    EXPECT_EQ(o[1]["reader"].toString(), "img");
    EXPECT_EQ(o[1]["originX"].toInt(), 7);
    EXPECT_EQ(o[1]["originY"].toInt(), 8);
    EXPECT_EQ(o[1]["exposureMs"].toDouble(), 0.25);
    EXPECT_EQ(o[1]["sampleType"].toInt(), 1);

    EXPECT_EQ(o[2]["reader"].toString(), "prxm");
    EXPECT_EQ(o[2]["sampleType"].toInt(), 3);
    EXPECT_EQ(o[2]["sum"].toDouble(), 250);
}

TEST(ImageInfoTool, UnreadableFilesGiveNullsAndExitOne) {
    QTemporaryDir dir;
    const QString junk =
        TestSupport::writeFile(dir, "junk.tif", QByteArray("II*\0 but nothing after that", 28));
    const QString tiny = TestSupport::writeFile(dir, "tiny.dat", "#PRXM");
    const auto r =
        ProgramRun::run(LS_TOOL, {"image-info", junk, tiny, dir.filePath("none")}, dir.path());
    EXPECT_EQ(r.exitCode, 1);
    const QList<QJsonObject> o = jsonLines(r.out);
    ASSERT_EQ(o.size(), 3) << r.out.toStdString();
    EXPECT_FALSE(o[0]["ok"].toBool());
    EXPECT_EQ(o[0]["reader"].toString(), "tiff"); // recognised, then refused
    EXPECT_TRUE(o[0]["width"].isNull());
    EXPECT_TRUE(o[1]["reader"].isNull());
    EXPECT_TRUE(o[2]["reader"].isNull());
    // Each refusal says why.
    const char *why[] = {"TIFF", "too short for an image", "cannot be opened"};
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(o[i]["error"].toString().contains(why[i]))
            << qPrintable(o[i]["error"].toString());

    EXPECT_EQ(ProgramRun::run(LS_TOOL, {"image-info"}, dir.path()).exitCode, 2);
    EXPECT_EQ(
        ProgramRun::run(LS_TOOL, {"image-info", "--write-tiff", "o.tif", junk, tiny}, dir.path())
            .exitCode,
        2);
}

TEST(ImageInfoTool, MaskRepairsAndWriteBackClamps) {
    QTemporaryDir dir;
    // A hot pixel at detector (8, 9) = image (1, 1) of an IMG with origin (7, 8).
    const QString img = TestSupport::writeFile(
        dir, "hot.img", imgFile(3, 3, 7, 8, {10, 10, 10, 10, 65000, 10, 10, 10, 10}));
    const QString mask = TestSupport::writeFile(dir, "mask.txt", "# Size 3 3\n8 9\n");
    const QString out = dir.filePath("out.tif");
    const auto r = ProgramRun::run(
        LS_TOOL, {"image-info", "--errpoints", mask, "--write-tiff", out, img}, dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QList<QJsonObject> o = jsonLines(r.out);
    ASSERT_EQ(o.size(), 1);
    EXPECT_EQ(o[0]["sum"].toDouble(), 90);
    EXPECT_EQ(o[0]["max"].toDouble(), 65000); // the range is taken before repair

    TiffData back;
    ASSERT_TRUE(back.load(out));
    EXPECT_EQ(back.value(1, 1), 10);

    // Float samples beyond 16 bits are clamped on the way out.
    const QString txt = TestSupport::writeFile(
        dir, "big.dat", "#PRXM-CTImg\n# RANGE_X1 = 2\n# RANGE_Y1 = 1\n0 0 1000\n1 0 0.0031\n");
    const QString out2 = dir.filePath("out2.tif");
    EXPECT_EQ(
        ProgramRun::run(LS_TOOL, {"image-info", "--write-tiff", out2, txt}, dir.path()).exitCode,
        0);
    TiffData clamped;
    ASSERT_TRUE(clamped.load(out2));
    EXPECT_EQ(clamped.value(0, 0), 65535);
    EXPECT_EQ(clamped.value(1, 0), 2); // 1.55 rounds to 2

    // A TIFF cannot go to a full device (nor any device): a failure, and the
    // device is not replaced by a file.
    if (QFileInfo::exists("/dev/full")) {
        const auto full =
            ProgramRun::run(LS_TOOL, {"image-info", "--write-tiff", "/dev/full", txt}, dir.path());
        EXPECT_EQ(full.exitCode, 1);
        EXPECT_TRUE(full.err.contains("cannot write /dev/full"));
        EXPECT_FALSE(QFileInfo("/dev/full").isFile());
    }
}
