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

} // namespace

TEST(HostileCommandLine, MergeRefusesTilesThatDoNotHoldWhatTheySay) {
    Demo demo;
    const QStringList shiftMap{"shift-map", "--bin", "1", "1", "--std", demo.path("ref_A.dat")};
    struct Case {
        const char *name;
        std::function<QStringList()> tiles; // prepares the tiles, gives merge's arguments
        QString says;
    };
    const Case cases[] = {
        {"a short .emp row of the first tile in rows another tile holds",
         [&] {
             const QString top = demo.tile("top", shiftMap, "0 0 64 24");
             const QString bottom = demo.tile("bottom", shiftMap, "0 24 64 24");
             cutEmpRow(top + "/shift.emp", 30, 5);
             return QStringList{top, bottom};
         },
         "shift.emp row 30 is not 64 wide"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString out = demo.path("merged");
        expectRefused(demo.tool(QStringList{"merge", "--out", out} + c.tiles()), 1, c.says);
        EXPECT_FALSE(QFile::exists(out + "/summary.json"));
    }
}
