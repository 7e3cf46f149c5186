#include "e2e/ProgramRun.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>
#include <map>

namespace {

// The demo stack mixes reference A into B from left (x = 0, pure B) to right
// (x = 63, pure A) over 77 energies.
struct Demo {
    QTemporaryDir dir;
    Demo() {
        const auto r = ProgramRun::run(LS_TOOL, {"make-demo", dir.path()}, dir.path());
        EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);
    }
    QString path(const QString &p) const { return dir.filePath(p); }
    ProgramRun::Result tool(const QString &command, const QStringList &args) const {
        return ProgramRun::run(LS_TOOL,
                               QStringList{command, "--i1", path("i1"), "--i0", path("i0"),
                                           "--dark", path("dark.tif")} +
                                   args,
                               dir.path(), 120000);
    }
};

QStringList lines(const QString &file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

QByteArray contents(const QString &file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Mean column of each value of an "X Y Val" map.
std::map<int, double> meanColumnOfValue(const QString &file) {
    std::map<int, double> sum, count;
    for (const QString &line : lines(file)) {
        const QStringList f = line.split(' ');
        sum[f[2].toInt()] += f[0].toDouble();
        count[f[2].toInt()] += 1;
    }
    for (auto &s : sum)
        s.second /= count[s.first];
    return sum;
}

} // namespace

TEST(ComponentTool, ClustersOfTheDemoServeAsLcfReferences) {
    Demo demo;
    const QStringList args{"--clusters", "3", "--seed", "4", "--out"};
    const auto one =
        demo.tool("cluster-map", args + QStringList{demo.path("c1"), "--threads", "1"});
    const auto two =
        demo.tool("cluster-map", args + QStringList{demo.path("c2"), "--threads", "2"});
    ASSERT_EQ(one.exitCode, 0) << qPrintable(one.err);
    ASSERT_EQ(two.exitCode, 0) << qPrintable(two.err);
    const QJsonObject j = QJsonDocument::fromJson(two.out.trimmed().toUtf8()).object();
    EXPECT_GT(j["seconds"].toDouble(), 0);
    EXPECT_EQ(j["binsUsed"].toInt(), 64 * 48);
    for (const char *f : {"cluster.txt", "cluster.tif", "cluster-0.dat", "cluster-1.dat",
                          "cluster-2.dat", "cluster-sizes.txt"}) {
        EXPECT_FALSE(contents(demo.path("c1/") + f).isEmpty()) << f;
        EXPECT_EQ(contents(demo.path("c1/") + f), contents(demo.path("c2/") + f)) << f;
    }
    // The mixture changes along x only: the clusters are bands of columns.
    const std::map<int, double> column = meanColumnOfValue(demo.path("c1/cluster.txt"));
    ASSERT_EQ(column.size(), 3u);
    int left = 0, right = 0;
    for (const auto &c : column) {
        left = c.second < column.at(left) ? c.first : left;
        right = c.second > column.at(right) ? c.first : right;
    }
    EXPECT_EQ(lines(demo.path("c1/cluster-0.dat")).size(), 77);
    EXPECT_EQ(lines(demo.path("c1/cluster-sizes.txt")).size(), 3);

    // The outer clusters' spectra as references: the right one's fraction
    // grows from left to right.
    const auto lcf = demo.tool(
        "lcf-map", {"--ref", demo.path(QString("c1/cluster-%1.dat").arg(right)), "--ref",
                    demo.path(QString("c1/cluster-%1.dat").arg(left)), "--out", demo.path("lcf")});
    ASSERT_EQ(lcf.exitCode, 0) << qPrintable(lcf.err);
    const std::map<int, double> f = [&] {
        std::map<int, double> byColumn;
        for (const QString &line : lines(demo.path("lcf/ref-1-fraction.txt")))
            byColumn[line.section(' ', 0, 0).toInt()] += line.section(' ', 2, 2).toDouble() / 48;
        return byColumn;
    }();
    EXPECT_LT(f.at(0), 0.2);
    EXPECT_GT(f.at(63), 0.8);
    EXPECT_LT(f.at(20), f.at(40));
}

TEST(ComponentTool, PcaAndNmfWriteTheirFiles) {
    Demo demo;
    const auto pca = demo.tool("pca-map", {"--range", "7000", "7150", "--out", demo.path("p")});
    ASSERT_EQ(pca.exitCode, 0) << qPrintable(pca.err);
    const QStringList variance = lines(demo.path("p/pca-variance.txt"));
    ASSERT_EQ(variance.size(), 5);
    double last = 1e300, ratios = 0;
    for (int k = 0; k < 5; ++k) {
        const QStringList f = variance[k].split(' ');
        ASSERT_EQ(f.size(), 3);
        EXPECT_EQ(f[0].toInt(), k + 1);
        EXPECT_LE(f[1].toDouble(), last);
        last = f[1].toDouble();
        ratios += f[2].toDouble();
    }
    EXPECT_LE(ratios, 1.0 + 1e-12);
    const QStringList components = lines(demo.path("p/pca-components.dat"));
    ASSERT_FALSE(components.isEmpty());
    EXPECT_GE(components.first().split(' ').first().toDouble(), 7000);
    EXPECT_EQ(components.first().split(' ').size(), 6);
    for (int k = 1; k <= 5; ++k) {
        EXPECT_EQ(lines(demo.path(QString("p/pca-%1-score.txt").arg(k))).size(), 64 * 48);
        EXPECT_FALSE(contents(demo.path(QString("p/pca-%1-score.tif").arg(k))).isEmpty());
    }

    const auto nmf = demo.tool("nmf-map", {"--components", "2", "--out", demo.path("n")});
    ASSERT_EQ(nmf.exitCode, 0) << qPrintable(nmf.err);
    EXPECT_EQ(lines(demo.path("n/nmf-components.dat")).first().split(' ').size(), 3);
    for (const char *f : {"n/nmf-1-weight.txt", "n/nmf-2-weight.tif"})
        EXPECT_FALSE(contents(demo.path(f)).isEmpty()) << f;
}

TEST(ComponentTool, BadArgumentsAndInputsAreRefused) {
    Demo demo;
    struct Case {
        const char *command;
        QStringList args;
        int exit;
        const char *says;
    } cases[] = {
        {"cluster-map", {"--out", "x"}, 2, "--clusters K is required"},
        {"nmf-map", {"--out", "x"}, 2, "--components K is required"},
        {"pca-map", {"--components", "0", "--out", "x"}, 2, "--components takes"},
        {"pca-map", {"--components", "78", "--out", "x"}, 2, "components must be 1 to 77"},
        {"pca-map", {"--threads", "0", "--out", "x"}, 2, "--threads takes"},
        {"pca-map", {"--range", "9000", "8000", "--out", "x"}, 2, "--range S E"},
        {"pca-map", {"--range", "100", "200", "--out", "x"}, 2, "fewer than two energies"},
        {"cluster-map", {"--clusters", "2", "--seed", "-1", "--out", "x"}, 2, "--seed takes"},
        {"pca-map", {"--seed", "1", "--out", "x"}, 2, "unknown argument --seed"},
        {"pca-map", {"--fixed-e0", "5000", "--out", "x"}, 2, "outside the energy range"},
        {"pca-map", {"--out"}, 2, "--out takes a folder"},
        {"pca-map", {}, 2, "--out DIR is required"},
    };
    for (const Case &c : cases) {
        const auto r = demo.tool(c.command, c.args);
        EXPECT_EQ(r.exitCode, c.exit) << c.command << " " << qPrintable(c.args.join(' '));
        EXPECT_TRUE(r.err.contains(c.says)) << qPrintable(r.err);
    }
    const auto missing = ProgramRun::run(
        LS_TOOL, {"pca-map", "--i1", demo.path("none"), "--out", demo.path("x")}, demo.path(""));
    EXPECT_EQ(missing.exitCode, 1) << qPrintable(missing.err);
    const auto help = ProgramRun::run(LS_TOOL, {"cluster-map", "--help"}, demo.path(""));
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--clusters K")) << qPrintable(help.out);
}
