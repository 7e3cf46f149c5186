#include "spectrum/RunNormalization.h"

void RunNormalization::normalize(const PointArrays &p, int simple, const SuggestElm &s) {
    const int n = p.count();
    m_smoothed.resize(size_t(n));
    m_dnPre.resize(size_t(n));
    movingAverage(p, 2, m_smoothed.data());
    // The background windows as XafsSpectrum::setSuggestion places them.
    const double preEnd = s.use ? s.dPreE : -10.0;
    const double postStart = s.use ? s.dPostS : 10.0;
    // No reset of the lines: a fit sets everything its line is read by.
    EdgeNormalization::fitLines(p, m_smoothed.data(), simple, s, preEnd, postStart, m_lines);
    const double *pre = m_lines.preAt.constData();
    const double *post = m_lines.postAt.constData();
    double *dn = m_dnPre.data();
    for (int i = 0; i < n; ++i)
        dn[i] = (p.y(i) - pre[i]) / (post[i] - pre[i]);
    EdgeNormalization::checkAgainstSuggestion(
        s, m_lines, [&] { return m_lines.pre.sigmaOf(p); },
        [&] { return m_lines.post.sigmaOf(p); });
}
