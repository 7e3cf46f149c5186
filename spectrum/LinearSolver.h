#pragma once
// Dense LU solver for small normal equations: the background fits (n <= 4)
// and the linear-combination fits (references plus two). Partial pivoting
// through a permutation list; rows are never moved. Everything lives in
// fixed-size arrays: no allocation.
#include <array>
#include <cmath>
#include <utility>

template <int MaxN> class LinearSolverN {
public:
    static constexpr int maxN = MaxN;
    using Matrix = std::array<std::array<double, MaxN>, MaxN>;
    using Vector = std::array<double, MaxN>;
    using Permutation = std::array<int, MaxN>;

    // In place: the lower triangle of a gets the multipliers (unit diagonal),
    // the upper triangle U, both addressed through perm (row perm[i] holds the
    // i-th pivot row). A zero pivot marks failure; elimination goes on.
    static bool factorise(int n, Matrix &a, Permutation &perm);
    // Solves L·y = P·b; y is kept at the permuted positions (y[perm[i]]).
    static bool forwardSubstitute(int n, const Matrix &lu, const Permutation &perm, const Vector &b,
                                  Vector &y);
    // Solves U·x = y; unknown i ends at x[perm[i]]. A zero diagonal element
    // reports failure and leaves that unknown 0.
    static bool backSubstitute(int n, const Matrix &lu, const Permutation &perm, const Vector &y,
                               Vector &x);
    // The two substitutions on a factorised matrix; solution[i] is unknown i.
    // Systems that share their matrix are factorised once.
    static bool solveFactorised(int n, const Matrix &lu, const Permutation &perm, const Vector &b,
                                Vector &solution);
    // The three steps; solution[i] is unknown i. True only when all succeed.
    // a is taken by reference and overwritten (it is large for big MaxN).
    static bool solveInPlace(int n, Matrix &a, const Vector &b, Vector &solution);
    static bool solve(int n, Matrix a, const Vector &b, Vector &solution) {
        return solveInPlace(n, a, b, solution);
    }
};

using LinearSolver = LinearSolverN<4>;

template <int MaxN> bool LinearSolverN<MaxN>::factorise(int n, Matrix &a, Permutation &perm) {
    if (n < 0 || n > MaxN)
        return false;
    bool ok = true;
    for (int i = 0; i < n; ++i)
        perm[i] = i;
    for (int k = 0; k < n; ++k) {
        // Pivot: the remaining row with the largest |a[.][k]|, first on ties.
        int best = k;
        double bestAbs = std::fabs(a[perm[k]][k]);
        for (int i = k + 1; i < n; ++i) {
            const double v = std::fabs(a[perm[i]][k]);
            if (v > bestAbs) {
                bestAbs = v;
                best = i;
            }
        }
        std::swap(perm[k], perm[best]);
        const double pivot = a[perm[k]][k];
        if (pivot == 0.0) {
            // The whole remaining column is zero: nothing to eliminate.
            ok = false;
            continue;
        }
        const auto &pivotRow = a[perm[k]];
        for (int i = k + 1; i < n; ++i) {
            auto &row = a[perm[i]];
            const double m = row[k] / pivot;
            row[k] = m;
            for (int j = k + 1; j < n; ++j)
                row[j] -= m * pivotRow[j];
        }
    }
    return ok;
}

template <int MaxN>
bool LinearSolverN<MaxN>::forwardSubstitute(int n, const Matrix &lu, const Permutation &perm,
                                            const Vector &b, Vector &y) {
    if (n < 0 || n > MaxN)
        return false;
    // L has a unit diagonal, so this step cannot meet a zero diagonal element.
    for (int i = 0; i < n; ++i) {
        const int pi = perm[i];
        double s = b[pi];
        for (int j = 0; j < i; ++j)
            s -= lu[pi][j] * y[perm[j]];
        y[pi] = s;
    }
    return true;
}

template <int MaxN>
bool LinearSolverN<MaxN>::backSubstitute(int n, const Matrix &lu, const Permutation &perm,
                                         const Vector &y, Vector &x) {
    if (n < 0 || n > MaxN)
        return false;
    bool ok = true;
    for (int i = n - 1; i >= 0; --i) {
        const int pi = perm[i];
        double s = y[pi];
        for (int j = i + 1; j < n; ++j)
            s -= lu[pi][j] * x[perm[j]];
        const double d = lu[pi][i];
        if (d == 0.0) {
            ok = false;
            x[pi] = 0.0;
            continue;
        }
        x[pi] = s / d;
    }
    return ok;
}

template <int MaxN>
bool LinearSolverN<MaxN>::solveInPlace(int n, Matrix &a, const Vector &b, Vector &solution) {
    if (n < 0 || n > MaxN)
        return false;
    Permutation perm{};
    const bool okLU = factorise(n, a, perm);
    const bool okS = solveFactorised(n, a, perm, b, solution);
    return okLU && okS;
}

template <int MaxN>
bool LinearSolverN<MaxN>::solveFactorised(int n, const Matrix &lu, const Permutation &perm,
                                          const Vector &b, Vector &solution) {
    if (n < 0 || n > MaxN)
        return false;
    Vector y{};
    Vector x{};
    const bool okF = forwardSubstitute(n, lu, perm, b, y);
    const bool okB = backSubstitute(n, lu, perm, y, x);
    for (int i = 0; i < n; ++i)
        solution[i] = x[perm[i]];
    return okF && okB;
}
