#include "analysis/Calibration.h"

#include "analysis/Analyzed2DRes.h"
#include "analysis/ElemAnalysis.h"
#include "analysis/LcfRun.h"
#include "analysis/SumUp.h"
#include "app/DebugLog.h"
#include "imageio/TiffData.h"

#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr int W = 24, H = 6;
constexpr double Edge = 8984;

// Absorption of the sample: an arctangent step with a white line on a falling
// background.
double mu(double e) {
    const double step = 0.5 + std::atan((e - Edge) / 1.5) / M_PI;
    return 0.3 * std::pow(8900 / e, 3) + step + 0.4 * std::exp(-std::pow(e - Edge - 5, 2) / 18);
}

// Three regions of known shift: 0 (x < 8), +3 eV (x < 16) and -2.5 eV.
double regionShift(int x) {
    return x < 8 ? 0.0 : (x < 16 ? 3.0 : -2.5);
}

// Transmission images across the edge (1 eV steps from 8924 to 9064): each
// pixel is 30000 exp(-mu(E - shift)), so with one-pixel bins and no I0 the
// bin's mu*t is mu(E - shift) - ln 30000.
struct ShiftedStack {
    QTemporaryDir dir;
    MeasurementStack stack;
    ShiftedStack() {
        int n = 0;
        for (double e = 8924; e <= 9064; e += 1, ++n) {
            std::vector<quint16> px(size_t(W) * H);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    px[size_t(y) * W + x] =
                        quint16(std::lround(30000 * std::exp(-mu(e - regionShift(x)))));
            const QString path = dir.filePath(QStringLiteral("i%1.tif").arg(n));
            TiffData::write16BitTiff(path, W, H, px.data());
            auto *t = new TiffData;
            t->load(path);
            t->setEnergy(e);
            stack.append(Series::I1, t);
        }
        stack.takeGeometryFromFirstI1();
    }
};

// The standard, finer than the images (0.5 eV).
XafsSpectrum standard(double from = 8900, double to = 9100) {
    Spectrum s;
    for (double e = from; e <= to; e += 0.5)
        s.addPoint(e, mu(e));
    return XafsSpectrum(s, QStringLiteral("std"), 1, 0, SuggestElm());
}

struct Calibrated {
    Analyzed2DRes map{"a2d esm"};
    CalibShifts shifts;
    bool completed = false;
};

void calibrate(Calibrated &out, ShiftedStack &s, const XafsSpectrum &std, CalibMethod m,
               int threads, const AnalyzeCond &grid = AnalyzeCond(W, H, 0, 0, 0, 0, W, H)) {
    CalibConditions c;
    c.method = m;
    MapRun run;
    out.completed = runCalibration(run, s.stack, std, c, grid, out.map, out.shifts, threads);
}

double regionMean(const Analyzed2DRes &map, int x0, int x1) {
    double sum = 0;
    for (int y = 0; y < H; ++y)
        for (int x = x0; x < x1; ++x)
            sum += map.valueAt(x, y);
    return sum / ((x1 - x0) * H);
}

ShiftedStack &sharedStack() {
    static ShiftedStack s;
    return s;
}

} // namespace

// dMidx reads the shift off the sampled edge (1 eV points): within half a
// step. The inner-product search refines to 0.1 eV: within 0.1 eV.
TEST(CalibrationTest, KnownShiftsPerRegionAreRecoveredByBothMethods) {
    ShiftedStack &s = sharedStack();
    const XafsSpectrum std = standard();
    ASSERT_TRUE(standardHasEdge(std));
    struct Case {
        CalibMethod method;
        double tolerance;
    };
    for (const Case &c : {Case{CalibMethod::DMidx, 0.5}, Case{CalibMethod::InnerP, 0.1}}) {
        Calibrated r;
        calibrate(r, s, std, c.method, 2);
        ASSERT_TRUE(r.completed);
        EXPECT_NEAR(regionMean(r.map, 0, 8), 0.0, c.tolerance) << int(c.method);
        EXPECT_NEAR(regionMean(r.map, 8, 16), 3.0, c.tolerance) << int(c.method);
        EXPECT_NEAR(regionMean(r.map, 16, 24), -2.5, c.tolerance) << int(c.method);
        const CalibStats st = calibStats(r.shifts);
        EXPECT_TRUE(st.valid);
        EXPECT_EQ(st.count, W * H);
        EXPECT_NEAR(st.mean, (3.0 - 2.5) / 3, c.tolerance);
        EXPECT_NEAR(st.max, 3.0, c.tolerance);
        EXPECT_NEAR(st.min, -2.5, c.tolerance);
        EXPECT_NEAR(st.sigma, std::sqrt((9 + 6.25) / 3 - st.mean * st.mean), 0.3);
        EXPECT_EQ(r.map.max(), st.max);
        EXPECT_EQ(r.map.min(), st.min);
    }
}

TEST(CalibrationTest, OneThreadAndSeveralGiveTheSameBits) {
    ShiftedStack &s = sharedStack();
    const XafsSpectrum std = standard();
    for (CalibMethod m : {CalibMethod::DMidx, CalibMethod::InnerP}) {
        Calibrated one, three;
        const AnalyzeCond grid(W, H, 1, 0, 1, 0, 22, 6);
        calibrate(one, s, std, m, 1, grid);
        calibrate(three, s, std, m, 3, grid);
        EXPECT_EQ(std::memcmp(one.map.values(), three.map.values(), sizeof(double) * W * H), 0);
        EXPECT_EQ(std::memcmp(one.shifts.values().data(), three.shifts.values().data(),
                              sizeof(double) * one.shifts.values().size()),
                  0);
        EXPECT_EQ(one.map.maxPos(), three.map.maxPos());
    }
}

// A bin spectrum built in place must equal a freshly constructed one.
TEST(CalibrationTest, InPlaceBinSpectrumMatchesAFreshOne) {
    ShiftedStack &s = sharedStack();
    const XafsSpectrum std = standard();
    CalibConditions c;
    c.method = CalibMethod::InnerP;
    Calibrated r;
    calibrate(r, s, std, CalibMethod::InnerP, 1);
    for (int x : {3, 12, 20}) {
        Spectrum mut;
        s.stack.computeMuT(x, 2, c.mut, mut);
        const XafsSpectrum fresh(mut, QStringLiteral("Body-Calib"), 1, 0, SuggestElm());
        EXPECT_EQ(CalibTask::shiftOf(fresh, std, c), r.map.valueAt(x, 2)) << x;
    }
}

// A standard far off the bins' energies: the midpoints differ all the same
// (no shift of 0 in their place), and the inner-product search, centred on
// that difference, stays within its range of it.
TEST(CalibrationTest, NoOverlapNoScoreAndInvalidSteps) {
    ShiftedStack &s = sharedStack();
    const XafsSpectrum far = standard(20000, 20200);
    Calibrated inner, mid;
    calibrate(inner, s, far, CalibMethod::InnerP, 2);
    calibrate(mid, s, far, CalibMethod::DMidx, 2);
    Spectrum atBin;
    s.stack.computeMuT(3, 2, MuTConditions(), atBin);
    const XafsSpectrum one(atBin, "bin", 1, 0, SuggestElm());
    EXPECT_DOUBLE_EQ(mid.map.valueAt(3, 2), one.midx() - far.midx());
    EXPECT_LT(mid.map.max(), -10000);
    EXPECT_NEAR(inner.map.valueAt(3, 2), mid.map.valueAt(3, 2), CalibSteps().range + 1e-9);
    // Overlapping ranges but no point pair inside at any trial shift.
    Spectrum mut;
    s.stack.computeMuT(3, 2, MuTConditions(), mut);
    const XafsSpectrum bin(mut, "bin", 1, 0, SuggestElm());
    const XafsSpectrum narrow = standard(9063.6, 9063.9);
    EXPECT_EQ(shiftedNormalizedInnerP(bin, 500, standard()), 0.0);
    CalibSteps small{1, 0.1, 0.2};
    EXPECT_EQ(findBestMatchDE(bin, narrow, small), 0.0);
    const XafsSpectrum std = standard();
    EXPECT_NEAR(shiftedNormalizedInnerP(bin, 0, std), 1.0, 1e-3);
    for (CalibSteps bad : {CalibSteps{0, 0.1, 20}, CalibSteps{1, 0, 20}, CalibSteps{1, 0.1, -1},
                           CalibSteps{1e-9, 1e-9, 1e6}, CalibSteps{NAN, 0.1, 20}}) {
        EXPECT_FALSE(bad.valid());
        EXPECT_EQ(findBestMatchDE(bin, std, bad), 0.0);
    }
    EXPECT_TRUE(CalibSteps().valid());
}

TEST(SumUpTest, RangesAndMapProcessing) {
    ShiftedStack &s = sharedStack();
    const AnalyzeCond grid(W, H, 1, 1, 0, 0, W, H);
    const auto sumOf = [&](const QVector<SumUpRange> &ranges, int x, int y) {
        Analyzed2DRes map("Sum Up Img");
        MapRun run;
        EXPECT_TRUE(runSumUp(run, s.stack, ranges, grid, map, 2));
        return map.valueAt(x, y);
    };
    const auto images = [&](int from, int to) {
        double v = 0;
        for (int j = from; j < to; ++j)
            v += s.stack.i1().at(j)->boxSum(4, 4, 1, 1);
        return v;
    };
    // 0-10 and 5-15 add images 5 to 9 twice; ranges past the series are cut.
    EXPECT_EQ(sumOf({{0, 10, 0}, {5, 15, 0}}, 4, 4), images(0, 15) + images(5, 10));
    EXPECT_EQ(sumOf({{-5, 2, 0}, {139, 5000, 0}}, 4, 4), images(0, 2) + images(139, 141));
    EXPECT_EQ(sumOf({}, 4, 4), 0.0);
    EXPECT_EQ(sumUpRangeText({3, 17, 0}), QStringLiteral("3-17"));

    struct Case {
        MapOperation op;
        double s1, s2, result;
    };
    for (const Case &c : {Case{MapOperation::Sub, 5, 7, -2}, Case{MapOperation::Div, 6, 3, 2},
                          Case{MapOperation::Div, 6, 0, 1}, Case{MapOperation::Mask, 6, 2, 6},
                          Case{MapOperation::Mask, 6, -1, 0}, Case{MapOperation::Mask, 6, 0, 0}})
        EXPECT_EQ(combineBinSums(c.op, c.s1, c.s2), c.result);

    // Bin sums: 3 x 3 cells of 2 and of 1; map 2 smaller (cells outside count 0).
    Analyzed2DRes m1("E-Shift Map 1"), m2("E-Shift Map 2"), out("Processed Map");
    m1.prepare(AnalyzeCond(9, 6, 1, 1, 0, 0, 9, 6));
    m2.prepare(AnalyzeCond(3, 3, 1, 1, 0, 0, 3, 3));
    m1.setData(4, 4, 10, 10, 2);
    m2.setData(1, 1, 1, 1, 1);
    MapRun run;
    EXPECT_FALSE(processMaps(run, m1, m2, MapOperation::Sub, m1.grid(), out)); // not filled yet
    m1.markFilled();
    m2.markFilled();
    ASSERT_TRUE(processMaps(run, m1, m2, MapOperation::Sub, m1.grid(), out));
    EXPECT_EQ(out.valueAt(1, 1), 18 - 9);
    EXPECT_EQ(out.valueAt(4, 1), 18);
    ASSERT_TRUE(processMaps(run, m1, m2, MapOperation::Div, m1.grid(), out));
    EXPECT_EQ(out.valueAt(1, 1), 2);
    EXPECT_EQ(out.valueAt(4, 4), 1);
    ASSERT_TRUE(processMaps(run, m1, m2, MapOperation::Mask, m1.grid(), out));
    EXPECT_EQ(out.valueAt(1, 1), 18);
    EXPECT_EQ(out.valueAt(4, 4), 0);
    EXPECT_TRUE(out.isFilled());
}

// The window's runs leave their trace in the debug log: the centre row of
// each row of bins (residual absorption, sum-up), "a" per element bin and a
// line per processed bin; the command-line tool's runs switch theirs off.
TEST(SumUpTest, WindowRunsLogTheirRowsAndBins) {
    ShiftedStack &s = sharedStack();
    const AnalyzeCond grid(W, H, 1, 1, 0, 0, W, H);
    RaRunSettings ra;
    ra.stack = &s.stack;
    ra.energy = Edge;
    auto elem = std::make_shared<ElemRunSetup>(elemDefaultSetup(parseElemTargets("Cu", false)));
    elem->stack = &s.stack;
    const QVector<SumUpRange> ranges{{0, 3, 0}};
    const struct {
        const char *run;
        MapRun::TaskFactory factory;
        int maps, lines;
    } cases[] = {
        {"ra", raRunFactory(ra), RaMapCount, grid.binsY()},
        {"elem", elemTaskFactory(elem), elemMapCount(1), int(grid.binCount())},
        {"sum", [&] { return std::make_unique<SumUpTask>(s.stack, ranges, 1, 1); }, 1,
         grid.binsY()},
    };
    for (const auto &c : cases) {
        std::vector<std::unique_ptr<Analyzed2DRes>> maps;
        QVector<Analyzed2DRes *> list;
        for (int k = 0; k < c.maps; ++k) {
            maps.push_back(std::make_unique<Analyzed2DRes>("m"));
            maps.back()->prepare(grid);
            list << maps.back().get();
        }
        DebugLog::Capture log;
        MapRun run;
        ASSERT_TRUE(run.run(grid, list, c.factory, 2)) << c.run;
        EXPECT_EQ(log.lines().size(), c.lines) << c.run;
    }
    ra.logRows = elem->logBins = false;
    DebugLog::Capture quiet;
    Analyzed2DRes a("a"), b("b");
    a.prepare(grid);
    b.prepare(grid);
    MapRun run;
    ASSERT_TRUE(run.run(grid, {&a, &b}, raRunFactory(ra), 2));
    EXPECT_TRUE(quiet.lines().isEmpty());

    Analyzed2DRes m1("E-Shift Map 1"), out("Processed Map");
    m1.prepare(AnalyzeCond(9, 6, 1, 1, 0, 0, 9, 6));
    m1.setData(4, 4, 10, 10, 2);
    m1.markFilled();
    DebugLog::Capture processed;
    ASSERT_TRUE(processMaps(run, m1, m1, MapOperation::Div, m1.grid(), out));
    EXPECT_EQ(processed.lines().size(), m1.grid().binCount());
    EXPECT_TRUE(processed.lines().contains("1 1 1 1 1 1 9 6"))
        << qPrintable(processed.lines().join('|'));
}
