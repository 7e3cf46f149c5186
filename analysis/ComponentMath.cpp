#include "analysis/ComponentMath.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using RowMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;
using ConstRowMap = Eigen::Map<const RowMatrix>;

// Sign convention of an eigenvector: positive sum, else positive largest value.
void orient(std::vector<double> &v) {
    double sum = 0, largest = 0;
    for (double x : v) {
        sum += x;
        if (std::fabs(x) > std::fabs(largest))
            largest = x;
    }
    if (sum < 0 || (sum == 0 && largest < 0))
        for (double &x : v)
            x = -x;
}

double squaredDistance(const double *a, const double *b, int dim) {
    double s = 0;
    for (int i = 0; i < dim; ++i) {
        const double t = a[i] - b[i];
        s += t * t;
    }
    return s;
}

int nearest(const double *p, const std::vector<double> &centres, int k, int dim) {
    int best = 0;
    double bestD = squaredDistance(p, centres.data(), dim);
    for (int j = 1; j < k; ++j) {
        const double dj = squaredDistance(p, centres.data() + size_t(j) * dim, dim);
        if (dj < bestD) {
            bestD = dj;
            best = j;
        }
    }
    return best;
}

// k-means++: each next centre drawn with probability proportional to the
// squared distance to the nearest centre chosen so far.
std::vector<double> seedCentres(const double *points, qint64 n, int dim, int k,
                                SeededRandom &random) {
    std::vector<double> centres(size_t(k) * dim);
    qint64 pick = std::min<qint64>(n - 1, qint64(random.uniform() * double(n)));
    std::copy(points + pick * dim, points + (pick + 1) * dim, centres.begin());
    std::vector<double> d2(static_cast<size_t>(n));
    for (qint64 i = 0; i < n; ++i)
        d2[size_t(i)] = squaredDistance(points + i * dim, centres.data(), dim);
    for (int j = 1; j < k; ++j) {
        double total = 0;
        for (double v : d2)
            total += v;
        const double target = random.uniform() * total;
        double cumulative = 0;
        pick = total > 0 ? n - 1 : std::min<qint64>(n - 1, qint64(random.uniform() * double(n)));
        for (qint64 i = 0; total > 0 && i < n; ++i) {
            cumulative += d2[size_t(i)];
            if (cumulative > target) {
                pick = i;
                break;
            }
        }
        double *c = centres.data() + size_t(j) * dim;
        std::copy(points + pick * dim, points + (pick + 1) * dim, c);
        for (qint64 i = 0; i < n; ++i)
            d2[size_t(i)] = std::min(d2[size_t(i)], squaredDistance(points + i * dim, c, dim));
    }
    return centres;
}

void updateCentres(const double *points, qint64 n, int dim, int k, KMeansResult &r) {
    std::vector<double> sums(size_t(k) * dim, 0.0);
    std::fill(r.sizes.begin(), r.sizes.end(), 0);
    for (qint64 i = 0; i < n; ++i) {
        const int j = r.labels[size_t(i)];
        ++r.sizes[size_t(j)];
        for (int c = 0; c < dim; ++c)
            sums[size_t(j) * dim + c] += points[i * dim + c];
    }
    for (int j = 0; j < k; ++j)
        if (r.sizes[size_t(j)] > 0)
            for (int c = 0; c < dim; ++c)
                r.centres[size_t(j) * dim + c] =
                    sums[size_t(j) * dim + c] / double(r.sizes[size_t(j)]);
}

// The K most distinct spectra of the data by successive projections: the
// spectrum of largest norm, then the largest after projecting out the ones
// found, and so on. For mixtures that hold pure bins these are the pure
// spectra, a start from which the multiplicative updates need not wander off
// through the many equally good factorisations of offset data. The spectra
// are x_i = A c_i with A = [base, P] and c_i = [1, t_i]; norms are taken as
// ||L c_i|| with L^T L = A^T A, so nothing of size n x d is formed.
Eigen::MatrixXd purestSpectra(const ConstRowMap &T, const Eigen::MatrixXd &P,
                              const Eigen::VectorXd &base, int K) {
    const int d = int(base.size()), q = int(P.cols()) + 1;
    Eigen::MatrixXd A(d, q);
    A.col(0) = base;
    A.rightCols(q - 1) = P;
    // Whitened coordinates through the Cholesky factor of the Gram matrix.
    const Eigen::LLT<Eigen::MatrixXd> gram(A.transpose() * A +
                                           1e-14 * Eigen::MatrixXd::Identity(q, q));
    const Eigen::MatrixXd U = gram.matrixU();
    RowMatrix Z(T.rows(), q);
    Z.col(0).setOnes();
    Z.rightCols(q - 1) = T;
    Z = Z * U.transpose();
    Eigen::MatrixXd H(K, d);
    for (int k = 0; k < K; ++k) {
        Eigen::Index j = 0;
        Z.rowwise().squaredNorm().maxCoeff(&j);
        Eigen::VectorXd c(q);
        c[0] = 1;
        c.tail(q - 1) = T.row(j).transpose();
        const Eigen::VectorXd x = A * c;
        H.row(k) = x.transpose().array().max(1e-3 * std::max(x.maxCoeff(), 1e-12));
        const Eigen::VectorXd u = Z.row(j).transpose().normalized();
        const Eigen::VectorXd along = Z * u;
        Z.noalias() -= along * u.transpose();
    }
    return H;
}

constexpr double Tiny = std::numeric_limits<double>::min() * 1e6;
constexpr int WeightFitUpdates = 100;

// W <- W * (X H^T) / (W H H^T), X = 1 base^T + T P^T.
void updateWeights(const ConstRowMap &T, const Eigen::MatrixXd &P, const Eigen::VectorXd &base,
                   const Eigen::MatrixXd &H, RowMatrix &W) {
    RowMatrix num = T * (P.transpose() * H.transpose());
    num.rowwise() += base.transpose() * H.transpose();
    const RowMatrix den = W * (H * H.transpose());
    W = W.array() * num.array().max(0.0) / den.array().max(Tiny);
}

} // namespace

void SpectrumMoments::reset(int points) {
    n = 0;
    d = points;
    mean.assign(size_t(points), 0.0);
    scatter.assign(size_t(points) * size_t(points), 0.0);
    minValue = 0;
}

void SpectrumMoments::assignRows(const double *rows, int count) {
    n = count;
    std::fill(mean.begin(), mean.end(), 0.0);
    std::fill(scatter.begin(), scatter.end(), 0.0);
    if (count == 0)
        return;
    ConstRowMap r(rows, count, d);
    Eigen::Map<Eigen::VectorXd> m(mean.data(), d);
    m = r.colwise().sum().transpose() / double(count);
    Eigen::Map<Eigen::MatrixXd> s(scatter.data(), d, d);
    const RowMatrix centred = r.rowwise() - m.transpose();
    s.noalias() = centred.transpose() * centred;
    minValue = r.minCoeff();
}

void SpectrumMoments::merge(const SpectrumMoments &o) {
    if (o.n == 0)
        return;
    if (n == 0) {
        *this = o;
        return;
    }
    const double na = double(n), nb = double(o.n), total = na + nb;
    Eigen::Map<Eigen::VectorXd> ma(mean.data(), d);
    Eigen::Map<const Eigen::VectorXd> mb(o.mean.data(), d);
    const Eigen::VectorXd delta = mb - ma;
    Eigen::Map<Eigen::MatrixXd> sa(scatter.data(), d, d);
    sa += Eigen::Map<const Eigen::MatrixXd>(o.scatter.data(), d, d);
    sa.noalias() += (na * nb / total) * delta * delta.transpose();
    ma += delta * (nb / total);
    n += o.n;
    minValue = std::min(minValue, o.minValue);
}

PcaComponents principalComponents(const SpectrumMoments &m, int count) {
    PcaComponents pc;
    const int d = m.d;
    const Eigen::MatrixXd cov =
        Eigen::Map<const Eigen::MatrixXd>(m.scatter.data(), d, d) / double(m.n - 1);
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(cov);
    const Eigen::VectorXd values = solver.eigenvalues(); // rising
    double total = 0;
    for (int i = d - 1; i >= 0; --i) {
        pc.eigenvalues.push_back(values[i]);
        total += values[i];
    }
    for (double v : pc.eigenvalues)
        pc.explainedRatios.push_back(total > 0 ? v / total : 0.0);
    for (int c = 0; c < std::min(count, d); ++c) {
        const Eigen::VectorXd v = solver.eigenvectors().col(d - 1 - c);
        pc.vectors.emplace_back(v.data(), v.data() + d);
        orient(pc.vectors.back());
    }
    return pc;
}

quint64 SeededRandom::next() {
    quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

KMeansResult kMeans(const double *points, qint64 n, int dim, int k, quint64 seed, int maxIterations,
                    const std::atomic<bool> *cancel) {
    KMeansResult r;
    if (n <= 0 || k <= 0 || dim <= 0)
        return r;
    k = int(std::min<qint64>(k, n));
    SeededRandom random(seed);
    r.centres = seedCentres(points, n, dim, k, random);
    r.labels.assign(size_t(n), -1);
    r.sizes.assign(size_t(k), 0);
    while (r.iterations < maxIterations && !(cancel && cancel->load())) {
        ++r.iterations;
        bool changed = false;
        for (qint64 i = 0; i < n; ++i) {
            const int j = nearest(points + i * dim, r.centres, k, dim);
            changed |= j != r.labels[size_t(i)];
            r.labels[size_t(i)] = j;
        }
        updateCentres(points, n, dim, k, r);
        if (!changed) {
            r.converged = true;
            break;
        }
    }
    return r;
}

NmfResult nmfInSubspace(const double *scores, qint64 n, int M,
                        const std::vector<std::vector<double>> &P, const std::vector<double> &mean,
                        double offset, int K, quint64 seed, int maxIterations, double tolerance,
                        const std::atomic<bool> *cancel) {
    NmfResult result;
    const int d = int(mean.size());
    if (n <= 0 || K <= 0 || d == 0)
        return result;
    ConstRowMap T(scores, n, M);
    Eigen::MatrixXd Pm(d, M);
    for (int c = 0; c < M; ++c)
        Pm.col(c) = Eigen::Map<const Eigen::VectorXd>(P[size_t(c)].data(), d);
    const Eigen::VectorXd base = Eigen::Map<const Eigen::VectorXd>(mean.data(), d).array() + offset;
    Eigen::MatrixXd H = purestSpectra(T, Pm, base, K);
    const double scale = std::max(base.mean(), 1e-12) / std::max(H.mean(), 1e-12) / K;
    SeededRandom random(seed);
    RowMatrix W(n, K);
    for (qint64 i = 0; i < n; ++i)
        for (int j = 0; j < K; ++j)
            W(i, j) = scale * (0.5 + random.uniform());
    // W fitted to the start spectra first: updating H against random weights
    // would throw away the start.
    for (int i = 0; i < WeightFitUpdates; ++i)
        updateWeights(T, Pm, base, H, W);
    for (result.iterations = 0; result.iterations < maxIterations;) {
        ++result.iterations;
        updateWeights(T, Pm, base, H, W);
        // H <- H * (W^T X) / (W^T W H)
        const Eigen::VectorXd wSum = W.colwise().sum().transpose();
        Eigen::MatrixXd numH = wSum * base.transpose();
        numH.noalias() += (W.transpose() * T) * Pm.transpose();
        const Eigen::MatrixXd denH = (W.transpose() * W) * H;
        const Eigen::MatrixXd before = H;
        H = H.array() * numH.array().max(0.0) / denH.array().max(Tiny);
        if ((H - before).norm() <= tolerance * before.norm() || (cancel && cancel->load()))
            break;
    }
    for (int j = 0; j < K; ++j) {
        const double peak = H.row(j).maxCoeff();
        if (peak > 0) {
            H.row(j) /= peak;
            W.col(j) *= peak;
        }
        result.components.emplace_back(d);
        for (int e = 0; e < d; ++e)
            result.components.back()[size_t(e)] = H(j, e);
    }
    result.weights.assign(W.data(), W.data() + W.size());
    return result;
}
