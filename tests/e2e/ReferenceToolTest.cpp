// lcf-map's references on the demo stack: a column chosen with @COL reads as
// the two-column file does, and references that cannot take part are refused
// with the file named.
#include "e2e/ProgramRun.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

namespace {

QByteArray contents(const QString &file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// "E i0 it mu" with a header line: mu is the fourth column.
void writeFourColumns(const QString &from, const QString &to) {
    QFile in(from), out(to);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
    QTextStream r(&in), w(&out);
    w << "E i0 it mu\n";
    while (!r.atEnd()) {
        const QStringList f = r.readLine().split(' ', QString::SkipEmptyParts);
        if (f.size() == 2)
            w << f[0] << " 100000 50000 " << f[1] << "\n";
    }
}

} // namespace

TEST(ReferenceTool, ColumnChoiceAndRefusedReferences) {
    QTemporaryDir dir;
    const auto path = [&](const QString &p) { return dir.filePath(p); };
    ASSERT_EQ(ProgramRun::run(LS_TOOL, {"make-demo", dir.path()}, dir.path()).exitCode, 0);
    writeFourColumns(path("ref_A.dat"), path("a4.txt"));
    QFile flat(path("flat.txt"));
    ASSERT_TRUE(flat.open(QIODevice::WriteOnly));
    for (int e = 6950; e <= 7450; e += 10)
        flat.write(QByteArray::number(e) + " 0.5\n");
    flat.close();

    const QStringList stack{"--i1", path("i1"), "--i0", path("i0"), "--dark", path("dark.tif")};
    const struct {
        QString ref;
        QString out;
        int exitCode;
        QString inErr;
    } cases[] = {
        {path("ref_A.dat"), "two", 0, ""},
        {path("a4.txt@4"), "four", 0, ""},
        {path("a4.txt"), "", 1, "a4.txt: the file has 4 numeric columns"},
        {path("flat.txt"), "", 1, "reference " + path("flat.txt") + " refused"},
    };
    for (const auto &c : cases) {
        const auto r = ProgramRun::run(LS_TOOL,
                                       QStringList{"lcf-map"} + stack +
                                           QStringList{"--suggest", "Fe", "K", "--ref", c.ref,
                                                       "--ref", path("ref_B.dat"), "--out",
                                                       path(c.out.isEmpty() ? "x" : c.out)},
                                       dir.path());
        EXPECT_EQ(r.exitCode, c.exitCode) << qPrintable(c.ref) << qPrintable(r.err);
        EXPECT_TRUE(r.err.contains(c.inErr)) << qPrintable(r.err);
    }
    const QByteArray two = contents(path("two/ref-1-fraction.txt"));
    EXPECT_FALSE(two.isEmpty());
    EXPECT_EQ(contents(path("four/ref-1-fraction.txt")), two);
}
