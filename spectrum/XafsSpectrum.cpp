#include "spectrum/XafsSpectrum.h"

XafsSpectrum::XafsSpectrum(const Spectrum &spectrum, const QString &name, int simple,
                           double eShiftValue, const SuggestElm &suggestion) {
    assign(spectrum, name, simple, eShiftValue, suggestion);
}

void XafsSpectrum::assign(const Spectrum &spectrum, const QString &name, int simple,
                          double eShiftValue, const SuggestElm &suggestion) {
    copyData(spectrum);
    setNameAndSuggestion(name, suggestion);
    // Whatever a previous use left behind goes, so that the result is the
    // same as that of a freshly constructed spectrum.
    m_lines.pre.reset();
    m_lines.post.reset();
    m_i0.clear();
    m_i1.clear();
    m_normalizedPostBase.clear();
    m_doubleNormalizedPostBase.clear();
    m_normalized.clear();
    m_doubleNormalizedPreBase.clear();
    m_simple = simple;
    m_eShiftValue = eShiftValue;
    if (count() > 0)
        normalize(simple);
}

void XafsSpectrum::copyData(const Spectrum &spectrum) {
    // The point list is shared (copy on write), which costs no allocation.
    m_points = spectrum.points();
    m_xMin = spectrum.xMin();
    m_xMax = spectrum.xMax();
    m_yMin = spectrum.yMin();
    m_yMax = spectrum.yMax();
    m_iYMin = spectrum.iYMin();
    m_iYMax = spectrum.iYMax();
    // The smoothed values are recomputed by the normalisation; keep this
    // object's storage unless the source brings values of its own.
    if (spectrum.smoothed().isEmpty())
        m_smoothed.resize(0);
    else
        m_smoothed = spectrum.smoothed();
    m_shifted = spectrum.shifted();
    m_shift = spectrum.shift();
}

void XafsSpectrum::setSuggestion(const SuggestElm &suggestion) {
    m_suggestion = suggestion;
    m_preEnd = suggestion.use ? suggestion.dPreE : -10.0;
    m_postStart = suggestion.use ? suggestion.dPostS : 10.0;
}

void XafsSpectrum::setNameAndSuggestion(const QString &name, const SuggestElm &suggestion) {
    m_name = name;
    setSuggestion(suggestion);
    m_plainText = 1;
    m_simple = 1;
    m_preStart = -1000.0;
    m_postEnd = 1000.0;
    m_lines.midx = 0.0;
    m_lines.dMut = 0.0;
    m_eShiftValue = 0.0;
}

XafsSpectrum::FitWindow XafsSpectrum::preFitWindow() const {
    if (!m_fitted || isEmpty())
        return {};
    return {effectiveX(0), m_lines.edgeEstimate + m_preEnd};
}

XafsSpectrum::FitWindow XafsSpectrum::postFitWindow() const {
    if (!m_fitted || isEmpty())
        return {};
    return {m_lines.edgeEstimate + m_postStart, effectiveX(count() - 1)};
}

void XafsSpectrum::normalize(int simple) {
    const int n = count();
    if (n == 0)
        return;
    m_simple = simple;
    smooth(2);
    m_fitted = true;
    EdgeNormalization::fitLines(*this, m_smoothed.constData(), simple, m_suggestion, m_preEnd,
                                m_postStart, m_lines);
    fillDerivedCurves();
    EdgeNormalization::checkAgainstSuggestion(m_suggestion, m_lines);
}

void XafsSpectrum::fillDerivedCurves() {
    const int n = count();
    QPointF *normalized = m_normalized.pointsForWrite(n);
    QPointF *dnPre = m_doubleNormalizedPreBase.pointsForWrite(n);
    QPointF *nPost = m_normalizedPostBase.pointsForWrite(n);
    QPointF *dnPost = m_doubleNormalizedPostBase.pointsForWrite(n);
    const double *pre = m_lines.preAt.constData();
    const double *post = m_lines.postAt.constData();
    const double dMut = m_lines.dMut;
    for (int i = 0; i < n; ++i) {
        const double e = effectiveX(i);
        const double y = this->y(i);
        const double gap = post[i] - pre[i];
        // Division by a zero jump or gap is left to floating point (inf/NaN):
        // the analyses recognise such values.
        normalized[i] = QPointF(e, (y - post[i]) / dMut + 1);
        dnPre[i] = QPointF(e, (y - pre[i]) / gap);
        nPost[i] = QPointF(e, (y - post[i]) / dMut);
        dnPost[i] = QPointF(e, (y - post[i]) / gap);
    }
    m_normalized.rebuildBounds();
    m_doubleNormalizedPreBase.rebuildBounds();
    m_normalizedPostBase.rebuildBounds();
    m_doubleNormalizedPostBase.rebuildBounds();
}
