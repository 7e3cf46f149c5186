#include "display/SpectrumPlot.h"

#include <algorithm>
#include <limits>

namespace SpectrumPlot {

int fftShownCount(int pointCount) {
    return pointCount <= 9 ? 0 : pointCount / 10;
}

Range fftMagnitudeWindow(const double *magnitudes, int shown) {
    Range r;
    r.lo = std::numeric_limits<double>::max();
    r.hi = std::numeric_limits<double>::min();
    for (int k = 1; k <= shown - 2; ++k) {
        r.lo = std::min(r.lo, magnitudes[k]);
        r.hi = std::max(r.hi, magnitudes[k]);
    }
    return r;
}

QString extMsg(double dMut, double midx) {
    return QStringLiteral("dMut = %1, Edge %2 [eV]")
        .arg(QString::asprintf("% 6.3e", dMut))
        .arg(midx, 0, 'g', 6);
}

} // namespace SpectrumPlot
