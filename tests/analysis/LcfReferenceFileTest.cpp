// References normalised like the sample, on real Fe K spectra: the edge the
// suggestion finds, the checks that keep a bad reference out of the fit, and
// the LCF answers a user checks first (a pure pixel, a known mixture).
#include "analysis/LcfReferenceFile.h"
#include "analysis/LcfEngine.h"

#include "support/FeReferences.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr double StackFrom = 7000, StackTo = 7300; // eV, the image stack's range

SuggestElm feK(double edgeEnergy = 7112, double window = 20) {
    SuggestElm s;
    s.use = true;
    s.Z = 26;
    s.edgeEnergy = edgeEnergy;
    s.dPreE = -window;
    s.dPostS = window;
    return s;
}

XafsSpectrum load(const QString &file, const SuggestElm &s) {
    LcfReferenceSource src{file, 0, false, 0, StackFrom, StackTo};
    XafsSpectrum x;
    QString why;
    EXPECT_TRUE(loadLcfReference(src, s, x, &why)) << why.toStdString();
    return x;
}

// A bin spectrum as the stack gives it: mu every 2 eV over the stack's range,
// normalised with the suggestion as the sample path does.
XafsSpectrum pixel(const std::function<double(double)> &mu, const SuggestElm &s) {
    Spectrum grid;
    for (double e = StackFrom; e <= StackTo; e += 2)
        grid.addPoint(e, mu(e));
    XafsSpectrum x;
    x.assign(grid, QStringLiteral("pixel"), 1, 0, s);
    return x;
}

} // namespace

// The fault: the rows ignored the suggestion. The foil then has its edge where
// the suggestion puts it, and the problem check passes it.
TEST(LcfReferenceFileTest, RealFoilHasItsEdgeWithTheSuggestion) {
    const XafsSpectrum foil = load(FeReferences::foil(), feK());
    EXPECT_GT(foil.dMut(), 0.5);
    EXPECT_NEAR(foil.midx(), 7112, LcfReferenceEdgeTolerance);
    EXPECT_EQ(lcfReferenceProblem(foil, feK()), QString());
    EXPECT_GE(foil.xMin(), StackFrom);
    EXPECT_LE(foil.xMax(), StackTo);

    // Without a suggestion: every point, the default windows, exactly the
    // former function's result.
    XafsSpectrum plain, former;
    ASSERT_TRUE(loadLcfReference({FeReferences::foil(), 2.5, true, 0, StackFrom, StackTo},
                                 SuggestElm(), plain, nullptr));
    ASSERT_TRUE(loadLcfReference(FeReferences::foil(), 2.5, true, former));
    EXPECT_EQ(plain.count(), 348);
    EXPECT_EQ(plain.doubleNormalizedPreBase().points(), former.doubleNormalizedPreBase().points());
    EXPECT_EQ(plain.dMut(), former.dMut());
    EXPECT_EQ(plain.eShiftValue(), 2.5);
}

TEST(LcfReferenceFileTest, ProblemsKeepAReferenceOutOfTheFit) {
    const struct {
        const char *what;
        SuggestElm suggestion;
        const char *problem; // "" when fine
    } cases[] = {
        {"Fe K", feK(), ""},
        {"another element's edge", feK(8979), "not positive"},
        {"edge beyond 30 eV", feK(7150, 60), "more than 30 eV"},
    };
    for (const auto &c : cases) {
        const XafsSpectrum foil = load(FeReferences::foil(), c.suggestion);
        const QString problem = lcfReferenceProblem(foil, c.suggestion);
        if (*c.problem == 0)
            EXPECT_TRUE(problem.isEmpty()) << c.what << ": " << problem.toStdString();
        else
            EXPECT_TRUE(problem.contains(c.problem)) << c.what << ": " << problem.toStdString();
    }
    EXPECT_FALSE(lcfReferenceProblem(XafsSpectrum(), SuggestElm()).isEmpty());

    // No point within the sample's range: the load fails and keeps out.
    XafsSpectrum out = load(FeReferences::foil(), feK());
    const int before = out.count();
    QString why;
    EXPECT_FALSE(
        loadLcfReference({FeReferences::foil(), 0, false, 0, 9000, 9300}, feK(), out, &why));
    EXPECT_TRUE(why.contains("energy range")) << why.toStdString();
    EXPECT_EQ(out.count(), before);
}

// Pixels made of the references' own mu on the stack's grid, weighted per unit
// edge jump: the fit gives back the weights.
TEST(LcfReferenceFileTest, PurePixelAndMixtureFitWithTheRealReferences) {
    const SuggestElm s = feK();
    const XafsSpectrum foil = load(FeReferences::foil(), s);
    const XafsSpectrum feO = load(FeReferences::feO(), s);
    const QVector<LcfReference> rows{{&foil, true}, {&feO, true}};
    const struct {
        double metal;
        double tolerance;
    } cases[] = {{1.0, 0.02}, {0.3, 0.03}};
    for (const auto &c : cases) {
        const XafsSpectrum p = pixel(
            [&](double e) {
                return 1.5 * (c.metal * foil.valueAt(e) / foil.dMut() +
                              (1 - c.metal) * feO.valueAt(e) / feO.dMut());
            },
            s);
        LcfEngine engine;
        LcfResult out;
        ASSERT_TRUE(engine.analyze(LcfKind::LCF, p, rows, 0, 30000, s, nullptr, out));
        ASSERT_TRUE(out.fitted);
        EXPECT_NEAR(out.fractions[0], c.metal, c.tolerance) << c.metal;
        EXPECT_NEAR(out.fractions[1], 1 - c.metal, c.tolerance) << c.metal;
    }
}
