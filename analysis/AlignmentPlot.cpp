#include "analysis/AlignmentPlot.h"

#include <algorithm>
#include <cmath>

namespace {

bool rising(const QVector<double> &e, int n) {
    if (e.size() < n || n < 2)
        return false;
    for (int i = 1; i < n; ++i)
        if (!(e[i] > e[i - 1]) || !std::isfinite(e[i]))
            return false;
    return std::isfinite(e[0]);
}

} // namespace

AlignmentPlot AlignmentPlot::of(const QVector<double> &energies,
                                const QVector<Registration::ShiftEntry> &shifts,
                                const QVector<int> &suspects) {
    AlignmentPlot p;
    const int n = shifts.size();
    if (n == 0)
        return p;
    p.byEnergy = rising(energies, n);
    double lo = -1, hi = 1;
    for (int i = 0; i < n; ++i) {
        const Registration::ShiftEntry &e = shifts[i];
        p.x << (p.byEnergy ? energies[i] : double(i));
        p.dx << e.dx;
        p.dy << e.dy;
        p.score << std::clamp(e.score, 0.0, 1.0);
        p.suspect << suspects.contains(e.index);
        lo = std::min({lo, e.dx, e.dy});
        hi = std::max({hi, e.dx, e.dy});
    }
    const double margin = 0.08 * (hi - lo);
    p.shiftMin = lo - margin;
    p.shiftMax = hi + margin;
    p.xMin = p.x.first();
    p.xMax = n > 1 ? p.x.last() : p.x.first() + 1;
    return p;
}

int AlignmentPlot::nearestImage(double at) const {
    int best = -1;
    for (int i = 0; i < x.size(); ++i)
        if (best < 0 || std::fabs(x[i] - at) < std::fabs(x[best] - at))
            best = i;
    return best;
}
