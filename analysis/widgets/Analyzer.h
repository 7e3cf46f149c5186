#pragma once
// The analysis panel: chooses the analysis mode, holds the reference rows of
// the linear-combination fits and the residual-absorption settings, owns the
// result maps and picks the one the main window shows. It analyses single
// spectra (the one under the cursor) interactively on a worker thread
// (AnalyzeProc) and shows them in its "Analyzing Spectrum" view; the map runs
// themselves are started and watched by the main window.
#include "analysis/AnalysisInputs.h"
#include "analysis/AnalyzeCond.h"
#include "analysis/LcfEngine.h"
#include "spectrum/SuggestElm.h"
#include "spectrum/XafsSpectrum.h"

#include <QFrame>
#include <QVector>
#include <functional>

class AnalyzeProc;
class ComponentsCtrl;
class ElemPanel;
class Analyzed2DRes;
class LCFReference;
class MapProcCtrl;
class SumUpCtrl;
class QButtonGroup;
class QLabel;
class QProgressBar;
class QThread;
class SpectrumView;
namespace Ui {
class Analyzer;
}

class Analyzer : public QFrame {
    Q_OBJECT
public:
    enum Mode {
        ModeLCF = 0,
        ModeRA = 1,
        ModeElem = 2,
        ModeSumUp = 3,
        ModeProcMaps = 4,
        ModeComponents = 5
    };
    static constexpr int InitialReferences = 4;
    // Selection ids of the fit-quality maps, far beyond any row's id.
    static constexpr int RFactorSelection = 1000;
    static constexpr int Chi2Selection = 1001;

    explicit Analyzer(QWidget *parent = nullptr);
    ~Analyzer() override;

    int mode() const;
    const QVector<LCFReference *> &references() const { return m_refs; }
    // The rows as the engine takes them, in row order, pointing at spectra
    // that stay valid while the rows exist.
    QVector<LcfReference> lcfReferences() const;
    LcfKind lcfKind() const;
    double lcfStart() const;
    double lcfEnd() const;
    // The "Fit options": constraints as checked; the quality maps always.
    LcfOptions lcfOptions() const;
    bool fixedE0() const;
    double fixedE0Energy() const;
    // The suggestion with the fixed edge of the fit options applied.
    SuggestElm withFixedEdge(SuggestElm s) const;
    bool dispOnTime() const;
    double raEnergy() const;
    double raFactor() const;
    // The panel's settings and the rows' inputs as plain values.
    AnalysisInputs inputs() const;
    QVector<ReferenceInput> referenceInputs() const;
    bool isRunning() const { return m_running; }

    Analyzed2DRes *zansaMap() const { return m_zansa; }
    Analyzed2DRes *rFactorMap() const { return m_rFactor; }
    Analyzed2DRes *chi2Map() const { return m_chi2; }
    Analyzed2DRes *raDMutMap() const { return m_dMut; }
    Analyzed2DRes *raRestMap() const { return m_rest; }
    Analyzed2DRes *raRatioMap() const { return m_ratio; }
    Analyzed2DRes *sumUpMap() const { return m_sumUp; }
    SumUpCtrl *sumUpCtrl() const { return m_sumUpCtrl; }
    MapProcCtrl *mapProcCtrl() const { return m_mapProc; }
    // The window's analysis grid, for combining maps over its bins.
    void setGridSource(std::function<AnalyzeCond()> grid);
    ComponentsCtrl *componentsCtrl() const { return m_components; }
    // Writes spectrum J of the last components run (numbered as the panel
    // numbers them) as a two-column file in the working folder and reads it
    // into LCF row `row` (from 0; rows are added up to it), or into the first
    // row without a file when row < 0. False, with *why, when it cannot.
    bool useComponentAsReference(int j, int row, QString *why);
    // Writes spectrum J of the last components run to fileName;
    // componentSpectrumSaved names it.
    bool saveComponentSpectrum(int j, const QString &fileName, QString *why);
    // Every map the panel owns (its own and the rows'), by name lookup.
    Analyzed2DRes *mapNamed(const QString &name) const;

    // The map the main window shows (nullptr when none).
    Analyzed2DRes *selectedMap() const;
    // The map's name as the user reads it: "Ref k fraction" for row k's
    // maps (counted from 1, as the rows' buttons are), plain words for the
    // panel's own maps.
    QString mapTitle(const Analyzed2DRes *map) const;
    // Index of the first row whose selection button is checked, -1 when none.
    int selectedReference() const;
    // Maps per reference row, as saveAllImages numbers them.
    int numberOfResults() const;

    QButtonGroup *selectionGroup() const { return m_selection; }
    // Amount, fraction, sigma (ids 0..2) and the whole-fit maps (ids of
    // selectImage): one exclusive choice.
    QButtonGroup *mapTypeGroup() const { return m_mapTypes; }
    SpectrumView *view() const { return m_view; }
    ElemPanel *elemPanel() const { return m_elems; }
    AnalyzeProc *worker() const { return m_worker; }
    const XafsSpectrum &analyzedSpectrum() const { return m_analyzed; }
    const XafsSpectrum &resultSpectrum() const { return m_result; }
    // True while an interactive analysis is with the worker.
    bool isWorkerBusy() const { return m_workerBusy; }

signals:
    void askAnalyze();
    void analyzeSpectrum0(XafsSpectrum s, QVector<LcfReference> refs, XafsSpectrum *res,
                          bool isMLCF, double sE0, double eE0, SuggestElm sElm);
    void finished();
    void askRAAnalyze();
    void changedSelection();
    // The fixed-scale switch or ranges changed: the shown map is redrawn.
    void scalesChanged();
    void askSumUp();
    // Analyze (or Stop) in the Components group.
    void askComponents();
    void componentSpectrumSaved(const QString &fileName);
    // "E0 from Area": the main window answers with setFixedE0Energy.
    void askFixedE0FromArea();
    // A fit option changed that changes the spectra (fixed edge on/off, E0).
    void normalizationChanged();
    // A setting of inputs() changed; it comes before the signals above that
    // the same edit gives.
    void inputsChanged();
    // A row was added or its inputs changed.
    void referenceInputsChanged();

public slots:
    void show();
    void setLCFStd(int no, bool use, double dE, const QString &fname, const QString &isVic);
    void setLCFMode(int f);
    void selectImage(int id);
    void selectImageType(int type);
    void selectAnalysisMode(int mode);
    void setRaEnergy(double e);
    void setRaFactor(double f);
    void setFixedScale(bool f);
    void setDMutScaleMax(double v);
    void setDMutScaleMin(double v);
    void setRatioScaleMax(double v);
    void setRatioScaleMin(double v);
    void setNormalize(bool f);
    void setEnergyCorrection(bool f);
    void setContAccess(bool f);
    void setNonNegative(bool f);
    void setSumToOne(bool f);
    void setFixedE0(bool f);
    void setFixedE0Energy(double e);
    // Shows why a fit option was refused ("" clears it).
    void setFitOptionsMessage(const QString &text);
    // Shows, at the top of the panel, why an analysis was refused ("" clears).
    void setRunMessage(const QString &text);
    // A map run of the group of `mode` (ModeLCF, ModeRA, ModeElem) started
    // or ended: its Analyze button reads "Stop" meanwhile, and its progress
    // starts at 0.
    void setRunState(int mode, bool running);
    int runningMode() const { return m_runningMode; }
    // The normalisation of the sample spectra (suggestion and fixed edge):
    // every reference row is normalised the same way.
    void setReferenceSuggestion(const SuggestElm &suggestion, double sampleFrom, double sampleTo);
    // Shows the sigma map of the selected row.
    void selectSigmaImage();
    // Analyses s (the spectrum under the cursor) in the LCF mode; while the
    // worker is busy only the latest request is kept and sent afterwards.
    void analyzeSpectrum(const XafsSpectrum &s, const SuggestElm &sElm);
    void analyzeAndShowSpectrum(const XafsSpectrum &s, const SuggestElm &sElm);
    void reAnalyzeSpectrum();
    void analyzeSpectrumFinished();
    void noticedNewZ(double z);
    void setProgress(double perCent);
    void addNewRef();
    void selectedNewRef(int i);
    void selectedImgChanged(bool f);
    void scalePolicyChanged(bool f);
    void scaleChanged();

private:
    void referenceUseChanged();
    void setupModes();
    void setupInputSignals();
    void setupSelection();
    void setupWorker();
    void setupScales();
    void setupElems();
    void setupMapTools();
    void setupComponents();
    void showComponentSpectra();
    QString componentSpectrumName(int j) const;
    void setupFitOptions();
    void fitOptionsChanged();
    Analyzed2DRes *selectedMapIn(int mode) const;
    void sendToWorker();
    void workerIdle();
    void showAnalysis();
    void applyScales();
    QVector<Analyzed2DRes *> dMutScaledMaps() const;
    QVector<Analyzed2DRes *> ratioScaledMaps() const;

    void setupMapTypes();
    void mapTypeClicked(int id);
    void referenceShowClicked();
    bool rowMapTypeChecked() const;

    Ui::Analyzer *ui;
    QButtonGroup *m_modes = nullptr;
    QButtonGroup *m_selection = nullptr;
    // The kind of LCF map shown: a row's amount, fraction or sigma, or one of
    // the maps of the whole fit (residual, R-factor, chi^2). One exclusive
    // group, so only one kind ever shows as chosen.
    QButtonGroup *m_mapTypes = nullptr;
    int m_lastRowMapType = 0; // of amount, fraction, sigma: the one to come back to
    QLabel *m_runMessage = nullptr;
    QProgressBar *m_lcfBar = nullptr;
    QProgressBar *m_raBar = nullptr;
    int m_runningMode = -1;
    SuggestElm m_referenceSuggestion;
    double m_sampleFrom = 0;
    double m_sampleTo = 0;
    QVector<LCFReference *> m_refs;
    int m_firstFixedId = InitialReferences; // id of ShowDMuT

    Analyzed2DRes *m_zansa = nullptr;
    Analyzed2DRes *m_rFactor = nullptr;
    Analyzed2DRes *m_chi2 = nullptr;
    Analyzed2DRes *m_dMut = nullptr;
    Analyzed2DRes *m_rest = nullptr;
    Analyzed2DRes *m_ratio = nullptr;
    Analyzed2DRes *m_elemsCor = nullptr;
    Analyzed2DRes *m_elemsCorTh = nullptr;
    Analyzed2DRes *m_sumUp = nullptr;
    Analyzed2DRes *m_processed = nullptr;
    Analyzed2DRes *m_eShift1 = nullptr;
    Analyzed2DRes *m_eShift2 = nullptr;
    SumUpCtrl *m_sumUpCtrl = nullptr;
    MapProcCtrl *m_mapProc = nullptr;
    ComponentsCtrl *m_components = nullptr;
    int m_lastMapMode = ModeLCF; // the last mode other than map processing

    ElemPanel *m_elems = nullptr;
    SpectrumView *m_view = nullptr;
    AnalyzeProc *m_worker = nullptr;
    QThread *m_workerThread = nullptr;
    bool m_running = false;
    bool m_workerBusy = false;
    bool m_pending = false;
    XafsSpectrum m_analyzed;
    XafsSpectrum m_result;
    SuggestElm m_sElm;
    // Copies of the reference spectra the worker reads while it analyses;
    // replaced only while it is idle.
    QVector<XafsSpectrum> m_workerRefSpectra;
    QVector<LcfReference> m_workerRefs;
};
