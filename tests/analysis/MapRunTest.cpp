#include "analysis/MapRun.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <new>

namespace {

// A bin value that depends on the position only, with a NaN and repeated
// extremes so that the order of merging shows in the recorded positions.
class PatternTask : public BinTask {
public:
    explicit PatternTask(std::atomic<int> *count = nullptr, MapRun *stopAt = nullptr)
        : m_count(count), m_run(stopAt) {}
    void analyzeBin(int cx, int cy, BinWriter &out) override {
        if (m_count && ++*m_count == 40 && m_run)
            m_run->stop();
        const double v = (cx * 7 + cy * 13) % 11;
        out.set(0, v);
        out.set(1, cx == 5 && cy == 5 ? std::nan("") : std::sin(cx * 0.1) * cy);
    }

private:
    std::atomic<int> *m_count;
    MapRun *m_run;
};

struct RunMaps {
    Analyzed2DRes a{"a"}, b{"b"};
    explicit RunMaps(const AnalyzeCond &g) {
        a.prepare(g);
        b.prepare(g);
    }
    QVector<Analyzed2DRes *> list() { return {&a, &b}; }
};

bool sameMap(const Analyzed2DRes &x, const Analyzed2DRes &y) {
    const size_t n = size_t(x.width()) * size_t(x.height());
    return std::memcmp(x.values(), y.values(), n * sizeof(double)) == 0 && x.min() == y.min() &&
           x.max() == y.max() && x.minPos() == y.minPos() && x.maxPos() == y.maxPos();
}

} // namespace

TEST(MapRunTest, MapsAreTheSameForAnyThreadCountAndAsBinByBin) {
    const AnalyzeCond g(37, 23, 1, 0, 2, 1, 33, 21);
    RunMaps serial(g);
    AnalyzeCond walk = g;
    do {
        serial.a.setData(walk.cx, walk.cy, g.hx, g.hy, (walk.cx * 7 + walk.cy * 13) % 11);
        serial.b.setData(walk.cx, walk.cy, g.hx, g.hy,
                         walk.cx == 5 && walk.cy == 5 ? std::nan("")
                                                      : std::sin(walk.cx * 0.1) * walk.cy);
    } while (walk.next());
    for (int threads : {1, 2, 3, 8}) {
        RunMaps m(g);
        MapRun run;
        EXPECT_TRUE(run.run(
            g, m.list(), [] { return std::make_unique<PatternTask>(); }, threads));
        EXPECT_EQ(run.rowsDone(), g.binsY());
        EXPECT_TRUE(sameMap(m.a, serial.a)) << threads;
        EXPECT_TRUE(sameMap(m.b, serial.b)) << threads;
    }
}

TEST(MapRunTest, BackgroundRunStopsEarlyKeepsItsBinsAndRunsAgainClean) {
    const AnalyzeCond g(64, 64, 0, 0, 0, 0, 64, 64);
    RunMaps m(g);
    MapRun run;
    std::atomic<int> count{0};
    bool completed = true;
    QObject::connect(&run, &MapRun::finished, [&](bool c) { completed = c; });
    ASSERT_TRUE(run.start(
        g, m.list(), [&] { return std::make_unique<PatternTask>(&count, &run); }, 2));
    run.wait();
    EXPECT_FALSE(run.isRunning());
    EXPECT_FALSE(completed);
    EXPECT_LT(count.load(), 64 * 64);
    EXPECT_GE(m.a.max(), 0.0); // extremes of what was written are kept

    RunMaps again(g);
    ASSERT_TRUE(run.start(
        g, again.list(), [] { return std::make_unique<PatternTask>(); }, 2));
    run.wait();
    EXPECT_TRUE(completed);
    EXPECT_EQ(run.rowsDone(), 64);
}

// Memory running out in a worker ends the run like Stop, never the program:
// the bins done stay, the run says why, and the next run starts clean.
TEST(MapRunTest, MemoryRunningOutStopsTheRunAndIsSaid) {
    class ExhaustingTask : public PatternTask {
    public:
        void analyzeBin(int cx, int cy, BinWriter &out) override {
            if (cy > 30)
                throw std::bad_alloc();
            PatternTask::analyzeBin(cx, cy, out);
        }
    };
    const AnalyzeCond g(64, 64, 0, 0, 0, 0, 64, 64);
    for (int threads : {1, 3}) {
        RunMaps m(g);
        MapRun run;
        EXPECT_FALSE(run.run(
            g, m.list(), [] { return std::make_unique<ExhaustingTask>(); }, threads));
        EXPECT_TRUE(run.ranOutOfMemory()) << threads;
        EXPECT_GE(run.rowsDone(), 1) << threads;
        EXPECT_TRUE(run.run(
            g, m.list(), [] { return std::make_unique<PatternTask>(); }, threads));
        EXPECT_FALSE(run.ranOutOfMemory()) << threads;
    }
}
