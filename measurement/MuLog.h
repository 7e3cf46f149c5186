#pragma once
// The natural logarithm of mu*t = ln(I0 / I1), the same bits whether a value is
// taken alone (the spectrum at the cursor, a bin of a per-bin run) or a whole
// row at once (map runs, four lanes side by side). The library logarithm gives
// no such promise between its scalar and vector forms, so the stack uses this
// one everywhere. Within one unit in the last place of the library's.
namespace MuLog {

// ln(x); positive normal numbers take the four-lane path, everything else
// (0, subnormals, infinities, NaN, negatives) the library's logarithm.
double log(double x);

// out[i] := ln(r[i] / v[i]) where r[i] * v[i] > 0, else 1 (no signal):
// MeasurementStack::muOf without fluorescence, for n values at once.
void logRatios(const double *r, const double *v, double *out, int n);

} // namespace MuLog
