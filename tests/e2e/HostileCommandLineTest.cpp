// The tool's subcommands on hostile arguments and files: each is refused with
// one line naming what is wrong (exit 1, or 2 for a bad argument) or handled,
// never a crash, an abort, a sanitizer report, a hang or a silent empty map.
#include "e2e/ProgramRun.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QByteArray contents(const QString &file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString &file, const QByteArray &data) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

struct Demo {
    QTemporaryDir dir;
    Demo() {
        const auto r = tool({"make-demo", dir.path()});
        EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);
    }
    QString path(const QString &p) const { return dir.filePath(p); }
    QStringList h5() const {
        return {"--h5", path("demo.h5"), "--layout", path("demo-layout.ini")};
    }
    ProgramRun::Result tool(const QStringList &args) const {
        return ProgramRun::run(LS_TOOL, args, dir.path(), 60000);
    }
    // A tile of the demo stack written by one map subcommand run.
    QString tile(const QString &name, const QStringList &command, const QString &area) const {
        const auto r = tool(command + h5() + QStringList{"--area"} + area.split(' ') +
                            QStringList{"--out", path(name)});
        EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);
        return path(name);
    }
};

// The exit status, and one line of stderr (past the usage lines) naming the fault.
void expectRefused(const ProgramRun::Result &r, int exitCode, const QString &says) {
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, exitCode) << qPrintable(r.err);
    const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts).filter("lumenstack-tool");
    ASSERT_FALSE(lines.isEmpty()) << qPrintable(r.err);
    EXPECT_TRUE(lines.first().contains(says)) << qPrintable(r.err);
    EXPECT_FALSE(r.err.contains("runtime error")) << qPrintable(r.err);
}

// Keeps the first `fields` blank-separated values of data row `row` of an
// energy-shift map file.
void cutEmpRow(const QString &file, int row, int fields) {
    QByteArray text = contents(file);
    const int sep = text.indexOf("##-----------------\n") + 20;
    QList<QByteArray> rows = text.mid(sep).split('\n');
    rows[row] = rows[row].split(' ').mid(0, fields).join(' ');
    write(file, text.left(sep) + rows.join('\n'));
}

// Replaces the value of "key" in a tile's summary.json.
void setSummary(const QString &tile, const QString &key, const QString &value) {
    QString text = QString::fromUtf8(contents(tile + "/summary.json"));
    text.replace(QRegularExpression(QString("\"%1\": (\\[[^]]*\\]|[^,]*)").arg(key)),
                 QString("\"%1\": %2").arg(key, value));
    write(tile + "/summary.json", text.toUtf8());
}

} // namespace

TEST(HostileCommandLine, AreasAreCutToTheImageAndBinsBoundedByIt) {
    Demo demo;
    struct Case {
        QString args;
        int exitCode;
        QString says; // in stderr, or the summary's area when the run succeeds
    };
    const Case cases[] = {
        {"ra-map --area 0 0 1e9 1e9", 0, "[0, 0, 64, 48]"},
        {"ra-map --area 0 0 inf inf", 0, "[0, 0, 64, 48]"},
        {"lcf-map --area -1e10 -1e10 2e10 2e10", 0, "[0, 0, 64, 48]"},
        {"ra-map --area 60 40 100000 100000", 0, "[60, 40, 4, 8]"},
        {"ra-map --area 1e9 1e9 5 5", 2, "nothing of the area lies on the 64 x 48 image"},
        {"ra-map --area -1e300 0 5 5", 2, "nothing of the area lies on the 64 x 48 image"},
        {"ra-map --area nan 0 5 5", 2, "--area takes a finite corner"},
        {"ra-map --bin 1500000000 1", 2, "bins of 3000000001 x 3 pixels are larger than the 64"},
        {"elem-map --elems Fe --bin 2147483647 1500000000", 2, "bins of 4294967295 x 3000000001"},
        {"shift-map --std ref_A.dat --bin 32 0", 2, "bins of 65 x 1 pixels are larger"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(c.args));
        QStringList args = c.args.split(' ') + demo.h5() + QStringList{"--out", "o"};
        if (args.first() == "lcf-map")
            args += {"--ref", "ref_A.dat", "--ref", "ref_B.dat"};
        QFile::remove(demo.path("o/summary.json"));
        const auto r = demo.tool(args);
        if (c.exitCode != 0) {
            expectRefused(r, c.exitCode, c.says);
            continue;
        }
        ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
        EXPECT_TRUE(r.out.contains("\"area\": " + c.says)) << qPrintable(r.out);
    }
}

TEST(HostileCommandLine, MergeRefusesTilesThatDoNotHoldWhatTheySay) {
    Demo demo;
    const QStringList shiftMap{"shift-map", "--bin", "1", "1", "--std", demo.path("ref_A.dat")};
    const QString merged = demo.path("merged");
    // Two ra-map halves of the image, in folders of their own for each case.
    int made = 0;
    const auto halves = [&] {
        const QString n = QString::number(made++);
        return QStringList{demo.tile("left" + n, {"ra-map"}, "0 0 35 48"),
                           demo.tile("right" + n, {"ra-map"}, "35 0 29 48")};
    };
    struct Case {
        const char *name;
        std::function<QStringList()> args; // prepares the tiles, gives merge's arguments
        int exitCode;
        QString says;
    };
    const Case cases[] = {
        {"a short .emp row of the first tile in rows another tile holds",
         [&] {
             const QString top = demo.tile("top", shiftMap, "0 0 64 24");
             const QString bottom = demo.tile("bottom", shiftMap, "0 24 64 24");
             cutEmpRow(top + "/shift.emp", 30, 5);
             return QStringList{"--out", merged, top, bottom};
         },
         1, "shift.emp row 30 is not 64 wide"},
        {"an area far beyond the image in a summary",
         [&] {
             const QStringList tiles = halves();
             setSummary(tiles[1], "area", "[0, 0, 2000000000, 2000000000]");
             return QStringList{"--out", merged} + tiles;
         },
         1, "overlap"},
        {"bins larger than the image in a summary",
         [&] {
             const QStringList tiles = halves();
             setSummary(tiles[0], "bin", "[2000000000, 2]");
             return QStringList{"--out", merged} + tiles;
         },
         1, "bins of 4000000001 x 5 pixels are larger than the 64 x 48 image"},
        {"an image and area of 2e9 x 2e9 pixels in every summary",
         [&] {
             const QStringList tiles = halves();
             for (const QString &t : tiles) {
                 setSummary(t, "width", "2000000000");
                 setSummary(t, "height", "2000000000");
                 setSummary(t, "area", "[0, 0, 2000000000, 2000000000]");
             }
             return QStringList{"--out", merged} + tiles;
         },
         1, "is more than the tile's files hold"},
        {"a pipe as a tile's summary.json",
         [&] {
             const QStringList tiles = halves();
             QFile::remove(tiles[1] + "/summary.json");
             EXPECT_EQ(::mkfifo(QFile::encodeName(tiles[1] + "/summary.json"), 0600), 0);
             return QStringList{"--out", merged} + tiles;
         },
         1, "cannot read"},
        {"a tile's map linked to /dev/zero",
         [&] {
             const QStringList tiles = halves();
             QFile::remove(tiles[1] + "/dmut.txt");
             QFile::link("/dev/zero", tiles[1] + "/dmut.txt");
             return QStringList{"--out", merged} + tiles;
         },
         1, "cannot read"},
        {"--out one of the tiles",
         [&] {
             const QStringList tiles = halves();
             return QStringList{"--out", tiles[1]} + tiles;
         },
         2, "is the tile folder"},
        {"--out a link to one of the tiles",
         [&] {
             const QStringList tiles = halves();
             QFile::link(tiles[0], demo.path("link"));
             return QStringList{"--out", demo.path("link")} + tiles;
         },
         2, "is the tile folder"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(merged).removeRecursively();
        expectRefused(demo.tool(QStringList{"merge"} + c.args()), c.exitCode, c.says);
        EXPECT_FALSE(QFile::exists(merged + "/summary.json"));
    }
    // The tiles a refused merge named as its output are as they were.
    const QStringList last{demo.path(QString("left%1").arg(made - 1)),
                           demo.path(QString("right%1").arg(made - 1))};
    EXPECT_EQ(demo.tool(QStringList{"merge", "--out", merged} + last).exitCode, 0);
}

TEST(HostileCommandLine, BadValuesAndFilesAreRefusedWithAMessage) {
    Demo demo;
    const auto lines = [&](const QString &name, const std::function<QString(int)> &line, int n) {
        QByteArray text;
        for (int i = 0; i < n; ++i)
            text += line(i).toUtf8() + "\n";
        write(demo.path(name), text);
        return name;
    };
    const int files = QDir(demo.path("i1")).entryList(QDir::Files).size();
    const auto rising = [](int i) { return QString::number(7000 + i); };
    lines(
        "equal.txt", [](int) { return QString("7000"); }, files);
    lines(
        "falling.txt", [](int i) { return QString::number(7000 - i); }, files);
    lines(
        "nan.txt", [&](int i) { return i == 5 ? QString("nan") : rising(i); }, files);
    lines(
        "inf.txt", [&](int i) { return i == files - 1 ? QString("inf") : rising(i); }, files);
    lines("many.txt", rising, 100000);
    ASSERT_EQ(::mkfifo(QFile::encodeName(demo.path("pipe")), 0600), 0);
    QDir().mkpath(demo.path("blocked/summary.json")); // maps are written, the summary cannot be
    struct Case {
        QString args; // an lcf-map without --ref gets the demo's two references
        int exitCode;
        QString says;
    };
    const QString folders = "--i1 i1 --i0 i0 --bin 2 2";
    const Case cases[] = {
        {"lcf-map --range 7200 7000", 2, "--range S E takes a start below the end"},
        {"lcf-map --range nan 7000", 2, "--range S E takes a start below the end"},
        {"lcf-map --dpre nan", 2, "--dpre takes a finite number"},
        {"ra-map --energy nan", 2, "--energy takes an energy above 0"},
        {"ra-map --shift-edge 1e308", 2, "--shift-edge takes an energy above 0 and up to"},
        {"lcf-map --ref ref_A.dat:nan --ref ref_B.dat", 2, "--ref takes FILE[:DE"},
        {"lcf-map --ref ref_A.dat:inf --ref ref_B.dat", 2, "--ref takes FILE[:DE"},
        {"lcf-map --ref ref_A.dat:1e308 --ref ref_B.dat", 2, "--ref takes FILE[:DE"},
        {"ra-map --threads 0", 2, "--threads takes a whole number from 1 to 1024"},
        {"elem-map --elems Fe --threads 0", 2, "--threads takes a whole number from 1 to 1024"},
        {"shift-map --std ref_A.dat --threads 0", 2, "--threads takes a whole number"},
        {"ra-map --h5 pipe --layout generic", 1, "not a regular file"},
        {"ra-map --h5 demo.h5 --layout pipe", 1, "not a regular file"},
        {"ra-map --out blocked", 1, "cannot write blocked/summary.json"},
        {"ra-map " + folders + " --energies equal.txt", 1, "line 2: 7000 eV does not rise above"},
        {"ra-map " + folders + " --energies falling.txt", 1, "line 2: 6999 eV does not rise"},
        {"ra-map " + folders + " --energies nan.txt", 1, "line 6 holds no finite energy"},
        {"ra-map " + folders + " --energies inf.txt", 1, "holds no finite energy"},
        {"ra-map " + folders + " --energies many.txt", 1,
         QString("100000 energies for %1 files").arg(files)},
        {"ra-map " + folders + " --energy-pattern (((", 2, "is not a valid regular expression"},
        {"ra-map " + folders + " --energy-pattern zzz", 1,
         "the energy pattern zzz matches nothing"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(c.args));
        QStringList args = c.args.split(' ');
        if (!args.contains("--i1") && !args.contains("--h5"))
            args += demo.h5();
        if (!args.contains("--out"))
            args += {"--out", "o"};
        if (args.first() == "lcf-map" && !args.contains("--ref"))
            args += {"--ref", "ref_A.dat", "--ref", "ref_B.dat"};
        const auto r = demo.tool(args);
        expectRefused(r, c.exitCode, c.says);
        EXPECT_TRUE(r.out.isEmpty()) << qPrintable(r.out); // no summary of a failed run
    }
}

// Inputs at the ends of their ranges that are sound and read as such.
TEST(HostileCommandLine, ExtremeButSoundInputsRun) {
    Demo demo;
    const QString shifts = demo.tile("shift", {"shift-map", "--std", "ref_A.dat"}, "0 0 64 48");
    QString emp = QString::fromUtf8(contents(shifts + "/shift.emp"));
    emp.replace(QRegularExpression("X Offset \\[pix\\]( *): [^\n]*"),
                "X Offset [pix]\\1: -2147483648");
    write(demo.path("intmin.emp"), emp.toUtf8());
    const auto r =
        demo.tool(QStringList{"ra-map", "--shift-map", "intmin.emp", "--out", "o"} + demo.h5());
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);
    EXPECT_FALSE(r.err.contains("runtime error")) << qPrintable(r.err);
}

// Damaged HDF5 stacks as the tool and the window meet them: chunks that do not
// fit the dataset or the file are refused by our own checks before a sample
// is read, and files on which the library itself crashes (a damaged heap
// under a string attribute) are refused by the probe process. The window
// refuses each with the same message, and its session goes on.
TEST(HostileCommandLine, DamagedHdf5StacksAreRefusedByTheToolAndTheWindow) {
    Demo demo;
    const QString corpus = LS_FUZZ_CORPUS "/h5stack/";
    const QString data = LS_SOURCE_DIR "/tests/data/hostile-h5/";
    const QString layouts = LS_SOURCE_DIR "/examples/layouts/";
    const struct {
        QString file;
        const char *layout;
        const char *says;
    } cases[] = {
        {corpus + "chunk-stored-short.h5", "generic",
         "the chunk index cannot be read at [8, 15, 0]"},
        {corpus + "chunk-taller-than-dataset.h5", "generic",
         "a chunk of it cannot be read or does not decode"},
        {corpus + "chunk-1048640-wide.h5", "generic", "chunks of 1 x 64 x 1048640 samples"},
        {data + "chunk-past-end-of-file.h5", "generic", "the HDF5 library crashed"},
        {data + "vlen-attribute-heap-damaged.h5", "generic", "the HDF5 library crashed"},
        {data + "vlen-attribute-heap-overlap.h5", "nexus", "the HDF5 library crashed"},
    };
    QString batch = "load_I1_files NEW demo.h5 demo-layout.ini\n";
    for (const auto &c : cases) {
        SCOPED_TRACE(qPrintable(c.file));
        expectRefused(demo.tool({"ra-map", "--h5", c.file, "--layout", c.layout, "--out", "o"}), 1,
                      c.says);
        const auto info = demo.tool({"h5-info", c.file});
        EXPECT_TRUE(info.finished && info.exitCode >= 0 && info.exitCode <= 1)
            << qPrintable(info.err);
        EXPECT_FALSE(info.err.contains("runtime error")) << qPrintable(info.err);
        batch += QString("load_I1_files NEW %1 %2%3.ini\n").arg(c.file, layouts, c.layout);
    }
    write(demo.path("run.bat"), (batch + "load_I1_files NEW demo.h5 demo-layout.ini\n"
                                         "seek_image 76\nsave_image last.png\nquit\n")
                                    .toUtf8());
    write(demo.path("cfg.cfg"), "");
    const auto r =
        ProgramRun::runBatch(demo.path("cfg.cfg"), demo.path("run.bat"), demo.path(""), 180000);
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 1) << qPrintable(r.err); // the damaged stacks were refused
    for (const auto &c : cases)
        EXPECT_TRUE((r.out + r.err).contains(c.says)) << c.says << qPrintable(r.err);
    EXPECT_TRUE(QFile::exists(demo.path("last.png"))) << qPrintable(r.err);
}
