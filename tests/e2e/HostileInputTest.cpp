// The real programs on hostile input: images decode to the same pixels
// whatever the heap held, and text readers refuse endless lines, devices,
// pipes and folders instead of aborting or hanging.
#include "analysis/Analyzed2DRes.h"
#include "analysis/EmpFile.h"
#include "analysis/ImageRegistration.h"
#include "app/DebugLog.h"
#include "app/ParamStore.h"
#include "app/TextFileLimits.h"
#include "batch/BatchFile.h"
#include "e2e/ProgramRun.h"
#include "imageio/EnergyOfFiles.h"
#include "imageio/ErrPoints.h"
#include "imageio/TiffData.h"
#include "spectrum/SpectrumFile.h"
#include "spectrum/XafsSpectrum.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// The regression corpus of the reader fuzz targets.
QDir corpus() {
    return QDir(QStringLiteral(LS_FUZZ_CORPUS));
}

QStringList imageCorpus() {
    QStringList files;
    for (const char *target : {"tiff", "img", "textimage"}) {
        const QDir d(corpus().filePath(target));
        for (const QString &name : d.entryList(QDir::Files, QDir::Name))
            files << d.filePath(name);
    }
    return files;
}

// image-info over the files with the heap filled with `fill` (glibc's
// MALLOC_PERTURB_, and the sanitizer's own fill when it replaces malloc).
QString describedWithHeapFill(const QStringList &files, int fill) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MALLOC_PERTURB_", QString::number(fill));
    env.insert("ASAN_OPTIONS", QString("detect_leaks=0:malloc_fill_byte=%1:"
                                       "max_malloc_fill_size=1073741824")
                                   .arg(fill));
    env.insert("LUMENSTACK_QUIET_LOG", "1");
    p.setProcessEnvironment(env);
    p.start(LS_TOOL, QStringList{"image-info"} + files);
    p.waitForFinished(120000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

TEST(HostileInput, AcceptedImagesDecodeTheSameWhateverTheHeapHeld) {
    const QStringList files = imageCorpus();
    ASSERT_GE(files.size(), 5);
    const QString a = describedWithHeapFill(files, 0x55);
    const QString b = describedWithHeapFill(files, 0xaa);
    EXPECT_EQ(a.count('\n'), files.size());
    EXPECT_TRUE(a.contains("\"ok\": true"));
    EXPECT_EQ(a, b);
}

TEST(HostileInput, TextReadersRefuseEndlessLinesDevicesPipesAndFolders) {
    QTemporaryDir dir;
    const QString endless = dir.filePath("endless.dat"); // 1 GiB without a line break
    {
        QFile f(endless);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(qint64(1) << 30));
    }
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString tif = dir.filePath("a.tif");
    for (const QString &file : {endless, QString("/dev/zero"), fifo, dir.path()}) {
        const ProgramRun::Result spectrum =
            ProgramRun::run(LS_TOOL, {"spectrum-info", file}, dir.path(), 30000);
        EXPECT_TRUE(spectrum.finished) << file.toStdString();
        EXPECT_EQ(spectrum.exitCode, 1) << file.toStdString() << spectrum.err.toStdString();
        const ProgramRun::Result mask =
            ProgramRun::run(LS_TOOL, {"image-info", "--errpoints", file, tif}, dir.path(), 30000);
        EXPECT_TRUE(mask.finished) << file.toStdString();
        EXPECT_EQ(mask.exitCode, 2) << file.toStdString() << mask.err.toStdString();
        const ProgramRun::Result image =
            ProgramRun::run(LS_TOOL, {"image-info", file}, dir.path(), 30000);
        EXPECT_TRUE(image.finished) << file.toStdString();
        EXPECT_EQ(image.exitCode, 1) << file.toStdString();
    }
    // Start-up survives a configuration that includes a device and a pipe.
    const QString cfg = dir.filePath("config.cfg");
    const QString bat = dir.filePath("run.bat");
    QFile c(cfg), b(bat);
    ASSERT_TRUE(c.open(QIODevice::WriteOnly) && b.open(QIODevice::WriteOnly));
    c.write(("INCLUDE /dev/zero\nINCLUDE " + fifo + "\nDataRoot /tmp\n").toUtf8());
    b.write("quit\n");
    c.close();
    b.close();
    const ProgramRun::Result run = ProgramRun::runBatch(cfg, bat, dir.path(), 60000);
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Not a regular file, not read : /dev/zero"));
}

// Every text reader in the process, on a line past the bound (behind a valid
// start of its format), a device, a pipe and a folder: refused at once with a
// message. A long line within the bound still reads.
TEST(HostileInput, EveryTextReaderBoundsItsLines) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    auto longLineFile = [&](const QByteArray &start, int length) {
        const QString path = dir.filePath(QString("long%1.txt").arg(length));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(start + QByteArray(length, 'x') + "\n" + start);
        return path;
    };
    using Reader = std::function<bool(const QString &)>;
    const QList<QPair<QByteArray, Reader>> readers = {
        {"DataRoot ",
         [](const QString &f) {
             ParamStore p;
             p.readConfigFile(f);
             return !p.allRests("DataRoot").isEmpty();
         }},
        {"", [](const QString &f) { return ErrPoints().read(f); }},
        {"9809\n",
         [](const QString &f) {
             XafsSpectrum x;
             return SpectrumFile::read(f, x);
         }},
        {"",
         [](const QString &f) {
             Spectrum s;
             return SpectrumFile::readTwoColumns(f, s);
         }},
        {"#PRXM-CTImg # ", [](const QString &f) { return TiffData().load(f); }},
        {"9809\n",
         [](const QString &f) {
             QVector<double> e;
             return EnergyOfFiles::readRefFile(f, &e);
         }},
        {":echo ",
         [](const QString &f) {
             QString text;
             return BatchFile::read(f, &text);
         }},
        {"",
         [](const QString &f) {
             Analyzed2DRes map;
             return EmpFile::load(f, map, EmpFile::LoadOptions()).status ==
                    EmpFile::LoadStatus::Loaded;
         }},
        {"",
         [](const QString &f) {
             QVector<Registration::ShiftEntry> e;
             QString why;
             const bool read = Registration::readShiftFile(f, e, &why);
             DebugLog::write(why);
             return read;
         }},
    };
    const int tooLong = TextFileLimits::MaxLineChars + 10;
    int index = 0;
    for (const auto &r : readers) {
        const QString over = longLineFile(r.first, tooLong);
        for (const QString &file : {over, QString("/dev/zero"), fifo, dir.path()}) {
            DebugLog::Capture log;
            EXPECT_FALSE(r.second(file)) << index << " " << file.toStdString();
            EXPECT_FALSE(log.lines().isEmpty()) << index << " " << file.toStdString();
        }
        ++index;
    }
    // A line of 100000 characters is nothing unusual for the bound.
    ParamStore p;
    p.readConfigFile(longLineFile("DataRoot ", 100000));
    ASSERT_EQ(p.allRests("DataRoot").size(), 2);
    EXPECT_EQ(p.allRests("DataRoot").first().trimmed().size(), 100000);
}

// Bin half sizes of 2^31 - 1 and 1.5e9 in the window: the element run and its
// correlation maps finish instead of walking the map pixel by pixel for ever.
TEST(HostileInput, WindowRunsWithAbsurdBinsFinish) {
    QTemporaryDir dir;
    ASSERT_EQ(ProgramRun::run(LS_TOOL, {"make-demo", dir.path()}, dir.path()).exitCode, 0);
    const QString cfg = dir.filePath("config.cfg"), bat = dir.filePath("run.bat");
    QFile c(cfg), b(bat);
    ASSERT_TRUE(c.open(QIODevice::WriteOnly) && b.open(QIODevice::WriteOnly));
    b.write(QString("load_I1_files NEW %1 %2\nset_band_w 2147483647\nset_band_h 1500000000\n"
                    "analyzer_target_elements \"Fe\"\nanalyzer_exec_elems\nquit\n")
                .arg(dir.filePath("demo.h5"), dir.filePath("demo-layout.ini"))
                .toUtf8());
    c.close();
    b.close();
    const ProgramRun::Result run = ProgramRun::runBatch(cfg, bat, dir.path(), 60000);
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("runtime error")) << run.err.toStdString();
}
