#pragma once
// Points held as two plain arrays (effective energies and values) with the
// read interface of Spectrum (count, effectiveX, y). The map runs normalise
// the spectra of a whole row of bins from such arrays, through the same code
// as a Spectrum, without building one per bin.
struct PointArrays {
    const double *xs = nullptr;
    const double *ys = nullptr;
    int n = 0;
    int count() const { return n; }
    double effectiveX(int i) const { return xs[i]; }
    double y(int i) const { return ys[i]; }
};

// The moving average of Spectrum::smooth over any points with that read
// interface: out[i] := mean of y over i-k..i+k, the window shrinking at both
// ends. Each window is summed afresh rather than with a running sum: a running
// sum drifts, and one infinite value would turn every later mean into NaN
// (inf - inf) once it leaves the window. The window is small (five points in
// the normalisation).
template <typename Points> void movingAverage(const Points &p, int k, double *out) {
    const int n = p.count();
    k = k < 0 ? 0 : (k > n ? n : k);
    for (int i = 0; i < n; ++i) {
        const int lo = i - k > 0 ? i - k : 0;
        const int hi = i + k < n - 1 ? i + k : n - 1;
        if (k == 2 && hi - lo == 4) { // the normalisation's window, unrolled
            out[i] = (p.y(lo) + p.y(lo + 1) + p.y(lo + 2) + p.y(lo + 3) + p.y(lo + 4)) / 5;
            continue;
        }
        double sum = 0.0;
        for (int j = lo; j <= hi; ++j)
            sum += p.y(j);
        out[i] = sum / (hi - lo + 1);
    }
}
