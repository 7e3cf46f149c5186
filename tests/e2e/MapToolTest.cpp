#include "e2e/ProgramRun.h"
#include "imageio/TiffData.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

// The demo stack mixes reference A into B from left (x = 0, pure B) to right
// (x = 63, pure A).
constexpr int DemoW = 64, DemoH = 48;

struct Demo {
    QTemporaryDir dir;
    Demo() {
        const auto r = ProgramRun::run(LS_TOOL, {"make-demo", dir.path()}, dir.path());
        EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);
    }
    QString path(const QString &p) const { return dir.filePath(p); }
    QStringList stack() const {
        return {"--i1", path("i1"), "--i0", path("i0"), "--dark", path("dark.tif")};
    }
    QStringList lcf(const QString &out, int threads) const {
        return QStringList{"lcf-map"} + stack() +
               QStringList{"--ref",     path("ref_A.dat"),        "--ref", path("ref_B.dat"),
                           "--threads", QString::number(threads), "--out", out};
    }
};

QByteArray contents(const QString &file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(MapTool, LcfMapRecoversTheDemoMixtureTheSameForAnyThreadCount) {
    Demo demo;
    const QString out1 = demo.path("out1"), out2 = demo.path("out2");
    const auto r1 = ProgramRun::run(LS_TOOL, demo.lcf(out1, 1), demo.path(""));
    const auto r2 = ProgramRun::run(LS_TOOL, demo.lcf(out2, 2), demo.path(""));
    ASSERT_EQ(r1.exitCode, 0) << qPrintable(r1.err);
    ASSERT_EQ(r2.exitCode, 0) << qPrintable(r2.err);

    const QJsonObject j = QJsonDocument::fromJson(r2.out.trimmed().toUtf8()).object();
    EXPECT_EQ(j["bins"].toInt(), DemoW * DemoH);
    EXPECT_EQ(j["threads"].toInt(), 2);
    EXPECT_EQ(j["width"].toInt(), DemoW);
    EXPECT_EQ(j["refs"].toArray().size(), 2);
    EXPECT_GT(j["refs"].toArray()[0].toObject()["dMut"].toDouble(), 0.5);
    const QStringList maps{"ref-1-amount.txt", "ref-2-amount.txt", "ref-1-fraction.txt",
                           "ref-2-fraction.txt", "residual.txt"};
    ASSERT_EQ(j["maps"].toArray().size(), maps.size());
    for (const QString &m : maps) {
        EXPECT_FALSE(contents(out1 + "/" + m).isEmpty()) << qPrintable(m);
        EXPECT_EQ(contents(out1 + "/" + m), contents(out2 + "/" + m)) << qPrintable(m);
    }

    // Fraction of A against the mixture written: within 0.04 on single
    // pixels (the straight background lines under the curved pre-edge leave
    // a systematic ~0.016); the two fractions add up to 1.
    QFile fa(out2 + "/ref-1-fraction.txt"), fb(out2 + "/ref-2-fraction.txt");
    ASSERT_TRUE(fa.open(QIODevice::ReadOnly) && fb.open(QIODevice::ReadOnly));
    QTextStream ta(&fa), tb(&fb);
    int lines = 0;
    double worst = 0;
    while (!ta.atEnd()) {
        const QStringList a = ta.readLine().split(' '), b = tb.readLine().split(' ');
        ASSERT_EQ(a.size(), 3);
        const double fraction = a[2].toDouble();
        worst = std::max(worst, std::fabs(fraction - a[0].toInt() / 63.0));
        EXPECT_NEAR(fraction + b[2].toDouble(), 1.0, 0.02);
        ++lines;
    }
    EXPECT_EQ(lines, DemoW * DemoH);
    EXPECT_LT(worst, 0.04);

    // Each map says beside it what it was made from: the image files, the
    // dark frame, the references as given, and its own name and units.
    for (const QString m : {"ref-1-fraction.txt", "ref-1-fraction.tif"}) {
        const QJsonObject p = QJsonDocument::fromJson(contents(out2 + "/" + m + ".json")).object();
        const QJsonObject in = p["inputs"].toObject();
        EXPECT_EQ(in["i1"].toArray().size(), QDir(demo.path("i1")).entryList(QDir::Files).size());
        EXPECT_TRUE(in["i0"].toArray().first().toString().startsWith(demo.path("i0/")));
        EXPECT_EQ(in["dark"].toString(), demo.path("dark.tif"));
        EXPECT_EQ(p["references"].toArray(),
                  QJsonArray({demo.path("ref_A.dat"), demo.path("ref_B.dat")}));
        EXPECT_EQ(p["units"].toString(), "fraction") << qPrintable(m);
        EXPECT_EQ(p["command"].toString(), "lcf-map");
    }

    // The TIFF beside it holds the same values as floats.
    TiffData tif;
    ASSERT_TRUE(tif.load(out2 + "/ref-1-fraction.tif"));
    EXPECT_EQ(tif.sampleType(), TiffData::Float32);
    EXPECT_EQ(tif.width(), DemoW);
    EXPECT_NEAR(tif.value(63, 20), 1.0, 0.04);

    // With the element suggestion the bins take edge-relative windows at the
    // Fe K edge (the edge table must be read for that) and fit the same.
    const QString out3 = demo.path("out3");
    const auto r3 = ProgramRun::run(
        LS_TOOL, demo.lcf(out3, 2) + QStringList{"--suggest", "Fe", "K"}, demo.path(""));
    ASSERT_EQ(r3.exitCode, 0) << qPrintable(r3.err);
    TiffData suggested;
    ASSERT_TRUE(suggested.load(out3 + "/ref-1-fraction.tif"));
    EXPECT_NEAR(suggested.value(63, 20), 1.0, 0.05);
    EXPECT_NEAR(suggested.value(0, 20), 0.0, 0.05);
}

TEST(MapTool, RaMapAndExitStatuses) {
    Demo demo;
    const QString out = demo.path("ra");
    const auto ra = ProgramRun::run(LS_TOOL,
                                    QStringList{"ra-map"} + demo.stack() +
                                        QStringList{"--energy", "7300", "--bin", "1", "1", "--area",
                                                    "0", "0", "32", "12", "--out", out},
                                    demo.path(""));
    ASSERT_EQ(ra.exitCode, 0) << qPrintable(ra.err);
    for (const char *m : {"dmut.txt", "rest.txt", "ratio.txt", "dmut.tif", "ratio.tif"})
        EXPECT_TRUE(QFile::exists(out + "/" + m)) << m;
    EXPECT_EQ(QString(contents(out + "/dmut.txt")).count('\n'), 11 * 4);

    struct Case {
        QStringList args;
        int exitCode;
        const char *inErr;
    };
    const Case cases[] = {
        {{"lcf-map", "--out", out}, 2, "usage"},
        {QStringList{"lcf-map"} + demo.stack() + QStringList{"--out", out}, 2, "--ref"},
        {QStringList{"lcf-map", "--bin", "x", "1"}, 2, "usage"},
        {QStringList{"ra-map"} + demo.stack() + QStringList{"--bogus", "--out", out}, 2, "usage"},
        {QStringList{"lcf-map"} + demo.stack() +
             QStringList{"--ref", demo.path("nothing.dat"), "--ref", demo.path("ref_B.dat"),
                         "--out", out},
         1, "nothing.dat"},
        {QStringList{"ra-map", "--i1", demo.path("none"), "--out", out}, 1, "none"},
    };
    for (const Case &c : cases) {
        const auto r = ProgramRun::run(LS_TOOL, c.args, demo.path(""));
        EXPECT_EQ(r.exitCode, c.exitCode) << qPrintable(c.args.join(' '));
        EXPECT_TRUE(r.err.contains(c.inErr)) << qPrintable(r.err);
        EXPECT_TRUE(r.out.isEmpty());
    }
    // An image of another size is warned of, and the run goes on.
    const QStringList i1 = QDir(demo.path("i1")).entryList(QDir::Files, QDir::Name);
    const std::vector<quint16> small(64, 100);
    ASSERT_TRUE(TiffData::write16BitTiff(demo.path("i1/" + i1.last()), 8, 8, small.data()));
    const auto mixed = ProgramRun::run(LS_TOOL,
                                       QStringList{"ra-map"} + demo.stack() +
                                           QStringList{"--energy", "7300", "--out", out},
                                       demo.path(""));
    EXPECT_EQ(mixed.exitCode, 0);
    EXPECT_TRUE(mixed.err.contains("warning: ") &&
                mixed.err.contains("is 8 x 8 pixels, not 64 x 48 like the first image of the I1"))
        << qPrintable(mixed.err);
}

namespace {

// Worst |fraction of A - x / 63| over the map written in dir.
double worstFractionError(const QString &dir) {
    QFile f(dir + "/ref-1-fraction.txt");
    if (!f.open(QIODevice::ReadOnly))
        return HUGE_VAL;
    QTextStream t(&f);
    double worst = 0;
    while (!t.atEnd()) {
        const QStringList a = t.readLine().split(' ');
        if (a.size() == 3)
            worst = std::max(worst, std::fabs(a[2].toDouble() - a[0].toInt() / 63.0));
    }
    return worst;
}

} // namespace

// On the two-compound demo the per-bin edge search places each mixed bin's
// edge between the compounds' edges; one fixed edge (taken from the summed
// spectrum) brings every fraction within 0.02 of the mixture. The quality
// maps and the options come out with it; an edge outside the scan is refused.
TEST(MapTool, FixedEdgeAndConstraintsOnTheDemoMixture) {
    Demo demo;
    const QString plain = demo.path("plain"), fixed = demo.path("fixed");
    const auto r1 = ProgramRun::run(LS_TOOL, demo.lcf(plain, 2), demo.path(""));
    const auto r2 = ProgramRun::run(
        LS_TOOL, demo.lcf(fixed, 2) + QStringList{"--fixed-e0", "auto", "--nonneg", "--quality"},
        demo.path(""));
    ASSERT_EQ(r1.exitCode, 0) << qPrintable(r1.err);
    ASSERT_EQ(r2.exitCode, 0) << qPrintable(r2.err);
    const double perBin = worstFractionError(plain), fixedEdge = worstFractionError(fixed);
    EXPECT_GT(perBin, 0.02);
    EXPECT_LT(fixedEdge, 0.02);
    std::printf("worst fraction error: per-bin edge %.4f, fixed edge %.4f\n", perBin, fixedEdge);

    const QJsonObject j = QJsonDocument::fromJson(r2.out.trimmed().toUtf8()).object();
    const QJsonObject o = j["options"].toObject();
    EXPECT_TRUE(o["nonneg"].toBool());
    EXPECT_FALSE(o["sum1"].toBool());
    EXPECT_NEAR(o["fixedE0"].toDouble(), 7117, 6); // between the edges of A and B
    for (const char *m : {"ref-1-sigma.txt", "ref-2-sigma.tif", "rfactor.txt", "chi2.tif"})
        EXPECT_TRUE(QFile::exists(fixed + "/" + m)) << m;
    EXPECT_FALSE(QFile::exists(plain + "/rfactor.txt"));
    TiffData sigma;
    ASSERT_TRUE(sigma.load(fixed + "/ref-1-sigma.tif"));
    EXPECT_GT(sigma.value(30, 20), 0);
    EXPECT_LT(sigma.value(30, 20), 0.1);

    const auto refused = ProgramRun::run(
        LS_TOOL, demo.lcf(demo.path("no"), 1) + QStringList{"--fixed-e0", "9000"}, demo.path(""));
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains("outside the energy range")) << qPrintable(refused.err);
}
