#pragma once
// The steps of the XAFS normalisation, over any points with the read interface
// of Spectrum (count, effectiveX, y): XafsSpectrum runs them on its own points
// and keeps four derived curves; RunNormalization runs them on a map run's
// arrays and keeps only the curve the fit reads. One code path, so both give
// the same bits.
#include "spectrum/SuggestElm.h"
#include "spectrum/VictLine.h"

#include <QVector>

namespace EdgeNormalization {

// The energy of the steepest rise of the smoothed curve sm inside the search
// window of the suggestion (everywhere without one).
template <typename Points>
double firstEdgeEstimate(const Points &p, const double *sm, const SuggestElm &s) {
    const int n = p.count();
    if (n < 2)
        return p.effectiveX(0);
    auto midpoint = [&p](int i) { return (p.effectiveX(i) + p.effectiveX(i + 1)) / 2; };
    int d = 0;
    int e = n - 1;
    if (s.use) {
        const double es = s.edgeEnergy;
        d = n - 1;
        for (int i = 0; i + 1 < n; ++i) {
            if (midpoint(i) > es + s.dPreE) {
                d = i;
                break;
            }
        }
        // The whole spectrum lies above the search window.
        if (midpoint(0) > es + s.dPostS)
            return p.effectiveX(0);
        for (int i = 1; i + 1 < n; ++i) {
            if (midpoint(i) > es + s.dPostS) {
                e = i;
                break;
            }
        }
    }
    int c = 0;
    double bestStep = 0.0;
    for (int k = d; k <= e - 1; ++k) {
        const double step = sm[k + 1] - sm[k];
        if (step > bestStep) {
            bestStep = step;
            c = k;
        }
    }
    return p.effectiveX(c);
}

// When the post-edge line lies below the pre-edge line at the edge estimate,
// both move by 0.55·|δ| away from each other (the pre-edge line up, the
// post-edge line down), which keeps their difference, the denominator of the
// double normalisation, clear of zero around the edge.
inline void separateLines(VictLine &pre, VictLine &post, double edgeEstimate) {
    const double delta = post.lineValue(edgeEstimate) - pre.lineValue(edgeEstimate);
    if (delta < 0) {
        pre.addToC0(-0.55 * delta);
        post.addToC0(0.55 * delta);
    }
}

// The point where the smoothed curve crosses the mid-line of the two
// background lines (pre, post at each point) most steeply.
template <typename Points>
double findMidx(const Points &p, const double *sm, const double *pre, const double *post) {
    const int n = p.count();
    if (n < 3)
        return 0.0;
    int best = -1;
    double bestRise = 0.0;
    for (int i = 1; i <= n - 2; ++i) {
        const double g = (pre[i] + post[i]) / 2;
        if (!(sm[i - 1] < g && g < sm[i + 1]))
            continue;
        const double rise = sm[i + 1] - sm[i - 1];
        if (rise > bestRise) {
            bestRise = rise;
            best = i;
        }
    }
    return p.effectiveX(best < 0 ? 0 : best);
}

// The pre-edge line over [a, b) and the post-edge line over [c, d). A
// spectrum's lines get their sigmas at once; a map run's leave them until the
// jump test asks (VictLine::sigmaOf), and its straight lines are fitted side by
// side.
inline void fitBothLines(VictLine &pre, double a, double b, VictLine &post, double c, double d,
                         const Spectrum &p, int simple) {
    pre.fit(p, a, b, simple);
    post.fit(p, c, d, simple);
}
inline void fitBothLines(VictLine &pre, double a, double b, VictLine &post, double c, double d,
                         const PointArrays &p, int simple) {
    if (simple) {
        VictLine::fitStraightPair(pre, a, b, post, c, d, p);
        return;
    }
    pre.fit(p, a, b, simple, true);
    post.fit(p, c, d, simple, true);
}

// What one normalisation finds besides its curves. The caller keeps it between
// spectra so that renormalising allocates nothing.
struct Lines {
    VictLine pre;
    VictLine post;
    QVector<double> preAt; // pre(E_i) and post(E_i)
    QVector<double> postAt;
    double edgeEstimate = 0;
    double midx = 0;
    double dMut = 0;
};

// Everything up to the edge jump: edge estimate (or the fixed edge), the two
// background fits, their separation and bridges, the lines at each point, midx
// and dMut. sm: the five-point moving average of the values.
template <typename Points>
void fitLines(const Points &p, const double *sm, int simple, const SuggestElm &s, double preEnd,
              double postStart, Lines &out) {
    const int n = p.count();
    const double edge = s.fixedEdge ? s.fixedEdgeEnergy : firstEdgeEstimate(p, sm, s);
    out.edgeEstimate = edge;
    fitBothLines(out.pre, p.effectiveX(0), edge + preEnd, out.post, edge + postStart,
                 p.effectiveX(n - 1), p, simple);
    separateLines(out.pre, out.post, edge);
    out.pre.bridgeAbove(out.post);
    out.post.bridgeBelow(out.pre);
    out.preAt.resize(n);
    out.postAt.resize(n);
    double *preAt = out.preAt.data();
    double *postAt = out.postAt.data();
    if (out.pre.simple() && out.post.simple() && !out.pre.bridged() && !out.post.bridged()) {
        // Two straight lines (VictLine::formValue), in a loop that vectorises.
        const double preSlope = out.pre.slope(), preC0 = out.pre.c0();
        const double postSlope = out.post.slope(), postC0 = out.post.c0();
        for (int i = 0; i < n; ++i) {
            const double e = p.effectiveX(i);
            preAt[i] = preSlope * e + preC0;
            postAt[i] = postSlope * e + postC0;
        }
    } else {
        for (int i = 0; i < n; ++i) {
            const double e = p.effectiveX(i);
            preAt[i] = out.pre.lineValue(e);
            postAt[i] = out.post.lineValue(e);
        }
    }
    out.midx = s.fixedEdge ? edge : findMidx(p, sm, preAt, postAt);
    out.dMut = out.post.lineValue(out.midx) - out.pre.lineValue(out.midx);
}

// An edge outside the suggested window, or a jump within the noise of both
// background fits, means the spectrum shows no edge of the suggested element:
// midx becomes the suggested edge and dMut 0. preSigma and postSigma give the
// lines' sigmas; each is asked for only when the test reads it.
template <typename PreSigma, typename PostSigma>
void checkAgainstSuggestion(const SuggestElm &s, Lines &l, PreSigma preSigma, PostSigma postSigma) {
    if (!s.use)
        return;
    const double es = s.edgeEnergy;
    // A fixed edge is where the user put it: only the jump is judged.
    const bool outside = !s.fixedEdge && (l.midx < es + s.dPreE || l.midx > es + s.dPostS);
    if (outside || (l.dMut < preSigma() * s.jumpSigma && l.dMut < postSigma() * s.jumpSigma)) {
        l.midx = es;
        l.dMut = 0.0;
    }
}

inline void checkAgainstSuggestion(const SuggestElm &s, Lines &l) {
    checkAgainstSuggestion(
        s, l, [&l] { return l.pre.sigma(); }, [&l] { return l.post.sigma(); });
}

} // namespace EdgeNormalization
