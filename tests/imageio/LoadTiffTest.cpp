#include "imageio/LoadTiff.h"
#include "app/DebugLog.h"
#include "imageio/TiffData.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <limits>

namespace {

// n small TIFFs in dir; file i holds the value i + 1 everywhere. Names listed in
// `live` get "Live" in their name.
QStringList writeSeries(const QTemporaryDir &dir, int n, const QVector<int> &live = {}) {
    QStringList files;
    for (int i = 0; i < n; ++i) {
        const QString name =
            QString("img%1%2.tif").arg(i, 3, 10, QChar('0')).arg(live.contains(i) ? "Live" : "");
        const QString path = dir.filePath(name);
        EXPECT_TRUE(TiffData::writeConstantTiff(path, 2, 2, quint16(i + 1)));
        files << path;
    }
    return files;
}

// A loader in its own thread, as the main window runs it, with everything it
// sends collected on the test's thread.
class LoaderHarness {
public:
    LoaderHarness() {
        loader = new LoadTiff;
        loader->moveToThread(&thread);
        QObject::connect(&thread, &QThread::finished, loader, &QObject::deleteLater);
        QObject::connect(loader, &LoadTiff::loaded, &sink, [this](TiffData *d, int fNo) {
            fNos << fNo;
            values << d->value(0, 0);
            masks << d->errPoints();
            busyWhenLoaded << loader->isBusy();
            delete d;
        });
        QObject::connect(loader, &LoadTiff::finishLoadFiles, &sink,
                         [this](int id) { finished << id; });
        thread.start();
    }
    ~LoaderHarness() {
        thread.quit();
        thread.wait();
    }

    // Sends a request across threads, by name, as a queued signal would.
    void request(const QStringList &files, int skip, int cutFirst, int cutLast,
                 int id = LoadTiff::I1LoadId, bool ignoreLive = false,
                 const ErrPoints &mask = ErrPoints()) {
        QMetaObject::invokeMethod(loader, "loadTiffs", Qt::QueuedConnection,
                                  Q_ARG(QStringList, files), Q_ARG(bool, ignoreLive),
                                  Q_ARG(int, skip), Q_ARG(int, cutFirst), Q_ARG(int, cutLast),
                                  Q_ARG(ErrPoints, mask), Q_ARG(int, id));
    }

    // Waits for n completions, then a little longer to catch any extra one.
    bool waitFinished(int n = 1) {
        const bool ok = TestSupport::waitUntil([&] { return finished.size() >= n; });
        QTest::qWait(50);
        return ok;
    }

    QThread thread;
    LoadTiff *loader = nullptr;
    QObject sink;
    QVector<int> fNos;
    QVector<double> values;
    QVector<ErrPoints> masks;
    QVector<bool> busyWhenLoaded;
    QVector<int> finished;
};

} // namespace

TEST(LoadTiff, SkipAndCutsChoosePositions) {
    QTemporaryDir dir;
    const QStringList files = writeSeries(dir, 10);
    LoaderHarness h;
    h.request(files, 3, 1, 2);
    ASSERT_TRUE(h.waitFinished());
    EXPECT_EQ(h.fNos, QVector<int>({1, 4, 7})); // 10 is beyond 10 - 2
    EXPECT_EQ(h.values, QVector<double>({2, 5, 8}));
    EXPECT_EQ(h.finished, QVector<int>({LoadTiff::I1LoadId}));
    EXPECT_FALSE(h.loader->isBusy());
}

TEST(LoadTiff, FirstPositionIsReadEvenPastTheLastCut) {
    QTemporaryDir dir;
    const QStringList files = writeSeries(dir, 10);
    LoaderHarness h;
    h.request(files, 1, 9, 5, LoadTiff::I0LoadId);
    ASSERT_TRUE(h.waitFinished());
    EXPECT_EQ(h.fNos, QVector<int>({9}));
    EXPECT_EQ(h.finished, QVector<int>({LoadTiff::I0LoadId}));
}

TEST(LoadTiff, NonPositiveSkipAndNegativeCutsAreClamped) {
    QTemporaryDir dir;
    const QStringList files = writeSeries(dir, 3);
    LoaderHarness h;
    h.request(files, 0, -2, -1); // skip 0 would never advance
    ASSERT_TRUE(h.waitFinished());
    EXPECT_EQ(h.fNos, QVector<int>({0, 1, 2}));
}

TEST(LoadTiff, LiveFilesArePassedOverButStillCounted) {
    QTemporaryDir dir;
    const QStringList files = writeSeries(dir, 4, {1});
    LoaderHarness h;
    h.request(files, 1, 0, 0, LoadTiff::I1LoadId, true);
    ASSERT_TRUE(h.waitFinished());
    EXPECT_EQ(h.fNos, QVector<int>({0, 2, 3}));
    h.request(files, 1, 0, 0, LoadTiff::I1LoadId, false);
    ASSERT_TRUE(h.waitFinished(2));
    EXPECT_EQ(h.fNos, QVector<int>({0, 2, 3, 0, 1, 2, 3}));
}

TEST(LoadTiff, UnreadableFilesAreSkipped) {
    QTemporaryDir dir;
    QStringList files = writeSeries(dir, 3);
    files.insert(1, dir.filePath("missing.tif"));
    files.insert(2, TestSupport::writeFile(dir, "short.tif", "II*"));
    DebugLog::Capture log;
    LoaderHarness h;
    h.request(files, 1, 0, 0);
    ASSERT_TRUE(h.waitFinished());
    EXPECT_EQ(h.fNos, QVector<int>({0, 3, 4}));
    EXPECT_TRUE(log.contains("missing.tif"));
    EXPECT_TRUE(log.contains("short.tif"));
}

TEST(LoadTiff, RequestsWhileBusyRunInOrderAndFinishOnceWithLastId) {
    QTemporaryDir dir;
    const QStringList files = writeSeries(dir, 30);
    LoaderHarness h;
    // All three arrive in one event of the loader's thread, so the second and
    // third surely find it busy.
    LoadTiff *loader = h.loader;
    QMetaObject::invokeMethod(loader, [loader, files] {
        loader->loadTiffs(files, false, 1, 0, 0, ErrPoints(), 1);
        loader->loadTiffs(files.mid(0, 3), false, 1, 1, 0, ErrPoints(), 2);
        loader->loadTiffs(files.mid(0, 2), false, 1, 0, 0, ErrPoints(), LoadTiff::I0LoadId);
    });
    ASSERT_TRUE(h.waitFinished());
    ASSERT_EQ(h.fNos.size(), 30 + 2 + 2);
    EXPECT_EQ(h.fNos.mid(28), QVector<int>({28, 29, 1, 2, 0, 1}));
    EXPECT_EQ(h.values.mid(28), QVector<double>({29, 30, 2, 3, 1, 2}));
    EXPECT_EQ(h.finished, QVector<int>({LoadTiff::I0LoadId}));
    // Busy until the last image: its receiver already sees the loader idle.
    EXPECT_TRUE(h.busyWhenLoaded.front());
    EXPECT_FALSE(h.busyWhenLoaded.back());
}

TEST(LoadTiff, RequestsWithNothingToReadStillFinish) {
    QTemporaryDir dir;
    const QStringList files = writeSeries(dir, 3);
    LoaderHarness h;
    h.request({}, 1, 0, 0, LoadTiff::I1LoadId);
    ASSERT_TRUE(h.waitFinished(1));
    h.request(files, 1, 3, 0, LoadTiff::I0LoadId); // cutFirst == count
    ASSERT_TRUE(h.waitFinished(2));
    h.request(files, 1, 7, 0, 9); // cutFirst beyond the list
    ASSERT_TRUE(h.waitFinished(3));
    EXPECT_TRUE(h.fNos.isEmpty());
    EXPECT_EQ(h.finished, QVector<int>({LoadTiff::I1LoadId, LoadTiff::I0LoadId, 9}));
}

TEST(LoadTiff, HugeSkipAndCutsNeitherOverflowNorWrapIntoTheList) {
    // Typed fields may hold numbers near INT_MAX; position + skip must not wrap
    // to a negative position that would then be read.
    QTemporaryDir dir;
    const QStringList files = writeSeries(dir, 3);
    LoaderHarness h;
    constexpr int Max = std::numeric_limits<int>::max();
    h.request(files, Max, 1, 0, 1);
    ASSERT_TRUE(h.waitFinished(1));
    h.request(files, 1, Max, 0, 2);
    ASSERT_TRUE(h.waitFinished(2));
    h.request(files, Max, 0, Max, 3);
    ASSERT_TRUE(h.waitFinished(3));
    EXPECT_EQ(h.fNos, QVector<int>({1, 0}));
    EXPECT_EQ(h.finished, QVector<int>({1, 2, 3}));
}

TEST(LoadTiff, EmptyRequestQueuedBehindAnotherAddsNoCompletion) {
    // On this thread, so that the second request surely arrives while busy.
    QTemporaryDir dir;
    const QStringList files = writeSeries(dir, 3);
    LoadTiff loader;
    QVector<int> fNos;
    QVector<int> finished;
    QObject::connect(&loader, &LoadTiff::loaded, [&](TiffData *d, int fNo) {
        fNos << fNo;
        delete d;
    });
    QObject::connect(&loader, &LoadTiff::finishLoadFiles, [&](int id) { finished << id; });
    loader.loadTiffs(files, false, 1, 0, 0, ErrPoints(), 1);
    loader.loadTiffs({}, false, 1, 0, 0, ErrPoints(), 2);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !finished.isEmpty(); }));
    QTest::qWait(20);
    EXPECT_EQ(fNos, QVector<int>({0, 1, 2}));
    EXPECT_EQ(finished, QVector<int>({2}));
}

TEST(LoadTiff, EachImageCarriesTheRequestsMask) {
    QTemporaryDir dir;
    const QString maskFile = TestSupport::writeFile(dir, "err.dat", "# Size 2 2\n1 1\n");
    ErrPoints mask;
    ASSERT_TRUE(mask.read(maskFile));
    mask.setUse(true);
    LoaderHarness h;
    h.request(writeSeries(dir, 2), 1, 0, 0, LoadTiff::I1LoadId, false, mask);
    mask.clearPoints(); // the request holds its own copy
    ASSERT_TRUE(h.waitFinished());
    ASSERT_EQ(h.masks.size(), 2);
    EXPECT_TRUE(h.masks[1].use());
    EXPECT_TRUE(h.masks[1].contains(1, 1));
}

TEST(LoadTiff, ReadsOneFilePerEvent) {
    // Run on this thread: the request returns at once and each file needs an
    // event of its own, so the stack never grows with the series.
    QTemporaryDir dir;
    const QStringList files = writeSeries(dir, 5);
    LoadTiff loader;
    QVector<int> fNos;
    int finished = 0;
    QObject::connect(&loader, &LoadTiff::loaded, [&](TiffData *d, int fNo) {
        fNos << fNo;
        delete d;
    });
    QObject::connect(&loader, &LoadTiff::finishLoadFiles, [&](int) { ++finished; });
    loader.loadTiffs(files, false, 1, 0, 0, ErrPoints(), LoadTiff::I1LoadId);
    EXPECT_TRUE(fNos.isEmpty());
    EXPECT_TRUE(loader.isBusy());
    QCoreApplication::sendPostedEvents(&loader, QEvent::MetaCall);
    EXPECT_EQ(fNos.size(), 1);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return finished == 1; }));
    EXPECT_EQ(fNos, QVector<int>({0, 1, 2, 3, 4}));
    EXPECT_FALSE(loader.isBusy());
}

// Progress counts the files of the request being worked on, read or passed
// over, against the number its skip and cuts leave: 1, 2, ... total.
TEST(LoadTiff, ProgressCountsThePlannedFilesOfEachRequest) {
    QTemporaryDir dir;
    const QStringList files = writeSeries(dir, 10, {4});
    const struct {
        int skip, cutFirst, cutLast, total;
    } cases[] = {{1, 0, 0, 10}, {3, 1, 2, 3}, {1, 9, 5, 1}, {4, 0, 0, 3}, {1, 10, 0, 0}};
    for (const auto &c : cases) {
        LoaderHarness h;
        QVector<QPair<int, int>> seen;
        QObject::connect(h.loader, &LoadTiff::progress, &h.sink, [&](int done, int total) {
            seen.append({done, total});
        });
        h.request(files, c.skip, c.cutFirst, c.cutLast, LoadTiff::I1LoadId, true);
        ASSERT_TRUE(h.waitFinished());
        QVector<QPair<int, int>> expected;
        for (int k = 1; k <= c.total; ++k)
            expected.append({k, c.total});
        if (c.total == 0)
            expected.append({0, 0});
        EXPECT_EQ(seen, expected) << "skip " << c.skip << " cuts " << c.cutFirst << " "
                                  << c.cutLast;
    }
}
