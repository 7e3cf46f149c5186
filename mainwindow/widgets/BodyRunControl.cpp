// Control of the long runs: while a map run goes, its group's Analyze button
// reads Stop and its progress starts from 0; the status bar shows how long
// it has run and about how long it still needs. Stop in the batch window
// ends the map run as well as the batch, and closing the window while a run
// goes asks first.
#include "mainwindow/widgets/BodyAnalysisState.h"

#include "analysis/MapRun.h"
#include "analysis/widgets/Analyzer.h"
#include "app/UserMessages.h"
#include "batch/widgets/BatchCtrl.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <cmath>

namespace {

QString duration(double seconds) {
    const qint64 s = qint64(std::lround(seconds));
    return s < 120 ? QStringLiteral("%1 s").arg(s)
                   : QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60, 2, 10, QChar('0'));
}

} // namespace

void Body::setupRunControl() {
    m_runTime = new QLabel(this);
    m_runTime->setObjectName(QStringLiteral("RunTime"));
    m_runTime->hide();
    statusBar()->addPermanentWidget(m_runTime);
    connect(m_analysis->run, &MapRun::progress, this, &Body::runProgressed);
    connect(m_batchCtrl, &BatchCtrl::batchStop, this, &Body::batchStopped);
}

void Body::runStarted(int mode) {
    m_runMode = mode;
    m_runStartMs = QDateTime::currentMSecsSinceEpoch();
    analyzer()->setRunState(mode, true);
    m_runTime->setText(tr("Run: 0 s"));
    m_runTime->show();
}

void Body::runProgressed(double percent) {
    if (m_runStartMs < 0)
        return;
    const double elapsed = (QDateTime::currentMSecsSinceEpoch() - m_runStartMs) / 1000.0;
    QString text = tr("Run: %1").arg(duration(elapsed));
    if (percent > 0.5 && percent < 100)
        text += tr(", about %1 left").arg(duration(elapsed * (100 - percent) / percent));
    m_runTime->setText(text);
}

void Body::runEnded() {
    if (m_runMode >= 0)
        analyzer()->setRunState(m_runMode, false);
    m_runMode = -1;
    m_runStartMs = -1;
    m_runTime->hide();
}

void Body::batchStopped() {
    if (!isAnalysisRunning())
        return;
    stop2DAnalysis();
    UserMessages::info(tr("Stop: the map run was stopped with the batch; the maps keep the bins "
                          "done"));
}

// A quit from a batch or a run without a window to ask in closes at once.
bool Body::closeMayProceed() {
    if (m_quitRequested || !(isAnalysisRunning() || isCalibrating()) || !isVisible() ||
        QGuiApplication::platformName() == QLatin1String("offscreen"))
        return true;
    return QMessageBox::question(this, tr("A run is going on"),
                                 tr("A map run is going on. Stop it and close the window?")) ==
           QMessageBox::Yes;
}
