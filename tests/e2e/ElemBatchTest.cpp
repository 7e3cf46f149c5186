// The element map run of the real program on a two-edge stack built here:
// the saved jump maps equal the jumps the images were made with, and
// lumenstack-tool elem-map with the same conditions writes the same maps.
#include "ProgramRun.h"
#include "support/TestSupport.h"
#include "support/TwoEdgeStack.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>
#include <map>

namespace {

// "X Y Val" lines of a saved map, by bin centre.
std::map<std::pair<int, int>, double> readXYVal(const QString &path) {
    std::map<std::pair<int, int>, double> values;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return values;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QStringList items = in.readLine()
                                      .replace(QLatin1Char(','), QLatin1Char(' '))
                                      .simplified()
                                      .split(' ', Qt::SkipEmptyParts);
        if (items.size() == 3)
            values[{items[0].toInt(), items[1].toInt()}] = items[2].toDouble();
    }
    return values;
}

// The map saved as out/STEM (the program tags the name with a number).
QString savedMap(const QTemporaryDir &dir, const QString &stem) {
    const QDir out(dir.filePath("out"));
    const QStringList found = out.entryList({stem + "*"}, QDir::Files, QDir::Name);
    return found.isEmpty() ? QString() : out.filePath(found.first());
}

// The lines of a text map split at blanks or commas.
QVector<QStringList> readLines(const QString &path) {
    QVector<QStringList> lines;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return lines;
    QTextStream in(&f);
    while (!in.atEnd())
        lines.append(in.readLine()
                         .replace(QLatin1Char(','), QLatin1Char(' '))
                         .split(' ', Qt::SkipEmptyParts));
    return lines;
}

// The tool's "X Y Val" lines (17 digits) against the program's saved map (6
// digits): the same bins in the same order, the same values as the program
// prints them.
void expectSameMap(const QString &tool, const QString &program) {
    const QVector<QStringList> a = readLines(tool), b = readLines(program);
    ASSERT_EQ(a.size(), TwoEdgeStack::W * TwoEdgeStack::H) << qPrintable(tool);
    ASSERT_EQ(a.size(), b.size()) << qPrintable(program);
    for (int i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].size(), 3) << qPrintable(tool);
        ASSERT_EQ(b[i].size(), 3) << qPrintable(program);
        EXPECT_EQ(a[i][0] + ' ' + a[i][1], b[i][0] + ' ' + b[i][1]) << qPrintable(tool);
        EXPECT_EQ(QString::number(a[i][2].toDouble(), 'g', 6), b[i][2])
            << qPrintable(tool) << " line " << i;
    }
}

// Saves every element map of the run: each row's seven kinds (display modes
// 0 1 4 5 6 7 8) and the two correlation maps (2 and 3), as
// out/all_ROW_KIND_*.txt and out/all_KIND_*.txt with the tool's kind names.
QString saveAllMapsLines() {
    const char *const kinds[][2] = {{"0", "dmut"}, {"1", "ndmut"}, {"4", "mup"}, {"5", "mum"},
                                    {"6", "de"},   {"7", "roi"},   {"8", "nroi"}};
    QString lines;
    for (const char *row : {"Mn-K", "Fe-K"}) {
        lines += QString("analyzer_elems_select_show %1\n").arg(row);
        for (const auto &k : kinds)
            lines += QString("analyzer_elems_select_disp_mode %1\nsave_data out/all_%2_%3_.txt\n")
                         .arg(k[0], row, k[1]);
    }
    return lines + "analyzer_elems_select_disp_mode 2\nsave_data out/all_cor_.txt\n"
                   "analyzer_elems_select_disp_mode 3\nsave_data out/all_corth_.txt\n";
}

} // namespace

TEST(ElemBatch, JumpMapsOfTwoEdgesMatchTheStack) {
    QTemporaryDir dir;
    const QString data = dir.filePath("stack");
    ASSERT_EQ(TwoEdgeStack::write(data).size(), int(TwoEdgeStack::energies().size()));
    QDir(dir.path()).mkpath("out");
    const QString bat = TestSupport::writeFile(dir, "elems.bat",
                                               QString("eng_by_calc_i1 1\n"
                                                       "eng_calc_even_in_eng_i1 1\n"
                                                       "eng_calc_base_i1 6400\n"
                                                       "eng_calc_delta_i1 10\n"
                                                       "load_I1_files_of_pattern NEW %1/ *.tif\n"
                                                       "set_fluo_type 1\n"
                                                       "set_band_w 0\n"
                                                       "set_band_h 0\n"
                                                       "select_region 0 0 %2 %3\n"
                                                       "analyzer_elems_sort_by_an 1\n"
                                                       "analyzer_target_elements Fe Mn\n"
                                                       "analyzer_elems_set_deVs 15.5\n"
                                                       "analyzer_elems_roi Mn-K 7150 7200\n"
                                                       "analyzer_elems_roi Fe-K 7150 7200\n"
                                                       "analyzer_elems_no_neg Mn-K 1\n"
                                                       "analyzer_elems_no_neg Fe-K 1\n"
                                                       "analyzer_elems_set_corr_th 0.95\n"
                                                       "analyzer_elems_bg_dMut x -2\n"
                                                       "analyzer_elems_bg_dE x -3\n"
                                                       "analyzer_elems_bg_ROI x -4\n"
                                                       "analyzer_elems_bg_NROI x -5\n"
                                                       "analyzer_select_analysis_mode 2\n"
                                                       "analyzer_exec_elems\n"
                                                       "select_disp_image 3\n"
                                                       "saveDataCfg_save_as_text\n"
                                                       "saveDataCfg_text_as_xyz\n"
                                                       "analyzer_elems_select_show Mn-K\n"
                                                       "save_data out/mn.txt\n"
                                                       "analyzer_elems_select_show Fe-K\n"
                                                       "save_data out/fe.txt\n"
                                                       "analyzer_elems_select_disp_mode 1\n"
                                                       "save_data out/ferat.txt\n"
                                                       "%4"
                                                       "quit\n")
                                                   .arg(data)
                                                   .arg(TwoEdgeStack::W)
                                                   .arg(TwoEdgeStack::H)
                                                   .arg(saveAllMapsLines())
                                                   .toUtf8());
    const ProgramRun::Result r =
        ProgramRun::runBatch(dir.filePath("none.cfg"), bat, dir.path(), 120000);
    ASSERT_TRUE(r.finished) << r.err.toStdString();
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const auto mn = readXYVal(savedMap(dir, "mn"));
    const auto fe = readXYVal(savedMap(dir, "fe-"));
    const auto ratio = readXYVal(savedMap(dir, "ferat"));
    ASSERT_EQ(mn.size(), size_t(TwoEdgeStack::W * TwoEdgeStack::H));
    ASSERT_EQ(fe.size(), mn.size());
    ASSERT_EQ(ratio.size(), mn.size());
    for (const auto &[xy, v] : mn) {
        const auto [x, y] = xy;
        const double jumpFe = TwoEdgeStack::jumpFe(x, y);
        EXPECT_DOUBLE_EQ(v, TwoEdgeStack::jumpMn(x, y)) << x << " " << y;
        const double feDMut = jumpFe > 0 ? jumpFe : -2; // the background dmut where none
        EXPECT_DOUBLE_EQ(fe.at(xy), feDMut) << x << " " << y;
        // The text form carries 6 significant digits.
        EXPECT_NEAR(ratio.at(xy), feDMut / TwoEdgeStack::jumpMn(x, y), 1e-6);
    }

    // The tool on the same stack with the same conditions: the same maps.
    QStringList energies;
    for (double e : TwoEdgeStack::energies())
        energies << QString::number(e);
    const QString energyFile =
        TestSupport::writeFile(dir, "energies.txt", energies.join('\n').toUtf8());
    const QStringList stack{"--i1", data, "--energies", energyFile, "--fluorescence"};
    const QString out = dir.filePath("tool");
    const auto tool = ProgramRun::run(
        LS_TOOL,
        QStringList{"elem-map"} + stack +
            QStringList{"--elems", "Fe,Mn",    "--sort",    "--de", "15.5",  "--roi", "7150",
                        "7200",    "--no-neg", "--cor-th",  "0.95", "--bg",  "-2",    "-3",
                        "-4",      "-5",       "--threads", "2",    "--out", out},
        dir.path());
    ASSERT_EQ(tool.exitCode, 0) << qPrintable(tool.err);
    const QJsonObject j = QJsonDocument::fromJson(tool.out.trimmed().toUtf8()).object();
    EXPECT_EQ(j["bins"].toInt(), TwoEdgeStack::W * TwoEdgeStack::H);
    EXPECT_EQ(j["maps"].toArray().size(), 2 * 7 + 2);
    const QJsonArray elems = j["elems"].toArray();
    ASSERT_EQ(elems.size(), 2);
    EXPECT_EQ(elems[0].toObject()["name"].toString(), "Mn-K");
    EXPECT_EQ(elems[0].toObject()["z"].toInt(), 25);
    EXPECT_NEAR(elems[1].toObject()["e0"].toDouble(), TwoEdgeStack::edgeFe, 2); // table edge
    for (const QString row : {"Mn-K", "Fe-K"})
        for (const QString kind : {"dmut", "ndmut", "mup", "mum", "de", "roi", "nroi"})
            expectSameMap(QString("%1/%2-%3.txt").arg(out, row, kind),
                          savedMap(dir, QString("all_%1_%2_").arg(row, kind)));
    expectSameMap(out + "/cor.txt", savedMap(dir, "all_cor_"));
    expectSameMap(out + "/corth.txt", savedMap(dir, "all_corth_"));
    EXPECT_TRUE(QFile::exists(out + "/corth.tif"));

    // Stress: a skipped unknown name, an edge outside the energies, no row in
    // use and all standard ratios 0 give correlation 0 everywhere.
    const auto stress =
        ProgramRun::run(LS_TOOL,
                        QStringList{"elem-map"} + stack +
                            QStringList{"--elems", "Mn Xx Fe Pb-L3", "--use", "0 0 0", "--std",
                                        "0,0,0", "--out", dir.filePath("stress")},
                        dir.path());
    ASSERT_EQ(stress.exitCode, 0) << qPrintable(stress.err);
    EXPECT_TRUE(stress.err.contains("Xx"));
    for (const QStringList &line : readLines(dir.filePath("stress/cor.txt")))
        EXPECT_EQ(line.value(2), "0");
}

// Arguments the tool refuses (exit 2, usage on stderr, nothing on stdout) and
// inputs it cannot read (exit 1).
TEST(ElemBatch, ElemMapRefusesBadArgumentsAndUnreadableInput) {
    QTemporaryDir dir;
    const QString data = dir.filePath("stack");
    TwoEdgeStack::write(data);
    const QString out = dir.filePath("out");
    const QStringList base{"elem-map", "--i1", data, "--out", out};
    struct Case {
        QStringList args;
        int exitCode;
        const char *inErr;
    };
    const Case cases[] = {
        {{"elem-map", "--elems", "Fe", "--out", out}, 2, "--i1"},
        {base, 2, "--elems"},
        {base + QStringList{"--elems", ""}, 2, "no known element"},
        {base + QStringList{"--elems", "Xx, Yy"}, 2, "no known element"},
        {base + QStringList{"--elems", "Fe-../x"}, 2, "unknown edge"},
        {base + QStringList{"--elems", "Fe Fe-K"}, 2, "twice"},
        {base + QStringList{"--elems", "Fe Mn", "--use", "1 1 0"}, 2, "one value per row"},
        {base + QStringList{"--elems", "Fe Mn", "--use", "1 2"}, 2, "0 or 1"},
        {base + QStringList{"--elems", "Fe Mn", "--std", "1 x"}, 2, "--std"},
        {base + QStringList{"--elems", "Fe Mn", "--main", "2"}, 2, "--main"},
        {base + QStringList{"--elems", "Fe", "--main", "-1"}, 2, "--main"},
        {base + QStringList{"--elems", "Fe", "--roi", "7000"}, 2, "--roi"},
        {base + QStringList{"--elems", "Fe", "--th", "nan"}, 2, "--th"},
        {base + QStringList{"--elems", "Fe", "--threads", "0"}, 2, "--threads"},
        {base + QStringList{"--elems", "Fe", "--bogus"}, 2, "--bogus"},
        {{"elem-map", "--i1", dir.filePath("none"), "--elems", "Fe", "--out", out}, 1, "none"},
        {base + QStringList{"--elems", "Fe", "--energies", dir.filePath("no.txt")}, 1, "no.txt"},
    };
    for (const Case &c : cases) {
        const auto r = ProgramRun::run(LS_TOOL, c.args, dir.path());
        EXPECT_EQ(r.exitCode, c.exitCode) << qPrintable(c.args.join(' '));
        EXPECT_TRUE(r.err.contains(c.inErr)) << qPrintable(r.err);
        EXPECT_TRUE(r.out.isEmpty()) << qPrintable(r.out);
    }
}
