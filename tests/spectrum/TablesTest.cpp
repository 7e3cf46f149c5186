#include "spectrum/EdgeTable.h"
#include "spectrum/ElementTable.h"
#include "spectrum/SuggestElm.h"
#include "spectrum/XafsSpectrum.h"

#include "app/DebugLog.h"

#include <QMetaType>
#include <QVariant>
#include <gtest/gtest.h>

namespace {

class EdgeTableTest : public ::testing::Test {
protected:
    void SetUp() override { loadEdgeTable(); }
};

} // namespace

TEST(ElementTableTest, SymbolsMapToAtomicNumbersCaseSensitively) {
    EXPECT_EQ(atomicNumberOf(" "), 0);
    EXPECT_EQ(atomicNumberOf("H"), 1);
    EXPECT_EQ(atomicNumberOf("Fe"), 26);
    EXPECT_EQ(atomicNumberOf("Cu"), 29);
    EXPECT_EQ(atomicNumberOf("U"), 92);
    EXPECT_EQ(atomicNumberOf("Mt"), 109);
    EXPECT_EQ(atomicNumberOf("D"), 110);
    EXPECT_EQ(atomicNumberOf("cu"), -1);
    EXPECT_EQ(atomicNumberOf("CU"), -1);
    EXPECT_EQ(atomicNumberOf(""), -1);
    EXPECT_EQ(atomicNumberOf("Xx"), -1);
    // Every symbol maps back to its own slot.
    for (int z = 0; z < ElementTable::entryCount; ++z)
        EXPECT_EQ(atomicNumberOf(ElementTable::symbolOf(z)), z) << z;
}

TEST(ElementTableTest, EdgeNamesMapToIndicesInAnyCase) {
    EXPECT_EQ(edgeIndexOf("K"), 0);
    EXPECT_EQ(edgeIndexOf("l1"), 1);
    EXPECT_EQ(edgeIndexOf("LI"), 1);
    EXPECT_EQ(edgeIndexOf("L2"), 2);
    EXPECT_EQ(edgeIndexOf("lii"), 2);
    EXPECT_EQ(edgeIndexOf("l3"), 3);
    EXPECT_EQ(edgeIndexOf("LIII"), 3);
    EXPECT_EQ(edgeIndexOf("M1"), 0);
    EXPECT_EQ(edgeIndexOf(""), 0);
}

TEST_F(EdgeTableTest, PackagedResourceGivesTheEdgeEnergies) {
    EXPECT_EQ(EdgeTable::count(), 93); // header entry + H..U
    EXPECT_DOUBLE_EQ(edgeEnergyEV(29, 0), 8984.36029);
    EXPECT_DOUBLE_EQ(edgeEnergyEV(29, 3), 935);
    EXPECT_DOUBLE_EQ(edgeEnergyEV(26, 0), 7113.26288);
    EXPECT_DOUBLE_EQ(edgeEnergyEV(92, 0), 115009);
    EXPECT_DOUBLE_EQ(edgeEnergyEV(79, 4), 3750);
    EXPECT_DOUBLE_EQ(edgeEnergyEV(12, 3), 50);
    EXPECT_EQ(edgeEnergyEV(1, 0), 0.0);
    EXPECT_EQ(edgeEnergyEV(0, 0), 0.0);
    EXPECT_EQ(edgeEnergyEV(93, 0), 0.0);
    EXPECT_EQ(edgeEnergyEV(-1, 0), 0.0);
    EXPECT_EQ(edgeEnergyEV(29, 7), 0.0);
    // Entry i describes element i.
    for (int z = 1; z <= 92; ++z)
        EXPECT_EQ(EdgeTable::entry(z).Z, z);
}

TEST_F(EdgeTableTest, VictoreenCoefficientsOfTheTellingRows) {
    const EdgeEntry fe = EdgeTable::entry(26);
    const double feC[5] = {126, 9.95, 0, 0, 0}, feD[5] = {27.2, 0.433, 0, 0, 0};
    const EdgeEntry au = EdgeTable::entry(79);
    const double auC[5] = {0, 492, 425, 247, 82.3}, auD[5] = {0, 240, 194, 83, 16.6};
    const double auEdge[5] = {80.821, 14.353, 13.733, 11.913, 3.75};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(fe.C[k], feC[k]);
        EXPECT_EQ(fe.D[k], feD[k]);
        EXPECT_EQ(au.C[k], auC[k]);
        EXPECT_EQ(au.D[k], auD[k]);
        EXPECT_EQ(au.edge[k], auEdge[k]);
    }
    EXPECT_EQ(EdgeTable::entry(29).C[1], 15.6);
    EXPECT_EQ(EdgeTable::entry(29).D[0], 48.3);
}

TEST(EdgeTableParseTest, ParsesColumnsClipsNegativesAndToleratesOddLines) {
    const QString text = "=Elm Z K x C1 D1\n"
                         "# a comment line\n"
                         "\n"
                         "H 1 -1.5 = -3 4 0.2 = 5 6 0.3 = 7 8 0.4 = 9 10 0.5 11 12\n"
                         "He 2 0.1\n";
    EdgeTable::loadFromText(text);
    ASSERT_EQ(EdgeTable::count(), 3);
    const EdgeEntry h = EdgeTable::entry(1);
    EXPECT_EQ(h.Z, 1);
    EXPECT_EQ(h.edge[0], -1.5); // the K edge is not clipped
    EXPECT_EQ(h.C[0], 0.0);     // negative coefficient clipped
    EXPECT_EQ(h.D[0], 4.0);
    const double edges[5] = {-1.5, 0.2, 0.3, 0.4, 0.5};
    const double cs[5] = {0, 5, 7, 9, 11};
    const double ds[5] = {4, 6, 8, 10, 12};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(h.edge[k], edges[k]);
        EXPECT_EQ(h.C[k], cs[k]);
        EXPECT_EQ(h.D[k], ds[k]);
    }
    // A short line still takes its slot, missing columns read 0.
    EXPECT_EQ(EdgeTable::entry(2).edge[0], 0.1);
    EXPECT_EQ(EdgeTable::entry(2).edge[1], 0.0);

    QString many;
    for (int i = 0; i < 150; ++i)
        many += QString("X %1 1 = = = = = = = = = = = = = = = = = =\n").arg(i);
    EdgeTable::loadFromText(many);
    EXPECT_EQ(EdgeTable::count(), EdgeTable::capacity);
    EXPECT_EQ(EdgeTable::entry(120).Z, 0);
    loadEdgeTable();
}

TEST_F(EdgeTableTest, SuggestedEdgeEnergyText) {
    EXPECT_EQ(SuggestElm::suggestedEdgeEnergyText("Cu", 0, "0"), "8984.36");
    EXPECT_EQ(SuggestElm::suggestedEdgeEnergyText("Cu", 3, "0"), "935");
    EXPECT_EQ(SuggestElm::suggestedEdgeEnergyText("U", 0, "0"), "115009");
    EXPECT_EQ(SuggestElm::suggestedEdgeEnergyText("cu", 0, "123"), "123");
    EXPECT_EQ(SuggestElm::suggestedEdgeEnergyText(" ", 0, "77"), "77");
    EXPECT_EQ(SuggestElm::suggestedEdgeEnergyText("Np", 0, "77"), "0"); // above U: not loaded
}

TEST(SuggestElmTest, DefaultsTextsAndMetaType) {
    const SuggestElm d;
    EXPECT_FALSE(d.use);
    EXPECT_EQ(d.Z, 29);
    EXPECT_EQ(d.edge, 0);
    EXPECT_EQ(d.edgeEnergy, 8984.36029);
    EXPECT_EQ(d.dPreE, -20.0);
    EXPECT_EQ(d.dPostS, 20.0);
    EXPECT_EQ(d.jumpSigma, 1.0);

    const SuggestElm s = SuggestElm::fromTexts(true, "Fe", 3, "7113.26", "-15", "abc", "2.5");
    EXPECT_TRUE(s.use);
    EXPECT_EQ(s.Z, 26);
    EXPECT_EQ(s.edge, 3);
    EXPECT_EQ(s.edgeEnergy, 7113.26);
    EXPECT_EQ(s.dPreE, -15.0);
    EXPECT_EQ(s.dPostS, 0.0);
    EXPECT_EQ(s.jumpSigma, 2.5);
    EXPECT_EQ(SuggestElm::fromTexts(false, "cu", 0, "", "", "", "").Z, -1);

    SuggestElm::registerMetaTypes();
    EXPECT_NE(QMetaType::type("SuggestElm"), 0);
    EXPECT_NE(QMetaType::type("XafsSpectrum"), 0);
    // A record survives the round trip through a QVariant (queued signals).
    const QVariant v = QVariant::fromValue(s);
    EXPECT_EQ(v.value<SuggestElm>().edgeEnergy, 7113.26);
}
