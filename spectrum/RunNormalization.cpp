#include "spectrum/RunNormalization.h"

#include "app/PointLoops.h"

namespace {

// The steps of RunNormalization::normalize, everything they call from headers
// inlined, so that the loops over the points (smoothing, the lines at each
// point, the double normalisation) run four at a time. dn may be null: no
// double normalisation then.
LS_POINT_LOOPS_FLATTEN
void normalizeArrays(const PointArrays &p, int simple, const SuggestElm &s, double *smoothed,
                     double *dn, EdgeNormalization::Lines &lines) {
    const int n = p.count();
    movingAverage(p, 2, smoothed);
    // The background windows as XafsSpectrum::setSuggestion places them.
    const double preEnd = s.use ? s.dPreE : -10.0;
    const double postStart = s.use ? s.dPostS : 10.0;
    // No reset of the lines: a fit sets everything its line is read by.
    EdgeNormalization::fitLines(p, smoothed, simple, s, preEnd, postStart, lines);
    if (!dn)
        return;
    const double *pre = lines.preAt.constData();
    const double *post = lines.postAt.constData();
    for (int i = 0; i < n; ++i)
        dn[i] = (p.y(i) - pre[i]) / (post[i] - pre[i]);
}

} // namespace

void RunNormalization::normalize(const PointArrays &p, int simple, const SuggestElm &s) {
    m_smoothed.resize(size_t(p.count()));
    m_dnPre.resize(size_t(p.count()));
    normalizeArrays(p, simple, s, m_smoothed.data(), m_dnPre.data(), m_lines);
    checkAgainstSuggestion(p, s);
}

void RunNormalization::fitLines(const PointArrays &p, int simple, const SuggestElm &s) {
    m_smoothed.resize(size_t(p.count()));
    normalizeArrays(p, simple, s, m_smoothed.data(), nullptr, m_lines);
}

void RunNormalization::checkAgainstSuggestion(const PointArrays &p, const SuggestElm &s) {
    EdgeNormalization::checkAgainstSuggestion(
        s, m_lines, [&] { return m_lines.pre.sigmaOf(p); },
        [&] { return m_lines.post.sigmaOf(p); });
}
