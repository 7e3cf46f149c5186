// Calibration end to end on the demo stack: the program's batch calibrates,
// saves the map file, clears, loads it back and runs an LCF with the shift in
// force; the command-line tool gives the same map file, and its LCF maps take
// the saved shifts.
#include "e2e/ProgramRun.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray contents(const QString &file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The data part of a map file (after the separator line).
QByteArray mapData(const QString &file) {
    const QByteArray text = contents(file);
    const int at = text.indexOf("##-----------------\n");
    return at < 0 ? QByteArray() : text.mid(at);
}

} // namespace

TEST(CalibrationE2E, BatchAndToolAgreeAndTheSavedShiftReachesLcf) {
    QTemporaryDir dir;
    const auto path = [&dir](const QString &p) { return dir.filePath(p); };
    ASSERT_EQ(ProgramRun::run(LS_TOOL, {"make-demo", path("data")}, path("")).exitCode, 0);
    const QString refA = path("data/ref_A.dat"), refB = path("data/ref_B.dat");
    const QStringList lines{"load_I1_files_of_pattern NEW " + path("data/i1/") + " *.tif",
                            "load_I0_files_of_pattern NEW " + path("data/i0/") + " *.tif",
                            "Use_I0 1",
                            "set_band_w 1",
                            "set_band_h 1",
                            "calib_show_window",
                            "calib_load_std " + refA,
                            "calib_type 1",
                            "calib_exec",
                            "calib_save_map " + path("gui"),
                            "calib_clear_map",
                            "calib_load_map " + path("gui.emp"),
                            "calib_load_map " + path("missing.emp"),
                            "analyzer_set_LCF_std 0 1 0 " + refA,
                            "analyzer_set_LCF_std 1 1 0 " + refB,
                            "analyzer_exec_LCF",
                            ":echo calibrated and fitted",
                            "quit"};
    QFile bat(path("calib.bat"));
    ASSERT_TRUE(bat.open(QIODevice::WriteOnly));
    bat.write(lines.join('\n').toUtf8() + '\n');
    bat.close();
    QFile cfg(path("config.cfg"));
    ASSERT_TRUE(cfg.open(QIODevice::WriteOnly));
    cfg.close();
    const auto gui = ProgramRun::runBatch(path("config.cfg"), path("calib.bat"), path(""), 120000);
    ASSERT_TRUE(gui.finished) << qPrintable(gui.err.right(2000));
    EXPECT_EQ(gui.exitCode, 1); // the missing shift map was refused
    EXPECT_TRUE(gui.err.contains("End Calibration")) << qPrintable(gui.err.right(2000));
    EXPECT_TRUE(gui.err.contains("End Reading EMP file"));

    const QStringList stack{"--i1", path("data/i1"), "--i0", path("data/i0"), "--bin", "1", "1"};
    const auto cli = ProgramRun::run(LS_TOOL,
                                     QStringList{"shift-map"} + stack +
                                         QStringList{"--std", refA, "--method", "innerp",
                                                     "--threads", "2", "--out", path("cli")},
                                     path(""));
    ASSERT_EQ(cli.exitCode, 0) << qPrintable(cli.err);
    const QJsonObject j = QJsonDocument::fromJson(cli.out.trimmed().toUtf8()).object();
    EXPECT_EQ(j["bins"].toInt(), 21 * 16);
    EXPECT_EQ(j["width"].toInt(), 64);
    const QJsonObject stats = j["stats"].toObject();
    // Pure A on the right (no shift), pure B on the left (edge 12 eV higher).
    EXPECT_NEAR(stats["min"].toDouble(), 0, 1.0);
    EXPECT_NEAR(stats["max"].toDouble(), 12, 2.0);
    EXPECT_GT(stats["sigma"].toDouble(), 1.0);
    EXPECT_FALSE(mapData(path("cli/shift.emp")).isEmpty());
    EXPECT_EQ(mapData(path("cli/shift.emp")), mapData(path("gui.emp")));
    EXPECT_FALSE(contents(path("cli/shift.txt")).isEmpty());

    // The tool's map runs take the saved calibration (a file they cannot use
    // is an input error).
    const QStringList lcf = QStringList{"lcf-map"} + stack +
                            QStringList{"--ref", refA, "--ref", refB, "--threads", "2"};
    const auto plain = ProgramRun::run(LS_TOOL, lcf + QStringList{"--out", path("lcf0")}, path(""));
    const auto shifted = ProgramRun::run(
        LS_TOOL, lcf + QStringList{"--shift-map", path("gui.emp"), "--out", path("lcf1")},
        path(""));
    ASSERT_EQ(plain.exitCode, 0) << qPrintable(plain.err);
    ASSERT_EQ(shifted.exitCode, 0) << qPrintable(shifted.err);
    EXPECT_FALSE(contents(path("lcf1/residual.txt")).isEmpty());
    const auto bad = ProgramRun::run(
        LS_TOOL, lcf + QStringList{"--shift-map", path("missing.emp"), "--out", path("lcf2")},
        path(""));
    EXPECT_EQ(bad.exitCode, 1);
}
