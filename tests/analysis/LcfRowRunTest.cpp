// The LCF run a row at a time against the same run bin by bin through each
// bin's XafsSpectrum: the maps must agree to the bit, for every way a bin's
// mu*t, normalisation and fit can be set up.
#include "analysis/LcfRun.h"
#include "imageio/TiffData.h"

#include "LcfTestData.h"

#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <vector>

using namespace lcftest;

namespace {

constexpr int W = 13, H = 5;

// A mixture of the two references drifting across the image, with a noise
// that does not repeat from pixel to pixel, and dark corners for dark areas. I0 is measured at
// coarser energies that miss both ends of the I1 series: those I1 images drop out.
class NoisyStack {
public:
    NoisyStack() {
        for (double e = From; e <= To; e += 2)
            stack.append(Series::I1, image(e, [e](int x, int y) {
                             if (x < 2 && y < 2) // the dark corner of the I1 images
                                 return float(30 + x + y);
                             const double f = (x + 0.5 * y) / (W + 2.5);
                             const double mu =
                                 0.2 + f * refMu(0, e) + (1 - f) * refMu(1, e) + noise(x, y, e);
                             return float(9000 * std::exp(-mu) + 30);
                         }));
        for (double e = From + 3; e <= To - 3; e += 7)
            stack.append(Series::I0, image(e, [e](int x, int y) {
                             if (x >= W - 2 && y < 2) // and of the I0 images
                                 return float(30 + y);
                             return float(9000 + 20 * x - 15 * y + 0.1 * (e - From) + 30);
                         }));
        stack.takeGeometryFromFirstI1();
    }
    std::unique_ptr<TiffData> darkFrame() {
        return std::unique_ptr<TiffData>(
            image(0, [](int x, int y) { return float(20 + x % 3 + y); }));
    }
    static double noise(int x, int y, double e) {
        return 0.004 * std::sin(12.9898 * x + 78.233 * y + 0.37 * e);
    }
    MeasurementStack stack;

private:
    template <typename F> TiffData *image(double e, F value) {
        return images.image(W, H, e, value);
    }
    FloatImages images;
};

enum Setup {
    Dark = 1,        // dark frame
    DarkAreas = 2,   // dark areas of both series
    Fluo = 4,        // fluorescence
    WholeShift = 8,  // I1 images registered by whole pixels
    PartShift = 16,  // ... by fractions of a pixel
    ShiftMap = 32,   // calibration shifts per pixel
    FixedE0 = 64,    // fixed-edge normalisation
    Victoreen = 128, // Victoreen background lines
    NonNeg = 256,
    SumToOne = 512,
    Quality = 1024,
};

} // namespace

TEST(LcfRowRunTest, RowRunGivesTheBitsOfTheBinByBinRun) {
    NoisyStack data;
    MeasurementStack &stack = data.stack;
    const XafsSpectrum a = reference(0), b = reference(1, From, To, 1.5);
    const QVector<LcfReference> refs{{&a, true}, {&b, false}, {&b, true}};
    std::vector<double> shifts(W * H);
    for (int i = 0; i < W * H; ++i)
        shifts[size_t(i)] = 0.25 * (i % 5) - 0.5;
    SuggestElm feK;
    feK.use = true;
    feK.edgeEnergy = 8986;
    feK.jumpSigma = 3;
    struct Case {
        int setup;
        LcfKind kind;
        int hx, hy, step; // step -1: bins side by side (overlapping bins
                          // overwrite each other's cells in thread order)
    };
    const Case cases[] = {
        {0, LcfKind::LCF, 0, 0, 2},
        {Dark | DarkAreas | NonNeg | SumToOne | Quality, LcfKind::LCF, 1, 0, -1},
        {Fluo | Quality, LcfKind::MLCF, 2, 1, -1},
        {WholeShift | DarkAreas, LcfKind::OldLCF, 0, 1, -1},
        {PartShift | ShiftMap | Quality, LcfKind::LCF, 1, 1, -1},
        {FixedE0 | Victoreen | NonNeg, LcfKind::MLCF, 0, 0, 1},
        {FixedE0 | SumToOne | Quality, LcfKind::LCF, 0, 0, 1},
    };
    for (const Case &c : cases) {
        for (int k = 0; k < stack.i1().size(); ++k)
            stack.setImageShift(Series::I1, k, c.setup & WholeShift ? k % 3 - 1 : 0,
                                c.setup & PartShift ? 0.3 + 0.01 * k : 0);
        if (c.setup & DarkAreas) {
            stack.setDarkArea(Series::I1, QRectF(0, 0, 2, 2), 100, 50);
            stack.setDarkArea(Series::I0, QRectF(W - 2, 0, 2, 2), 100, 50);
        } else {
            stack.clearDarkArea(Series::I1);
            stack.clearDarkArea(Series::I0);
        }
        LcfRunSettings s;
        s.stack = &stack;
        s.conditions.hx = c.hx;
        s.conditions.hy = c.hy;
        s.conditions.useI0 = true;
        s.conditions.fluo = c.setup & Fluo;
        s.conditions.darkExpMs = c.setup & Dark ? 50 : 0;
        s.conditions.i1ExpMs = s.conditions.i0ExpMs = 100;
        if (c.setup & Dark)
            stack.setDark(data.darkFrame());
        else
            stack.clearDark();
        stack.updateDarkAreas(s.conditions);
        if (c.setup & ShiftMap)
            s.shiftMap = {shifts.data(), W, H, 0, 0};
        s.simpleBackground = !(c.setup & Victoreen);
        s.suggestion = feK;
        s.suggestion.fixedEdge = c.setup & FixedE0;
        s.suggestion.fixedEdgeEnergy = 8987;
        s.refs = refs;
        s.kind = c.kind;
        s.sE0 = 8940;
        s.eE0 = 9080;
        s.options = {bool(c.setup & NonNeg), bool(c.setup & SumToOne), bool(c.setup & Quality)};
        ASSERT_TRUE(lcfRunProblem(s).isEmpty());
        const AnalyzeCond grid(W, H, c.hx, c.hy, 0, 0, W, H, c.step, c.step);
        const int count = lcfMapCount(refs.size(), s.options.quality);
        Maps reference(count, grid);
        ASSERT_TRUE(MapRun().run(grid, reference.list, lcfBinByBinFactory(s), 1));
        for (int threads : {1, 2}) {
            Maps rows(count, grid);
            ASSERT_TRUE(MapRun().run(grid, rows.list, lcfRunFactory(s), threads));
            for (int k = 0; k < count; ++k)
                EXPECT_TRUE(sameMap(*rows.list[k], *reference.list[k]))
                    << "setup " << c.setup << ", map " << k << ", threads " << threads;
        }
        // The case fits something: not every bin without an edge.
        EXPECT_GT(reference.list[lcfResidualMap(refs.size())]->max(), 0.0) << c.setup;
    }
}

// The residual's four running sums stay within (n - 1) units, relative, of
// the sum in one chain for non-negative terms.
TEST(LcfRowRun, FourLaneSumsOfNonNegativeTermsStayWithinTheBound) {
    std::mt19937_64 random(3);
    std::exponential_distribution<double> term(1.0);
    for (int n : {1, 3, 4, 7, 161}) {
        std::vector<double> t(static_cast<size_t>(n));
        double chain = 0;
        for (double &x : t)
            chain += (x = term(random) * 1e-3);
        EXPECT_NEAR(sumInFourLanes(t.data(), n), chain, chain * (n - 1) * 2.3e-16) << n;
    }
}
