#pragma once
// Points held as two plain arrays (effective energies and values) with the
// read interface of Spectrum (count, effectiveX, y). The map runs normalise
// the spectra of a whole row of bins from such arrays, through the same code
// as a Spectrum, without building one per bin.
struct PointArrays {
    const double *xs = nullptr;
    const double *ys = nullptr;
    int n = 0;
    // The energies rise strictly (no NaN): a fit may then go straight to its
    // window instead of testing every point, with the same result.
    bool ascending = false;
    int count() const { return n; }
    double effectiveX(int i) const { return xs[i]; }
    double y(int i) const { return ys[i]; }
};

// Strictly rising energies, none NaN.
inline bool strictlyAscending(const double *xs, int n) {
    for (int i = 1; i < n; ++i)
        if (!(xs[i - 1] < xs[i]))
            return false;
    return n > 0 && xs[0] == xs[0];
}

// The moving average of Spectrum::smooth over any points with that read
// interface: out[i] := mean of y over i-k..i+k, the window shrinking at both
// ends. Each window is summed afresh rather than with a running sum: a running
// sum drifts, and one infinite value would turn every later mean into NaN
// (inf - inf) once it leaves the window. The window is small (five points in
// the normalisation).
template <typename Points> void movingAverage(const Points &p, int k, double *out) {
    const int n = p.count();
    k = k < 0 ? 0 : (k > n ? n : k);
    auto window = [&p, k, n](int i) {
        const int lo = i - k > 0 ? i - k : 0;
        const int hi = i + k < n - 1 ? i + k : n - 1;
        double sum = 0.0;
        for (int j = lo; j <= hi; ++j)
            sum += p.y(j);
        return sum / (hi - lo + 1);
    };
    if (k != 2 || n < 5) {
        for (int i = 0; i < n; ++i)
            out[i] = window(i);
        return;
    }
    // The normalisation's window: whole inside, unrolled.
    out[0] = window(0);
    out[1] = window(1);
    for (int i = 2; i < n - 2; ++i)
        out[i] = (p.y(i - 2) + p.y(i - 1) + p.y(i) + p.y(i + 1) + p.y(i + 2)) / 5;
    out[n - 2] = window(n - 2);
    out[n - 1] = window(n - 1);
}
