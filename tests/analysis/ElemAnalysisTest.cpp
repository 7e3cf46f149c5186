#include "analysis/ElemAnalysis.h"

#include "spectrum/EdgeTable.h"
#include "support/TwoEdgeStack.h"

#include <QTemporaryDir>
#include <array>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace {

// Points every 10 eV from 7000 to 7300: mu = 1 below 7112, 1.5 from it on,
// and `dip` in [7030, 7060). The half-jump level 1.25 is crossed between 7110
// and 7120, so the half-jump energy is 7115.
Spectrum stepSpectrum(double dip = 1.0, double shift = 0) {
    Spectrum s;
    for (double e = 7000; e <= 7300; e += 10) {
        double mu = e >= 7112 ? 1.5 : 1.0;
        if (e >= 7030 && e < 7060)
            mu = dip;
        s.addPoint(e + shift, mu);
    }
    return s;
}

ElemCondition cond(double e0, double th, double rs, double re, bool noNeg = false) {
    ElemCondition c;
    c.e0 = e0;
    c.dE = 20;
    c.th = th;
    c.roiStart = rs;
    c.roiEnd = re;
    c.noNeg = noNeg;
    return c;
}

const ElemBackground bgv{0.25, 0, 7, -1, -2};

} // namespace

TEST(ElemAnalysisTest, OneElementAgainstTheStepSpectrum) {
    struct Case {
        const char *what;
        double dip;
        double g; // the bin's energy shift (the points move with it)
        ElemCondition c;
        double dmut, muP, muM, de, roi, nroi;
    };
    const Case cases[] = {
        {"edge found", 1.0, 0, cond(7112, 0.4999, 7150, 7180), 0.5, 1.5, 1.0, 3, 0.5, 1.0},
        {"jump equal to threshold is no edge", 1.0, 0, cond(7112, 0.5, 7150, 7180), 0.25, 0.25,
         0.25, 7, -1, -2},
        {"shift counts once", 1.0, 5, cond(7112, 0.1, 7150, 7180), 0.5, 1.5, 1.0, 3, 0.5, 1.0},
        {"negative ROI kept", 0.8, 0, cond(7112, 0.1, 7030, 7060), 0.5, 1.5, 1.0, 3, -0.2, -0.4},
        {"negative ROI with No Neg", 0.8, 0, cond(7112, 0.1, 7030, 7060, true), 0.5, 1.5, 1.0, 3,
         -1, -2},
        {"reversed ROI", 1.0, 0, cond(7112, 0.1, 7180, 7150), 0.5, 1.5, 1.0, 3, 0, 0},
        {"ROI before the data", 1.0, 0, cond(7112, 0.1, 6000, 6500, true), 0.5, 1.5, 1.0, 3, 0, 0},
        {"ROI beyond the data", 1.0, 0, cond(7112, 0.1, 8000, 9000), 0.5, 1.5, 1.0, 3, 0, 0},
        {"edge beyond the data", 1.0, 0, cond(9000, 0.1, 7150, 7180), 0.25, 0.25, 0.25, 7, -1, -2},
        {"negative threshold, no jump", 1.0, 0, cond(7250, -1, 7150, 7180), 0, 1.5, 1.5, 0, 0, -2},
    };
    for (const Case &k : cases) {
        const Spectrum s = stepSpectrum(k.dip, k.g);
        ElemValues v;
        analyzeElems(s, k.g, &k.c, 1, 0, bgv, &v);
        SCOPED_TRACE(k.what);
        EXPECT_NEAR(v.dMut(), k.dmut, 1e-12);
        EXPECT_NEAR(v.muPlus(), k.muP, 1e-12);
        EXPECT_NEAR(v.muMinus(), k.muM, 1e-12);
        EXPECT_NEAR(v.eShift(), k.de, 1e-9);
        EXPECT_NEAR(v.roi(), k.roi, 1e-12);
        EXPECT_NEAR(v.nRoi(), k.nroi, 1e-12);
        EXPECT_TRUE(std::isfinite(v.ratio()));
    }
}

TEST(ElemAnalysisTest, RatiosDivideByTheMainJumpOrByOne) {
    const Spectrum s = stepSpectrum();
    const ElemCondition c[] = {cond(7112, 0.1, 7150, 7180), cond(7250, 0.1, 7150, 7180)};
    ElemBackground zeroBg = bgv;
    zeroBg.dMut = 0;
    struct Case {
        int mainT;
        const ElemBackground &bg;
        double r0, r1;
    } cases[] = {
        {0, bgv, 1.0, 0.5},    // background 0.25 over 0.5
        {1, bgv, 2.0, 1.0},    // 0.5 over the background 0.25
        {1, zeroBg, 0.5, 0.0}, // main jump 0: divided by 1
        {-1, bgv, 0.5, 0.25},  // no main target: divided by 1
        {5, bgv, 0.5, 0.25},
    };
    for (const Case &k : cases) {
        ElemValues v[2];
        analyzeElems(s, 0, c, 2, k.mainT, k.bg, v);
        EXPECT_DOUBLE_EQ(v[0].ratio(), k.r0) << k.mainT;
        EXPECT_DOUBLE_EQ(v[1].ratio(), k.r1) << k.mainT;
        EXPECT_DOUBLE_EQ(v[1].rawDMut, 0.0);
    }
}

TEST(ElemAnalysisTest, CorrelationOfPatterns) {
    struct Case {
        double r[3], s[3];
        char use[3];
        double cor;
    } cases[] = {
        {{1, 0.5, 0.2}, {2, 1, 0.4}, {1, 1, 1}, 1.0},
        {{1, 0, 0}, {0, 1, 0}, {1, 1, 1}, 0.0},
        {{1, 0.5, 9}, {2, 1, -3}, {1, 1, 0}, 1.0}, // unused element ignored
        {{1, 0.5, 0.2}, {2, 1, 0.4}, {0, 0, 0}, 0.0},
        {{1, 0.5, 0.2}, {0, 0, 0}, {1, 1, 1}, 0.0},
        {{0, 0, 0}, {1, 1, 1}, {1, 1, 1}, 0.0},
        {{1, 1, 0}, {1, 0, 0}, {1, 1, 1}, 1 / std::sqrt(2.0)},
    };
    for (const Case &k : cases)
        EXPECT_NEAR(elemCorrelation(k.r, k.s, k.use, 3), k.cor, 1e-15);
}

TEST(ElemAnalysisTest, TargetNamesParsedAndSorted) {
    loadEdgeTable();
    struct Case {
        const char *text;
        bool sort;
        QStringList names;
    } cases[] = {
        {"Fe,Ni  Cu-K", false, {"Fe-K", "Ni-K", "Cu-K"}},
        {"Cu Fe,Ni", true, {"Fe-K", "Ni-K", "Cu-K"}},
        {"Ni-L3 Fe Ni-K", true, {"Fe-K", "Ni-L3", "Ni-K"}}, // equal Z keep their order
        {"Xx Fe -Ni fe", false, {"Fe-K"}},
        {"", false, {}},
        {" , ,", true, {}},
        {"Pb-L3", false, {"Pb-L3"}},
    };
    for (const Case &k : cases) {
        QStringList names;
        for (const ElemTarget &t : parseElemTargets(k.text, k.sort))
            names << t.name;
        EXPECT_EQ(names, k.names) << k.text;
    }
    const QVector<ElemTarget> pb = parseElemTargets("Pb-L3 Fe", false);
    ASSERT_EQ(pb.size(), 2);
    EXPECT_EQ(pb[0].Z, 82);
    EXPECT_EQ(pb[0].edge, 3);
    EXPECT_DOUBLE_EQ(pb[0].e0, edgeEnergyEV(82, 3));
    EXPECT_DOUBLE_EQ(pb[1].e0, edgeEnergyEV(26, 0));
    EXPECT_EQ(elemMapName("Fe-K", ElemNROI), "Fe-K Elem Ctrl NROI");
    EXPECT_EQ(elemMapName("Fe-K", ElemDMut), "Fe-K Elem Ctrl 0");
}

TEST(ElemAnalysisTest, FiveCharacterTexts) {
    const std::pair<double, const char *> cases[] = {
        {-0.0123456, "-0.01"}, {1.5, "1.5"}, {-1, "-1"}, {123456789, "1.234"}, {0.000123, "0.000"}};
    for (const auto &k : cases)
        EXPECT_EQ(elemShortText(k.first), k.second) << k.first;
}

TEST(ElemAnalysisTest, CorrelationMapsWithThresholdEqualToCorrelation) {
    const AnalyzeCond g(4, 3, 0, 0, 0, 0, 4, 3);
    Analyzed2DRes ra("a"), rb("b"), cor("a2d ElemsCor"), th("a2d ElemsCorTh");
    for (Analyzed2DRes *m : {&ra, &rb, &cor, &th})
        m->prepare(g);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            ra.setData(x, y, 0, 0, 1.0);
            rb.setData(x, y, 0, 0, x); // pattern (1, x) against (1, 1)
        }
    const QVector<double> stdR{1, 1};
    const double at2 = elemCorrelation(std::array<double, 2>{1, 2}.data(), stdR.constData(),
                                       QVector<char>{1, 1}.constData(), 2);
    std::vector<double> rows;
    recalcCorrelationMaps({&ra, &rb}, stdR, {1, 1}, at2, cor, th,
                          [&](double p) { rows.push_back(p); });
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_NEAR(rows[2], 200.0 / 3, 1e-9);
    EXPECT_EQ(cor.valueAt(2, 1), at2);
    EXPECT_EQ(th.valueAt(2, 1), at2); // equal to the threshold: kept
    EXPECT_EQ(th.valueAt(3, 1), 0.0); // below it
    EXPECT_EQ(cor.valueAt(1, 0), 1.0);
    EXPECT_EQ(th.valueAt(1, 0), 1.0);
    EXPECT_EQ(cor.max(), 1.0);

    recalcCorrelationMaps({&ra, &rb}, stdR, {0, 0}, 0.5, cor, th); // nothing in use
    EXPECT_EQ(cor.max(), 0.0);
    EXPECT_EQ(th.max(), 0.0);
    recalcCorrelationMaps({&ra, nullptr}, stdR, {1, 1}, 2, cor, th); // missing map reads 0
    EXPECT_EQ(cor.valueAt(0, 0), 1 / std::sqrt(2.0));
    EXPECT_EQ(th.max(), 0.0);
}

// The map run over a two-edge stack: jumps and ratios as built, and the maps
// bit for bit the same for any thread count.
TEST(ElemAnalysisTest, RunMapsTheKnownJumpsOnAnyThreadCount) {
    loadEdgeTable();
    QTemporaryDir dir;
    const QStringList files = TwoEdgeStack::write(dir.path());
    MeasurementStack stack;
    const std::vector<double> energies = TwoEdgeStack::energies();
    for (int i = 0; i < files.size(); ++i) {
        auto *t = new TiffData;
        ASSERT_TRUE(t->load(files[i]));
        t->setEnergy(energies[size_t(i)]);
        stack.append(Series::I1, t);
    }
    stack.takeGeometryFromFirstI1();
    auto setup = std::make_shared<ElemRunSetup>();
    setup->stack = &stack;
    setup->mut.fluo = true;
    stack.updateDarkAreas(setup->mut);
    for (const ElemTarget &t : parseElemTargets("Fe Mn", true))
        setup->conds.append(cond(t.e0, 0.1, t.e0 + 30, t.e0 + 60));
    setup->mainT = 0;
    setup->stdRatios = {1, 0.5};
    setup->use = {1, 1};
    const int n = 2;
    const AnalyzeCond grid(TwoEdgeStack::W, TwoEdgeStack::H, 0, 0, 0, 0, TwoEdgeStack::W,
                           TwoEdgeStack::H);

    std::vector<std::unique_ptr<Analyzed2DRes>> first;
    for (int threads : {1, 3}) {
        std::vector<std::unique_ptr<Analyzed2DRes>> maps;
        QVector<Analyzed2DRes *> list;
        for (int k = 0; k < elemMapCount(n); ++k) {
            maps.push_back(std::make_unique<Analyzed2DRes>());
            maps.back()->prepare(grid);
            list << maps.back().get();
        }
        MapRun run;
        ASSERT_TRUE(run.run(grid, list, elemTaskFactory(setup), threads));
        if (first.empty()) {
            first = std::move(maps);
            continue;
        }
        for (int k = 0; k < elemMapCount(n); ++k)
            EXPECT_EQ(std::memcmp(first[k]->values(), maps[k]->values(),
                                  sizeof(double) * TwoEdgeStack::W * TwoEdgeStack::H),
                      0)
                << k;
    }
    for (int y = 0; y < TwoEdgeStack::H; ++y)
        for (int x = 0; x < TwoEdgeStack::W; ++x) {
            const double mn = TwoEdgeStack::jumpMn(x, y), fe = TwoEdgeStack::jumpFe(x, y);
            const double feMap = fe > 0.1 ? fe : 0.0; // background dmut 0
            EXPECT_EQ(first[elemMapIndex(0, ElemDMut, n)]->valueAt(x, y), mn);
            EXPECT_EQ(first[elemMapIndex(1, ElemDMut, n)]->valueAt(x, y), feMap);
            EXPECT_EQ(first[elemMapIndex(1, ElemRatio, n)]->valueAt(x, y), feMap / mn);
            EXPECT_EQ(first[elemMapIndex(0, ElemROI, n)]->valueAt(x, y), mn);
            EXPECT_EQ(first[elemMapIndex(1, ElemNROI, n)]->valueAt(x, y), fe > 0.1 ? 1.0 : -1.0);
            const double r[2] = {1, feMap / mn};
            const char use[2] = {1, 1};
            const double cor = elemCorrelation(r, setup->stdRatios.constData(), use, 2);
            EXPECT_EQ(first[elemCorIndex(n)]->valueAt(x, y), cor);
            EXPECT_EQ(first[elemCorIndex(n) + 1]->valueAt(x, y), cor >= 0.999 ? cor : 0.0);
        }
}
