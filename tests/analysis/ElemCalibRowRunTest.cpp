// The element and calibration runs a row at a time against the same runs bin
// by bin through each bin's spectrum: the maps must agree to the bit however
// a bin's mu*t, shift and normalisation are set up.
#include "analysis/Calibration.h"
#include "analysis/ElemAnalysis.h"

#include "LcfTestData.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace lcftest;

namespace {

constexpr int W = 11, H = 5;

// A mixture of the two references whose edge moves by up to 3 eV across the
// image, with noise that does not repeat from pixel to pixel and an edgeless
// dark corner (dark areas, bins without an edge). I0 is measured at coarser
// energies that miss both ends of the I1 series. `falling` appends the I1
// images from the highest energy down.
class ShiftingStack {
public:
    explicit ShiftingStack(bool falling) {
        for (int k = 0; k < Images; ++k) {
            const double e = falling ? 9040 - 1.5 * k : 8940 + 1.5 * k;
            stack.append(Series::I1, image(e, [e](int x, int y) {
                             if (x < 2 && y < 2)
                                 return float(30 + x + y);
                             const double s = 0.6 * (x - 5) + 0.3 * y;
                             const double f = (x + 0.5 * y) / (W + 2.5);
                             const double mu =
                                 0.2 + f * refMu(0, e - s) + (1 - f) * refMu(1, e - s) +
                                 0.004 * std::sin(12.9898 * x + 78.233 * y + 0.37 * e);
                             return float(9000 * std::exp(-mu) + 30);
                         }));
        }
        for (double e = 8945; e <= 9035; e += 6)
            stack.append(Series::I0, image(e, [e](int x, int y) {
                             return float(9000 + 20 * x - 15 * y + 0.1 * (e - 8940) + 30);
                         }));
        stack.takeGeometryFromFirstI1();
    }
    std::unique_ptr<TiffData> darkFrame() {
        return std::unique_ptr<TiffData>(
            image(0, [](int x, int y) { return float(20 + x % 3 + y); }));
    }
    MeasurementStack stack;

private:
    static constexpr int Images = 67;
    template <typename F> TiffData *image(double e, F value) {
        return images.image(W, H, e, value);
    }
    FloatImages images;
};

enum Setup {
    Dark = 1,       // dark frame and dark areas of both series
    Fluo = 2,       // fluorescence
    NoI0 = 4,       // mu*t against the bin's pixel count
    PartShift = 8,  // I1 images registered by fractions of a pixel
    ShiftMap = 16,  // shifts per pixel, a NaN and a far one among them
    Falling = 32,   // I1 energies falling
    Suggested = 64, // an edge suggestion whose jump test drops the dark corner
    FixedE0 = 128,
    Victoreen = 256,
};

struct Case {
    int setup;
    int hx, hy, step; // step -1: bins side by side
};

MuTConditions prepare(ShiftingStack &data, const Case &c) {
    MeasurementStack &stack = data.stack;
    for (int k = 0; k < stack.i1().size(); ++k)
        stack.setImageShift(Series::I1, k, 0, c.setup & PartShift ? 0.3 + 0.01 * k : 0);
    MuTConditions m;
    m.hx = c.hx;
    m.hy = c.hy;
    m.useI0 = !(c.setup & NoI0);
    m.fluo = c.setup & Fluo;
    m.darkExpMs = c.setup & Dark ? 50 : 0;
    m.i1ExpMs = m.i0ExpMs = 100;
    if (c.setup & Dark) {
        stack.setDark(data.darkFrame());
        stack.setDarkArea(Series::I1, QRectF(0, 0, 2, 2), 100, 50);
        stack.setDarkArea(Series::I0, QRectF(W - 2, 0, 2, 2), 100, 50);
    } else {
        stack.clearDark();
        stack.clearDarkArea(Series::I1);
        stack.clearDarkArea(Series::I0);
    }
    stack.updateDarkAreas(m);
    return m;
}

AnalyzeCond gridOf(const Case &c) {
    return AnalyzeCond(W, H, c.hx, c.hy, 0, 0, W, H, c.step, c.step);
}

} // namespace

TEST(ElemCalibRowRunTest, ElementRowRunGivesTheBitsOfTheBinByBinRun) {
    ShiftingStack rising(false), falling(true);
    std::vector<double> shifts(W * H);
    for (int i = 0; i < W * H; ++i)
        shifts[size_t(i)] = 0.7 * (i % 7) - 2;
    shifts[7] = std::nan("");
    shifts[12] = 45;
    const Case cases[] = {
        {0, 0, 0, 1},
        {Dark | ShiftMap, 1, 0, -1},
        {Fluo | PartShift, 0, 1, 2},
        {NoI0 | ShiftMap | PartShift, 1, 1, -1},
        {Falling | ShiftMap, 0, 0, 1},
    };
    for (const Case &c : cases) {
        ShiftingStack &data = c.setup & Falling ? falling : rising;
        auto setup = std::make_shared<ElemRunSetup>();
        setup->stack = &data.stack;
        setup->mut = prepare(data, c);
        if (c.setup & ShiftMap)
            setup->shift = {shifts.data(), W, H, 0, 0};
        // An edge, a jump too small to count, and a reversed window with a
        // reversed ROI that lets every jump through.
        setup->conds = {{8985, 6, 8995, 9020, 0.05, false},
                        {8960, 10, 8950, 8970, 0.1, false},
                        {8988, -4, 9030, 9000, -1, true}};
        setup->bg = {0.5, 0, 7, -3, -4};
        setup->mainT = 0;
        setup->stdRatios = {1, 0.5, 0.2};
        setup->use = {1, 1, 1};
        setup->logBins = false;
        const AnalyzeCond grid = gridOf(c);
        const int count = elemMapCount(3);
        Maps reference(count, grid);
        ASSERT_TRUE(MapRun().run(grid, reference.list, elemBinByBinFactory(setup), 1));
        for (int threads : {1, 2}) {
            Maps rows(count, grid);
            ASSERT_TRUE(MapRun().run(grid, rows.list, elemTaskFactory(setup), threads));
            for (int k = 0; k < count; ++k)
                EXPECT_TRUE(sameMap(*rows.list[k], *reference.list[k]))
                    << "setup " << c.setup << ", map " << k << ", threads " << threads;
        }
        // The first element finds its edge somewhere.
        EXPECT_GT(reference.list[elemMapIndex(0, ElemDMut, 3)]->max(), 0.05) << c.setup;
    }
}

TEST(ElemCalibRowRunTest, CalibrationRowRunGivesTheBitsOfTheBinByBinRun) {
    ShiftingStack rising(false), falling(true);
    SuggestElm edge;
    edge.use = true;
    edge.edgeEnergy = 8986;
    edge.jumpSigma = 3;
    edge.fixedEdgeEnergy = 8987;
    const XafsSpectrum standard = reference(0, 8900, 9100, 1.5);
    const Case cases[] = {
        {0, 0, 0, 1},
        {Dark | Suggested, 1, 0, -1},
        {Fluo | PartShift | Victoreen, 0, 1, 2},
        {Suggested | FixedE0, 0, 0, 1},
        {NoI0 | Falling | Suggested, 0, 0, 1},
    };
    for (CalibMethod method : {CalibMethod::DMidx, CalibMethod::InnerP}) {
        for (const Case &c : cases) {
            ShiftingStack &data = c.setup & Falling ? falling : rising;
            CalibConditions cond;
            cond.mut = prepare(data, c);
            cond.method = method;
            cond.targetVictoreen = c.setup & Victoreen;
            if (c.setup & Suggested)
                cond.suggestion = edge;
            cond.suggestion.fixedEdge = c.setup & FixedE0;
            const AnalyzeCond grid = gridOf(c);
            Maps reference(1, grid);
            CalibShifts referenceShifts;
            referenceShifts.reset(grid);
            ASSERT_TRUE(
                MapRun().run(grid, reference.list,
                             calibBinByBinFactory(data.stack, standard, cond, referenceShifts), 1));
            for (int threads : {1, 2}) {
                Maps rows(1, grid);
                CalibShifts rowShifts;
                rowShifts.reset(grid);
                ASSERT_TRUE(MapRun().run(grid, rows.list,
                                         calibTaskFactory(data.stack, standard, cond, rowShifts),
                                         threads));
                const std::vector<double> &a = rowShifts.values(), &b = referenceShifts.values();
                EXPECT_TRUE(sameMap(*rows.list[0], *reference.list[0]) && a.size() == b.size() &&
                            std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0)
                    << "method " << int(method) << ", setup " << c.setup << ", threads " << threads;
            }
            // The edge moves across the image (where an edge is looked for).
            if (!(c.setup & (Fluo | Falling | FixedE0)))
                EXPECT_GT(reference.list[0]->max() - reference.list[0]->min(), 1.0) << c.setup;
        }
    }
}
