#include "imageio/ErrPoints.h"
#include "app/DebugLog.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using TestSupport::writeFile;

TEST(ErrPoints, SizeLineDropsEarlierPointsAndLeavesMaskOff) {
    QTemporaryDir dir;
    const QString path = writeFile(dir, "e.txt",
                                   "5 6\n"
                                   "# Size 2048 1024\n"
                                   "10 20\n"
                                   "   # only a comment\n"
                                   "\n"
                                   "11\t21  # trailing comment\n"
                                   "abc 7\n");
    ErrPoints m;
    ASSERT_TRUE(m.read(path));
    EXPECT_FALSE(m.use());
    EXPECT_EQ(m.sizeFirst(), 2048);
    EXPECT_EQ(m.sizeSecond(), 1024);
    ASSERT_EQ(m.points().size(), 3);
    EXPECT_EQ(m.points()[0], QPoint(10, 20));
    EXPECT_EQ(m.points()[1], QPoint(11, 21));
    EXPECT_EQ(m.points()[2], QPoint(0, 7)); // non-numeric reads 0
    EXPECT_TRUE(m.contains(11, 21));
    EXPECT_FALSE(m.contains(5, 6));
    EXPECT_FALSE(m.contains(21, 11));
    EXPECT_EQ(m.fileName(), QFileInfo(path).canonicalFilePath());
}

TEST(ErrPoints, ReadReplacesUnlessAppending) {
    QTemporaryDir dir;
    const QString a = writeFile(dir, "a.txt", "1 1\n");
    const QString b = writeFile(dir, "b.txt", "2 2\n");
    ErrPoints m;
    m.read(a);
    m.read(b);
    EXPECT_FALSE(m.contains(1, 1));
    EXPECT_TRUE(m.contains(2, 2));
    EXPECT_FALSE(m.use()); // the caller decides whether to switch it on
    m.read(a, true);
    EXPECT_TRUE(m.contains(1, 1));
    EXPECT_TRUE(m.contains(2, 2));
    EXPECT_TRUE(m.use());
}

TEST(ErrPoints, UnreadableFileLeavesAnEmptyUnusedMask) {
    QTemporaryDir dir;
    ErrPoints m;
    m.read(writeFile(dir, "a.txt", "1 1\n"));
    m.setUse(true);
    DebugLog::Capture log;
    EXPECT_FALSE(m.read(dir.filePath("missing.txt")));
    EXPECT_TRUE(log.contains("Can't Open"));
    EXPECT_TRUE(log.contains("missing.txt"));
    EXPECT_FALSE(m.use());
    EXPECT_TRUE(m.isEmpty());
    EXPECT_TRUE(m.fileName().isEmpty());
}

TEST(ErrPoints, ProcessWideMaskIsShared) {
    const ErrPoints saved = ErrPoints::processWide();
    QTemporaryDir dir;
    EXPECT_TRUE(ErrPoints::readProcessWide(writeFile(dir, "p.txt", "3 4\n")));
    ErrPoints::setProcessWideUse(true);
    const ErrPoints copy = ErrPoints::processWide();
    EXPECT_TRUE(copy.use());
    EXPECT_TRUE(copy.contains(3, 4));
    ErrPoints::setProcessWide(saved);
    EXPECT_FALSE(ErrPoints::processWide().contains(3, 4));
}

// Points on the line (x, 2x) all collided in the former hash of 64-bit keys;
// the lookup must stay exact for them, for the point whose key is all ones,
// for duplicates and for neighbours off the line. A copy shares the points
// until one side adds more.
TEST(ErrPoints, LookupExactForCollidingPatternsAndCopiesDiverge) {
    ErrPoints m;
    const int n = 50000;
    for (int x = 0; x < n; ++x)
        m.addPoint(x, 2 * x);
    m.addPoint(-1, -1);
    m.addPoint(7, 14); // a duplicate
    for (int x = 0; x < n; x += 7) {
        ASSERT_TRUE(m.contains(x, 2 * x)) << x;
        ASSERT_FALSE(m.contains(x, 2 * x + 1)) << x;
        ASSERT_FALSE(m.contains(2 * x + 1, x)) << x;
    }
    EXPECT_TRUE(m.contains(-1, -1));
    EXPECT_FALSE(m.contains(-1, -2));
    EXPECT_EQ(m.points().size(), n + 2);
    ErrPoints copy = m;
    copy.addPoint(3, 3);
    EXPECT_TRUE(copy.contains(3, 3));
    EXPECT_FALSE(m.contains(3, 3));
    EXPECT_TRUE(copy.contains(n - 1, 2 * (n - 1)));
    m.clearPoints();
    EXPECT_FALSE(m.contains(0, 0));
    EXPECT_TRUE(copy.contains(0, 0));
}
