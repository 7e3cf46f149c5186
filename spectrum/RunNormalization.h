#pragma once
// The normalisation of XafsSpectrum for map runs: the same steps and bits
// (EdgeNormalization), over a bin's arrays of energies and mu*t, keeping
// only what a fit reads: the pre-base double-normalised values, midx and
// the edge jump. No smoothed copy in a spectrum, no further curves, no bounds;
// one object per thread, nothing allocated once the arrays have their length.
#include "spectrum/EdgeNormalization.h"
#include "spectrum/PointArrays.h"

#include <vector>

class RunNormalization {
public:
    // Normalises the points (at least one) as XafsSpectrum::normalize(simple)
    // with the suggestion's windows would.
    void normalize(const PointArrays &points, int simple, const SuggestElm &suggestion);
    // Its steps up to the edge jump (smoothing, lines, midx, dMut) and the
    // suggestion's check, for a run that reads the lines alone.
    void fitLines(const PointArrays &points, int simple, const SuggestElm &suggestion);
    void checkAgainstSuggestion(const PointArrays &points, const SuggestElm &suggestion);

    // (y_i - pre(E_i)) / (post(E_i) - pre(E_i)) at every point.
    const double *doubleNormalizedPreBase() const { return m_dnPre.data(); }
    double midx() const { return m_lines.midx; }
    double dMut() const { return m_lines.dMut; }
    const EdgeNormalization::Lines &lines() const { return m_lines; }

private:
    std::vector<double> m_smoothed;
    std::vector<double> m_dnPre;
    EdgeNormalization::Lines m_lines;
};
