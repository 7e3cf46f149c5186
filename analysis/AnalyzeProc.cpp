#include "analysis/AnalyzeProc.h"

#include "app/DebugLog.h"

AnalyzeProc::AnalyzeProc(QObject *parent) : QObject(parent) {
    registerMetaTypes();
}

void AnalyzeProc::registerMetaTypes() {
    SuggestElm::registerMetaTypes();
    qRegisterMetaType<LcfReference>("LcfReference");
    qRegisterMetaType<QVector<LcfReference>>("QVector<LcfReference>");
    qRegisterMetaType<XafsSpectrum *>("XafsSpectrum*");
    registerElemMetaTypes();
}

void AnalyzeProc::setLcfOptions(bool nonNegative, bool sumToOne) {
    m_engine.setOptions({nonNegative, sumToOne, true});
}

void AnalyzeProc::setLcfOld(bool f) {
    m_lcfOld = f;
    DebugLog::write(QStringLiteral("lcf old flg ") +
                    (f ? QStringLiteral("true") : QStringLiteral("false")));
}

void AnalyzeProc::analyzeSpectrum0(XafsSpectrum s, QVector<LcfReference> refs, XafsSpectrum *res,
                                   bool isMLCF, double sE0, double eE0, SuggestElm sElm) {
    const LcfKind kind = isMLCF ? LcfKind::MLCF : m_lcfOld ? LcfKind::OldLCF : LcfKind::LCF;
    analyze(kind, s, refs, res, sE0, eE0, sElm);
}

void AnalyzeProc::analyzeSpectrumByLCF(XafsSpectrum s, QVector<LcfReference> refs,
                                       XafsSpectrum *res, double sE0, double eE0, SuggestElm sElm) {
    analyze(LcfKind::LCF, s, refs, res, sE0, eE0, sElm);
}

void AnalyzeProc::analyzeSpectrumByLCF_Old(XafsSpectrum s, QVector<LcfReference> refs,
                                           XafsSpectrum *res, double sE0, double eE0,
                                           SuggestElm sElm) {
    analyze(LcfKind::OldLCF, s, refs, res, sE0, eE0, sElm);
}

void AnalyzeProc::analyzeSpectrumByMLCF(XafsSpectrum s, QVector<LcfReference> refs,
                                        XafsSpectrum *res, double sE0, double eE0,
                                        SuggestElm sElm) {
    analyze(LcfKind::MLCF, s, refs, res, sE0, eE0, sElm);
}

// No signal at all when there was nothing to analyse, as the panel expects.
// With a skipped LCF fit (no edge) only finished() comes: the residual of such
// a spectrum is 0.
void AnalyzeProc::analyze(LcfKind kind, const XafsSpectrum &s, const QVector<LcfReference> &refs,
                          XafsSpectrum *res, double sE0, double eE0, const SuggestElm &sElm) {
    if (!m_engine.analyze(kind, s, refs, sE0, eE0, sElm, res, m_result))
        return;
    if (m_result.fitted)
        emit newZ(m_result.residual);
    emit finished();
}

// The bin's energy shift is carried either as the spectrum's energy offset or
// as its energy-shift value; it counts once.
void AnalyzeProc::analyzeSpectrumElems0(XafsSpectrum s, QVector<ElemCondition> elems, int mainT,
                                        ElemBackground bg) {
    const double g = s.shifted() ? s.shift() : s.eShiftValue();
    m_elemValues.resize(elems.size());
    analyzeElems(s, g, elems.constData(), elems.size(), mainT, bg, m_elemValues.data());
    m_res0.resize(elems.size());
    for (int e = 0; e < elems.size(); ++e)
        m_res0[e] = m_elemValues[e].rawDMut;
    emit finishedAElems();
}
