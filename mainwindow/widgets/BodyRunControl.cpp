// Control of the long runs, through the window's RunBoard: while a map run
// goes, its group's Analyze button reads Stop and its progress starts from 0;
// the status bar shows how long the run last started has run and about how
// long it still needs. Stop in the batch window ends the runs as well as the
// batch, and closing the window while a run goes asks first.
#include "mainwindow/widgets/BodyAnalysisState.h"

#include "analysis/MapRun.h"
#include "analysis/RunBoard.h"
#include "analysis/widgets/Analyzer.h"
#include "app/UserMessages.h"
#include "batch/widgets/BatchCtrl.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>

void Body::setupRunControl() {
    m_runTime = new QLabel(this);
    m_runTime->setObjectName(QStringLiteral("RunTime"));
    m_runTime->hide();
    statusBar()->addPermanentWidget(m_runTime);
    RunBoard *runs = new RunBoard(this);
    m_analysis->runs = runs;
    // batchStopped stops a map run itself and says so.
    runs->add({m_analysis->run, tr("a map run is going on"), true, false});
    connect(runs, &RunBoard::timeChanged, this, [this](const QString &text) {
        m_runTime->setText(text);
        m_runTime->setHidden(text.isEmpty());
    });
    connect(runs, &RunBoard::commandFinished, this, &Body::finishBatchExec);
    connect(m_batchCtrl, &BatchCtrl::batchStop, this, &Body::batchStopped);
}

void Body::runStarted(int mode) {
    m_runMode = mode;
    analyzer()->setRunState(mode, true);
    m_analysis->runs->started(m_analysis->run);
}

void Body::runEnded() {
    if (m_runMode >= 0)
        analyzer()->setRunState(m_runMode, false);
    m_runMode = -1;
    m_analysis->runs->ended(m_analysis->run);
}

// Stop in the batch window ends the batch and every run going.
void Body::batchStopped() {
    m_analysis->runs->stopForBatch();
    if (!isAnalysisRunning())
        return;
    stop2DAnalysis();
    UserMessages::info(tr("Stop: the map run was stopped with the batch; the maps keep the bins "
                          "done"));
}

// A quit from a batch or a run without a window to ask in closes at once.
bool Body::closeMayProceed() {
    if (m_quitRequested || !(m_analysis->runs->anyActive() || isCalibrating()) || !isVisible() ||
        QGuiApplication::platformName() == QLatin1String("offscreen"))
        return true;
    return QMessageBox::question(this, tr("A run is going on"),
                                 tr("A map run is going on. Stop it and close the window?")) ==
           QMessageBox::Yes;
}
