#include "spectrum/SuggestElm.h"

#include "spectrum/EdgeTable.h"
#include "spectrum/ElementTable.h"
#include "spectrum/XafsSpectrum.h"

SuggestElm SuggestElm::fromTexts(bool use, const QString &symbol, int edge,
                                 const QString &edgeEnergyEV, const QString &dPreE,
                                 const QString &dPostS, const QString &jumpSigma) {
    SuggestElm s;
    s.use = use;
    s.Z = atomicNumberOf(symbol);
    s.edge = edge;
    s.edgeEnergy = edgeEnergyEV.toDouble();
    s.dPreE = dPreE.toDouble();
    s.dPostS = dPostS.toDouble();
    s.jumpSigma = jumpSigma.toDouble();
    return s;
}

QString SuggestElm::suggestedEdgeEnergyText(const QString &symbol, int edge,
                                            const QString &currentText) {
    const int Z = atomicNumberOf(symbol);
    if (Z < 1)
        return currentText;
    return QString::number(edgeEnergyEV(Z, edge), 'g', 6);
}

void SuggestElm::registerMetaTypes() {
    static const bool registered = [] {
        qRegisterMetaType<SuggestElm>("SuggestElm");
        qRegisterMetaType<XafsSpectrum>("XafsSpectrum");
        qRegisterMetaType<XafsSpectrum *>("XafsSpectrum*");
        return true;
    }();
    Q_UNUSED(registered);
}
