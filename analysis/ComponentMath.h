#pragma once
// The arithmetic of the component analyses on data already reduced to what
// a run keeps in memory: the moments of the bins' normalised spectra, the
// principal components, k-means on the scores, and the non-negative
// factorisation in the principal subspace. Everything here is serial and in
// a fixed order, so equal inputs give equal bits.
#include <QtGlobal>
#include <atomic>
#include <vector>

// Count, mean and scatter (sum of (x - mean)(x - mean)^T) of d-point spectra.
// Parts are merged pairwise with the update of Chan, Golub and LeVeque, which
// keeps the precision of a centred sum: normalised spectra have a mean near
// 0.5 and a variance far smaller, and a raw sum of squares would cancel.
struct SpectrumMoments {
    qint64 n = 0;
    int d = 0;
    std::vector<double> mean;    // d
    std::vector<double> scatter; // d x d, symmetric, column-major
    double minValue = 0;         // smallest value of any spectrum (n > 0)

    void reset(int points);
    // The moments of `count` spectra stored one after the other in rows
    // (count x d); storage is reused.
    void assignRows(const double *rows, int count);
    void merge(const SpectrumMoments &other);
};

struct PcaComponents {
    std::vector<double> eigenvalues;     // all d, falling; scatter / (n - 1)
    std::vector<double> explainedRatios; // eigenvalue / sum of all
    // The first `count` eigenvectors, unit norm, d values each, signed so that
    // their sum is positive (the largest-magnitude value when the sum is 0).
    std::vector<std::vector<double>> vectors;
};

// Decomposes the covariance of the moments (n >= 2).
PcaComponents principalComponents(const SpectrumMoments &m, int count);

// A small random generator with the same stream on every platform and
// standard library (splitmix64), for seeded k-means++ and NMF starts.
class SeededRandom {
public:
    explicit SeededRandom(quint64 seed) : m_state(seed) {}
    quint64 next();
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); } // [0, 1)

private:
    quint64 m_state;
};

struct KMeansResult {
    std::vector<int> labels;     // per point, 0..k-1
    std::vector<double> centres; // k x dim
    std::vector<qint64> sizes;   // per cluster
    int iterations = 0;
    bool converged = false; // an iteration changed no label
};

// Lloyd's k-means on n points of dim values each (row after row), seeded by
// k-means++ from `seed`, iterated until no point changes its cluster or
// maxIterations is reached. Ties go to the lower cluster; a cluster left
// empty keeps its centre. k <= n. A set `cancel` ends the iterations early.
KMeansResult kMeans(const double *points, qint64 n, int dim, int k, quint64 seed, int maxIterations,
                    const std::atomic<bool> *cancel = nullptr);

struct NmfResult {
    std::vector<std::vector<double>> components; // K spectra of d values, each peaking at 1
    std::vector<double> weights;                 // n x K
    int iterations = 0;
};

// Multiplicative-update NMF, X ~ W H with W (n x K) and H (K x d) >= 0, of
// the data X = 1 (mean + offset)^T + T P^T: the spectra as the first M
// principal components describe them (T: n x M scores, row after row; P: the
// M components), shifted by `offset` to non-negative values. The data are
// never formed: every product goes through T and P. H starts from the K most
// distinct spectra (successive projections: the pure bins of a mixture), W
// from uniform random weights of `seed`; stops after maxIterations or when H changes by
// less than `tolerance` (relative Frobenius norm) in an iteration, or when
// `cancel` is set.
NmfResult nmfInSubspace(const double *scores, qint64 n, int M,
                        const std::vector<std::vector<double>> &P, const std::vector<double> &mean,
                        double offset, int K, quint64 seed, int maxIterations, double tolerance,
                        const std::atomic<bool> *cancel = nullptr);
