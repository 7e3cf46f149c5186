#include "analysis/LcfEngine.h"

LcfEngine::LcfEngine() = default;

void LcfEngine::setReferencesFixed(bool fixed) {
    m_referencesFixed = fixed;
    m_lookupValid = false;
}

bool LcfEngine::analyze(LcfKind, const XafsSpectrum &, const QVector<LcfReference> &, double,
                        double, const SuggestElm &, XafsSpectrum *, LcfResult &) {
    return false;
}

bool loadLcfReference(const QString &, double, bool, XafsSpectrum &) {
    return false;
}
