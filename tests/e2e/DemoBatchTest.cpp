// The real programs on the demo measurement: make-demo writes the series, a
// batch loads them, moves the position and saves spectra and a picture; the
// saved mu*t is checked against values computed here from the TIFF pixels.
#include "ProgramRun.h"
#include "imageio/TiffData.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

struct Point {
    double e;
    double mu;
};

// Energy and mu*t columns of a saved spectrum file (energy, normalised, mu,
// pre line, post line per data line).
std::vector<Point> readSavedSpectrum(const QString &path) {
    std::vector<Point> points;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return points;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.startsWith('#'))
            continue;
        const QStringList items = line.split('\t');
        if (items.size() >= 3)
            points.push_back({items[0].toDouble(), items[2].toDouble()});
    }
    return points;
}

// Images of a folder in name order.
std::vector<std::unique_ptr<TiffData>> readFolder(const QString &folder) {
    std::vector<std::unique_ptr<TiffData>> images;
    for (const QString &name : QDir(folder).entryList({"*.tif"}, QDir::Files, QDir::Name)) {
        auto t = std::make_unique<TiffData>();
        EXPECT_TRUE(t->load(folder + "/" + name));
        images.push_back(std::move(t));
    }
    return images;
}

double pixelSum(const TiffData &t, int x, int y, int h) {
    double s = 0;
    for (int yy = y - h; yy <= y + h; ++yy)
        for (int xx = x - h; xx <= x + h; ++xx)
            if (xx >= 0 && xx < t.width() && yy >= 0 && yy < t.height())
                s += t.value(xx, yy);
    return s;
}

} // namespace

TEST(DemoBatch, SavedSpectraMatchTheTiffPixels) {
    QTemporaryDir dir;
    const QString data = dir.filePath("demo");
    const ProgramRun::Result made = ProgramRun::run(LS_TOOL, {"make-demo", data}, dir.path());
    ASSERT_TRUE(made.finished);
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    for (const char *f : {"dark.tif", "ref_A.dat", "ref_B.dat"})
        EXPECT_TRUE(QFile::exists(data + "/" + f)) << f;

    const QString bat = TestSupport::writeFile(dir, "run.bat",
                                               QString("load_I1_files_of_pattern NEW %1/i1/ *.tif\n"
                                                       "load_I0_files_of_pattern NEW %1/i0/ *.tif\n"
                                                       "Use_I0 1\n"
                                                       "set_band_w 1\n"
                                                       "set_band_h 1\n"
                                                       ":for x X 10 50 40\n"
                                                       "move_position X 20\n"
                                                       "save_spectra out/p-X.dat\n"
                                                       ":next x\n"
                                                       "save_image out/pic.png\n"
                                                       "quit\n")
                                                   .arg(data)
                                                   .toUtf8());
    QDir(dir.path()).mkpath("out");
    const ProgramRun::Result r =
        ProgramRun::runBatch(dir.filePath("none.cfg"), bat, dir.path(), 120000);
    ASSERT_TRUE(r.finished) << r.err.toStdString();
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("out/pic.png")));
    EXPECT_TRUE(QFile::exists(dir.filePath("out/pic-cBar.png")));

    const auto i1 = readFolder(data + "/i1");
    const auto i0 = readFolder(data + "/i0");
    ASSERT_EQ(i1.size(), i0.size());
    ASSERT_GT(i1.size(), 50u);
    for (int x : {10, 50}) {
        const auto saved = readSavedSpectrum(dir.filePath(QString("out/p-%1-T.dat").arg(x)));
        ASSERT_EQ(saved.size(), i1.size()) << x;
        for (size_t i = 0; i < i1.size(); ++i) {
            // Same energies in both series: I0(E_i) is image i of I0.
            const double mu = std::log(pixelSum(*i0[i], x, 20, 1) / pixelSum(*i1[i], x, 20, 1));
            EXPECT_NEAR(saved[i].mu, mu, 1e-5 * std::max(1.0, std::abs(mu))) << x << " " << i;
        }
        // The demo's metal-rich right side has a larger edge than its pre-edge.
        EXPECT_GT(saved.back().mu, saved.front().mu);
    }
    // Energies come from the file names.
    const auto saved = readSavedSpectrum(dir.filePath("out/p-10-T.dat"));
    EXPECT_NEAR(saved.front().e, 6980, 1e-6);
}
