#pragma once
// The element part of the analysis panel: the target names and their rows
// (ElemCtrl), the background values (AElemsConds), the interactive element
// analysis of the spectrum under the cursor with its read-outs and
// correlation, the standard pattern, the correlation maps and which element
// map is shown. The map run itself is started and watched by the main window;
// this panel hands it a copy of everything the run reads.
#include "analysis/ElemAnalysis.h"
#include "spectrum/XafsSpectrum.h"

#include <QFrame>
#include <QVector>

class AElemsConds;
class AnalyzeProc;
class Analyzed2DRes;
class ElemCtrl;
class QButtonGroup;
class QProgressBar;
namespace Ui {
class ElemPanel;
}

class ElemPanel : public QFrame {
    Q_OBJECT
public:
    // The display choices, in the order of "analyzer_elems_select_disp_mode".
    enum DispMode {
        DispDMut0 = 0,
        DispDMutN,
        DispCorr,
        DispCorrTh,
        DispMutPlus,
        DispMutMinus,
        DispDE,
        DispROI,
        DispNROI
    };

    // cor and corTh are the panel's "a2d ElemsCor" and "a2d ElemsCorTh"
    // (owned by the caller); the worker analyses single spectra.
    ElemPanel(Analyzed2DRes *cor, Analyzed2DRes *corTh, AnalyzeProc *worker,
              QWidget *parent = nullptr);
    ~ElemPanel() override;

    const QVector<ElemCtrl *> &rows() const { return m_rows; }
    // Row with exactly that name, nullptr when none.
    ElemCtrl *row(const QString &name) const;
    // Checked id of the Target group (0 when none) and of the Show group (-1).
    int mainTarget() const;
    int shownElem() const;
    AElemsConds *conditions() const { return m_conds; }
    double corThreshold() const { return m_corTh; }
    double correlation() const { return m_cor; }
    bool dispOnTime() const;
    // The element map the display shows; nullptr when no element is shown.
    Analyzed2DRes *selectedMap() const;
    // Every element map: the rows' seven each, then the correlation maps.
    QVector<Analyzed2DRes *> allMaps() const;

    // What a run reads, copied from the rows now (stack, mu*t conditions and
    // shift map are the caller's), and the maps in the run's order.
    ElemRunSetup runSetup() const;
    QVector<Analyzed2DRes *> runMaps() const;
    // Marks the panel busy (a run is active) and shows the progress.
    void setRunning(bool on);
    bool isRunning() const { return m_running; }

signals:
    void askAnalyzeElems();
    void analyzeSpectrumElems0(XafsSpectrum s, QVector<ElemCondition> elems, int mainT,
                               ElemBackground bg);
    void analyzeElemsFinished();
    void setNewCorrelation(double cor);
    void changedSelection();
    // The rows are about to be deleted: a run writing their maps must stop
    // (and end) before this returns.
    void rowsAboutToChange();
    // New rows are in place (their maps take the panel's scales).
    void rowsRebuilt();

public slots:
    void newElems();
    void setTargetElements(const QString &elements);
    void setElemsStd();
    void calcCorrelation();
    void recalcCorMap();
    void newCorTh();
    void setCorrelation(double cor);
    void setElemsProgress(double perCent);
    // Interactive analysis; only the latest spectrum waits while the worker
    // is busy.
    void analyzeSpectrum(const XafsSpectrum &s);
    void analyzeSpectrumElemsFinished();

    // ---- for the batch commands ----
    void setSortByANo(bool on);
    void setCorTh(double th);
    void selectDispMode(int mode);
    bool selectTarget(const QString &name);
    bool selectShow(const QString &name);
    void setAllPrePostDE(double dE);

private:
    void sendToWorker();
    void clearRows();
    QVector<ElemCondition> conditionsOfRows() const;

    Ui::ElemPanel *ui;
    AElemsConds *m_conds = nullptr;
    AnalyzeProc *m_worker = nullptr;
    Analyzed2DRes *m_corMap = nullptr;
    Analyzed2DRes *m_corThMap = nullptr;
    QButtonGroup *m_targets = nullptr;
    QButtonGroup *m_shows = nullptr;
    QButtonGroup *m_disp = nullptr;
    QVector<ElemCtrl *> m_rows;
    double m_cor = 0;
    double m_corTh = 0.999;
    int m_aboveShown = -1; // -1: no colour set yet
    bool m_running = false;
    QProgressBar *m_progressBar = nullptr;
    bool m_workerBusy = false;
    bool m_pending = false;
    XafsSpectrum m_next;
    // Rows the request in flight was made for: results for other rows are
    // dropped.
    int m_sentRows = -1;
    quint64 m_generation = 0;
    quint64 m_sentGeneration = 0;
};
