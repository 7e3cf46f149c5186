#include "spectrum/XafsSpectrum.h"
#include "SyntheticEdge.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

SuggestElm copperK(double jumpSigma = 1) {
    SuggestElm s;
    s.use = true;
    s.Z = 29;
    s.edge = 0;
    s.edgeEnergy = 8984;
    s.dPreE = -20;
    s.dPostS = 20;
    s.jumpSigma = jumpSigma;
    return s;
}

void expectSameCurve(const Spectrum &a, const Spectrum &b) {
    ASSERT_EQ(a.count(), b.count());
    for (int i = 0; i < a.count(); ++i) {
        EXPECT_EQ(a.x(i), b.x(i)) << i;
        if (std::isnan(a.y(i)))
            EXPECT_TRUE(std::isnan(b.y(i))) << i;
        else
            EXPECT_EQ(a.y(i), b.y(i)) << i;
    }
}

void expectSameNormalisation(const XafsSpectrum &a, const XafsSpectrum &b) {
    EXPECT_EQ(a.midx(), b.midx());
    EXPECT_EQ(a.dMut(), b.dMut());
    EXPECT_EQ(a.pre().c0(), b.pre().c0());
    EXPECT_EQ(a.post().c0(), b.post().c0());
    EXPECT_EQ(a.pre().bridged(), b.pre().bridged());
    EXPECT_EQ(a.post().bridged(), b.post().bridged());
    EXPECT_EQ(a.pre().count(), b.pre().count());
    EXPECT_EQ(a.post().count(), b.post().count());
    expectSameCurve(a.normalized(), b.normalized());
    expectSameCurve(a.doubleNormalizedPreBase(), b.doubleNormalizedPreBase());
}

} // namespace

TEST(XafsSpectrumTest, DefaultsAndNameAndSuggestion) {
    XafsSpectrum x;
    EXPECT_EQ(x.name(), "No Name");
    EXPECT_EQ(x.plainText(), 1);
    EXPECT_EQ(x.simple(), 1);
    EXPECT_EQ(x.preStart(), -1000);
    EXPECT_EQ(x.preEnd(), -10);
    EXPECT_EQ(x.postStart(), 10);
    EXPECT_EQ(x.postEnd(), 1000);
    EXPECT_FALSE(x.suggestion().use);
    EXPECT_EQ(x.suggestion().edgeEnergy, 8984.36029);
    x.setEShiftValue(3);
    x.setSimple(0);
    x.setNameAndSuggestion("ref", copperK());
    EXPECT_EQ(x.name(), "ref");
    EXPECT_EQ(x.preEnd(), -20);
    EXPECT_EQ(x.postStart(), 20);
    EXPECT_EQ(x.simple(), 1);
    EXPECT_EQ(x.eShiftValue(), 0);
}

TEST(XafsSpectrumTest, StraightBackgroundsPutTheEdgeWherePhysicsDoes) {
    SyntheticEdge edge;
    const XafsSpectrum x(edge.spectrum(), "cu", 1, 0, SuggestElm());
    EXPECT_NEAR(x.midx(), edge.edge, 3.5); // one grid step is 3 eV
    EXPECT_NEAR(x.dMut(), edge.jump, 0.1);
    ASSERT_EQ(x.normalized().count(), 200);
    // Well below the edge the normalised curve sits at 0, well above at 1.
    EXPECT_NEAR(x.normalized().valueAt(8850), 0.0, 0.05);
    EXPECT_NEAR(x.normalized().valueAt(9300), 1.0, 0.05);
    EXPECT_NEAR(x.doubleNormalizedPreBase().valueAt(8850), 0.0, 0.05);
    EXPECT_NEAR(x.doubleNormalizedPreBase().valueAt(9300), 1.0, 0.05);
    // The white line stands above the step.
    EXPECT_GT(x.normalized().valueAt(8989), 1.2);
    // Derived curves are related by definition.
    for (int i = 0; i < x.count(); i += 17) {
        EXPECT_NEAR(x.normalized().y(i), x.normalizedPostBase().y(i) + 1, 1e-12);
        EXPECT_EQ(x.normalized().x(i), x.x(i));
    }
}

TEST(XafsSpectrumTest, VictoreenBackgroundsFollowTheCurvedBackground) {
    SyntheticEdge edge;
    edge.vicC = 3;
    edge.vicD = -0.5;  // a strongly curved background
    edge.width = 0.05; // a sharp step, so that its tail barely reaches the fit
    const XafsSpectrum x(edge.spectrum(), "cu", 0, 0, copperK());
    EXPECT_EQ(x.pre().simple(), 0);
    EXPECT_EQ(x.pre().ok(), 1);
    EXPECT_LT(x.pre().sigma(), 1e-3);
    for (double e : {8800.0, 8900.0, 8950.0})
        EXPECT_NEAR(x.pre().lineValue(e), edge.background(e), 2e-3);
    EXPECT_NEAR(x.midx(), edge.edge, 3.5);
    EXPECT_NEAR(x.dMut(), edge.jump, 0.1);
    EXPECT_FALSE(x.pre().bridged()); // no bridges for the Victoreen form
    // Straight lines cannot follow the curvature.
    const XafsSpectrum straight(edge.spectrum(), "cu", 1, 0, copperK());
    EXPECT_GT(straight.pre().sigma(), 10 * x.pre().sigma());
}

TEST(XafsSpectrumTest, SuggestionConfinesTheSearchAndRejectsSmallJumps) {
    // Two edges: a big one at 8900 and the suggested one at 8984.
    SyntheticEdge edge;
    Spectrum s;
    for (int i = 0; i < edge.points; ++i) {
        const double e = edge.from + 3.0 * i;
        const double other = 3 * (0.5 + std::atan((e - 8900) / 1.5) / M_PI);
        s.addPoint(e, edge.value(e, i) + other);
    }
    const XafsSpectrum free(s, "two edges", 1, 0, SuggestElm());
    EXPECT_NEAR(free.midx(), 8900, 3.5);
    const XafsSpectrum suggested(s, "two edges", 1, 0, copperK());
    EXPECT_NEAR(suggested.midx(), 8984, 3.5);
    EXPECT_NEAR(suggested.dMut(), 1, 0.2);
    EXPECT_NEAR(free.dMut(), 3, 0.6);

    // A jump far below the fit residuals: no edge.
    SyntheticEdge weak;
    weak.jump = 0.01;
    weak.whiteLine = 0;
    weak.noise = 0.2;
    const XafsSpectrum none(weak.spectrum(), "weak", 1, 0, copperK());
    EXPECT_EQ(none.midx(), 8984);
    EXPECT_EQ(none.dMut(), 0);
    EXPECT_EQ(none.normalized().count(), 200); // the curves stay as computed

    // A clean edge passes the jump test, unless the threshold is absurd.
    const XafsSpectrum clean(edge.spectrum(), "clean", 1, 0, copperK(1));
    EXPECT_NEAR(clean.dMut(), 1, 0.1);
    const XafsSpectrum strict(edge.spectrum(), "clean", 1, 0, copperK(1e6));
    EXPECT_EQ(strict.midx(), 8984);
    EXPECT_EQ(strict.dMut(), 0);
}

TEST(XafsSpectrumTest, SuggestedWindowBelowTheDataUsesTheFirstPoint) {
    SyntheticEdge edge;
    SuggestElm s = copperK();
    s.edgeEnergy = 7000; // the whole spectrum lies above the window
    const XafsSpectrum x(edge.spectrum(), "", 1, 0, s);
    EXPECT_EQ(x.pre().end(), edge.from - 20); // estimate at the first point
    EXPECT_EQ(x.midx(), 7000);                // outside the window: rejected
    EXPECT_EQ(x.dMut(), 0);
}

TEST(XafsSpectrumTest, SeparationGuardPullsCrossingLinesApart) {
    // Level 1, a dip, then level 0.5: the steepest rise of the smoothed curve
    // is the recovery from the dip at 1031, where the post-edge line lies
    // below the pre-edge line.
    Spectrum s;
    for (int i = 0; i < 60; ++i)
        s.addPoint(1000 + i, i < 29 ? 1.0 : i == 29 ? 0.0 : 0.5);
    const XafsSpectrum x(s, "dip", 1, 0, SuggestElm());
    VictLine pre, post;
    pre.fit(s, 1000, 1021, 1);
    post.fit(s, 1041, 1059, 1);
    EXPECT_EQ(x.pre().end(), 1021);
    EXPECT_EQ(x.post().start(), 1041);
    const double delta = post.lineValue(1031) - pre.lineValue(1031);
    ASSERT_NEAR(delta, -0.5, 1e-9);
    EXPECT_EQ(x.pre().c0(), pre.c0() - 0.55 * delta);
    EXPECT_EQ(x.post().c0(), post.c0() + 0.55 * delta);
    // Each moved by 0.55·|δ|, away from each other: the gap grows to 2.1·δ.
    EXPECT_NEAR(x.post().lineValue(1031) - x.pre().lineValue(1031), 2.1 * delta, 1e-9);
}

namespace {

// Points every 3 eV from 1000 eV with values that are multiples of 5, so that
// the five-point means and their differences are exact integers.
Spectrum staircase(int n, std::initializer_list<int> stepAt) {
    Spectrum s;
    for (int i = 0; i < n; ++i) {
        int level = 0;
        for (int at : stepAt)
            level += i >= at ? 5 : 0;
        s.addPoint(1000 + 3 * i, level);
    }
    return s;
}

} // namespace

TEST(XafsSpectrumTest, EqualRisesResolveToTheFirstAndWindowEndsAreStrict) {
    // Two equal steps (at points 10 and 30): the smoothed curve rises by 1 at
    // k = 7..11 and 27..31; the first estimate is E_7 = 1021.
    const XafsSpectrum free(staircase(40, {10, 30}), "stairs", 1, 0, SuggestElm());
    EXPECT_EQ(free.pre().end(), 1021 - 10);
    EXPECT_EQ(free.post().start(), 1021 + 10);

    // The search window: the pair midpoint (E_27 + E_28)/2 = 1082.5 equals
    // Es + dPreE and (E_28 + E_29)/2 = 1085.5 equals Es + dPostS. Only strictly
    // greater midpoints count, so d = 28 and e = 29: the estimate is E_28.
    SuggestElm s;
    s.use = true;
    s.edgeEnergy = 1090;
    s.dPreE = -7.5;
    s.dPostS = -4.5;
    const XafsSpectrum windowed(staircase(40, {10, 30}), "stairs", 1, 0, s);
    EXPECT_EQ(windowed.pre().end(), 1084 - 7.5);
    EXPECT_EQ(windowed.post().start(), 1084 - 4.5);

    // One step from 0 to 5 at point 10 between flat lines at 0 and 5: the
    // mid-line 2.5 lies strictly between smoothed[i-1] and smoothed[i+1] for
    // i = 9 (1 < 2.5 < 3) and i = 10 (2 < 2.5 < 4), both rising by 2: the
    // first is the edge.
    const XafsSpectrum step(staircase(40, {10}), "step", 1, 0, SuggestElm());
    EXPECT_EQ(step.midx(), 1000 + 3 * 9);
    EXPECT_NEAR(step.dMut(), 5, 1e-9);
}

TEST(XafsSpectrumTest, FallingSpectrumTakesItsEdgeAtTheFirstPoint) {
    // The smoothed curve never rises: the first estimate is E_0, and no point
    // sees the curve cross the mid-line upwards, so midx is E_0 as well.
    Spectrum s;
    for (int i = 0; i < 30; ++i)
        s.addPoint(2000 + 2 * i, 10 - 0.01 * i);
    const XafsSpectrum x(s, "falling", 1, 0, SuggestElm());
    EXPECT_EQ(x.pre().end(), 2000 - 10);
    EXPECT_EQ(x.post().start(), 2000 + 10);
    EXPECT_EQ(x.midx(), 2000);
    EXPECT_EQ(x.dMut(), x.post().lineValue(2000) - x.pre().lineValue(2000));
}

TEST(XafsSpectrumTest, TinySpectra) {
    Spectrum one;
    one.addPoint(5, 1);
    const XafsSpectrum a(one, "one", 1, 0, copperK());
    EXPECT_EQ(a.normalized().count(), 1);

    Spectrum two;
    two.addPoint(100, 1);
    two.addPoint(200, 3);
    const XafsSpectrum b(two, "two", 1, 0, SuggestElm());
    EXPECT_EQ(b.pre().ok(), 0);
    EXPECT_EQ(b.midx(), 0.0);
    EXPECT_EQ(b.dMut(), 0.0); // untouched lines are zero
    EXPECT_EQ(b.normalized().count(), 2);
    EXPECT_TRUE(std::isnan(b.doubleNormalizedPreBase().y(0)) ||
                std::isinf(b.doubleNormalizedPreBase().y(0)));

    const XafsSpectrum empty(Spectrum(), "empty", 1, 0, copperK());
    EXPECT_EQ(empty.midx(), 0.0);
    EXPECT_EQ(empty.normalized().count(), 0);
}

TEST(XafsSpectrumTest, RenormalisingGivesTheSameResultAndReusesStorage) {
    SyntheticEdge edge;
    edge.vicC = 3; // curved background: straight lines get bridged
    const Spectrum s = edge.spectrum();
    XafsSpectrum x(s, "a", 1, 0, SuggestElm());
    const XafsSpectrum first = x;
    x.normalize(1);
    expectSameNormalisation(x, first);
    EXPECT_LE(x.pre().count(), VictLine::bridgeSamples);
    EXPECT_LE(x.post().count(), VictLine::bridgeSamples);

    // Straight -> Victoreen -> straight lands where it started, and the
    // Victoreen run is the one a fresh spectrum gets.
    x.normalize(0);
    const XafsSpectrum vic(s, "a", 0, 0, SuggestElm());
    expectSameNormalisation(x, vic);
    x.normalize(1);
    expectSameNormalisation(x, first);

    const QPointF *storage = x.normalized().points().constData();
    x.normalize(1);
    EXPECT_EQ(x.normalized().points().constData(), storage);
}

TEST(XafsSpectrumTest, AssignEqualsConstructingAnew) {
    SyntheticEdge edge;
    XafsSpectrum reused(edge.spectrum(), "a", 0, 2, copperK());
    SyntheticEdge other;
    other.edge = 9010;
    other.jump = 2;
    reused.assign(other.spectrum(), "b", 1, 0, SuggestElm());
    const XafsSpectrum fresh(other.spectrum(), "b", 1, 0, SuggestElm());
    expectSameNormalisation(reused, fresh);
    EXPECT_EQ(reused.name(), "b");
    EXPECT_EQ(reused.eShiftValue(), 0);

    reused.assign(Spectrum(), "c", 1, 0, SuggestElm());
    EXPECT_EQ(reused.normalized().count(), 0);
    EXPECT_EQ(reused.midx(), 0);
}

TEST(XafsSpectrumTest, ShiftedSpectrumNormalisesAtEffectiveEnergies) {
    SyntheticEdge edge;
    Spectrum s = edge.spectrum();
    s.setShifted(true);
    s.setShift(-10); // effective energies 10 eV higher
    const XafsSpectrum x(s, "shifted", 1, 0, SuggestElm());
    const XafsSpectrum plain(edge.spectrum(), "plain", 1, 0, SuggestElm());
    EXPECT_NEAR(x.midx(), plain.midx() + 10, 1e-9);
    EXPECT_EQ(x.normalized().x(0), edge.from + 10);
    EXPECT_FALSE(x.normalized().shifted());
}
