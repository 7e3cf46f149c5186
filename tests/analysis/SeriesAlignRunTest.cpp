// The series alignment as a background map run: the same shifts as the run on
// the calling thread for any thread count, a stop that ends it without
// shifts, and a halted run followed at once by another ending only once.
#include "analysis/SeriesAlignRun.h"
#include "support/DriftSeries.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

TEST(SeriesAlignRun, BackgroundRunMatchesTheCallingThreadAndStops) {
    DriftSeries::EdgeOptions o;
    o.images = 12;
    o.noise = 100;
    const QVector<QPointF> drift = DriftSeries::edgeDrifts(o.images, false);
    std::vector<std::unique_ptr<TiffData>> keep;
    QVector<const TiffData *> images;
    for (int i = 0; i < o.images; ++i) {
        keep.push_back(DriftSeries::edgeImage(o, drift[i], i));
        images << keep.back().get();
    }
    SeriesAlignOptions options;
    options.phase.upsample = 10;
    options.threads = 1;
    QVector<Registration::ShiftEntry> want;
    QString why;
    ASSERT_TRUE(SeriesAlignment::align(images, options, want, &why)) << qPrintable(why);

    SeriesAlignRun run;
    QVector<bool> ends;
    QObject::connect(&run, &SeriesAlignRun::finished, [&](bool completed) { ends << completed; });
    options.threads = 3;
    ASSERT_TRUE(run.start(images, options));
    run.stop();
    run.wait();
    ASSERT_TRUE(run.start(images, options)); // at once after the halted one
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !ends.isEmpty(); }));
    QCoreApplication::processEvents();
    ASSERT_EQ(ends, QVector<bool>{true});
    ASSERT_EQ(run.shifts().size(), want.size());
    for (int i = 0; i < want.size(); ++i) {
        EXPECT_EQ(run.shifts()[i].dx, want[i].dx) << i;
        EXPECT_EQ(run.shifts()[i].dy, want[i].dy) << i;
        EXPECT_EQ(run.shifts()[i].score, want[i].score) << i;
    }

    const std::atomic<bool> stop{true};
    EXPECT_FALSE(run.run(images, options, &stop));
    EXPECT_EQ(run.why(), "stopped");
    EXPECT_TRUE(run.shifts().isEmpty());
}
