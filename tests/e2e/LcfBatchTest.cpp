// The real program runs LCF over the demo measurement from a batch, saves the
// fraction map of reference A as text and as 16-bit TIFF, and the numbers are
// checked against the mixture make-demo wrote and against lumenstack-tool
// lcf-map on the same stack and settings.
#include "ProgramRun.h"
#include "imageio/TiffData.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QPoint>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr int DemoW = 64, DemoH = 48;

// The demo stack with I0 and references A and B, single-pixel bins.
QString demoLcfLines(const QString &data) {
    return QString("load_I1_files_of_pattern NEW %1/i1/ *.tif\n"
                   "load_I0_files_of_pattern NEW %1/i0/ *.tif\n"
                   "Use_I0 1\n"
                   "set_band_w 0\n"
                   "set_band_h 0\n"
                   "analyzer_set_LCF_std 0 1 0 %1/ref_A.dat 0\n"
                   "analyzer_set_LCF_std 1 1 0 %1/ref_B.dat 0\n")
        .arg(data);
}

// "X Y Val" lines (space or comma separated) keyed by bin centre.
QMap<QPair<int, int>, double> readXYVal(const QString &path) {
    QMap<QPair<int, int>, double> values;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return values;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QStringList items = in.readLine().split(QRegularExpression("[ ,]"));
        if (items.size() == 3)
            values.insert({items[0].toInt(), items[1].toInt()}, items[2].toDouble());
    }
    return values;
}

} // namespace

TEST(LcfBatch, FractionMapMatchesTheMixtureTheToolAndItsTiff) {
    QTemporaryDir dir;
    const QString data = dir.filePath("demo");
    ASSERT_EQ(ProgramRun::run(LS_TOOL, {"make-demo", data}, dir.path()).exitCode, 0);
    QDir(dir.path()).mkpath("out");
    const QString bat =
        TestSupport::writeFile(dir, "lcf.bat",
                               (demoLcfLines(data) + QString("analyzer_exec_LCF\n"
                                                             "analyzer_select_image 0\n"
                                                             "analyzer_select_image_type 0\n"
                                                             "select_disp_image 3\n"
                                                             "saveDataCfg_save_as_text\n"
                                                             "saveDataCfg_text_as_ssv\n"
                                                             "save_data out/frac.txt\n"
                                                             "saveDataCfg_save_as_tiff\n"
                                                             "saveDataCfg_tiff_fix_scale 1\n"
                                                             "saveDataCfg_tiff_scale_min 0\n"
                                                             "saveDataCfg_tiff_scale_max 1\n"
                                                             "save_data out/frac.tif\n"
                                                             "save_image out/frac.png\n"
                                                             "quit\n"))
                                   .toUtf8());
    const auto r = ProgramRun::runBatch(dir.filePath("none.cfg"), bat, dir.path(), 180000);
    ASSERT_TRUE(r.finished) << qPrintable(r.err);
    ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
    // The save lines ran after the run had ended.
    EXPECT_LT(r.err.indexOf("2da 3:"), r.err.indexOf("save_data"));
    for (const char *f :
         {"out/frac-0.tif", "out/frac-0--cBar.png", "out/frac.png", "out/frac-cBar.png"})
        EXPECT_TRUE(QFile::exists(dir.filePath(f))) << f;

    // Fraction of A against fA = x / 63. Without a dark frame both series
    // carry the dark signal, and straight background lines under the curved
    // pre-edge leave a systematic offset: within 0.05 on single pixels.
    const auto batch = readXYVal(dir.filePath("out/frac-0.dat"));
    ASSERT_EQ(batch.size(), DemoW * DemoH);
    double worst = 0;
    for (auto it = batch.cbegin(); it != batch.cend(); ++it)
        worst = std::max(worst, std::fabs(it.value() - it.key().first / 63.0));
    EXPECT_LT(worst, 0.05);

    // The 16-bit TIFF over the fixed range 0..1 holds the same values.
    TiffData tif;
    ASSERT_TRUE(tif.load(dir.filePath("out/frac-0.tif")));
    ASSERT_EQ(tif.width(), DemoW);
    ASSERT_EQ(tif.height(), DemoH);
    for (QPoint p : {QPoint(5, 3), QPoint(32, 24), QPoint(60, 40)}) {
        const double v = std::clamp(batch.value({p.x(), p.y()}), 0.0, 1.0);
        EXPECT_NEAR(tif.value(p.x(), p.y()), v * 65535, 1.0) << p.x() << " " << p.y();
    }

    // The command-line run on the same stack gives the same numbers (the
    // batch text keeps 6 significant digits).
    const QString cli = dir.filePath("cli");
    const auto t =
        ProgramRun::run(LS_TOOL,
                        {"lcf-map", "--i1", data + "/i1", "--i0", data + "/i0", "--ref",
                         data + "/ref_A.dat", "--ref", data + "/ref_B.dat", "--out", cli},
                        dir.path());
    ASSERT_EQ(t.exitCode, 0) << qPrintable(t.err);
    const auto tool = readXYVal(cli + "/ref-1-fraction.txt");
    ASSERT_EQ(tool.keys(), batch.keys());
    for (auto it = tool.cbegin(); it != tool.cend(); ++it)
        ASSERT_NEAR(batch.value(it.key()), it.value(), 1e-5 * std::max(1.0, std::fabs(it.value())))
            << it.key().first << " " << it.key().second;
}

// The fit options by batch: a fixed edge outside the scan is refused (the
// run does not start, the batch goes on), then a constrained fit at the edge
// of the summed spectrum gives the numbers of lcf-map with the same options,
// and its sigma and R-factor maps go out as text and through save_all_images.
TEST(LcfBatch, FitOptionsMatchTheToolAndExportTheQualityMaps) {
    QTemporaryDir dir;
    const QString data = dir.filePath("demo");
    ASSERT_EQ(ProgramRun::run(LS_TOOL, {"make-demo", data}, dir.path()).exitCode, 0);
    QDir(dir.path()).mkpath("out");
    const QString bat =
        TestSupport::writeFile(dir, "fit.bat",
                               (demoLcfLines(data) + QString("analyzer_set_fixed_E0 1 9000\n"
                                                             "analyzer_exec_LCF\n"
                                                             "analyzer_set_LCF_nonneg 1\n"
                                                             "analyzer_set_LCF_sum1 1\n"
                                                             "analyzer_set_fixed_E0 1 auto\n"
                                                             "analyzer_exec_LCF\n"
                                                             "analyzer_select_image 0\n"
                                                             "analyzer_select_image_type 0\n"
                                                             "select_disp_image 3\n"
                                                             "saveDataCfg_save_as_text\n"
                                                             "saveDataCfg_text_as_xyz\n"
                                                             "save_data out/frac.txt\n"
                                                             "analyzer_select_sigma_image\n"
                                                             "save_data out/sigma.txt\n"
                                                             "analyzer_select_image 1000\n"
                                                             "save_data out/rfactor.txt\n"
                                                             "save_all_images out/all.png\n"
                                                             "quit\n"))
                                   .toUtf8());
    const auto r = ProgramRun::runBatch(dir.filePath("none.cfg"), bat, dir.path(), 180000);
    ASSERT_TRUE(r.finished) << qPrintable(r.err);
    ASSERT_EQ(r.exitCode, 1) << qPrintable(r.err); // the run at 9000 eV was refused
    EXPECT_TRUE(r.err.contains("fixed E0 9000 eV is outside the energy range"));
    EXPECT_EQ(r.err.count("2da 3:"), 1); // the refused run never started
    for (const char *f : {"out/all-0-1.png", "out/all-0-2.png", "out/all-1-2.png",
                          "out/all-rfactor.png", "out/all-chi2.png"})
        EXPECT_TRUE(QFile::exists(dir.filePath(f))) << f;
    // Beside the saved map: what it was made from.
    const QJsonObject made =
        QJsonDocument::fromJson(TestSupport::readFile(dir.filePath("out/frac-0.dat.json")))
            .object();
    EXPECT_EQ(made["program"].toString(), "lumenstack");
    EXPECT_FALSE(made["version"].toString().isEmpty());
    EXPECT_EQ(made["inputs"]["i1"].toArray().size(), made["energies"].toArray().size());
    EXPECT_TRUE(made["inputs"]["i1"][0].toString().startsWith(data + "/i1/"));
    EXPECT_EQ(made["references"][1]["file"].toString(), data + "/ref_B.dat");
    EXPECT_TRUE(made["fit"]["sumToOne"].toBool());
    EXPECT_EQ(made["title"].toString(), "Ref 1 fraction");

    const QString cli = dir.filePath("cli");
    const auto t = ProgramRun::run(LS_TOOL,
                                   {"lcf-map", "--i1", data + "/i1", "--i0", data + "/i0", "--ref",
                                    data + "/ref_A.dat", "--ref", data + "/ref_B.dat", "--nonneg",
                                    "--sum1", "--fixed-e0", "auto", "--quality", "--out", cli},
                                   dir.path());
    ASSERT_EQ(t.exitCode, 0) << qPrintable(t.err);
    const struct {
        const char *batch, *tool;
    } pairs[] = {{"out/frac-0.dat", "/ref-1-fraction.txt"},
                 {"out/sigma-0.dat", "/ref-1-sigma.txt"},
                 {"out/rfactor-0.dat", "/rfactor.txt"}};
    for (const auto &p : pairs) {
        const auto batch = readXYVal(dir.filePath(p.batch));
        const auto tool = readXYVal(cli + p.tool);
        ASSERT_EQ(batch.size(), DemoW * DemoH) << p.batch;
        ASSERT_EQ(tool.keys(), batch.keys()) << p.batch;
        for (auto it = tool.cbegin(); it != tool.cend(); ++it)
            ASSERT_NEAR(batch.value(it.key()), it.value(),
                        1e-5 * std::max(1.0, std::fabs(it.value())))
                << p.batch << " " << it.key().first << " " << it.key().second;
    }
}
