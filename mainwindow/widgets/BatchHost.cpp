#include "mainwindow/widgets/BatchHost.h"

#include "batch/BatchDispatcher.h"
#include "batch/widgets/BatchCtrl.h"

#include <QScopedValueRollback>
#include <QThread>
#include <QWidget>

BatchHost::BatchHost(QWidget *window)
    : QObject(window), m_ctrl(new BatchCtrl(window)), m_dispatcher(new BatchDispatcher),
      m_thread(new QThread(this)) {
    m_ctrl->setWindowFlag(Qt::Window);
    m_dispatcher->moveToThread(m_thread);
    connect(m_ctrl, &BatchCtrl::doDispatchCmds, m_dispatcher, &BatchDispatcher::doDispatchCmds);
    // The flag is raised at once, so that Stop also ends a long substitution
    // the dispatcher's thread is inside of; the queued slot then ends the
    // batch and lowers the flag (connected second, so it always comes after).
    BatchDispatcher *dispatcher = m_dispatcher;
    connect(
        m_ctrl, &BatchCtrl::batchStop, this, [dispatcher] { dispatcher->requestStop(); },
        Qt::DirectConnection);
    connect(m_ctrl, &BatchCtrl::batchStop, m_dispatcher, &BatchDispatcher::batchStopSlot);
    // Each text shown is acknowledged, so a long loop waits for the window
    // instead of queueing its log in memory.
    m_dispatcher->acknowledgeLogs();
    BatchCtrl *ctrl = m_ctrl;
    connect(m_dispatcher, &BatchDispatcher::Log, m_ctrl, [ctrl, dispatcher](const QString &text) {
        ctrl->Log(text);
        dispatcher->logShown();
    });
    connect(m_dispatcher, &BatchDispatcher::execCmdSig, this, &BatchHost::execute);
    m_thread->start();
}

BatchHost::~BatchHost() {
    m_thread->quit();
    m_thread->wait();
    delete m_dispatcher;
}

void BatchHost::registerCommand(EX_CMD_ID id, Handler handler) {
    m_handlers.insert(id, std::move(handler));
}

void BatchHost::registerAtOnce(EX_CMD_ID id, Handler effect) {
    registerCommand(id, [this, id, effect = std::move(effect)](const CmdLine &cmd) {
        effect(cmd);
        emit answered(id);
    });
}

void BatchHost::runNext(const QStringList &lines) {
    QMetaObject::invokeMethod(m_dispatcher, "insertCmds", Qt::QueuedConnection,
                              Q_ARG(QStringList, lines));
}

void BatchHost::dispatch(const QStringList &lines) {
    emit m_ctrl->doDispatchCmds(lines);
}

void BatchHost::execute(CmdLine cmd, bool inRem) {
    if (m_closed)
        return;
    const EX_CMD_ID id = ExCmdTable::idOf(cmd.command);
    if (inRem || id == NOT_EX_CMD) {
        if (!cmd.control)
            m_ctrl->showCmdErr(cmd);
        emit answered(NOT_EX_CMD);
        return;
    }
    const auto handler = m_handlers.constFind(id);
    if (handler == m_handlers.constEnd()) {
        m_ctrl->showCmdErr(cmd);
        emit answered(id);
        return;
    }
    const QScopedValueRollback<bool> executing(m_executing, true);
    (*handler)(cmd);
}
