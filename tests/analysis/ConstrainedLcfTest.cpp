// Constrained least squares and the fit-quality figures: hand-solved systems,
// random systems against scipy, the degenerate reference sets, and the
// standard errors against the spread of fits to noisy data.
#include "analysis/ConstrainedLsq.h"
#include "analysis/LcfEngine.h"

#include "LcfTestData.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <vector>

using namespace lcftest;

namespace {

using Rows = std::vector<std::vector<double>>;

struct System {
    int n = 0;
    ConstrainedLsq::Matrix g{};
    ConstrainedLsq::Vector h{};
};

System normalEquations(const Rows &a, const std::vector<double> &y) {
    System s;
    s.n = int(a.front().size());
    for (size_t i = 0; i < a.size(); ++i)
        for (int j = 0; j < s.n; ++j) {
            s.h[j] += a[i][j] * y[i];
            for (int k = 0; k < s.n; ++k)
                s.g[j][k] += a[i][j] * a[i][k];
        }
    return s;
}

double objective(const Rows &a, const std::vector<double> &y, const double *x) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        double r = y[i];
        for (size_t j = 0; j < a[i].size(); ++j)
            r -= a[i][j] * x[j];
        sum += r * r;
    }
    return sum;
}

ConstrainedLsq::Vector solve(const Rows &a, const std::vector<double> &y, int firstBounded,
                             bool nonNeg, bool sum1) {
    const System s = normalEquations(a, y);
    ConstrainedLsq lsq;
    ConstrainedLsq::Vector x{};
    EXPECT_TRUE(lsq.solve(s.n, firstBounded, s.g, s.h, {nonNeg, sum1}, x));
    return x;
}

} // namespace

TEST(ConstrainedLsqTest, HandSolvedSystems) {
    const Rows eye2{{1, 0}, {0, 1}}, eye3{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    struct Case {
        const char *what;
        Rows a;
        std::vector<double> y;
        int firstBounded;
        bool nonNeg, sum1;
        std::vector<double> x;
    } cases[] = {
        {"nonneg clips", eye2, {1, -1}, 0, true, false, {1, 0}},
        {"nonneg interior", eye2, {0.3, 0.2}, 0, true, false, {0.3, 0.2}},
        {"sum1 projects", eye2, {0.8, 0.6}, 0, false, true, {0.6, 0.4}},
        {"sum1 lets one go negative", eye2, {1.5, -0.5}, 0, false, true, {1.5, -0.5}},
        {"both at a vertex", eye2, {1.5, -0.5}, 0, true, true, {1, 0}},
        {"both on an edge", eye3, {0.7, 0.5, -1}, 0, true, true, {0.6, 0.4, 0}},
        {"nonneg of three", eye3, {0.5, 0.5, -1}, 0, true, false, {0.5, 0.5, 0}},
        // Offset free, slope-like column bounded: y = (1, 0) wants -1.
        {"free offset", {{1, 0}, {1, 1}}, {1, 0}, 1, true, false, {0.5, 0}},
        {"one unknown, sum1", {{2}, {1}}, {5, 5}, 0, true, true, {1}},
    };
    for (const Case &c : cases) {
        const ConstrainedLsq::Vector x = solve(c.a, c.y, c.firstBounded, c.nonNeg, c.sum1);
        for (size_t j = 0; j < c.x.size(); ++j)
            EXPECT_NEAR(x[j], c.x[j], 1e-12) << c.what << " x" << j;
    }
}

// Two identical columns: any split of their sum is a solution; the solver
// returns one that meets the constraints and fits as well as any.
TEST(ConstrainedLsqTest, IdenticalColumnsStillGiveAValidAnswer) {
    const Rows a{{1, 1, 0}, {2, 2, 1}, {0, 0, 1}, {1, 1, 1}};
    const std::vector<double> y{0.5, 1.4, 0.3, 0.85};
    for (const bool sum1 : {false, true}) {
        const ConstrainedLsq::Vector x = solve(a, y, 0, true, sum1);
        for (int j = 0; j < 3; ++j)
            EXPECT_GE(x[j], 0);
        if (sum1)
            EXPECT_NEAR(x[0] + x[1] + x[2], 1, 1e-12);
        // As good as the best fit by the two distinct columns.
        Rows distinct;
        for (const auto &row : a)
            distinct.push_back({row[0], row[2]});
        const ConstrainedLsq::Vector best = solve(distinct, y, 0, true, sum1);
        EXPECT_NEAR(objective(a, y, x.data()), objective(distinct, y, best.data()), 1e-12);
    }
    const System s = normalEquations(a, y);
    ConstrainedLsq lsq;
    ConstrainedLsq::Matrix c{};
    EXPECT_FALSE(lsq.covariance(3, 0, s.g, false, c));
}

// Random systems (some with a dependent column) solved here and by scipy:
// nnls, lsq_linear with a free offset column, the equality-constrained
// normal equations, and SLSQP for both constraints. Compared by the value of
// the objective (equal optima) and by the coefficients where unique.
TEST(ConstrainedLsqTest, RandomSystemsAgreeWithScipy) {
    QProcess probe;
    probe.start("/usr/bin/python3", {"-c", "import scipy.optimize, numpy"});
    if (!probe.waitForFinished(20000) || probe.exitCode() != 0)
        GTEST_SKIP() << "python3 with scipy not available";
    QTemporaryDir dir;
    const QString in = dir.filePath("systems.txt"), out = dir.filePath("answers.txt");
    std::mt19937 rng(14);
    std::normal_distribution<double> normal;
    struct Problem {
        Rows a;
        std::vector<double> y;
        int kind; // 0 nnls, 1 free first column + nnls, 2 sum1, 3 both
    };
    std::vector<Problem> problems;
    for (int k = 0; k < 40; ++k) {
        Problem p;
        p.kind = k % 4;
        const int n = 2 + k % 5, m = n + 3 + k % 7;
        p.a.assign(m, std::vector<double>(n));
        for (auto &row : p.a)
            for (double &v : row)
                v = std::fabs(normal(rng)) + (p.kind == 1 ? 0.0 : 0.2);
        if (p.kind == 1)
            for (auto &row : p.a)
                row[0] = 1;
        for (int i = 0; i < m; ++i)
            p.y.push_back(normal(rng) + 0.5);
        problems.push_back(p);
    }
    {
        QFile f(in);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Text));
        QTextStream t(&f);
        t.setRealNumberPrecision(17);
        for (const Problem &p : problems) {
            t << p.kind << ' ' << p.a.size() << ' ' << p.a[0].size() << '\n';
            for (size_t i = 0; i < p.a.size(); ++i) {
                for (double v : p.a[i])
                    t << v << ' ';
                t << p.y[i] << '\n';
            }
        }
    }
    const char *script = R"(
import sys, numpy as np
from scipy.optimize import nnls, lsq_linear, minimize
lines = open(sys.argv[1]).read().split('\n')
out = open(sys.argv[2], 'w')
i = 0
while i < len(lines) and lines[i].strip():
    kind, m, n = map(int, lines[i].split()); i += 1
    rows = np.array([[float(v) for v in lines[i + r].split()] for r in range(m)]); i += m
    A, y = rows[:, :n], rows[:, n]
    if kind == 0:
        x = nnls(A, y)[0]
    elif kind == 1:
        lo = np.zeros(n); lo[0] = -np.inf
        x = lsq_linear(A, y, bounds=(lo, np.full(n, np.inf)), method='bvls', tol=1e-14).x
    elif kind == 2:
        K = np.zeros((n + 1, n + 1)); K[:n, :n] = A.T @ A; K[:n, n] = 1; K[n, :n] = 1
        x = np.linalg.solve(K, np.append(A.T @ y, 1.0))[:n]
    else:
        f = lambda x: np.sum((A @ x - y) ** 2)
        x = minimize(f, np.full(n, 1.0 / n), jac=lambda x: 2 * A.T @ (A @ x - y),
                     bounds=[(0, None)] * n, constraints=[{'type': 'eq', 'fun': lambda x: np.sum(x) - 1}],
                     method='SLSQP', options={'ftol': 1e-15, 'maxiter': 1000}).x
    out.write(' '.join('%.17g' % v for v in x) + '\n')
)";
    QProcess py;
    py.start("/usr/bin/python3", {"-c", script, in, out});
    ASSERT_TRUE(py.waitForFinished(60000));
    ASSERT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text));
    QTextStream t(&f);
    for (const Problem &p : problems) {
        const QStringList items = t.readLine().split(' ', Qt::SkipEmptyParts);
        const int n = int(p.a[0].size());
        ASSERT_EQ(items.size(), n);
        std::vector<double> ref;
        for (const QString &v : items)
            ref.push_back(v.toDouble());
        const bool nonNeg = p.kind != 2, sum1 = p.kind >= 2;
        const ConstrainedLsq::Vector x = solve(p.a, p.y, p.kind == 1 ? 1 : 0, nonNeg, sum1);
        const double mine = objective(p.a, p.y, x.data()), theirs = objective(p.a, p.y, ref.data());
        EXPECT_LE(mine, theirs * (1 + 1e-9) + 1e-12) << "kind " << p.kind;
        for (int j = 0; j < n; ++j)
            EXPECT_NEAR(x[j], ref[j], 1e-5) << "kind " << p.kind << " x" << j;
    }
}

namespace {

struct Refs {
    XafsSpectrum a = reference(0), b = reference(1);
    QVector<LcfReference> rows(bool twins = false) const {
        return {{&a, true}, {twins ? &a : &b, true}, {nullptr, false}};
    }
};

// jump * (fa r_a + (1 - fa) r_b) on a sloping background, plus noise.
XafsSpectrum mixture(const Refs &refs, double fa, std::mt19937 *rng = nullptr, double noise = 0) {
    std::normal_distribution<double> normal(0, noise);
    return sample([&](double e) {
        const double ra = refs.a.doubleNormalizedPostBase().valueAt(e);
        const double rb = refs.b.doubleNormalizedPostBase().valueAt(e);
        return 0.1 + 1e-4 * (e - 9000) + 2.0 * (fa * ra + (1 - fa) * rb) +
               (rng ? normal(*rng) : 0.0);
    });
}

double stddev(const std::vector<double> &v) {
    double mean = 0, sq = 0;
    for (double x : v)
        mean += x;
    mean /= v.size();
    for (double x : v)
        sq += (x - mean) * (x - mean);
    return std::sqrt(sq / (v.size() - 1));
}

} // namespace

// Degenerate sets: identical references (valid constrained answer, sigma
// NaN), one reference (sum to one pins it: sigma 0), fewer points than
// unknowns (chi2 and sigma NaN).
TEST(ConstrainedLcfTest, DegenerateReferenceSets) {
    Refs refs;
    const XafsSpectrum s = mixture(refs, 0.4);
    LcfEngine engine;
    LcfResult out;
    engine.setOptions({true, true, true});
    for (const LcfKind kind : {LcfKind::LCF, LcfKind::MLCF}) {
        ASSERT_TRUE(
            engine.analyze(kind, s, refs.rows(true), 8950, 9100, SuggestElm(), nullptr, out));
        EXPECT_NEAR(out.fractions[0] + out.fractions[1], 1, 1e-9);
        EXPECT_GE(out.fractions[0], 0);
        EXPECT_GE(out.fractions[1], 0);
        EXPECT_TRUE(std::isnan(out.sigmas[0]) && std::isnan(out.sigmas[1]));
        EXPECT_TRUE(std::isfinite(out.rFactor) && std::isfinite(out.chi2));
    }
    const QVector<LcfReference> one{{&refs.a, true}, {&refs.b, false}};
    ASSERT_TRUE(engine.analyze(LcfKind::LCF, s, one, 8950, 9100, SuggestElm(), nullptr, out));
    EXPECT_DOUBLE_EQ(out.fractions[0], 1);
    EXPECT_DOUBLE_EQ(out.sigmas[0], 0);
    engine.setOptions({false, false, true});
    ASSERT_TRUE(engine.analyze(LcfKind::LCF, s, one, 8950, 9100, SuggestElm(), nullptr, out));
    EXPECT_GT(out.sigmas[0], 0);
    // One point in the range, two references: the fit is not determined.
    engine.setOptions({true, true, true});
    ASSERT_TRUE(
        engine.analyze(LcfKind::LCF, s, refs.rows(), 8990, 8990, SuggestElm(), nullptr, out));
    EXPECT_NEAR(out.fractions[0] + out.fractions[1], 1, 1e-9);
    EXPECT_TRUE(std::isnan(out.chi2));
    EXPECT_TRUE(std::isnan(out.sigmas[0]));
}

// Constraints change nothing where the free answer already meets them, and
// the quality figures alone leave the fit bit for bit as it was.
TEST(ConstrainedLcfTest, ConstraintsBindOnlyWhereNeeded) {
    Refs refs;
    LcfEngine plain, quality, bound;
    quality.setOptions({false, false, true});
    bound.setOptions({true, true, true});
    LcfResult p, q, b;
    const XafsSpectrum inside = mixture(refs, 0.3);
    for (const LcfKind kind : {LcfKind::LCF, LcfKind::MLCF}) {
        ASSERT_TRUE(plain.analyze(kind, inside, refs.rows(), 8950, 9100, SuggestElm(), nullptr, p));
        ASSERT_TRUE(
            quality.analyze(kind, inside, refs.rows(), 8950, 9100, SuggestElm(), nullptr, q));
        ASSERT_TRUE(bound.analyze(kind, inside, refs.rows(), 8950, 9100, SuggestElm(), nullptr, b));
        EXPECT_EQ(q.fractions, p.fractions);
        EXPECT_EQ(q.amounts, p.amounts);
        EXPECT_EQ(q.residual, p.residual);
        EXPECT_NEAR(b.fractions[0], p.fractions[0], 1e-6);
    }
    // More of A than there is: the free fit goes past 1, the bound one stops.
    const XafsSpectrum over = mixture(refs, 1.3);
    ASSERT_TRUE(
        plain.analyze(LcfKind::LCF, over, refs.rows(), 8950, 9100, SuggestElm(), nullptr, p));
    ASSERT_TRUE(
        bound.analyze(LcfKind::LCF, over, refs.rows(), 8950, 9100, SuggestElm(), nullptr, b));
    EXPECT_GT(p.fractions[0], 1.1);
    EXPECT_LT(p.fractions[1], -0.1);
    EXPECT_DOUBLE_EQ(b.fractions[0], 1);
    EXPECT_DOUBLE_EQ(b.fractions[1], 0);
    EXPECT_GT(b.rFactor, 0);
}

// Noise of known size on a mixture, many times: the spread of the fitted
// fractions matches the reported standard error within 20 %.
TEST(ConstrainedLcfTest, SigmaMatchesTheSpreadOfNoisyFits) {
    Refs refs;
    struct Case {
        LcfKind kind;
        LcfOptions options;
    } cases[] = {{LcfKind::MLCF, {false, false, true}},
                 {LcfKind::LCF, {false, false, true}},
                 {LcfKind::LCF, {false, true, true}}};
    for (const Case &c : cases) {
        std::mt19937 rng(7);
        LcfEngine engine;
        engine.setOptions(c.options);
        LcfResult out;
        std::vector<double> fractions;
        double sigmas = 0;
        const int trials = 300;
        for (int t = 0; t < trials; ++t) {
            const XafsSpectrum s = mixture(refs, 0.4, &rng, 0.01);
            ASSERT_TRUE(
                engine.analyze(c.kind, s, refs.rows(), 8970, 9100, SuggestElm(), nullptr, out));
            fractions.push_back(out.fractions[0]);
            sigmas += out.sigmas[0];
        }
        const double spread = stddev(fractions), reported = sigmas / trials;
        EXPECT_NEAR(reported / spread, 1.0, 0.2)
            << "kind " << int(c.kind) << " sum1 " << c.options.sumToOne << ": reported " << reported
            << ", spread " << spread;
    }
}
