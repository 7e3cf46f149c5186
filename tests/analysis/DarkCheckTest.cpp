// The dark check: histogram counters and file, the point step with its count
// list and files, the error-point comparison, shifts, sample types and the
// refusals.
#include "analysis/DarkCheck.h"
#include "imageio/TiffData.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace {

template <typename T>
std::unique_ptr<TiffData> image(int w, int h, TiffData::SampleType type, std::vector<T> s) {
    auto t = std::make_unique<TiffData>();
    EXPECT_TRUE(t->assign(w, h, type, s.data()));
    return t;
}

QString read(const QTemporaryDir &dir, const char *name) {
    return QString::fromUtf8(TestSupport::readFile(dir.filePath(name)));
}

} // namespace

TEST(DarkCheck, CountersAndRefusals) {
    const struct {
        double v;
        int counter;
    } cases[] = {{0, 0},       {599, 0},   {600, 1}, {59999, 99},       {60000, 100},
                 {65535, 100}, {4e9, 100}, {-5, 0},  {std::nan(""), 0}, {1e300, 100}};
    for (const auto &c : cases)
        EXPECT_EQ(DarkCheck::counterOf(c.v, 60000, 100), c.counter) << c.v;
    const struct {
        double max;
        int bins;
        bool ok;
    } params[] = {{60000, 100, true},
                  {60000, 0, false},
                  {60000, -3, false},
                  {0, 10, false},
                  {-1, 10, false},
                  {std::nan(""), 10, false},
                  {1, DarkCheck::MaxBins + 1, false}};
    auto one = image<quint16>(1, 1, TiffData::UInt16, {7});
    for (const auto &p : params) {
        DarkCheckParams dp;
        dp.histMax = p.max;
        dp.bins = p.bins;
        EXPECT_EQ(DarkCheck::validate(dp).isEmpty(), p.ok);
        DarkCheckResult r;
        EXPECT_EQ(DarkCheck::run({{one.get(), 0, 0}}, dp, r), p.ok);
    }
    DarkCheckResult r;
    EXPECT_FALSE(DarkCheck::run({}, DarkCheckParams(), r)); // no images: no check
}

// Two 3x2 images: 65535 at (0,0) in both, 600 at (1,0) only in the first
// (above a threshold of 500), (2,1) an error point that stays dark, (1,1) an
// error point that is not dark.
TEST(DarkCheck, HistogramPointsAndFiles) {
    auto a = image<quint16>(3, 2, TiffData::UInt16, {65535, 600, 0, 0, 0, 900});
    auto b = image<quint16>(3, 2, TiffData::UInt16, {65535, 10, 0, 0, 0, 700});
    DarkCheckParams p;
    p.threshold = 500;
    DarkCheckResult r;
    ASSERT_TRUE(DarkCheck::run({{a.get(), 0, 0}, {b.get(), 0, 0}}, p, r));
    ASSERT_EQ(r.histogram.size(), 101);
    EXPECT_EQ(r.histogram[100], 2); // the two 65535
    EXPECT_EQ(r.histogram[1], 3);   // 600, 900, 700
    EXPECT_EQ(r.histogram[0], 7);
    EXPECT_EQ(r.counts, QVector<int>({3, 2})); // n, n - 1
    ASSERT_EQ(r.points.size(), 2);
    EXPECT_EQ(r.points[0].value, 2 * 65535.0);
    EXPECT_EQ(r.points[1].value, 1600.0);

    QTemporaryDir dir;
    ErrPoints err;
    err.addPoint(2, 1);
    err.addPoint(1, 1);
    ASSERT_TRUE(DarkCheck::writeHistogram(dir.path(), p, r));
    ASSERT_TRUE(DarkCheck::writePointFiles(dir.path(), r, err));
    const QStringList hist = read(dir, "dark-hg-all.dat").split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(hist.size(), 102);
    EXPECT_EQ(hist[0], "# min, max = (0, 60000)  bins = 100");
    EXPECT_EQ(hist[2], "1\t600\t3");
    EXPECT_EQ(hist[101], "100\t60000\t2");
    EXPECT_EQ(read(dir, "dark-allDarkPoints.dat"), "# Size 3\t2\n0\t0\t131070\n2\t1\t1600\n");
    EXPECT_EQ(read(dir, "dark-allDarkPointNums.dat"), "0\t3\n1\t2\n");
    EXPECT_EQ(read(dir, "dark-allDarkPoints-onlyInPs1.dat"), "0\t0\n");
    EXPECT_EQ(read(dir, "dark-allDarkPoints-onlyInErrPs.dat"), "1\t1\n");
}

// Shifts move the pixels read (0 outside), float and 32-bit samples beyond
// the histogram's maximum land in the last counter, no point left writes no
// point files, and an unwritable folder is reported.
TEST(DarkCheck, ShiftsSampleTypesAndFolders) {
    auto f = image<float>(2, 1, TiffData::Float32, {1e9f, -4.0f});
    auto u = image<quint32>(2, 1, TiffData::UInt32, {4000000000u, 3u});
    DarkCheckParams p;
    p.threshold = 10;
    DarkCheckResult r;
    ASSERT_TRUE(DarkCheck::run({{f.get(), 0, 0}, {u.get(), 0, 0}}, p, r));
    EXPECT_EQ(r.histogram[100], 2);
    EXPECT_EQ(r.histogram[0], 2);
    EXPECT_EQ(r.counts, QVector<int>({1, 1}));
    // The second image shifted right by one: its hot pixel moves off (0, 0).
    ASSERT_TRUE(DarkCheck::run({{f.get(), 0, 0}, {u.get(), 1, 0}}, p, r));
    EXPECT_EQ(r.counts, QVector<int>({1, 0}));
    QTemporaryDir dir;
    EXPECT_TRUE(DarkCheck::writePointFiles(dir.path(), r, ErrPoints()));
    EXPECT_FALSE(QFile::exists(dir.filePath("dark-allDarkPoints.dat")));

    DarkCheckRun run;
    const DarkCheckRun::Report rep =
        run.runNow({{f.get(), 0, 0}}, p, ErrPoints(), dir.filePath("no/such/folder"));
    EXPECT_TRUE(rep.ran);
    EXPECT_FALSE(rep.histogramWritten);
    EXPECT_TRUE(rep.message.contains("can not write"));
    p.bins = 0;
    EXPECT_FALSE(run.runNow({{f.get(), 0, 0}}, p, ErrPoints(), dir.path()).ran);
}

// In the background: progress up to 100 and the files written at the end.
TEST(DarkCheck, RunsOffTheCallingThread) {
    std::vector<std::unique_ptr<TiffData>> images;
    QVector<DarkCheckImage> list;
    for (int i = 0; i < 20; ++i) {
        images.push_back(
            image<quint16>(64, 64, TiffData::UInt16, std::vector<quint16>(4096, 30000)));
        list.append({images.back().get(), 0, 0});
    }
    QTemporaryDir dir;
    DarkCheckRun run;
    double last = 0;
    bool done = false;
    QObject::connect(&run, &DarkCheckRun::progress, [&](double pc) { last = pc; });
    QObject::connect(&run, &DarkCheckRun::finished, [&](bool ok) { done = ok; });
    ASSERT_TRUE(run.start(list, DarkCheckParams(), ErrPoints(), dir.path()));
    EXPECT_FALSE(run.start(list, DarkCheckParams(), ErrPoints(), dir.path()));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return done; }));
    run.wait();
    EXPECT_EQ(last, 100.0);
    EXPECT_EQ(run.report().pointsLeft, 4096);
    EXPECT_TRUE(QFile::exists(dir.filePath("dark-allDarkPoints-onlyInErrPs.dat")));
}
