#include "analysis/ComponentRun.h"
#include "analysis/LcfEngine.h"
#include "imageio/TiffData.h"

#include "LcfTestData.h"

#include <Eigen/Dense>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <set>

using namespace lcftest;

namespace {

constexpr int W = 18, H = 12;
constexpr int PureRows = 8; // rows below hold the mixture
const double MixedFractions[3] = {0.5, 0.3, 0.2};
const double EdgeJumps[3] = {1.0, 0.8, 0.7};

// Three compounds: the two LCF test references and a third with a later,
// plain edge.
double compoundMu(int j, double e) {
    return j < 2 ? refMu(j, e) : 0.4 - 1.5e-5 * (e - 9000) + 0.7 * shape(e, 8994, 0.0);
}

// Columns 0-5, 6-11 and 12-16 of the upper rows hold compounds 0, 1 and 2;
// the lower rows a mixture of all three; column 17 no sample (no edge).
// I1 carries a deterministic 0.2 % noise, so every bin differs.
double sampleMu(int x, int y, double e) {
    if (x == W - 1)
        return 0.2;
    if (y >= PureRows)
        return 0.2 + MixedFractions[0] * compoundMu(0, e) + MixedFractions[1] * compoundMu(1, e) +
               MixedFractions[2] * compoundMu(2, e);
    return 0.2 + compoundMu(x < 6 ? 0 : x < 12 ? 1 : 2, e);
}

int region(int x) {
    return x == W - 1 ? -1 : x < 6 ? 0 : x < 12 ? 1 : 2;
}

class Stack {
public:
    Stack() {
        SeededRandom noise(7);
        for (double e = From; e <= To; e += 2) {
            std::vector<float> i1(W * H), i0(W * H, 10000.0f);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    i1[x + y * W] = float(10000 * std::exp(-sampleMu(x, y, e)) *
                                          (1 + 0.004 * (noise.uniform() - 0.5)));
            stack.append(Series::I1, image(i1, e));
            stack.append(Series::I0, image(i0, e));
        }
        stack.takeGeometryFromFirstI1();
        settings.stack = &stack;
        settings.bin.conditions.useI0 = true;
        stack.updateDarkAreas(settings.bin.conditions);
    }
    ComponentResult run(ComponentKind kind, const AnalyzeCond &grid, int threads) {
        ComponentRun r;
        EXPECT_TRUE(r.run(kind, settings, grid, threads)) << qPrintable(r.problem());
        return r.takeResult();
    }
    MeasurementStack stack;
    ComponentSettings settings;

private:
    TiffData *image(const std::vector<float> &v, double e) { return images.image(W, H, v, e); }
    FloatImages images;
};

AnalyzeCond wholeStack() {
    return AnalyzeCond(W, H, 0, 0, 0, 0, W, H);
}

XafsSpectrum asSpectrum(const QVector<double> &energies, const QVector<double> &values) {
    Spectrum s;
    for (int e = 0; e < energies.size(); ++e)
        s.addPoint(energies[e], values[e]);
    return XafsSpectrum(s, QStringLiteral("cluster"), 1, 0, SuggestElm());
}

} // namespace

TEST(ComponentRunTest, ClustersFindTheRegionsAndTheirSpectraRecoverAMixture) {
    Stack data;
    data.settings.clusters = 3;
    data.settings.components = 3;
    const ComponentResult r =
        data.run(ComponentKind::Clusters, AnalyzeCond(W, H, 0, 0, 0, 0, W, PureRows), 2);
    ASSERT_TRUE(r.clusterMap);
    std::map<int, std::set<int>> labelsOfRegion;
    for (int y = 0; y < PureRows; ++y)
        for (int x = 0; x < W; ++x)
            labelsOfRegion[region(x)].insert(int(r.clusterMap->valueAt(x, y)));
    EXPECT_EQ(labelsOfRegion[-1], std::set<int>{-1}); // no edge: left out
    std::set<int> used;
    for (int reg = 0; reg < 3; ++reg) {
        ASSERT_EQ(labelsOfRegion[reg].size(), 1u) << "region " << reg;
        used.insert(*labelsOfRegion[reg].begin());
    }
    EXPECT_EQ(used, (std::set<int>{0, 1, 2}));
    EXPECT_EQ(r.binsLeftOut, PureRows);

    // The cluster spectra as LCF references of a bin of the mixed rows. A fit
    // of normalised spectra gives each compound's share of the edge jump.
    std::vector<XafsSpectrum> refs;
    for (const ComponentSpectrum &s : r.clusterSpectra)
        refs.push_back(asSpectrum(r.energies, s));
    QVector<LcfReference> rows;
    for (const XafsSpectrum &s : refs)
        rows.append({&s, true});
    BinSpectrumSettings bin = data.settings.bin;
    bin.conditions.hx = bin.conditions.hy = 1;
    Spectrum mut;
    XafsSpectrum mixed;
    buildBinSpectrum(data.stack, 8, 10, bin, "mixed", mut, mixed);
    LcfEngine engine;
    LcfResult fit;
    ASSERT_TRUE(engine.analyze(LcfKind::LCF, mixed, rows, 0, 30000, SuggestElm(), nullptr, fit));
    double jump = 0;
    for (int reg = 0; reg < 3; ++reg)
        jump += MixedFractions[reg] * EdgeJumps[reg];
    for (int reg = 0; reg < 3; ++reg)
        EXPECT_NEAR(fit.fractions[*labelsOfRegion[reg].begin()],
                    MixedFractions[reg] * EdgeJumps[reg] / jump, 0.01)
            << "region " << reg;
}

TEST(ComponentRunTest, EigenvaluesMatchADenseSvdOfTheNormalisedSpectra) {
    Stack data;
    const ComponentResult r = data.run(ComponentKind::Pca, wholeStack(), 2);
    ASSERT_EQ(r.components.size(), 5);
    // The matrix a run never holds, built bin by bin.
    std::vector<std::vector<double>> rows;
    Spectrum mut;
    XafsSpectrum s;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            buildBinSpectrum(data.stack, x, y, data.settings.bin, "bin", mut, s);
            if (!(s.dMut() >= r.jumpThreshold))
                continue;
            rows.emplace_back();
            for (double e : r.energies)
                rows.back().push_back(s.normalized().valueAt(e));
        }
    ASSERT_EQ(qint64(rows.size()), r.binsUsed);
    Eigen::MatrixXd X(rows.size(), r.energies.size());
    for (size_t i = 0; i < rows.size(); ++i)
        for (int e = 0; e < r.energies.size(); ++e)
            X(Eigen::Index(i), e) = rows[i][size_t(e)];
    X.rowwise() -= X.colwise().mean();
    const Eigen::VectorXd sv = Eigen::BDCSVD<Eigen::MatrixXd>(X).singularValues();
    for (int k = 0; k < 5; ++k) {
        const double expected = sv[k] * sv[k] / double(X.rows() - 1);
        EXPECT_NEAR(r.eigenvalues[k] / expected, 1.0, 1e-9) << "component " << k + 1;
        EXPECT_NEAR(Eigen::Map<const Eigen::VectorXd>(r.components[k].constData(), X.cols()).norm(),
                    1.0, 1e-12);
    }
    EXPECT_GT(r.explainedRatios[0] + r.explainedRatios[1], 0.99); // three compounds
}

TEST(ComponentRunTest, NmfComponentsAreTheCompoundSpectraUpToScale) {
    Stack data;
    data.settings.nmfComponents = 3;
    const ComponentResult r = data.run(ComponentKind::Nmf, wholeStack(), 2);
    ASSERT_EQ(r.nmfComponents.size(), 3);
    EXPECT_GE(r.nmfOffset, 0.0);
    std::set<int> matched;
    for (int j = 0; j < 3; ++j) {
        const XafsSpectrum truth = sample([j](double e) { return compoundMu(j, e); });
        Eigen::VectorXd t(r.energies.size());
        for (int e = 0; e < t.size(); ++e)
            t[e] = truth.normalized().valueAt(r.energies[e]) + r.nmfOffset;
        int best = -1;
        double bestCos = 0;
        for (int k = 0; k < 3; ++k) {
            const Eigen::Map<const Eigen::VectorXd> c(r.nmfComponents[k].constData(), t.size());
            const double cosine = c.dot(t) / (c.norm() * t.norm());
            if (cosine > bestCos)
                bestCos = cosine, best = k;
        }
        EXPECT_GT(bestCos, 0.995) << "compound " << j;
        matched.insert(best);
    }
    EXPECT_EQ(matched.size(), 3u);
}

TEST(ComponentRunTest, OneThreadAndManyGiveTheSameBits) {
    Stack data;
    data.settings.clusters = 4;
    for (ComponentKind kind : {ComponentKind::Clusters, ComponentKind::Nmf}) {
        const ComponentResult one = data.run(kind, wholeStack(), 1);
        const ComponentResult many = data.run(kind, wholeStack(), 3);
        EXPECT_EQ(std::memcmp(one.eigenvalues.constData(), many.eigenvalues.constData(),
                              sizeof(double) * size_t(one.eigenvalues.size())),
                  0);
        ASSERT_EQ(one.scoreMaps.size(), many.scoreMaps.size());
        for (size_t k = 0; k < one.scoreMaps.size(); ++k)
            EXPECT_TRUE(sameMap(*one.scoreMaps[k], *many.scoreMaps[k])) << k;
        EXPECT_TRUE(one.clusterSpectra == many.clusterSpectra);
        EXPECT_TRUE(one.nmfComponents == many.nmfComponents);
        if (kind == ComponentKind::Clusters) {
            EXPECT_TRUE(sameMap(*one.clusterMap, *many.clusterMap));
        }
    }
}

TEST(ComponentRunTest, SettingsThatCannotRunAreRefused) {
    Stack data;
    struct Case {
        ComponentKind kind;
        double start, end;
        int components, clusters;
        const char *says;
    } cases[] = {
        {ComponentKind::Pca, 8990, 8991, 5, 4, "fewer than two energies"},
        {ComponentKind::Pca, 0, 1e6, 0, 4, "components must be 1 to 101"},
        {ComponentKind::Pca, 0, 1e6, 102, 4, "components must be 1 to 101"},
        {ComponentKind::Clusters, 0, 1e6, 5, 0, "clusters must be at least 1"},
        {ComponentKind::Nmf, 0, 1e6, 0, 4, "NMF components must be 1 to 101"},
    };
    for (const Case &c : cases) {
        ComponentSettings s = data.settings;
        s.rangeStart = c.start;
        s.rangeEnd = c.end;
        s.components = s.nmfComponents = c.components;
        s.clusters = c.clusters;
        EXPECT_TRUE(componentRunProblem(c.kind, s).contains(c.says))
            << qPrintable(componentRunProblem(c.kind, s));
    }
    EXPECT_EQ(componentRunProblem(ComponentKind::Pca, ComponentSettings()), "no I1 image");
    // More clusters than bins with an edge: the run says so, the result is empty.
    ComponentSettings s = data.settings;
    s.clusters = 20;
    ComponentRun run;
    EXPECT_FALSE(run.run(ComponentKind::Clusters, s, AnalyzeCond(W, H, 0, 0, 15, 0, 3, 4)));
    EXPECT_TRUE(run.problem().contains("bins show an edge jump")) << qPrintable(run.problem());
    EXPECT_FALSE(run.result().clusterMap);
}

TEST(ComponentRunTest, AStoppedRunEndsWithoutAResult) {
    Stack data;
    ComponentRun run;
    std::atomic<int> ended{0};
    QObject::connect(&run, &ComponentRun::finished,
                     [&](bool completed) { ended = completed ? 1 : 2; });
    ASSERT_TRUE(run.start(ComponentKind::Clusters, data.settings, wholeStack(), 2));
    EXPECT_FALSE(run.start(ComponentKind::Pca, data.settings, wholeStack(), 2)); // busy
    run.stop();
    run.wait();
    EXPECT_FALSE(run.isRunning());
    if (ended == 2) {
        EXPECT_EQ(run.problem(), "stopped");
        EXPECT_TRUE(run.result().eigenvalues.isEmpty());
    }
    EXPECT_NE(ended.load(), 0);
    // The next run starts afresh.
    EXPECT_TRUE(run.run(ComponentKind::Pca, data.settings, wholeStack(), 2));
    EXPECT_EQ(run.result().scoreMaps.size(), 5u);
}
