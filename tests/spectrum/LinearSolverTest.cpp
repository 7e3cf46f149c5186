#include "spectrum/LinearSolver.h"

#include <cmath>
#include <gtest/gtest.h>

TEST(LinearSolverTest, SolvesSystemsThatNeedPivoting) {
    // The first pivot must come from row 2, the second from row 2 again.
    LinearSolver::Matrix a{};
    a[0] = {0, 2, 1, 0};
    a[1] = {1, 1, 1, 0};
    a[2] = {4, -2, 3, 0};
    // x = (1, 2, 3)
    const LinearSolver::Vector b{7, 6, 9, 0};
    LinearSolver::Vector x{};
    ASSERT_TRUE(LinearSolver::solve(3, a, b, x));
    EXPECT_NEAR(x[0], 1.0, 1e-14);
    EXPECT_NEAR(x[1], 2.0, 1e-14);
    EXPECT_NEAR(x[2], 3.0, 1e-14);

    LinearSolver::Matrix m{};
    m[0] = {2, 1, 0, 0};
    m[1] = {1, 3, 0, 0};
    LinearSolver::Vector y{};
    ASSERT_TRUE(LinearSolver::solve(2, m, {3, 5, 0, 0}, y));
    EXPECT_DOUBLE_EQ(y[0], 0.8);
    EXPECT_DOUBLE_EQ(y[1], 1.4);
}

TEST(LinearSolverTest, FactorisationRecordsThePermutation) {
    LinearSolver::Matrix a{};
    a[0] = {1, 2, 0, 0};
    a[1] = {3, 4, 0, 0};
    LinearSolver::Permutation p{};
    ASSERT_TRUE(LinearSolver::factorise(2, a, p));
    EXPECT_EQ(p[0], 1);
    EXPECT_EQ(p[1], 0);
    // Rows stay where they were: row 0 now holds the multiplier 1/3 and U's
    // second row, row 1 keeps the pivot row.
    EXPECT_DOUBLE_EQ(a[0][0], 1.0 / 3);
    EXPECT_DOUBLE_EQ(a[0][1], 2 - 4.0 / 3);
    EXPECT_EQ(a[1][0], 3.0);
    EXPECT_EQ(a[1][1], 4.0);
}

TEST(LinearSolverTest, EqualPivotCandidatesKeepTheFirstRow) {
    // |1| = |-1| in column 0: the first row in the current order stays pivot;
    // in column 1 the tie is between the remaining row and nothing else.
    LinearSolver::Matrix a{};
    a[0] = {1, 2, 0, 0};
    a[1] = {-1, 3, 0, 0};
    LinearSolver::Permutation p{};
    ASSERT_TRUE(LinearSolver::factorise(2, a, p));
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[1], 1);
    EXPECT_EQ(a[1][0], -1.0); // multiplier below the pivot
    EXPECT_EQ(a[1][1], 5.0);
}

TEST(LinearSolverTest, SingularMatrixFailsWithoutNaN) {
    LinearSolver::Matrix a{};
    a[0] = {1, 2, 0, 0};
    a[1] = {2, 4, 0, 0};
    LinearSolver::Vector x{};
    EXPECT_FALSE(LinearSolver::solve(2, a, {1, 2, 0, 0}, x));
    EXPECT_TRUE(std::isfinite(x[0]));
    EXPECT_TRUE(std::isfinite(x[1]));

    // An all-zero system (a fit range without points): failure, zeros.
    LinearSolver::Matrix z{};
    LinearSolver::Vector x3{1, 1, 1, 1};
    EXPECT_FALSE(LinearSolver::solve(3, z, {0, 0, 0, 0}, x3));
    EXPECT_EQ(x3[0], 0.0);
    EXPECT_EQ(x3[1], 0.0);
    EXPECT_EQ(x3[2], 0.0);

    // A zero column in the middle: the elimination goes on with the next one.
    LinearSolver::Matrix c{};
    c[0] = {1, 0, 1, 0};
    c[1] = {0, 0, 1, 0};
    c[2] = {1, 0, 2, 0};
    LinearSolver::Permutation p{};
    EXPECT_FALSE(LinearSolver::factorise(3, c, p));

    EXPECT_FALSE(LinearSolver::solve(5, a, {0, 0, 0, 0}, x)); // beyond the fixed size
}
