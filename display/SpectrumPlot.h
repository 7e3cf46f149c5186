#pragma once
// Small pieces of the spectrum plot that need no window: the read-out index
// under the mouse, the window of the Fourier display and the status text.
#include <QString>

namespace SpectrumPlot {

// Gaps in the target's energies wider than this are not joined by its curve (eV).
constexpr double kTargetBreakGapEV = 50.0;

struct Range {
    double lo = 0;
    double hi = 1;
};

// Index of the first point i whose midpoint with the next one,
// (x_i + x_(i+1))/2, exceeds x; the last index when there is none, -1 for no
// points. xAt(i) gives the abscissa of point i (ascending).
template <class XAt> int positionIndex(int n, XAt xAt, double x) {
    for (int i = 0; i + 1 < n; ++i) {
        if ((xAt(i) + xAt(i + 1)) / 2 > x)
            return i;
    }
    return n - 1;
}

// How many Fourier magnitudes the display shows for a raw spectrum of
// pointCount values: a tenth of them, none for fewer than ten.
int fftShownCount(int pointCount);

// y window of the Fourier display: the smallest and largest of the magnitudes
// 1 .. shown-2 (the zero-frequency term would dwarf the rest). With fewer than
// three shown the window stays degenerate: from the largest double to the
// smallest positive normal double.
Range fftMagnitudeWindow(const double *magnitudes, int shown);

// The line under the plot: "dMut = %1, Edge %2 [eV]".
QString extMsg(double dMut, double midx);

} // namespace SpectrumPlot
