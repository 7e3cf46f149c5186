#pragma once
// Absorption-edge energies and Victoreen coefficients per element, read once
// from the embedded resource ":Victoreen1.txt". Entry i describes the element
// with atomic number i (the resource's header line fills entry 0).
#include <QString>

struct EdgeEntry {
    int Z = 0;
    double edge[5] = {0, 0, 0, 0, 0}; // keV: K, LI, LII, LIII, M1
    double C[5] = {0, 0, 0, 0, 0};    // Victoreen C above K, K-LI, LI-LII, LII-LIII, LIII-M1
    double D[5] = {0, 0, 0, 0, 0};    // Victoreen D of the same regions
};

namespace EdgeTable {

constexpr int capacity = 100;
constexpr int edgeCount = 5;

// Number of loaded entries.
int count();
// Entry i; an all-zero entry when i was not loaded.
EdgeEntry entry(int i);
// Parses the resource text (exposed for tests); replaces the table.
void loadFromText(const QString &text);

} // namespace EdgeTable

// Fills the edge table from the resource; on failure logs
// "Cannot open [Victoreen1.txt]" and leaves the table empty. Reloading replaces.
void loadEdgeTable();

// "K" -> 0, "L1"/"LI" -> 1, "L2"/"LII" -> 2, "L3"/"LIII" -> 3 (any case);
// anything else -> 0.
int edgeIndexOf(const QString &name);

// 1000 x edge[edge] of entry Z in eV; 0 for entries not loaded.
double edgeEnergyEV(int Z, int edge);
