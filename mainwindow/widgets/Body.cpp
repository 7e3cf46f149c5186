#include "mainwindow/widgets/Body.h"

#include "app/AppSettings.h"
#include "batch/BatchDispatcher.h"
#include "batch/widgets/BatchCtrl.h"
#include "ui_Body.h"

#include <QCloseEvent>
#include <QThread>

Body::Body(QWidget *parent) : QMainWindow(parent), ui(new Ui::Body) {
    CmdLine::registerMetaTypes();
    ui->setupUi(this);
    setupBatch();
    takeErrPointsFromConfig();
    dispatchConfigBatchLines();
}

Body::~Body() {
    m_batchThread->quit();
    m_batchThread->wait();
    delete m_batchDispatcher;
    delete ui;
}

void Body::setupBatch() {
    m_batchCtrl = new BatchCtrl(this);
    m_batchCtrl->setWindowFlag(Qt::Window);
    m_batchThread = new QThread(this);
    m_batchDispatcher = new BatchDispatcher;
    m_batchDispatcher->moveToThread(m_batchThread);

    connect(ui->BatchCtrlB, &QPushButton::clicked, m_batchCtrl, &BatchCtrl::show);
    connect(m_batchCtrl, &BatchCtrl::doDispatchCmds, m_batchDispatcher,
            &BatchDispatcher::doDispatchCmds);
    connect(m_batchCtrl, &BatchCtrl::batchStop, m_batchDispatcher, &BatchDispatcher::batchStopSlot);
    connect(m_batchDispatcher, &BatchDispatcher::Log, m_batchCtrl, &BatchCtrl::Log);
    connect(m_batchDispatcher, &BatchDispatcher::execCmdSig, this, &Body::execCmdSlot);
    connect(this, &Body::finishBatchExec, m_batchDispatcher, &BatchDispatcher::finishBatchExec);
    m_batchThread->start();

    registerCommand(QUIT, [this](const CmdLine &cmd) { quitCmd(cmd); });
}

// The error-point mask itself is loaded here once the mask exists; until then
// the configured file name is only kept.
void Body::takeErrPointsFromConfig() {
    m_errPointsFile = AppSettings::params().valueAnyCase("ErrPoints");
}

// Every configuration "batch" line, in file order, runs as one batch.
void Body::dispatchConfigBatchLines() {
    emit m_batchCtrl->doDispatchCmds(AppSettings::params().allRests("batch"));
}

void Body::registerCommand(EX_CMD_ID id, CommandHandler handler) {
    m_handlers.insert(id, std::move(handler));
}

// Commands inside a remark block are not executed; a name without a handler
// is reported and answered at once, so the batch goes on.
void Body::execCmdSlot(CmdLine cmd, bool inRem) {
    const EX_CMD_ID id = ExCmdTable::idOf(cmd.command);
    if (inRem || id == NOT_EX_CMD) {
        if (!cmd.control)
            m_batchCtrl->showCmdErr(cmd);
        emit finishBatchExec(NOT_EX_CMD);
        return;
    }
    const auto handler = m_handlers.constFind(id);
    if (handler == m_handlers.constEnd()) {
        m_batchCtrl->showCmdErr(cmd);
        emit finishBatchExec(id);
        return;
    }
    (*handler)(cmd);
}

// No answer to the dispatcher: the program closes.
void Body::quitCmd(const CmdLine &) {
    emit finishing();
}

void Body::closeEvent(QCloseEvent *event) {
    emit finishing();
    QMainWindow::closeEvent(event);
}
