// Control of the long runs, through the document's RunBoard: while a map run
// goes, its group's Analyze button reads Stop and its progress starts from 0;
// the status bar shows how long the run last started has run and about how
// long it still needs. Stop in the batch window ends the runs as well as the
// batch, and closing the window while a run goes asks first.
#include "mainwindow/widgets/BodyAnalysisState.h"

#include "analysis/MapRunState.h"
#include "analysis/RunBoard.h"
#include "analysis/widgets/Analyzer.h"
#include "app/UserMessages.h"
#include "batch/widgets/BatchCtrl.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>

namespace {

int panelMode(MapRunKind kind) {
    switch (kind) {
    case MapRunKind::RA:
        return Analyzer::ModeRA;
    case MapRunKind::Elems:
        return Analyzer::ModeElem;
    default:
        return Analyzer::ModeLCF;
    }
}

} // namespace

void Body::setupRunControl() {
    m_runTime = new QLabel(this);
    m_runTime->setObjectName(QStringLiteral("RunTime"));
    m_runTime->hide();
    statusBar()->addPermanentWidget(m_runTime);
    RunBoard &runs = m_doc->runs();
    // batchStopped stops a map run itself and says so.
    runs.add({&m_doc->mapRun().run(), tr("a map run is going on"), true, false});
    connect(&runs, &RunBoard::timeChanged, this, [this](const QString &text) {
        m_runTime->setText(text);
        m_runTime->setHidden(text.isEmpty());
    });
    connect(&runs, &RunBoard::commandFinished, this, &Body::finishBatchExec);
    connect(batchCtrl(), &BatchCtrl::batchStop, this, &Body::batchStopped);
}

// The maps must be prepared with the grid. False, with everything put back,
// when the engine did not start.
bool Body::startMapRun(MapRunKind kind, const AnalyzeCond &grid,
                       const QVector<Analyzed2DRes *> &maps, MapRun::TaskFactory tasks) {
    MapRunState &state = m_doc->mapRun();
    state.begin(kind, maps);
    analyzer()->setContAccess(true);
    m_runMode = panelMode(kind);
    analyzer()->setRunState(m_runMode, true);
    m_doc->runs().started(&state.run());
    if (state.run().start(grid, maps, std::move(tasks)))
        return true;
    state.end();
    analyzer()->setContAccess(false);
    mapRunEnded();
    return false;
}

// Last of a map run's end: a batch line waiting for the run goes on.
void Body::mapRunEnded() {
    if (m_runMode >= 0)
        analyzer()->setRunState(m_runMode, false);
    m_runMode = -1;
    m_doc->runs().ended(&m_doc->mapRun().run());
}

// Stop in the batch window ends the batch and every run going.
void Body::batchStopped() {
    m_doc->runs().stopForBatch();
    if (!isAnalysisRunning())
        return;
    stop2DAnalysis();
    UserMessages::info(tr("Stop: the map run was stopped with the batch; the maps keep the bins "
                          "done"));
}

// A quit from a batch or a run without a window to ask in closes at once.
bool Body::closeMayProceed() {
    if (m_quitRequested || !m_doc->runs().anyActive() || !isVisible() ||
        QGuiApplication::platformName() == QLatin1String("offscreen"))
        return true;
    return QMessageBox::question(this, tr("A run is going on"),
                                 tr("A map run is going on. Stop it and close the window?")) ==
           QMessageBox::Yes;
}
