#pragma once
// mu*t = ln(r / v) for a whole row of bins at once, the bits of
// MeasurementStack::muOf value by value: the quotients side by side, then the
// library's logarithm of each in one tight loop (a vectorised logarithm would
// round differently from the one the spectrum at the cursor is made with).
namespace MuLog {

// out[i] := ln(r[i] / v[i]) where r[i] * v[i] > 0, else 1 (no signal):
// MeasurementStack::muOf without fluorescence, for n values at once.
void logRatios(const double *r, const double *v, double *out, int n);

} // namespace MuLog
