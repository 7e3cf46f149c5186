#include "measurement/BinSpectrum.h"

#include "imageio/TiffData.h"

#include <QRect>
#include <algorithm>
#include <cmath>

double buildBinSpectrum(const MeasurementStack &stack, int x, int y, const BinSpectrumSettings &s,
                        const QString &name, Spectrum &mut, XafsSpectrum &out) {
    const double shift = stack.shiftAt(s.shiftMap, x, y);
    stack.computeMuT(x, y, s.conditions, mut);
    out.assign(mut, name, s.simpleBackground ? 1 : 0, shift, s.suggestion);
    return shift;
}

double buildBinSpectrumFromMuT(const MeasurementStack &stack, int x, int y,
                               const BinSpectrumSettings &s, const QString &name,
                               const Spectrum &mut, XafsSpectrum &out) {
    const double shift = stack.shiftAt(s.shiftMap, x, y);
    out.assign(mut, name, s.simpleBackground ? 1 : 0, shift, s.suggestion);
    return shift;
}

QString fixedEdgeProblem(const MeasurementStack &stack, const SuggestElm &s) {
    if (!s.fixedEdge || stack.i1().isEmpty())
        return QString();
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (const TiffData *image : stack.i1()) {
        lo = std::min(lo, image->energy());
        hi = std::max(hi, image->energy());
    }
    const double e0 = s.fixedEdgeEnergy;
    if (lo < e0 && e0 < hi)
        return QString();
    return QString("fixed E0 %1 eV is outside the energy range %2 - %3 eV")
        .arg(e0, 0, 'g', 6)
        .arg(lo, 0, 'g', 6)
        .arg(hi, 0, 'g', 6);
}

bool areaEdgeEnergy(const MeasurementStack &stack, const BinSpectrumSettings &s, const QRect &area,
                    double *e0) {
    const QRect inside = area.intersected(QRect(0, 0, stack.width(), stack.height()));
    if (inside.isEmpty() || stack.i1().isEmpty())
        return false;
    BinSpectrumSettings whole = s;
    whole.conditions.hx = (inside.width() - 1) / 2;
    whole.conditions.hy = (inside.height() - 1) / 2;
    whole.suggestion.fixedEdge = false;
    const int cx = inside.x() + whole.conditions.hx;
    const int cy = inside.y() + whole.conditions.hy;
    Spectrum mut;
    XafsSpectrum sum;
    buildBinSpectrum(stack, cx, cy, whole, QStringLiteral("Area"), mut, sum);
    if (sum.count() < 3 || !(sum.dMut() > 0) || !std::isfinite(sum.midx()))
        return false;
    *e0 = sum.midx();
    return true;
}
