#pragma once
// The analysis worker behind the Analyzer panel: lives in a thread of its own
// and analyses one spectrum per queued request, leaving the results in its
// lists and signalling completion. A thin wrapper over LcfEngine; the 2-D runs
// use the engine directly (LcfRun.h), one per thread.
#include "analysis/ElemAnalysis.h"
#include "analysis/LcfEngine.h"

#include <QObject>
#include <QVector>

class AnalyzeProc : public QObject {
    Q_OBJECT
public:
    explicit AnalyzeProc(QObject *parent = nullptr);

    // Registers the types the slots take through queued connections.
    static void registerMetaTypes();

    bool contAccess() const { return m_contAccess; }
    bool lcfOld() const { return m_lcfOld; }
    // Results of the last LCF/MLCF; read them after finished().
    const QVector<double> &fractions() const { return m_result.fractions; }
    const QVector<double> &amounts() const { return m_result.amounts; }
    double residual() const { return m_result.residual; }
    const LcfResult &result() const { return m_result; }
    // Results of the last element analysis, one entry per element.
    const QVector<ElemValues> &elemValues() const { return m_elemValues; }
    // The jumps as computed, also where background values replaced them.
    const QVector<double> &dMuts() const { return m_res0; }

public slots:
    // isMLCF -> MLCF; else the old or the new LCF as setLcfOld chose.
    void analyzeSpectrum0(XafsSpectrum s, QVector<LcfReference> refs, XafsSpectrum *res,
                          bool isMLCF, double sE0, double eE0, SuggestElm sElm);
    void analyzeSpectrumByLCF(XafsSpectrum s, QVector<LcfReference> refs, XafsSpectrum *res,
                              double sE0, double eE0, SuggestElm sElm);
    void analyzeSpectrumByLCF_Old(XafsSpectrum s, QVector<LcfReference> refs, XafsSpectrum *res,
                                  double sE0, double eE0, SuggestElm sElm);
    void analyzeSpectrumByMLCF(XafsSpectrum s, QVector<LcfReference> refs, XafsSpectrum *res,
                               double sE0, double eE0, SuggestElm sElm);
    void setContAccess(bool f) { m_contAccess = f; }
    void setLcfOld(bool f);
    // Constraints (and quality figures) of the following analyses.
    void setLcfOptions(bool nonNegative, bool sumToOne);

    // ---- element analysis ----
    // The element rows' conditions and the background values travel as values,
    // so the rows may change or go while the request waits. Results in
    // elemValues() / dMuts() after finishedAElems().
    void analyzeSpectrumElems0(XafsSpectrum s, QVector<ElemCondition> elems, int mainT,
                               ElemBackground bg);

signals:
    void finished();
    void finishedAElems();
    void newZ(double z);

private:
    void analyze(LcfKind kind, const XafsSpectrum &s, const QVector<LcfReference> &refs,
                 XafsSpectrum *res, double sE0, double eE0, const SuggestElm &sElm);

    bool m_contAccess = false;
    bool m_lcfOld = false;
    LcfEngine m_engine;
    LcfResult m_result;
    QVector<ElemValues> m_elemValues;
    QVector<double> m_res0;
};
