#include "analysis/ConstrainedLsq.h"

#include <algorithm>
#include <cmath>

namespace {

// A pivot this small against the largest diagonal element of G is a direction
// the data cannot fix (two references alike to rounding).
constexpr double SingularPivot = 1e-12;

} // namespace

// Symmetric elimination with the largest remaining diagonal element as pivot
// (a pivoted Cholesky in effect): it stops where the rest of G is singular and
// leaves those unknowns 0, which still solves the normal equations.
int ConstrainedLsq::solveSubset(const int *idx, int p, const Matrix &g, const Vector &h,
                                Vector &z) {
    double maxDiag = 0;
    for (int a = 0; a < p; ++a) {
        for (int b = 0; b < p; ++b)
            m_m[a][b] = g[idx[a]][idx[b]];
        m_r[a] = h[idx[a]];
        maxDiag = std::max(maxDiag, m_m[a][a]);
    }
    std::array<bool, MaxN> done{};
    int rank = 0;
    for (int step = 0; step < p; ++step) {
        int best = -1;
        double bestPivot = SingularPivot * maxDiag;
        for (int a = 0; a < p; ++a)
            if (!done[a] && m_m[a][a] > bestPivot) {
                best = a;
                bestPivot = m_m[a][a];
            }
        if (best < 0)
            break;
        done[best] = true;
        m_order[rank++] = best;
        for (int b = 0; b < p; ++b) {
            if (done[b])
                continue;
            const double f = m_m[b][best] / bestPivot;
            for (int c = 0; c < p; ++c)
                if (!done[c])
                    m_m[b][c] -= f * m_m[best][c];
            m_r[b] -= f * m_r[best];
        }
    }
    Vector local{};
    for (int s = rank - 1; s >= 0; --s) {
        const int a = m_order[s];
        double v = m_r[a];
        for (int t = s + 1; t < rank; ++t)
            v -= m_m[a][m_order[t]] * local[m_order[t]];
        local[a] = v / m_m[a][a];
    }
    for (int a = 0; a < p; ++a)
        z[idx[a]] = local[a];
    return rank;
}

// Sum of z over idx = 1: z_k = 1 - sum of the others, with k the unknown of
// the largest diagonal element; the others fit y - r_k by r_j - r_k.
int ConstrainedLsq::solveEqualitySubset(const int *idx, int p, const Matrix &g, const Vector &h,
                                        Vector &z) {
    if (p == 1) {
        z[idx[0]] = 1;
        return 1;
    }
    int kPos = 0;
    for (int a = 1; a < p; ++a)
        if (g[idx[a]][idx[a]] > g[idx[kPos]][idx[kPos]])
            kPos = a;
    const int k = idx[kPos];
    std::array<int, MaxN> others{};
    std::array<int, MaxN> seq{};
    for (int a = 0, o = 0; a < p; ++a)
        if (a != kPos) {
            seq[o] = o;
            others[o++] = idx[a];
        }
    const int q = p - 1;
    for (int a = 0; a < q; ++a) {
        const int ja = others[a];
        for (int b = 0; b < q; ++b) {
            const int jb = others[b];
            m_reduced[a][b] = g[ja][jb] - g[ja][k] - g[k][jb] + g[k][k];
        }
        m_reducedH[a] = h[ja] - h[k] - g[ja][k] + g[k][k];
    }
    Vector t{};
    const int rank = solveSubset(seq.data(), q, m_reduced, m_reducedH, t);
    double sum = 0;
    for (int a = 0; a < q; ++a) {
        z[others[a]] = t[a];
        sum += t[a];
    }
    z[k] = 1 - sum;
    return rank + 1;
}

void ConstrainedLsq::solveOnPassive(int n, const Matrix &g, const Vector &h, bool sumToOne,
                                    Vector &z) {
    std::fill_n(z.begin(), n, 0.0);
    if (m_passiveCount == 0)
        return;
    if (sumToOne)
        solveEqualitySubset(m_passive.data(), m_passiveCount, g, h, z);
    else
        solveSubset(m_passive.data(), m_passiveCount, g, h, z);
}

bool ConstrainedLsq::solve(int n, int firstBounded, const Matrix &g, const Vector &h,
                           Options options, Vector &x) {
    if (n < 1 || n > MaxN || firstBounded < 0 || firstBounded > n)
        return false;
    // The equality binds the bounded unknowns alone; with free ones beside
    // them it would need another elimination, which no fit here asks for.
    if (options.sumToOne && firstBounded > 0)
        return false;
    if (options.nonNegative && !options.sumToOne) {
        scale(n, g, h);
        activeSet(n, firstBounded, m_gs, m_hs, false, x);
        for (int j = 0; j < n; ++j)
            x[j] *= m_d[j];
        return true;
    }
    if (options.nonNegative)
        return activeSet(n, firstBounded, g, h, options.sumToOne, x);
    m_passiveCount = n;
    for (int j = 0; j < n; ++j)
        m_passive[j] = j;
    solveOnPassive(n, g, h, options.sumToOne, x);
    return true;
}

// Lawson-Hanson on the normal equations. The passive set P holds the free
// unknowns and the bounded ones currently above 0. Outer step: the bounded
// unknown outside P whose gradient h - G x (less the equality's multiplier)
// points most into the feasible side joins P. Inner step: solve on P; where
// that answer leaves the feasible set, move from x towards it as far as
// feasibility allows and release the unknowns that reached 0.
bool ConstrainedLsq::activeSet(int n, int fb, const Matrix &g, const Vector &h, bool sumToOne,
                               Vector &x) {
    std::fill_n(x.begin(), n, 0.0);
    std::fill_n(m_inPassive.begin(), n, false);
    m_passiveCount = 0;
    const auto addPassive = [&](int j) {
        m_inPassive[j] = true;
        m_passive[m_passiveCount++] = j;
    };
    for (int j = 0; j < fb; ++j)
        addPassive(j);
    double scale = 0;
    for (int j = 0; j < n; ++j)
        scale = std::max({scale, std::fabs(g[j][j]), std::fabs(h[j])});
    if (sumToOne) {
        // Start from the single best reference: feasible, and a vertex.
        int best = fb;
        for (int j = fb + 1; j < n; ++j)
            if (2 * h[j] - g[j][j] > 2 * h[best] - g[best][best])
                best = j;
        addPassive(best);
    }
    solveOnPassive(n, g, h, sumToOne, x);
    if (!(scale > 0) || !std::isfinite(scale))
        return true;
    const double tol = 1e-10 * scale;
    std::array<bool, MaxN> blocked{};
    for (int outer = 0; outer < 3 * n + 10; ++outer) {
        double lambda = 0;
        int bounded = 0;
        for (int a = 0; a < m_passiveCount; ++a) {
            const int j = m_passive[a];
            if (j < fb)
                continue;
            double grad = h[j];
            for (int l = 0; l < n; ++l)
                grad -= g[j][l] * x[l];
            lambda += grad;
            ++bounded;
        }
        lambda = sumToOne && bounded > 0 ? lambda / bounded : 0.0;
        int enter = -1;
        double bestW = tol;
        for (int j = fb; j < n; ++j) {
            if (m_inPassive[j] || blocked[j])
                continue;
            double w = h[j] - lambda;
            for (int l = 0; l < n; ++l)
                w -= g[j][l] * x[l];
            if (w > bestW) {
                bestW = w;
                enter = j;
            }
        }
        if (enter < 0)
            break;
        addPassive(enter);
        bool entered = true;
        for (int inner = 0; inner <= n; ++inner) {
            solveOnPassive(n, g, h, sumToOne, m_z);
            double alpha = 1;
            bool feasible = true;
            for (int a = 0; a < m_passiveCount; ++a) {
                const int j = m_passive[a];
                if (j < fb || m_z[j] > 0)
                    continue;
                feasible = false;
                const double step = x[j] - m_z[j];
                alpha = std::min(alpha, step > 0 ? x[j] / step : 0.0);
            }
            if (feasible) {
                for (int j = 0; j < n; ++j)
                    x[j] = m_z[j];
                break;
            }
            if (inner == 0 && m_z[enter] <= 0) {
                // Rounding made the newcomer useless: leave it out until x moves.
                entered = false;
            }
            for (int a = 0; a < m_passiveCount; ++a) {
                const int j = m_passive[a];
                x[j] += alpha * (m_z[j] - x[j]);
            }
            int kept = 0;
            for (int a = 0; a < m_passiveCount; ++a) {
                const int j = m_passive[a];
                if (j >= fb && (x[j] <= 0 || (!entered && j == enter))) {
                    x[j] = 0;
                    m_inPassive[j] = false;
                    continue;
                }
                m_passive[kept++] = j;
            }
            m_passiveCount = kept;
            if (!entered)
                break;
        }
        if (entered)
            blocked.fill(false);
        else
            blocked[enter] = true;
    }
    return true;
}

void ConstrainedLsq::scale(int n, const Matrix &g, const Vector &h) {
    for (int j = 0; j < n; ++j)
        m_d[j] = g[j][j] > 0 ? 1 / std::sqrt(g[j][j]) : 1.0;
    for (int j = 0; j < n; ++j) {
        for (int k = 0; k < n; ++k)
            m_gs[j][k] = m_d[j] * g[j][k] * m_d[k];
        m_hs[j] = m_d[j] * h[j];
    }
}

bool ConstrainedLsq::covariance(int n, int firstBounded, const Matrix &g, bool sumToOne,
                                Matrix &c) {
    if (n < 1 || n > MaxN)
        return false;
    scale(n, g, m_hs);
    std::array<int, MaxN> all{};
    for (int j = 0; j < n; ++j)
        all[j] = j;
    Vector e{};
    Vector col{};
    Matrix inverse{};
    for (int j = 0; j < n; ++j) {
        e.fill(0.0);
        e[j] = 1;
        if (solveSubset(all.data(), n, m_gs, e, col) < n)
            return false;
        for (int i = 0; i < n; ++i)
            inverse[i][j] = m_d[i] * col[i] * m_d[j];
    }
    if (sumToOne) {
        // cov of x with sum(x_bounded) = 1: C - C1 (C1)^T / (1^T C 1).
        Vector u{};
        double s = 0;
        for (int i = 0; i < n; ++i) {
            for (int j = firstBounded; j < n; ++j)
                u[i] += inverse[i][j];
            if (i >= firstBounded)
                s += u[i];
        }
        if (!(s > 0))
            return false;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                inverse[i][j] -= u[i] * u[j] / s;
    }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            c[i][j] = inverse[i][j];
    return true;
}
