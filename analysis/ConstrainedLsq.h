#pragma once
// Small least-squares problems min |A x - y|^2 given by their normal equations
// G = A^T A, h = A^T y, with the constraints a physical linear combination
// wants:
//
//  - non-negative: the bounded unknowns stay >= 0 (an active-set method in the
//    manner of Lawson and Hanson, worked on G and h instead of A);
//  - sum to one: the bounded unknowns add up to exactly 1 (eliminated by
//    substitution, so it holds to rounding);
//  - both at once (the same active set, the equality kept on its free part).
//
// Unknowns [0, firstBounded) are free (an offset and a slope, say); the rest
// are the coefficients of the references. Every solve works in fixed-size
// arrays held by the object: nothing is allocated, so one object per thread
// serves every bin of a map.
//
// A singular G (two identical references) is no failure: the solver drops the
// directions it cannot tell apart (their unknowns stay 0) and returns one of
// the equally good answers.
#include <array>

class ConstrainedLsq {
public:
    static constexpr int MaxN = 18;
    using Matrix = std::array<std::array<double, MaxN>, MaxN>;
    using Vector = std::array<double, MaxN>;

    struct Options {
        bool nonNegative = false;
        bool sumToOne = false;
    };

    // Solves the problem of n unknowns into x. False (x untouched) when n or
    // firstBounded is out of range, or for sum to one beside free unknowns,
    // which no fit here asks for.
    bool solve(int n, int firstBounded, const Matrix &g, const Vector &h, Options options,
               Vector &x);

    // The covariance factors of the unknowns, cov = s^2 * c with s^2 the
    // residual variance: c = G^-1, or with sumToOne G^-1 projected onto the
    // plane of the constraint. False (c untouched) when G is singular: the
    // coefficients are then undetermined.
    bool covariance(int n, int firstBounded, const Matrix &g, bool sumToOne, Matrix &c);

    // G z = h over the unknowns idx[0..p) only (the others take no part),
    // z written at those indices. Directions of G that are numerically
    // singular are dropped (their unknowns 0). Returns the rank found.
    int solveSubset(const int *idx, int p, const Matrix &g, const Vector &h, Vector &z);

private:
    // Unknowns scaled to unit columns (G_jj = 1) for the bound-only solve
    // and the covariance: an offset, a slope in eV and references of order 1
    // differ by ten orders of magnitude, and the tolerances must not care.
    void scale(int n, const Matrix &g, const Vector &h);
    Matrix m_gs{};
    Vector m_hs{};
    Vector m_d{};

    int solveEqualitySubset(const int *idx, int p, const Matrix &g, const Vector &h, Vector &z);
    void solveOnPassive(int n, const Matrix &g, const Vector &h, bool sumToOne, Vector &z);
    bool activeSet(int n, int firstBounded, const Matrix &g, const Vector &h, bool sumToOne,
                   Vector &x);

    // Workspace of the eliminations.
    Matrix m_m{};
    Vector m_r{};
    Matrix m_reduced{};
    Vector m_reducedH{};
    std::array<int, MaxN> m_order{};
    std::array<int, MaxN> m_passive{};
    std::array<bool, MaxN> m_inPassive{};
    int m_passiveCount = 0;
    Vector m_z{};
};
