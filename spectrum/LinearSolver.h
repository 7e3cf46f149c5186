#pragma once
// Dense LU solver for the small normal equations of the background fits
// (n <= 4). Partial pivoting through a permutation list; rows are never moved.
// Everything lives in fixed-size arrays: no allocation.
#include <array>

class LinearSolver {
public:
    static constexpr int maxN = 4;
    using Matrix = std::array<std::array<double, maxN>, maxN>;
    using Vector = std::array<double, maxN>;
    using Permutation = std::array<int, maxN>;

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
    // The three steps; solution[i] is unknown i. True only when all succeed.
    static bool solve(int n, Matrix a, const Vector &b, Vector &solution);
};
