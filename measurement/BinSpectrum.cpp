#include "measurement/BinSpectrum.h"

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
