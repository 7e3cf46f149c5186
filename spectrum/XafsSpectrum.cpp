#include "spectrum/XafsSpectrum.h"

#include "spectrum/SpectrumFile.h"

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
    m_pre.reset();
    m_post.reset();
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
    m_midx = 0.0;
    m_dMut = 0.0;
    m_eShiftValue = 0.0;
}

XafsSpectrum::FitWindow XafsSpectrum::preFitWindow() const {
    if (!m_fitted || isEmpty())
        return {};
    return {effectiveX(0), m_edgeEstimate + m_preEnd};
}

XafsSpectrum::FitWindow XafsSpectrum::postFitWindow() const {
    if (!m_fitted || isEmpty())
        return {};
    return {m_edgeEstimate + m_postStart, effectiveX(count() - 1)};
}

void XafsSpectrum::normalize(int simple) {
    const int n = count();
    if (n == 0)
        return;
    m_simple = simple;
    smooth(2);
    const bool fixedEdge = m_suggestion.fixedEdge;
    const double edge = fixedEdge ? m_suggestion.fixedEdgeEnergy : firstEdgeEstimate();
    m_fitted = true;
    m_edgeEstimate = edge;
    m_pre.fit(*this, effectiveX(0), edge + m_preEnd, simple);
    m_post.fit(*this, edge + m_postStart, effectiveX(n - 1), simple);
    separateLines(edge);
    m_pre.bridgeAbove(m_post);
    m_post.bridgeBelow(m_pre);
    evaluateLines();
    m_midx = fixedEdge ? edge : findMidx();
    m_dMut = m_post.lineValue(m_midx) - m_pre.lineValue(m_midx);
    fillDerivedCurves();
    checkAgainstSuggestion();
}

// The index of the steepest rise of the smoothed curve inside the search
// window, as an energy.
double XafsSpectrum::firstEdgeEstimate() const {
    const int n = count();
    if (n < 2)
        return effectiveX(0);
    const double *sm = m_smoothed.constData();
    auto midpoint = [this](int i) { return (effectiveX(i) + effectiveX(i + 1)) / 2; };
    int d = 0;
    int e = n - 1;
    if (m_suggestion.use) {
        const double es = m_suggestion.edgeEnergy;
        d = n - 1;
        for (int i = 0; i + 1 < n; ++i) {
            if (midpoint(i) > es + m_suggestion.dPreE) {
                d = i;
                break;
            }
        }
        // The whole spectrum lies above the search window.
        if (midpoint(0) > es + m_suggestion.dPostS)
            return effectiveX(0);
        for (int i = 1; i + 1 < n; ++i) {
            if (midpoint(i) > es + m_suggestion.dPostS) {
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
    return effectiveX(c);
}

// When the post-edge line lies below the pre-edge line at the edge estimate,
// both move by 0.55·|δ| away from each other (the pre-edge line up, the
// post-edge line down), which keeps their difference, the denominator of the
// double normalisation, clear of zero around the edge.
void XafsSpectrum::separateLines(double edgeEstimate) {
    const double delta = m_post.lineValue(edgeEstimate) - m_pre.lineValue(edgeEstimate);
    if (delta < 0) {
        m_pre.addToC0(-0.55 * delta);
        m_post.addToC0(0.55 * delta);
    }
}

void XafsSpectrum::evaluateLines() {
    const int n = count();
    m_preAt.resize(n);
    m_postAt.resize(n);
    double *pre = m_preAt.data();
    double *post = m_postAt.data();
    for (int i = 0; i < n; ++i) {
        const double e = effectiveX(i);
        pre[i] = m_pre.lineValue(e);
        post[i] = m_post.lineValue(e);
    }
}

// The point where the smoothed curve crosses the mid-line of the two
// background lines most steeply.
double XafsSpectrum::findMidx() const {
    const int n = count();
    if (n < 3)
        return 0.0;
    const double *sm = m_smoothed.constData();
    const double *pre = m_preAt.constData();
    const double *post = m_postAt.constData();
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
    return effectiveX(best < 0 ? 0 : best);
}

void XafsSpectrum::fillDerivedCurves() {
    const int n = count();
    QPointF *normalized = m_normalized.pointsForWrite(n);
    QPointF *dnPre = m_doubleNormalizedPreBase.pointsForWrite(n);
    QPointF *nPost = m_normalizedPostBase.pointsForWrite(n);
    QPointF *dnPost = m_doubleNormalizedPostBase.pointsForWrite(n);
    const double *pre = m_preAt.constData();
    const double *post = m_postAt.constData();
    for (int i = 0; i < n; ++i) {
        const double e = effectiveX(i);
        const double y = this->y(i);
        const double gap = post[i] - pre[i];
        // Division by a zero jump or gap is left to floating point (inf/NaN):
        // the analyses recognise such values.
        normalized[i] = QPointF(e, (y - post[i]) / m_dMut + 1);
        dnPre[i] = QPointF(e, (y - pre[i]) / gap);
        nPost[i] = QPointF(e, (y - post[i]) / m_dMut);
        dnPost[i] = QPointF(e, (y - post[i]) / gap);
    }
    m_normalized.rebuildBounds();
    m_doubleNormalizedPreBase.rebuildBounds();
    m_normalizedPostBase.rebuildBounds();
    m_doubleNormalizedPostBase.rebuildBounds();
}

// An edge outside the suggested window, or a jump within the noise of both
// background fits, means this spectrum shows no edge of the suggested element.
void XafsSpectrum::checkAgainstSuggestion() {
    if (!m_suggestion.use)
        return;
    const SuggestElm &s = m_suggestion;
    const double es = s.edgeEnergy;
    // A fixed edge is where the user put it: only the jump is judged.
    const bool outside = !s.fixedEdge && (m_midx < es + s.dPreE || m_midx > es + s.dPostS);
    const bool tooSmall =
        m_dMut < m_pre.sigma() * s.jumpSigma && m_dMut < m_post.sigma() * s.jumpSigma;
    if (outside || tooSmall) {
        m_midx = es;
        m_dMut = 0.0;
    }
}

bool XafsSpectrum::readFile(const QString &fileName) {
    if (SpectrumFile::is9809(fileName)) {
        m_plainText = 0;
        return SpectrumFile::read9809(fileName, *this);
    }
    m_plainText = 1;
    return SpectrumFile::readTwoColumns(fileName, *this);
}

bool XafsSpectrum::writeFile(const QString &fileName, bool subtractEShift) const {
    return SpectrumFile::write(fileName, *this, subtractEShift);
}
