// Reference files in the layouts users bring: what is read, what is asked for,
// and that a failed read leaves the spectrum alone.
#include "spectrum/ReferenceFile.h"
#include "spectrum/XafsSpectrum.h"

#include "support/FeReferences.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using Layout = ReferenceFile::Layout;

struct Case {
    const char *name;
    QByteArray text;
    int column;
    bool ok;
    bool asks;     // needsColumn
    int points;    // read points (ok) ...
    double firstE; // ... and the first of them
    double firstMu;
    int columns; // numeric columns seen
    bool keV;
    Layout layout;
    QString labels;  // joined by '|'
    const char *say; // part of the message ("" when none)
};

const QByteArray fourColumns = "E i0 it mu\n7000 1e5 5e4 0.5\n7010 1e5 4e4 0.7\n";

const Case cases[] = {
    {"csv with a header line", "Energy (eV),mu\n7000,0.1\n7010,0.2\n7020,0.3\n", 0, true, false, 3,
     7000, 0.1, 2, false, Layout::Delimited, "Energy (eV)|mu", ""},
    {"semicolons, quoted header", "\"E\";\"mu\";\n7000;0.1;\n7010;0.2;\n", 0, true, false, 2, 7000,
     0.1, 2, false, Layout::Delimited, "E|mu", ""},
    {"tab-separated, commented header", "# E\tmu\n7000\t0.1\n7010\t0.2\n", 0, true, false, 2, 7000,
     0.1, 2, false, Layout::Delimited, "E|mu", ""},
    {"four columns ask for mu", fourColumns, 0, false, true, 0, 0, 0, 4, false, Layout::Delimited,
     "E|i0|it|mu", "4 numeric columns (E, i0, it, mu): say which column holds mu (2 to 4)"},
    {"four columns with @4", fourColumns, 4, true, false, 2, 7000, 0.5, 4, false, Layout::Delimited,
     "E|i0|it|mu", ""},
    {"the energy column is no mu", fourColumns, 1, false, true, 0, 0, 0, 4, false,
     Layout::Delimited, "E|i0|it|mu", "column 1"},
    {"keV energies", "7.000 0.1\n7.010 0.2\n", 0, true, false, 2, 7000, 0.1, 2, true,
     Layout::Delimited, "", "keV"},
    {"no numeric line", "energy mu\nnone here\n", 0, false, false, 0, 0, 0, 0, false,
     Layout::Delimited, "", "no line of numbers"},
    {"one column", "7000\n7010\n", 0, false, false, 0, 0, 0, 1, false, Layout::Delimited, "",
     "one number"},
    {"bad lines skipped, order restored", "7010 0.2\n7000 0.1\n7020 0.3 9\n7030 inf\n# x\n", 0,
     true, false, 2, 7000, 0.1, 2, false, Layout::Delimited, "", "2 lines skipped"},
    {"no finite point", "7000 nan\n", 0, false, false, 0, 0, 0, 2, false, Layout::Delimited, "",
     "finite"},
    {"own spectrum file: columns 1 and 2",
     "###Lumenstack::XafsSpectrum\n# dMut : 1\n#\n# x  double-normalized-pre-base y pre post\n"
     "7000\t0.1\t5\t1\t2\n7010\t0.2\t6\t1\t2\n",
     0, true, false, 2, 7000, 0.1, 5, false, Layout::OwnSpectrum,
     "x|double-normalized-pre-base|y|pre|post", ""},
    {"XDI in keV, mu column",
     "# XDI/1.0\n# Column.1: energy keV\n# Column.2: mutrans\n#----\n7.0 0.1\n7.01 0.2\n", 0, true,
     false, 2, 7000, 0.1, 2, true, Layout::Xdi, "energy|mutrans", "keV"},
    {"XDI fluorescence",
     "# XDI/1.0\n# Column.1: energy eV\n# Column.2: I0\n# Column.3: iF\n7000 200 10\n", 0, true,
     false, 1, 7000, 0.05, 3, false, Layout::Xdi, "energy|i0|if", ""},
    {"XDI without mu asks",
     "# XDI/1.0\n# Column.1: energy\n# Column.2: i0\n# Column.3: other\n7000 200 10\n", 0, false,
     true, 0, 0, 0, 3, false, Layout::Xdi, "energy|i0|other", "(2 to 3)"},
    {"XDI column beyond the data", "# XDI/1.0\n# Column.1: energy\n# Column.5: mu\n7000 1\n", 0,
     false, false, 0, 0, 0, 2, false, Layout::Xdi, "energy|", "Column.5"},
};

} // namespace

TEST(ReferenceFileTest, Layouts) {
    QTemporaryDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = TestSupport::writeFile(dir, "ref.txt", c.text);
        XafsSpectrum out;
        const ReferenceFile::Result r = ReferenceFile::read(file, c.column, out);
        EXPECT_EQ(r.ok, c.ok) << r.message.toStdString();
        EXPECT_EQ(r.needsColumn, c.asks);
        EXPECT_EQ(r.columns, c.columns);
        EXPECT_EQ(r.layout, c.layout);
        EXPECT_EQ(r.labels.join('|'), c.labels);
        EXPECT_EQ(r.energiesInKeV, c.keV);
        EXPECT_TRUE(r.message.contains(c.say)) << r.message.toStdString();
        EXPECT_EQ(out.count(), c.points);
        if (c.ok && out.count() > 0) {
            EXPECT_DOUBLE_EQ(out.x(0), c.firstE);
            EXPECT_DOUBLE_EQ(out.y(0), c.firstMu);
        }
    }
}

TEST(ReferenceFileTest, RealXdiFilesGiveTransmissionMu) {
    const struct {
        QString file;
        int points;
        double firstE, i0, itrans;
    } files[] = {
        {FeReferences::foil(), 348, 6962, 304129.5, 276384.099897},
        {FeReferences::feO(), 412, 0, 0, 0},
    };
    for (const auto &f : files) {
        XafsSpectrum out;
        const ReferenceFile::Result r = ReferenceFile::read(f.file, 0, out);
        ASSERT_TRUE(r.ok) << r.message.toStdString();
        EXPECT_EQ(r.layout, Layout::Xdi);
        EXPECT_EQ(r.labels, QStringList({"energy", "i0", "itrans"}));
        EXPECT_FALSE(r.energiesInKeV);
        EXPECT_EQ(out.count(), f.points);
        if (f.firstE > 0) {
            EXPECT_EQ(out.x(0), f.firstE);
            EXPECT_DOUBLE_EQ(out.y(0), std::log(f.i0 / f.itrans));
        }
    }
}

// A read that fails keeps what the spectrum held: missing file, a FIFO, a file
// asking for its mu column, a file without numbers.
TEST(ReferenceFileTest, FailedReadLeavesTheSpectrumAsItWas) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QStringList files = {dir.filePath("missing.txt"), fifo,
                               TestSupport::writeFile(dir, "four.txt", fourColumns),
                               TestSupport::writeFile(dir, "words.txt", "a b\nc d\n"), dir.path()};
    for (const QString &file : files) {
        XafsSpectrum out;
        out.addPoint(1, 2);
        out.addPoint(3, 4);
        const ReferenceFile::Result r = ReferenceFile::read(file, 0, out);
        EXPECT_FALSE(r.ok) << file.toStdString();
        EXPECT_FALSE(r.message.isEmpty()) << file.toStdString();
        ASSERT_EQ(out.count(), 2) << file.toStdString();
        EXPECT_EQ(out.point(1), QPointF(3, 4));
    }
}
