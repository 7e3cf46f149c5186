#include "ProgramRun.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using TestSupport::writeFile;

namespace {

// True when every text occurs in out, each after the previous one.
bool inOrder(const QString &out, const QStringList &texts) {
    int from = 0;
    for (const QString &t : texts) {
        const int at = out.indexOf(t, from);
        if (at < 0)
            return false;
        from = at + t.size();
    }
    return true;
}

} // namespace

TEST(StartupBatch, ConfigurationAndBatchFileRunHeadlessAndQuit) {
    QTemporaryDir dir;
    writeFile(dir, "inc.cfg", "batch :echo included\nINCLUDE inc.cfg\n");
    const QString cfg = writeFile(dir, "run.cfg",
                                  "DataRoot \"/data root\" # where scans live\n"
                                  "batch :echo \"from config\"\n"
                                  "INCLUDE inc.cfg\n");
    const QString bat = writeFile(dir, "run.bat",
                                  ":let name scan\n"
                                  ":for i N 01 03\n"
                                  ":echo \"$name$-N\"\n"
                                  ":next i\n"
                                  "calib_exec \\\n"
                                  "  5\n"
                                  ":echo $DataRoot$\n"
                                  "quit\n"
                                  ":echo never\n");
    const ProgramRun::Result r = ProgramRun::runBatch(cfg, bat, dir.path());
    ASSERT_TRUE(r.finished) << r.err.toStdString();
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(inOrder(r.err, {"cfg file " + cfg, "includes itself", "echo from config",
                                "echo included", "echo scan-01", "echo scan-02", "echo scan-03",
                                "calib_exec : 5", "echo /data root", "quit : "}))
        << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("echo never"));
}

TEST(StartupBatch, MissingConfigurationAndQuitFromConfigurationBatchWithTranslation) {
    QTemporaryDir dir;
    const QString bat = writeFile(dir, "quit.bat", "QUIT\n");
    const ProgramRun::Result r = ProgramRun::runBatch(dir.filePath("none.cfg"), bat, dir.path());
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains("Can't open config file : " + dir.filePath("none.cfg")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("none.cfg"))); // a batch run remembers nothing

    // Without a configuration beside the program nothing is said.
    const ProgramRun::Result d =
        ProgramRun::run(LS_PROGRAM, {"-platform", "offscreen", "-e", "-b", bat, "-x"}, dir.path());
    ASSERT_TRUE(d.finished);
    EXPECT_FALSE(d.err.contains("Can't open config file")) << d.err.toStdString();

    // A session (no -x) writes the fields to remember into its configuration.
    const QString cfg =
        writeFile(dir, "quit.cfg", "batch :echo bye\nbatch set_band_w 3\nbatch quit\n");
    const ProgramRun::Result q =
        ProgramRun::run(LS_PROGRAM, {"-platform", "offscreen", "-config", cfg}, dir.path());
    ASSERT_TRUE(q.finished);
    EXPECT_EQ(q.exitCode, 0);
    EXPECT_TRUE(inOrder(q.err, {"echo bye", "quit : "}));
    EXPECT_TRUE(inOrder(QString::fromUtf8(TestSupport::readFile(cfg)),
                        {"batch quit\n", "Remember Body/HWidth \"3\""}));
}

TEST(StartupBatch, RemarkBlockCommandsAreReportedNotRun) {
    QTemporaryDir dir;
    const QString bat = writeFile(dir, "rem.bat",
                                  ":rem_start\n"
                                  "quit\n"
                                  ":rem_end\n"
                                  ":echo still-running\n"
                                  "quit\n");
    const ProgramRun::Result r = ProgramRun::runBatch(dir.filePath("none.cfg"), bat, dir.path());
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(inOrder(r.err, {"cmd quit", "Err: quit", "echo still-running", "quit : "}));
}

// A headless run says whether it did everything it was asked: a batch file
// that cannot be read, or any refused or failed command, ends with status 1
// and the failures named; batch-check finds the unknown command and the
// wrong argument count before the run.
TEST(StartupBatch, ExitStatusNamesFailuresAndBatchCheckFindsThemFirst) {
    QTemporaryDir dir;
    const ProgramRun::Result missing =
        ProgramRun::runBatch(dir.filePath("none.cfg"), dir.filePath("missing.bat"), dir.path());
    ASSERT_TRUE(missing.finished);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("missing.bat cannot be read")) << missing.err.toStdString();

    const QString lines = "load_I1_files NEW " + dir.filePath("none.tif") + "\nsave_image " +
                          dir.filePath("no/such/dir/x.png") +
                          "\nset_band_w 1 2\nno_such_command 1\nquit\n";
    const QString bat = writeFile(dir, "bad.bat", lines.toUtf8());
    const ProgramRun::Result r = ProgramRun::runBatch(dir.filePath("none.cfg"), bat, dir.path());
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(inOrder(r.err, {"quit : ", "command(s) failed:", "I1: no readable image",
                                "can not write " + dir.filePath("no/such/dir/x.png")}))
        << r.err.toStdString();

    const ProgramRun::Result check = ProgramRun::run(LS_TOOL, {"batch-check", bat}, dir.path());
    ASSERT_TRUE(check.finished);
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_EQ(check.out, bat + ":3: set_band_w takes 1 argument (integer), 2 given\n" + bat +
                             ":4: unknown command no_such_command (a run skips it)\n");
}
