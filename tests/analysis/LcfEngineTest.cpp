#include "analysis/LcfEngine.h"
#include "analysis/AnalyzeProc.h"
#include "app/DebugLog.h"

#include "LcfTestData.h"

#include <QSignalSpy>
#include <cmath>
#include <gtest/gtest.h>

using namespace lcftest;

namespace {

struct Refs {
    XafsSpectrum a = reference(0), b = reference(1);
    // Rows as the panel holds them: the given use flags over a, b, a, b.
    QVector<LcfReference> rows(std::initializer_list<bool> use) const {
        QVector<LcfReference> r;
        int i = 0;
        for (bool u : use)
            r.append({i++ % 2 == 0 ? &a : &b, u});
        return r;
    }
};

// mu = 0.1 + 0.01 * (E - 9000) / 100 + jump * (0.3 r1 + 0.7 r2), r_j the
// references' double-normalised curves: the sample's own double-normalised
// curve is then 0.3 r1 + 0.7 r2.
XafsSpectrum mixture(const Refs &refs, double jump = 2.0) {
    return sample([&](double e) {
        const double r1 = refs.a.doubleNormalizedPreBase().valueAt(e);
        const double r2 = refs.b.doubleNormalizedPreBase().valueAt(e);
        return 0.1 + 1e-4 * (e - 9000) + jump * (0.3 * r1 + 0.7 * r2);
    });
}

} // namespace

TEST(LcfEngineTest, RecoversAMixtureAndItsAmountsWithZeroResidual) {
    Refs refs;
    const XafsSpectrum s = mixture(refs);
    ASSERT_GT(s.dMut(), 1.9);
    LcfEngine engine;
    LcfResult out;
    XafsSpectrum curve;
    // Range starts in the edge: below it the curve values are rounding noise
    // around 0, which the relative residual would magnify.
    ASSERT_TRUE(engine.analyze(LcfKind::LCF, s, refs.rows({true, true, false, false}), 8981, 30000,
                               SuggestElm(), &curve, out));
    ASSERT_EQ(out.fractions.size(), 2);
    EXPECT_NEAR(out.fractions[0], 0.3, 1e-9);
    EXPECT_NEAR(out.fractions[1], 0.7, 1e-9);
    EXPECT_NEAR(out.amounts[0], 0.3 * s.dMut(), 1e-9);
    EXPECT_NEAR(out.amounts[1], 0.7 * s.dMut(), 1e-9);
    EXPECT_LT(out.residual, 1e-20);
    EXPECT_TRUE(out.fitted);
    // The curve covers the references' common range, beyond [sE0, eE0].
    EXPECT_EQ(curve.name(), QStringLiteral("anal-LCF"));
    EXPECT_EQ(curve.xMin(), From);
    EXPECT_EQ(curve.xMax(), To);
}

TEST(LcfEngineTest, RangeNarrowsToReferencesAndRowDeltaEShiftsThem) {
    Refs refs;
    const XafsSpectrum s = mixture(refs);
    // A short first reference, and a second one stored 3 eV higher with dE 3.
    const XafsSpectrum shortA = reference(0, 8950, 9050);
    const XafsSpectrum shiftedB = reference(1, From, To, 3);
    // The same reference with the offset set after normalising (curves still
    // at the stored energies) must be looked up the same way.
    XafsSpectrum lateB;
    lateB.assign(curve(From + 3, To + 3, [](double e) { return refMu(1, e - 3); }), "ref", 1, 0,
                 SuggestElm());
    lateB.setShifted(true);
    lateB.setShift(3);
    for (const XafsSpectrum *b : {&shiftedB, static_cast<const XafsSpectrum *>(&lateB)}) {
        LcfEngine engine;
        LcfResult out;
        XafsSpectrum curve;
        const QVector<LcfReference> rows{{&shortA, true}, {b, true}};
        ASSERT_TRUE(engine.analyze(LcfKind::LCF, s, rows, 8981, 30000, SuggestElm(), &curve, out));
        EXPECT_NEAR(out.fractions[0], 0.3, 1e-6);
        EXPECT_NEAR(out.fractions[1], 0.7, 1e-6);
        EXPECT_EQ(curve.xMin(), 8950);
        EXPECT_EQ(curve.xMax(), 9050);
    }
}

TEST(LcfEngineTest, NoEdgeGivesZerosForEveryRowAndTheOldVariantStillFits) {
    Refs refs;
    LcfEngine engine;
    LcfResult out;
    // A fit first, so that a stale residual would show.
    ASSERT_TRUE(engine.analyze(LcfKind::LCF, sample([](double e) { return refMu(0, e); }),
                               refs.rows({true, false, true, false}), 0, 30000, SuggestElm(),
                               nullptr, out));
    ASSERT_GT(out.residual, 0);
    // An edge outside the suggested window: the normalisation reports dMut 0.
    SuggestElm far;
    far.use = true;
    far.edgeEnergy = 7000;
    const XafsSpectrum s =
        sample([&](double e) { return 0.1 + 2 * (0.3 * refMu(0, e) + 0.7 * refMu(1, e)); }, far);
    ASSERT_EQ(s.dMut(), 0);
    ASSERT_TRUE(engine.analyze(LcfKind::LCF, s, refs.rows({true, false, true, false}), 0, 30000,
                               far, nullptr, out));
    EXPECT_EQ(out.fractions, QVector<double>(4, 0.0));
    EXPECT_EQ(out.amounts, QVector<double>(4, 0.0));
    EXPECT_EQ(out.residual, 0);
    EXPECT_FALSE(out.fitted);

    ASSERT_TRUE(engine.analyze(LcfKind::OldLCF, s, refs.rows({true, false, true, false}), 0, 30000,
                               far, nullptr, out));
    ASSERT_EQ(out.fractions.size(), 2);
    EXPECT_NE(out.fractions[0], 0);
    EXPECT_EQ(out.amounts, QVector<double>(2, 0.0));
}

TEST(LcfEngineTest, MlcfGivesAbsoluteJumpsAndDropsNegativeOnes) {
    Refs refs;
    const auto q = [&](int j, double e) {
        return (j == 0 ? refs.a : refs.b).doubleNormalizedPostBase().valueAt(e);
    };
    struct Case {
        double c1, c2;
        QVector<double> amounts, fractions;
    };
    const Case cases[] = {
        {1.5, 0.5, {1.5, 0.5}, {0.75, 0.25}},
        // The negative coefficient reads 0; the other share is divided by the
        // sum that includes it.
        {1.2, -0.2, {1.2, 0}, {1.2, 0}},
        // No positive sum: no shares at all.
        {-0.5, 0.2, {0, 0.2}, {0, 0}},
    };
    for (const Case &c : cases) {
        const XafsSpectrum s = sample(
            [&](double e) { return 0.4 - 3e-4 * (e - 9000) + c.c1 * q(0, e) + c.c2 * q(1, e); });
        LcfEngine engine;
        LcfResult out;
        XafsSpectrum curve;
        ASSERT_TRUE(engine.analyze(LcfKind::MLCF, s, refs.rows({true, true}), 0, 30000,
                                   SuggestElm(), &curve, out));
        EXPECT_EQ(curve.name(), QStringLiteral("anal-MLCF"));
        for (int j = 0; j < 2; ++j) {
            EXPECT_NEAR(out.amounts[j], c.amounts[j], 1e-6) << c.c1;
            EXPECT_NEAR(out.fractions[j], c.fractions[j], 1e-6) << c.c1;
        }
    }
}

// Inputs with no sound answer: each gives the defined result or none, and
// never a crash.
TEST(LcfEngineTest, DegenerateInputs) {
    Refs refs;
    const XafsSpectrum s = mixture(refs);
    LcfEngine engine;
    LcfResult out;
    XafsSpectrum curve;
    // Nothing to analyse: no sample points, fewer than two rows.
    EXPECT_FALSE(engine.analyze(LcfKind::LCF, XafsSpectrum(), refs.rows({true, true}), 0, 30000,
                                SuggestElm(), &curve, out));
    EXPECT_FALSE(
        engine.analyze(LcfKind::LCF, s, refs.rows({true}), 0, 30000, SuggestElm(), &curve, out));
    // No reference in use: empty lists, a zero curve over the sample.
    ASSERT_TRUE(engine.analyze(LcfKind::LCF, s, refs.rows({false, false}), 0, 30000, SuggestElm(),
                               &curve, out));
    EXPECT_TRUE(out.fractions.isEmpty());
    EXPECT_EQ(curve.count(), s.count());
    EXPECT_EQ(curve.yMax(), 0);
    // Two identical references: a singular system, passed over.
    const QVector<LcfReference> same{{&refs.a, true}, {&refs.a, true}};
    for (LcfKind k : {LcfKind::LCF, LcfKind::MLCF})
        EXPECT_TRUE(engine.analyze(k, s, same, 0, 30000, SuggestElm(), &curve, out));
    // A loaded row without points does not count as in use.
    const XafsSpectrum empty;
    ASSERT_TRUE(engine.analyze(LcfKind::LCF, s, {{&refs.a, true}, {&empty, true}}, 8981, 30000,
                               SuggestElm(), nullptr, out));
    EXPECT_EQ(out.fractions.size(), 1);
    // NaN energies: logged once, no crash.
    DebugLog::Capture log;
    const XafsSpectrum nanSample = sample([](double e) { return e > 9000 ? NAN : 1.0; });
    Spectrum nanEnergies;
    nanEnergies.addPoint(8990, 1);
    nanEnergies.addPoint(NAN, 2);
    nanEnergies.addPoint(9010, 3);
    XafsSpectrum nanE;
    nanE.assign(nanEnergies, "nan", 1, 0, SuggestElm());
    EXPECT_TRUE(engine.analyze(LcfKind::OldLCF, nanSample, refs.rows({true, true}), 0, 30000,
                               SuggestElm(), &curve, out));
    EXPECT_TRUE(engine.analyze(LcfKind::OldLCF, nanE, refs.rows({true, true}), 0, 30000,
                               SuggestElm(), &curve, out));
    EXPECT_EQ(log.lines().count("nan EeV in XafsSpectrum::doubleNormalizedPreBase"), 1);
}

TEST(LcfEngineTest, CachedReferenceLookupsGiveTheSameBits) {
    Refs refs;
    LcfEngine plain, cached;
    cached.setReferencesFixed(true);
    const auto rows = refs.rows({true, true});
    for (double w : {0.2, 0.5, 0.9, 0.5}) {
        const XafsSpectrum s = sample([&](double e) { return w * refMu(0, e) + refMu(1, e); });
        for (LcfKind k : {LcfKind::LCF, LcfKind::MLCF}) {
            LcfResult a, b;
            ASSERT_TRUE(plain.analyze(k, s, rows, 0, 30000, SuggestElm(), nullptr, a));
            ASSERT_TRUE(cached.analyze(k, s, rows, 0, 30000, SuggestElm(), nullptr, b));
            EXPECT_EQ(a.fractions, b.fractions);
            EXPECT_EQ(a.amounts, b.amounts);
            EXPECT_EQ(a.residual, b.residual);
        }
    }
}

TEST(AnalyzeProcTest, SignalsFollowTheOutcome) {
    Refs refs;
    AnalyzeProc proc;
    QSignalSpy finished(&proc, &AnalyzeProc::finished);
    QSignalSpy newZ(&proc, &AnalyzeProc::newZ);
    XafsSpectrum res;
    SuggestElm far;
    far.use = true;
    far.edgeEnergy = 7000;
    struct Case {
        XafsSpectrum s;
        QVector<LcfReference> rows;
        bool mlcf;
        int finished, newZ;
    };
    const Case cases[] = {
        {mixture(refs), refs.rows({true, true}), false, 1, 1},
        {mixture(refs), refs.rows({true, true}), true, 1, 1},
        {sample([](double e) { return refMu(0, e); }, far), refs.rows({true, true}), false, 1, 0},
        {XafsSpectrum(), refs.rows({true, true}), false, 0, 0},
        {mixture(refs), refs.rows({true}), false, 0, 0},
    };
    for (const Case &c : cases) {
        finished.clear();
        newZ.clear();
        proc.analyzeSpectrum0(c.s, c.rows, &res, c.mlcf, 0, 30000, c.s.suggestion());
        EXPECT_EQ(finished.count(), c.finished);
        EXPECT_EQ(newZ.count(), c.newZ);
    }
    DebugLog::Capture log;
    proc.setLcfOld(true);
    proc.setLcfOld(false);
    EXPECT_TRUE(log.contains("lcf old flg true"));
    EXPECT_TRUE(log.contains("lcf old flg false"));
}
