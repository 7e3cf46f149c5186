// A session saved after a run and loaded in a new process gives the same
// maps byte for byte, also in a window already in use (a reference row the
// session does not name, another fit kind, a background and a total-I0
// spectrum read before); once one of its files has changed it is refused,
// with the file named, and nothing of it is applied.
#include "ProgramRun.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const char *const SaveMap = "analyzer_select_image 0\n"
                            "analyzer_select_image_type 0\n"
                            "select_disp_image 3\n"
                            "saveDataCfg_save_as_text\n"
                            "saveDataCfg_text_as_xyz\n"
                            "save_data %1/frac.txt\n";

ProgramRun::Result runLines(const QTemporaryDir &dir, const QString &name, const QString &lines) {
    const QString bat = TestSupport::writeFile(dir, name, (lines + "quit\n").toUtf8());
    return ProgramRun::runBatch(dir.filePath("none.cfg"), bat, dir.path(), 180000);
}

} // namespace

TEST(SessionE2E, ReloadedSessionGivesTheSameMapsAndAStaleOneIsRefused) {
    QTemporaryDir dir;
    ASSERT_EQ(ProgramRun::run(LS_TOOL, {"make-demo", dir.filePath("data")}, dir.path()).exitCode,
              0);
    const QString settings = "Use_I0 1\n"
                             "set_band_w 1\n"
                             "set_band_h 0\n"
                             "Suggesting_Elm Fe\n"
                             "Suggest_Elm 1\n"
                             "analyzer_set_LCF_std 0 1 0 data/ref_A.dat 0\n"
                             "analyzer_set_LCF_std 1 1 0.5 data/ref_B.dat VIC\n"
                             "analyzer_set_LCF_nonneg 1\n"
                             "select_region 0 0 2 2\n"
                             "set_i1_dark_area\n"
                             "select_region 4 4 40 30\n";
    // The series as TIFF files and as an HDF5 stack with its dark and layout;
    // `used`: what the window holds before the session is loaded.
    const char *const tiff = "load_I1_files_of_pattern NEW data/i1/ *.tif\n"
                             "load_I0_files_of_pattern NEW data/i0/ *.tif\n";
    const struct {
        const char *name, *loads, *used;
    } cases[] = {{"tiff", tiff, ""},
                 {"h5", "load_I1_files NEW data/demo.h5 data/demo-layout.ini\n", ""},
                 {"used", tiff,
                  "analyzer_set_LCF_std 2 1 0 data/ref_A.dat 0\n"
                  "analyzer_set_LCF_old 1\n"
                  "analyzer_set_LCF_range 7100 7150\n"
                  "load_bg data/ref_B.dat\n"
                  "load_total_i0_of_i1 data/ref_A.dat\n"}};
    for (const auto &c : cases) {
        const QString name(c.name);
        for (const QString &out : {name + "1", name + "2"})
            QDir(dir.path()).mkpath(out);
        const auto first =
            runLines(dir, name + "-first.bat",
                     c.loads + settings + "analyzer_exec_LCF\n" + QString(SaveMap).arg(name + "1") +
                         "session_save " + name + ".json\n");
        ASSERT_EQ(first.exitCode, 0) << c.name << qPrintable(first.err);
        const auto again =
            runLines(dir, name + "-again.bat",
                     c.used + ("session_load " + name + ".json\nanalyzer_exec_LCF\n") +
                         QString(SaveMap).arg(name + "2"));
        ASSERT_EQ(again.exitCode, 0) << c.name << qPrintable(again.err);
        const QByteArray map = TestSupport::readFile(dir.filePath(name + "1/frac-0.dat"));
        ASSERT_GT(map.size(), 100) << c.name;
        EXPECT_TRUE(map == TestSupport::readFile(dir.filePath(name + "2/frac-0.dat"))) << c.name;
    }

    QFile ref(dir.filePath("data/ref_B.dat"));
    ASSERT_TRUE(ref.open(QIODevice::Append));
    ref.write("\n");
    ref.close();
    const auto stale = runLines(dir, "stale.bat", "session_load tiff.json\n");
    EXPECT_EQ(stale.exitCode, 1);
    EXPECT_TRUE(stale.err.contains("Session not loaded")) << qPrintable(stale.err);
    EXPECT_TRUE(stale.err.contains(dir.filePath("data/ref_B.dat"))) << qPrintable(stale.err);
    EXPECT_FALSE(stale.err.contains("load_I1_files :")) << qPrintable(stale.err);
}
