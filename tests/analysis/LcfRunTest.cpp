#include "analysis/LcfRun.h"
#include "analysis/AnalyzeProc.h"
#include "app/DebugLog.h"
#include "imageio/TiffData.h"
#include "measurement/BinSpectrum.h"

#include "LcfTestData.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace lcftest;

namespace {

constexpr int W = 12, H = 9;

double fractionA(int x) {
    return double(x) / (W - 1);
}

// A stack mixing the two references from left (pure 2) to right (pure 1),
// I1 and I0 as float TIFFs; a NaN pixel at (nanX, nanY) when nanX >= 0.
class Stack {
public:
    explicit Stack(int nanX = -1, int nanY = -1) {
        for (double e = From; e <= To; e += 2) {
            std::vector<float> i1(W * H), i0(W * H);
            for (int y = 0; y < H; ++y) {
                for (int x = 0; x < W; ++x) {
                    const double f = fractionA(x);
                    const double mu = 0.2 + f * refMu(0, e) + (1 - f) * refMu(1, e);
                    i0[x + y * W] = 10000;
                    i1[x + y * W] = float(10000 * std::exp(-mu));
                }
            }
            if (nanX >= 0)
                i1[nanX + nanY * W] = NAN;
            stack.append(Series::I1, image(i1, e));
            stack.append(Series::I0, image(i0, e));
        }
        stack.takeGeometryFromFirstI1();
    }
    MeasurementStack stack;

private:
    TiffData *image(const std::vector<float> &v, double e) { return images.image(W, H, v, e); }
    FloatImages images;
};

LcfRunSettings settings(const MeasurementStack &stack, const QVector<LcfReference> &refs,
                        LcfKind kind, int hx, int hy) {
    LcfRunSettings s;
    s.stack = &stack;
    s.conditions.hx = hx;
    s.conditions.hy = hy;
    s.conditions.useI0 = true;
    s.refs = refs;
    s.kind = kind;
    return s;
}

// The run as the panel used to drive it: one bin at a time through the
// worker, recording what it returns (0 where it returns nothing).
void runThroughAnalyzeProc(const LcfRunSettings &s, const AnalyzeCond &grid, Maps &maps) {
    AnalyzeProc proc;
    QSignalSpy finished(&proc, &AnalyzeProc::finished);
    BinSpectrumSettings b;
    b.conditions = s.conditions;
    b.shiftMap = s.shiftMap;
    b.simpleBackground = s.simpleBackground;
    b.suggestion = s.suggestion;
    Spectrum mut;
    XafsSpectrum spectrum;
    XafsSpectrum res;
    const int rows = s.refs.size();
    AnalyzeCond g = grid;
    g.reset();
    do {
        buildBinSpectrum(*s.stack, g.cx, g.cy, b, "Body-AaP", mut, spectrum);
        finished.clear();
        proc.setLcfOld(s.kind == LcfKind::OldLCF);
        proc.analyzeSpectrum0(spectrum, s.refs, &res, s.kind == LcfKind::MLCF, s.sE0, s.eE0,
                              s.suggestion);
        const bool ok = finished.count() == 1;
        int d = 0;
        for (int i = 0; i < rows; ++i) {
            if (!s.refs[i].isUsed())
                continue;
            maps.list[lcfAmountMap(i)]->setData(g.cx, g.cy, g.hx, g.hy,
                                                ok ? proc.amounts()[d] : 0.0);
            maps.list[lcfFractionMap(i, rows)]->setData(g.cx, g.cy, g.hx, g.hy,
                                                        ok ? proc.fractions()[d] : 0.0);
            ++d;
        }
        maps.list[lcfResidualMap(rows)]->setData(g.cx, g.cy, g.hx, g.hy,
                                                 ok ? proc.residual() : 0.0);
    } while (g.next());
}

} // namespace

TEST(LcfRunTest, AnyThreadCountGivesTheMapsOfTheBinByBinAnalysis) {
    Stack data;
    data.stack.updateDarkAreas(MuTConditions());
    const XafsSpectrum a = reference(0), b = reference(1);
    // Rows 1 and 3 in use: row 3 receives the second entries.
    const QVector<LcfReference> refs{{&a, true}, {&b, false}, {&b, true}, {&a, false}};
    const AnalyzeCond grid(W, H, 1, 0, 0, 0, W, H);
    for (LcfKind kind : {LcfKind::LCF, LcfKind::OldLCF, LcfKind::MLCF}) {
        const LcfRunSettings s = settings(data.stack, refs, kind, 1, 0);
        ASSERT_TRUE(lcfRunProblem(s).isEmpty());
        Maps oneByOne(lcfMapCount(4), grid);
        runThroughAnalyzeProc(s, grid, oneByOne);
        for (int threads : {1, 3}) {
            Maps maps(lcfMapCount(4), grid);
            MapRun run;
            ASSERT_TRUE(run.run(grid, maps.list, lcfRunFactory(s), threads));
            for (int k = 0; k < lcfMapCount(4); ++k)
                EXPECT_TRUE(sameMap(*maps.list[k], *oneByOne.list[k])) << k << " " << threads;
        }
        // The mixture comes back, as shares of the edge jump: a fraction f of
        // reference 1 with jump j1 is f j1 / (f j1 + (1 - f) j2).
        const double f = fractionA(4), j1 = a.dMut() * f, j2 = b.dMut() * (1 - f);
        EXPECT_NEAR(oneByOne.list[lcfFractionMap(0, 4)]->valueAt(4, 4), j1 / (j1 + j2), 0.005);
        EXPECT_NEAR(oneByOne.list[lcfFractionMap(2, 4)]->valueAt(4, 4), j2 / (j1 + j2), 0.005);
        EXPECT_EQ(oneByOne.list[lcfFractionMap(1, 4)]->max(), -1e300); // unused row untouched
    }
}

// Inputs without a sound answer: every run ends, the maps stay readable.
TEST(LcfRunTest, StressInputsCompleteWithoutCrashing) {
    Stack data(3, 4);
    data.stack.updateDarkAreas(MuTConditions());
    const XafsSpectrum a = reference(0), b = reference(1), shortB = reference(1, 8960, 9000);
    struct Case {
        const char *name;
        QVector<LcfReference> refs;
        int hx, hy;
        QRect area;
    };
    const Case cases[] = {
        {"NaN pixel", {{&a, true}, {&b, true}}, 0, 0, QRect(0, 0, W, H)},
        {"no reference in use", {{&a, false}, {&b, false}}, 0, 0, QRect(0, 0, W, H)},
        {"identical references", {{&a, true}, {&a, true}}, 0, 0, QRect(0, 0, W, H)},
        {"short reference", {{&a, true}, {&shortB, true}}, 0, 0, QRect(0, 0, W, H)},
        {"one pixel", {{&a, true}, {&b, true}}, 0, 0, QRect(5, 5, 1, 1)},
        {"bins beyond the image", {{&a, true}, {&b, true}}, 20, 30, QRect(0, 0, W, H)},
    };
    for (const Case &c : cases) {
        const LcfRunSettings s = settings(data.stack, c.refs, LcfKind::LCF, c.hx, c.hy);
        const AnalyzeCond grid(W, H, c.hx, c.hy, c.area.x(), c.area.y(), c.area.width(),
                               c.area.height());
        Maps maps(lcfMapCount(2), grid);
        MapRun run;
        EXPECT_TRUE(run.run(grid, maps.list, lcfRunFactory(s), 2)) << c.name;
        EXPECT_FALSE(run.isRunning());
    }
    EXPECT_FALSE(lcfRunProblem(settings(data.stack, {{&a, true}}, LcfKind::LCF, 0, 0)).isEmpty());
    MeasurementStack empty;
    EXPECT_FALSE(
        lcfRunProblem(settings(empty, {{&a, true}, {&b, true}}, LcfKind::LCF, 0, 0)).isEmpty());
}

TEST(LcfRunTest, ResidualAbsorptionMapsAndRatio) {
    Stack data;
    data.stack.updateDarkAreas(MuTConditions());
    RaRunSettings s;
    s.stack = &data.stack;
    s.conditions.useI0 = true;
    s.energy = 9050;
    s.factor = 0.5;
    const AnalyzeCond grid(W, H, 0, 0, 0, 0, W, H);
    Maps maps(RaMapCount, grid);
    MapRun run;
    ASSERT_TRUE(run.run(grid, maps.list, raRunFactory(s), 2));
    // One bin by hand.
    BinSpectrumSettings b;
    b.conditions = s.conditions;
    Spectrum mut;
    XafsSpectrum x;
    buildBinSpectrum(data.stack, 7, 2, b, "Body-RaA", mut, x);
    const double dmut = x.post().lineValue(9050) - x.pre().lineValue(9050);
    EXPECT_EQ(maps.list[RaDMut]->valueAt(7, 2), dmut);
    EXPECT_EQ(maps.list[RaRest]->valueAt(7, 2), x.pre().lineValue(9050) - 0.5 * dmut);

    // Ratio cell by cell; a zero denominator gives 0.
    AnalyzeCond small(2, 1, 0, 0, 0, 0, 2, 1);
    Analyzed2DRes dm("a2d DMut"), rest("a2d Rest"), ratio("a2d Rati");
    dm.prepare(small);
    rest.prepare(small);
    dm.setData(0, 0, 0, 0, 0.0);
    rest.setData(0, 0, 0, 0, -1.0);
    dm.setData(1, 0, 0, 0, 2.0);
    rest.setData(1, 0, 0, 0, 1.0);
    ASSERT_TRUE(computeRaRatio(dm, rest, ratio));
    EXPECT_EQ(ratio.valueAt(0, 0), 0.0);
    EXPECT_EQ(ratio.valueAt(1, 0), 2.0 / 4.0);
    Analyzed2DRes none;
    EXPECT_FALSE(computeRaRatio(none, rest, ratio));
}

TEST(LcfRunTest, FourierDiagnosticWritesOneLinePerComponent) {
    Stack data;
    DebugLog::Capture log;
    const QVector<FourierDiagnosticLine> lines =
        execFourierA(data.stack, AnalyzeCond(W, H, 1, 1, 0, 0, W, H));
    ASSERT_EQ(lines.size(), data.stack.i1().size());
    EXPECT_TRUE(log.contains("2da FA 1:"));
    EXPECT_EQ(log.lines().filter(QRegularExpression("^Res ")).size(), lines.size());
    // Component 0 is the sum of the bin sums: perfectly correlated with the
    // first image only up to the mixture; its correlation is still high.
    EXPECT_GT(lines[0].correlation, 0.9);
    MeasurementStack empty;
    EXPECT_TRUE(execFourierA(empty, AnalyzeCond(W, H, 0, 0, 0, 0, W, H)).isEmpty());
}
