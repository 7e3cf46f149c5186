#pragma once
// The element suggestion that travels with every spectrum the main window
// builds: it confines the edge search of the normalisation and rejects edges
// whose jump is too small.
#include <QMetaType>
#include <QString>

struct SuggestElm {
    bool use = false;
    int Z = 29;                     // atomic number; -1 when the symbol is unknown
    int edge = 0;                   // 0 = K, 1 = L1, 2 = L2, 3 = L3
    double edgeEnergy = 8984.36029; // eV
    double dPreE = -20.0;           // eV relative to the edge
    double dPostS = 20.0;           // eV relative to the edge
    double jumpSigma = 1.0;
    // Fixed-edge normalisation: every spectrum takes fixedEdgeEnergy (eV, on
    // its effective energies) as its edge instead of searching its own, with
    // the pre/post windows relative to it. A mixture of compounds whose
    // edges differ would otherwise place each bin's edge, and so its windows,
    // somewhere between them. Off by default.
    bool fixedEdge = false;
    double fixedEdgeEnergy = 0;

    // The record from the texts of the main window's fields. Numbers are read
    // locale-free; a text that is not a number gives 0.
    static SuggestElm fromTexts(bool use, const QString &symbol, int edge,
                                const QString &edgeEnergyEV, const QString &dPreE,
                                const QString &dPostS, const QString &jumpSigma);

    // The text of the suggested edge energy field after the element or edge
    // changed: the edge energy in eV with 6 significant digits when the symbol
    // is a known element with Z >= 1, else the current text unchanged.
    static QString suggestedEdgeEnergyText(const QString &symbol, int edge,
                                           const QString &currentText);

    // Every field equal: a spectrum normalised with either is normalised alike.
    bool operator==(const SuggestElm &o) const {
        return use == o.use && Z == o.Z && edge == o.edge && edgeEnergy == o.edgeEnergy &&
               dPreE == o.dPreE && dPostS == o.dPostS && jumpSigma == o.jumpSigma &&
               fixedEdge == o.fixedEdge && fixedEdgeEnergy == o.fixedEdgeEnergy;
    }
    bool operator!=(const SuggestElm &o) const { return !(*this == o); }

    // Registers SuggestElm and XafsSpectrum for queued connections (idempotent).
    static void registerMetaTypes();
};

Q_DECLARE_METATYPE(SuggestElm)
