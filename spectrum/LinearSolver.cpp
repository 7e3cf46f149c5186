#include "spectrum/LinearSolver.h"

#include <cmath>

bool LinearSolver::factorise(int n, Matrix &a, Permutation &perm) {
    if (n < 0 || n > maxN)
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

bool LinearSolver::forwardSubstitute(int n, const Matrix &lu, const Permutation &perm,
                                     const Vector &b, Vector &y) {
    if (n < 0 || n > maxN)
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

bool LinearSolver::backSubstitute(int n, const Matrix &lu, const Permutation &perm, const Vector &y,
                                  Vector &x) {
    if (n < 0 || n > maxN)
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

bool LinearSolver::solve(int n, Matrix a, const Vector &b, Vector &solution) {
    if (n < 0 || n > maxN)
        return false;
    Permutation perm{};
    Vector y{};
    Vector x{};
    const bool okLU = factorise(n, a, perm);
    const bool okF = forwardSubstitute(n, a, perm, b, y);
    const bool okB = backSubstitute(n, a, perm, y, x);
    for (int i = 0; i < n; ++i)
        solution[i] = x[perm[i]];
    return okLU && okF && okB;
}
