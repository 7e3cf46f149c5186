// The demo measurement as TIFF series and as the one HDF5 file make-demo
// writes beside them: lcf-map on both gives the same maps bit for bit, and a
// batch loading the HDF5 file into both panels fits the same fraction map as
// one loading the TIFFs. Broken stacks end the tool with a message and exit 1.
#include "ProgramRun.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList lcfArgs(const QStringList &stack, const QString &out) {
    return QStringList{"lcf-map"} + stack +
           QStringList{"--bin",     "2",         "2", "--ref", "ref_A.dat", "--ref",
                       "ref_B.dat", "--threads", "2", "--out", out};
}

TEST(H5StackE2E, TiffAndHdf5GiveTheSameMapsInTheToolAndTheBatch) {
    QTemporaryDir dir;
    const QString d = dir.path();
    ASSERT_EQ(ProgramRun::run(LS_TOOL, {"make-demo", d}, d).exitCode, 0);
    ASSERT_TRUE(QFile::exists(d + "/demo.h5"));

    // The whole stack, and a tile that reads only the rows of its area.
    for (const QStringList &area : {QStringList(), QStringList{"--area", "10", "8", "30", "20"}}) {
        const auto tif = ProgramRun::run(
            LS_TOOL,
            lcfArgs(QStringList{"--i1", "i1", "--i0", "i0", "--dark", "dark.tif"} + area,
                    "out-tif"),
            d);
        const auto h5 = ProgramRun::run(
            LS_TOOL,
            lcfArgs(QStringList{"--h5", "demo.h5", "--layout", "demo-layout.ini"} + area, "out-h5"),
            d);
        ASSERT_EQ(tif.exitCode, 0) << tif.err.toStdString();
        ASSERT_EQ(h5.exitCode, 0) << h5.err.toStdString();
        const QStringList maps =
            QDir(d + "/out-tif").entryList({"*.txt", "*.tif"}, QDir::Files, QDir::Name);
        ASSERT_EQ(maps.size(), 10);
        for (const QString &m : maps) {
            const QByteArray a = TestSupport::readFile(d + "/out-tif/" + m);
            EXPECT_FALSE(a.isEmpty()) << m.toStdString();
            EXPECT_EQ(a, TestSupport::readFile(d + "/out-h5/" + m)) << m.toStdString();
        }
    }

    // The GUI path: the same batch with the series loaded from the stack file
    // (the layout given in the load list) and from the TIFFs. A batch cannot
    // choose a dark, and an I1 load from a stack takes the stack's own: the
    // stack is read here through the demo layout without its dark entry.
    QString noDark = QString::fromUtf8(TestSupport::readFile(d + "/demo-layout.ini"));
    noDark.remove(QRegularExpression("\\ndark = [^\\n]*"));
    ASSERT_FALSE(noDark.contains("dark"));
    TestSupport::writeFile(dir, "demo-nodark.ini", noDark.toUtf8());
    const QString fit = "Use_I0 1\nset_band_w 2\nset_band_h 2\n"
                        "analyzer_set_LCF_std 0 1 0 ref_A.dat 0\n"
                        "analyzer_set_LCF_std 1 1 0 ref_B.dat 0\nanalyzer_exec_LCF\n"
                        "analyzer_select_image 0\nanalyzer_select_image_type 0\n"
                        "select_disp_image 3\nsaveDataCfg_save_as_text\n"
                        "saveDataCfg_text_as_ssv\nsaveDataCfg_text_as_xyz\n";
    const QString tifBat = "load_I1_files_of_pattern NEW i1/ *.tif\n"
                           "load_I0_files_of_pattern NEW i0/ *.tif\n" +
                           fit + "save_data fraction-tif.txt\nquit\n";
    const QString h5Bat = "load_I1_files NEW demo.h5 demo-nodark.ini\n"
                          "load_I0_files NEW demo.h5 demo-nodark.ini\n" +
                          fit + "save_data fraction-h5.txt\nquit\n";
    TestSupport::writeFile(dir, "cfg.cfg", "");
    for (const QString &bat : {tifBat, h5Bat}) {
        TestSupport::writeFile(dir, "run.bat", bat.toUtf8());
        const auto r = ProgramRun::runBatch(d + "/cfg.cfg", d + "/run.bat", d, 120000);
        ASSERT_TRUE(r.finished) << r.err.toStdString();
    }
    const QByteArray fromTif = TestSupport::readFile(d + "/fraction-tif-0.dat");
    EXPECT_GT(fromTif.size(), 1000);
    EXPECT_EQ(fromTif, TestSupport::readFile(d + "/fraction-h5-0.dat"));
}

TEST(H5StackE2E, BrokenStacksAndArgumentsExitWithAMessage) {
    QTemporaryDir dir;
    const QString d = dir.path();
    ASSERT_EQ(ProgramRun::run(LS_TOOL, {"make-demo", d}, d).exitCode, 0);
    const QByteArray whole = TestSupport::readFile(d + "/demo.h5");
    TestSupport::writeFile(dir, "cut.h5", whole.left(whole.size() / 2));
    TestSupport::writeFile(dir, "missing.ini", "images = /stack/images\nenergies = /a/b\n");
    TestSupport::writeFile(dir, "text.h5", "no HDF5 here\n");
    TestSupport::writeFile(dir, "bad.ini", "[stack]\nimages = /x\nenergies = /e\nunits = eV\n");
    const struct {
        QStringList args;
        int exit;
        const char *message;
    } cases[] = {
        {{"--h5", "text.h5", "--layout", "generic"}, 1, "text.h5: not an HDF5 file"},
        {{"--h5", "none.h5", "--layout", "generic"}, 1, "none.h5: no such file"},
        {{"--h5", "text.h5", "--layout", "bad.ini"}, 1, "line 4: unknown key units"},
        {{"--h5", "cut.h5", "--layout", "generic"}, 1, "cut.h5: cannot be opened as HDF5"},
        {{"--h5", "demo.h5", "--layout", "missing.ini"}, 1, "demo.h5: /a/b: no such dataset"},
        {{"--h5", "text.h5"}, 2, "--h5 FILE and --layout FILE go together"},
        {{"--h5", "text.h5", "--layout", "generic", "--i1", "i1"}, 2, "takes the place of --i1"},
    };
    for (const auto &c : cases) {
        const auto r =
            ProgramRun::run(LS_TOOL, QStringList{"ra-map"} + c.args + QStringList{"--out", "o"}, d);
        EXPECT_EQ(r.exitCode, c.exit) << c.message;
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        // The library's own error stack is never printed.
        EXPECT_FALSE(r.err.contains("HDF5-DIAG")) << r.err.toStdString();
    }
    const auto info = ProgramRun::run(LS_TOOL, {"h5-info", "text.h5"}, d);
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_TRUE(info.err.contains("not an HDF5 file"));
}

TEST(H5StackE2E, H5InfoListsTheDatasetsAndTheMatchingLayout) {
    QTemporaryDir dir;
    const QString d = dir.path();
    ASSERT_EQ(ProgramRun::run(LS_TOOL, {"make-demo", d}, d).exitCode, 0);
    const auto r = ProgramRun::run(LS_TOOL, {"h5-info", "demo.h5"}, d);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.count('\n'), 1);
    EXPECT_TRUE(r.out.contains(R"({"path": "/stack/images", "shape": [77, 48, 64], )"
                               R"("type": "uint16", "chunks": [1, 48, 64], )"
                               R"("filters": ["shuffle", "deflate"], "virtual": false})"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(R"("layout": {"name": "generic", "images": 77, "width": 64, )"
                               R"("height": 48, "flats": 77, "dark": 1)"))
        << r.out.toStdString();
    // The shipped layouts tried before the one that fits (facility) say
    // nothing: not fitting is the answer sought, not a failure.
    EXPECT_FALSE(r.err.contains("demo.h5:")) << r.err.toStdString();
}

} // namespace
