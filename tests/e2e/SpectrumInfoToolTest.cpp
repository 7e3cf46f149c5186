// lumenstack-tool spectrum-info end to end: files written at test time, the
// JSON contract, the exit statuses, and agreement with the core library.
#include "ProgramRun.h"
#include "support/TestSupport.h"

#include "spectrum/EdgeTable.h"
#include "spectrum/SpectrumFile.h"
#include "spectrum/XafsSpectrum.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// A copper K edge on a sloping background, "energy mu" per line.
QByteArray copperEdgeText() {
    QByteArray text = "# energy mu\n";
    for (int i = 0; i < 120; ++i) {
        const double e = 8850 + 2.5 * i;
        const double mu = 0.3 + 1e-4 * (e - 8850) + 0.5 + std::atan((e - 8984) / 1.5) / M_PI +
                          0.3 * std::exp(-std::pow(e - 8989, 2) / 18);
        text += QByteArray::number(e, 'g', 17) + " " + QByteArray::number(mu, 'g', 17) + "\n";
    }
    return text;
}

struct ToolRun {
    ProgramRun::Result result;
    QJsonObject json;
};

ToolRun runTool(const QStringList &args, const QString &workDir) {
    ToolRun r;
    r.result = ProgramRun::run(LS_TOOL, QStringList{"spectrum-info"} + args, workDir);
    r.json = QJsonDocument::fromJson(r.result.out.toUtf8()).object();
    return r;
}

double num(const QJsonValue &v) {
    if (v.isString()) { // "nan", "inf", "-inf"
        const QString s = v.toString();
        return s == "nan" ? NAN : s == "inf" ? INFINITY : -INFINITY;
    }
    return v.toDouble();
}

} // namespace

TEST(SpectrumInfoToolTest, SuggestedCopperEdgeMatchesTheCoreLibrary) {
    QTemporaryDir dir;
    const QString file = TestSupport::writeFile(dir, "cu.txt", copperEdgeText());
    const ToolRun r = runTool({"--suggest", "Cu", "K", "--dpre", "-25", file}, dir.path());
    ASSERT_TRUE(r.result.finished);
    EXPECT_EQ(r.result.exitCode, 0) << r.result.err.toStdString();
    ASSERT_FALSE(r.json.isEmpty()) << r.result.out.toStdString();
    EXPECT_EQ(r.json["file"].toString(), file);
    EXPECT_EQ(r.json["format"].toString(), "two-column");
    EXPECT_TRUE(r.json["ok"].toBool());
    EXPECT_EQ(r.json["points"].toInt(), 120);

    // The same spectrum built in process: every number agrees to the bit.
    loadEdgeTable();
    XafsSpectrum read;
    ASSERT_TRUE(SpectrumFile::read(file, read));
    SuggestElm s;
    s.use = true;
    s.Z = 29;
    s.edgeEnergy = edgeEnergyEV(29, 0);
    s.dPreE = -25;
    const XafsSpectrum x(read, file, 1, 0, s);
    EXPECT_EQ(num(r.json["midx"]), x.midx());
    EXPECT_EQ(num(r.json["dMut"]), x.dMut());
    EXPECT_EQ(num(r.json["xMin"]), 8850);
    EXPECT_EQ(num(r.json["yMax"]), x.yMax());
    const QJsonObject pre = r.json["pre"].toObject();
    EXPECT_EQ(num(pre["c0"]), x.pre().c0());
    EXPECT_EQ(num(pre["slope"]), x.pre().slope());
    EXPECT_EQ(num(pre["sigma"]), x.pre().sigma());
    EXPECT_EQ(pre["nUsed"].toInt(), x.pre().nUsed());
    EXPECT_EQ(pre["ok"].toBool(), true);
    EXPECT_EQ(num(pre["end"]), x.pre().end());
    const QJsonObject post = r.json["post"].toObject();
    for (const char *key : {"c0", "slope", "vicC", "vicD", "sigma", "start", "end"})
        EXPECT_TRUE(post.contains(key)) << key;
    EXPECT_EQ(post["bridged"].toBool(), x.post().bridged());

    // Physics: the edge where the step is, a unit jump.
    EXPECT_NEAR(x.midx(), 8984, 3);
    EXPECT_NEAR(x.dMut(), 1, 0.1);

    const QJsonArray first = r.json["firstPoints"].toArray();
    ASSERT_EQ(first.size(), 3);
    EXPECT_EQ(num(first[1].toArray()[0]), 8852.5);
    EXPECT_EQ(num(first[2].toArray()[1]), x.y(2));
    const QJsonArray last = r.json["lastPoint"].toArray();
    EXPECT_EQ(num(last[0]), x.x(119));
    const QJsonArray at = r.json["normalizedAt"].toArray();
    ASSERT_EQ(at.size(), 5);
    const int idx[5] = {0, 30, 60, 90, 119};
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(num(at[k]), x.doubleNormalizedPreBase().y(idx[k])) << k;
}

TEST(SpectrumInfoToolTest, BeamlineFileWithVictoreenAndWrittenSpectrumFile) {
    QTemporaryDir dir;
    QByteArray text = "9809  test beamline\nD= 3.1356\nOffset 0 0\n";
    for (int i = 0; i < 80; ++i) {
        // Angle falling, so energy rising; the transmitted beam drops at the edge.
        const double theta = 12.9 - 0.01 * i;
        const double i1 = (i < 40 ? 20000 : 7000) * (1 + 0.003 * i);
        text += QByteArray::number(i) + " " + QByteArray::number(theta, 'f', 4) + " 1 100000 " +
                QByteArray::number(i1, 'f', 1) + "\n";
    }
    const QString file = TestSupport::writeFile(dir, "b.dat", text);
    const QString out = dir.filePath("written.dat");
    const ToolRun r = runTool({"--victoreen", "--write", out, file}, dir.path());
    EXPECT_EQ(r.result.exitCode, 0) << r.result.err.toStdString();
    EXPECT_EQ(r.json["format"].toString(), "9809");
    EXPECT_EQ(r.json["points"].toInt(), 80);
    EXPECT_NE(num(r.json["pre"].toObject()["vicC"]), 0.0);
    EXPECT_TRUE(r.json["pre"].toObject()["ok"].toBool());
    EXPECT_NEAR(num(r.json["dMut"]), std::log(20000.0 / 7000), 0.05);
    // Written file: the header, then one line per point.
    const QStringList lines = QString::fromUtf8(TestSupport::readFile(out)).split('\n');
    ASSERT_GE(lines.size(), 7 + 80);
    EXPECT_EQ(lines[0], "###Lumenstack::XafsSpectrum");
    EXPECT_EQ(lines[6], "# x  double-normalized-pre-base y pre post");
    EXPECT_EQ(lines[7].split('\t').size(), 5);
    // The written file reads back as two-column text.
    const ToolRun back = runTool({out}, dir.path());
    EXPECT_EQ(back.json["format"].toString(), "two-column");
    EXPECT_EQ(back.json["points"].toInt(), 80);
}

TEST(SpectrumInfoToolTest, ExitStatusesAndDegenerateFiles) {
    QTemporaryDir dir;
    const ToolRun missing = runTool({dir.filePath("none.txt")}, dir.path());
    EXPECT_EQ(missing.result.exitCode, 1);
    EXPECT_FALSE(missing.json["ok"].toBool(true));
    EXPECT_EQ(missing.json["points"].toInt(-1), 0);

    // An empty file opens, but holds no spectrum: not ok.
    const QString empty = TestSupport::writeFile(dir, "empty.txt", "");
    const ToolRun e = runTool({empty}, dir.path());
    EXPECT_EQ(e.result.exitCode, 1);
    EXPECT_FALSE(e.json["ok"].toBool(true));
    EXPECT_EQ(e.json["points"].toInt(-1), 0);
    EXPECT_TRUE(e.json["lastPoint"].isNull());
    EXPECT_TRUE(e.json["normalizedAt"].toArray().isEmpty());

    // Two points: no fit, a zero jump, infinities printed as strings.
    const QString two = TestSupport::writeFile(dir, "two.txt", "1 1\n2 3\n");
    const ToolRun t = runTool({two}, dir.path());
    EXPECT_EQ(t.result.exitCode, 0);
    EXPECT_TRUE(t.json["normalizedAt"].toArray()[0].isString());

    for (const QStringList &bad :
         {QStringList{}, QStringList{"--dpre"}, QStringList{"--dpre", "x", empty},
          QStringList{"--suggest", "Cu"}, QStringList{"--suggest", "Qq", "K", empty},
          QStringList{"--bogus", empty}, QStringList{empty, empty}}) {
        const ToolRun b = runTool(bad, dir.path());
        EXPECT_EQ(b.result.exitCode, 2) << bad.join(' ').toStdString();
        EXPECT_TRUE(b.result.err.contains("usage:")) << bad.join(' ').toStdString();
        EXPECT_TRUE(b.result.out.isEmpty());
    }
}

TEST(SpectrumInfoToolTest, JumpThresholdRejectsTheEdge) {
    QTemporaryDir dir;
    const QString file = TestSupport::writeFile(dir, "cu.txt", copperEdgeText());
    const ToolRun r =
        runTool({"--suggest", "Cu", "K", "--jump-sigma", "1e9", "--dpost", "30", file}, dir.path());
    EXPECT_EQ(r.result.exitCode, 0);
    EXPECT_EQ(num(r.json["midx"]), 8984.36029);
    EXPECT_EQ(num(r.json["dMut"]), 0.0);
}

// Files without a spectrum are refused with "ok": false and status 1 (the
// readers accept them: they could be opened); a spectrum that cannot be
// written (a full device) is a failure too, and the device stays a device.
TEST(SpectrumInfoToolTest, FilesWithoutASpectrumAndFailedWritesExitOne) {
    QTemporaryDir dir;
    QByteArray random(4096, 0);
    for (int i = 0; i < random.size(); ++i)
        random[i] = char((i * 7919 + 13) % 251);
    const struct {
        const char *name;
        QByteArray bytes;
    } files[] = {
        {"comments.txt", "# energy mu\n# nothing else\n"},
        {"no-offset.dat", "9809     KEK-PF\nMono :  SI(111)  D=  3.13551 A\n"
                          " 40.0 40.0 1 100000 50000\n 39.9 39.9 1 100000 50000\n"},
        {"random.bin", random},
        {"nul.txt", QByteArray("8000 1\n8001 2\n\0\n8002 3\n", 22)},
        {"latin1.txt", "8000 1\n8001 2 \xe9t\xe9\n8002 3\n"},
    };
    for (const auto &f : files) {
        const ToolRun r = runTool({TestSupport::writeFile(dir, f.name, f.bytes)}, dir.path());
        EXPECT_EQ(r.result.exitCode, 1) << f.name;
        EXPECT_FALSE(r.json["ok"].toBool(true)) << f.name;
        EXPECT_TRUE(r.result.err.contains(f.name)) << f.name;
    }
    const QString good = TestSupport::writeFile(dir, "good.txt", copperEdgeText());
    EXPECT_EQ(runTool({good}, dir.path()).result.exitCode, 0);
    if (QFileInfo::exists("/dev/full")) {
        const ToolRun full = runTool({"--write", "/dev/full", good}, dir.path());
        EXPECT_EQ(full.result.exitCode, 1);
        EXPECT_TRUE(full.result.err.contains("cannot write /dev/full"));
        EXPECT_FALSE(QFileInfo("/dev/full").isFile());
        QProcess lostOutput; // the JSON itself cannot be written
        lostOutput.setStandardOutputFile("/dev/full");
        lostOutput.start(LS_TOOL, {"spectrum-info", good});
        ASSERT_TRUE(lostOutput.waitForFinished(60000));
        EXPECT_EQ(lostOutput.exitCode(), 1);
    }
}
