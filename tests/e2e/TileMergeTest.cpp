// Tiles of one stack, each a map subcommand run with --area (and so reading
// only its rows of every image), merged by `lumenstack-tool merge`, give the
// files of a single run over the union bit for bit; tiles that overlap, leave
// a gap or sit off the bins are refused by name; the cluster script's local
// run of separate processes does the same.
#include "e2e/ProgramRun.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray contents(const QString &file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What may differ between two runs of the same maps: the times in the
// summary, the time stamp of an energy-shift map file, and in what a file was
// made from (FILE.json) the time, the arguments (--area, --out) and the
// tiles a merge names.
QByteArray comparable(const QString &file) {
    if (file.endsWith(".json") && !file.endsWith("/summary.json")) {
        QJsonObject o = QJsonDocument::fromJson(contents(file)).object();
        for (const char *key : {"date", "arguments", "mergedFrom", "merge"})
            o.remove(key);
        return QJsonDocument(o).toJson();
    }
    QString text = QString::fromUtf8(contents(file));
    if (file.endsWith(".json"))
        text.remove(QRegularExpression(
            "\"(seconds|binsPerSecond|loadSeconds|runSeconds|writeSeconds)\": [^,]*, "));
    if (file.endsWith(".emp"))
        text.remove(QRegularExpression("Record Date[^\n]*\n"));
    return text.toUtf8();
}

void expectSameFiles(const QString &single, const QString &merged) {
    const QStringList files = QDir(single).entryList(QDir::Files, QDir::Name);
    EXPECT_GE(files.size(), 3);
    EXPECT_EQ(QDir(merged).entryList(QDir::Files, QDir::Name), files);
    for (const QString &f : files) {
        const QByteArray a = comparable(single + "/" + f), b = comparable(merged + "/" + f);
        EXPECT_FALSE(a.isEmpty()) << qPrintable(f);
        EXPECT_TRUE(a == b) << qPrintable(f);
    }
}

struct Demo {
    QTemporaryDir dir;
    Demo() {
        const auto r = ProgramRun::run(LS_TOOL, {"make-demo", dir.path()}, dir.path());
        EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);
        QFile shifts(path("shifts.txt"));
        EXPECT_TRUE(shifts.open(QIODevice::WriteOnly));
        shifts.write("3 1 2 0.9\n20 0 -3 0.8\n40 -1 1 0.7\n");
    }
    QString path(const QString &p) const { return dir.filePath(p); }
    QStringList stack() const {
        return {"--i1", path("i1"), "--i0", path("i0"), "--dark", path("dark.tif")};
    }
    // Runs the tool; the exit status and stderr.
    ProgramRun::Result tool(const QStringList &args) const {
        return ProgramRun::run(LS_TOOL, args, dir.path(), 120000);
    }
};

} // namespace

TEST(TileMerge, TilesMergeIntoTheSingleRunForEverySplit) {
    struct Case {
        const char *name;
        QStringList options; // subcommand and its options, without --area and --out
        QString area;        // the single run's area ("" the whole image)
        QStringList tiles;
    };
    Demo demo;
    const QStringList lcf{"--ref", demo.path("ref_A.dat"), "--ref", demo.path("ref_B.dat")};
    const Case cases[] = {
        {"ra-map, 5 x 3 bins, uneven tiles whose last bins straddle their borders",
         QStringList{"ra-map", "--bin", "2", "1"},
         "",
         {"0 0 30 20", "30 0 34 20", "0 21 64 27"}},
        {"lcf-map on part of the image, four tiles",
         QStringList{"lcf-map", "--bin", "2", "2"} + lcf,
         "5 4 50 40",
         {"5 4 25 20", "30 4 25 20", "5 24 25 20", "30 24 25 20"}},
        {"constrained lcf-map with its quality maps, two tiles across",
         QStringList{"lcf-map", "--bin", "1", "1", "--nonneg", "--sum1", "--quality"} + lcf,
         "",
         {"0 0 33 48", "33 0 31 48"}},
        {"lcf-map, 7 x 7 bins running off the image",
         QStringList{"lcf-map", "--bin", "3", "3"} + lcf,
         "0 0 70 48",
         {"35 0 35 48", "0 0 35 48"}},
        {"shift-map: the .emp file and the shift statistics",
         QStringList{"shift-map", "--bin", "1", "1", "--std", demo.path("ref_A.dat")},
         "",
         {"0 0 33 24", "33 0 31 24", "0 24 64 24"}},
        {"elem-map on registered images: each tile reads its rows through the shifts",
         QStringList{"elem-map", "--elems", "Fe", "--shifts", demo.path("shifts.txt")},
         "",
         {"0 0 64 1", "0 1 64 16", "0 17 64 31"}},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString root = demo.path(QString("case%1").arg(n++));
        const QStringList base = c.options + demo.stack() + QStringList{"--threads", "2"};
        QStringList single = base + QStringList{"--out", root + "/single"};
        if (!c.area.isEmpty())
            single += QStringList{"--area"} + c.area.split(' ');
        const auto r = demo.tool(single);
        ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
        QStringList merge{"merge", "--out", root + "/merged"};
        for (int k = 0; k < c.tiles.size(); ++k) {
            const QString out = root + QString("/tile%1").arg(k);
            const auto t = demo.tool(base + QStringList{"--area"} + c.tiles[k].split(' ') +
                                     QStringList{"--out", out});
            ASSERT_EQ(t.exitCode, 0) << qPrintable(t.err);
            merge << out;
        }
        const auto m = demo.tool(merge);
        ASSERT_EQ(m.exitCode, 0) << qPrintable(m.err);
        EXPECT_EQ(m.out.toUtf8(), contents(root + "/merged/summary.json"));
        expectSameFiles(root + "/single", root + "/merged");
    }
}

TEST(TileMerge, OverlapsGapsOffBinTilesAndOtherRunsAreRefusedByName) {
    Demo demo;
    const auto tile = [&](const QString &name, const QString &area, const QString &bin) {
        const auto r = demo.tool(QStringList{"ra-map", "--bin"} + bin.split(' ') + demo.stack() +
                                 QStringList{"--area"} + area.split(' ') +
                                 QStringList{"--out", demo.path(name)});
        EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);
        return demo.path(name);
    };
    const QString a = tile("A", "0 0 30 20", "2 1"), b = tile("B", "30 0 34 20", "2 1"),
                  c = tile("C", "0 21 64 27", "2 1"), off = tile("OFF", "31 0 33 20", "2 1"),
                  over = tile("OVER", "25 0 10 21", "2 1"),
                  other = tile("BIN", "30 0 34 20", "1 1");
    // Two lcf-map halves fitted with different options (e.g. --fixed-e0 auto,
    // which fixes each tile's edge from its own area).
    const auto lcfTile = [&](const QString &name, const QString &area, const QStringList &opts) {
        const auto r = demo.tool(QStringList{"lcf-map", "--ref", demo.path("ref_A.dat"), "--ref",
                                             demo.path("ref_B.dat")} +
                                 opts + demo.stack() + QStringList{"--area"} + area.split(' ') +
                                 QStringList{"--out", demo.path(name)});
        EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);
        return demo.path(name);
    };
    const QString plainHalf = lcfTile("LCF1", "0 0 32 48", {}),
                  nonnegHalf = lcfTile("LCF2", "32 0 32 48", {"--nonneg"});
    struct Case {
        QStringList tiles;
        QString says;
        QStringList named;
    };
    const Case cases[] = {
        {{a, b, c, a}, "overlap", {a}},
        {{a, over, b, c}, "overlap", {a, over}},
        {{a, c}, "leave a gap", {a, c}},
        {{a, off, c}, "off the bins", {off}},
        {{a, other, c}, "not of one run", {a, other}},
        {{a, demo.path("nothing"), c}, "cannot read", {demo.path("nothing")}},
        {{plainHalf, nonnegHalf}, "differ in \"options\"", {plainHalf, nonnegHalf}},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(qPrintable(k.says));
        const QString out = demo.path("refused");
        const auto r = demo.tool(QStringList{"merge", "--out", out} + k.tiles);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(k.says)) << qPrintable(r.err);
        for (const QString &t : k.named)
            EXPECT_TRUE(r.err.contains(t)) << qPrintable(r.err);
        // A refused merge writes nothing at all.
        EXPECT_TRUE(QDir(out).entryList(QDir::Files).isEmpty());
    }
    EXPECT_EQ(demo.tool({"merge", a}).exitCode, 2);
}

TEST(TileMerge, ClusterScriptRunsTilesAsProcessesThenMergesToTheSingleRun) {
    Demo demo;
    const QStringList args =
        demo.stack() +
        QStringList{
            "--bin", "2", "2", "--ref", demo.path("ref_A.dat"), "--ref", demo.path("ref_B.dat")};
    QString config = QString("TOOL='%1'\nCOMMAND=lcf-map\nARGS=(").arg(LS_TOOL);
    for (const QString &a : args)
        config += "'" + a + "' ";
    config += ")\nWIDTH=64\nHEIGHT=48\nHX=2\nHY=2\nTILES_X=3\nTILES_Y=2\nTHREADS=1\nJOBS=2\n";
    config += QString("WORK='%1'\nOUT='%2'\n").arg(demo.path("work"), demo.path("merged"));
    QFile f(demo.path("job.conf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(config.toUtf8());
    f.close();

    const QString script = QString(LS_SOURCE_DIR) + "/examples/cluster/tiles.sh";
    const auto plan =
        ProgramRun::run("bash", {script, demo.path("job.conf"), "plan"}, demo.path(""));
    ASSERT_EQ(plan.exitCode, 0) << qPrintable(plan.err);
    EXPECT_EQ(plan.out, "0 0 20 25\n20 0 20 25\n40 0 24 25\n0 25 20 23\n20 25 20 23\n"
                        "40 25 24 23\n");
    const auto local =
        ProgramRun::run("bash", {script, demo.path("job.conf"), "local"}, demo.path(""), 180000);
    ASSERT_EQ(local.exitCode, 0) << qPrintable(local.err);
    const auto single = demo.tool(QStringList{"lcf-map"} + args +
                                  QStringList{"--threads", "1", "--out", demo.path("single")});
    ASSERT_EQ(single.exitCode, 0) << qPrintable(single.err);
    expectSameFiles(demo.path("single"), demo.path("merged"));
}
