#pragma once
// The window's batch machinery: the batch window (BatchCtrl), the dispatcher
// that reads batch lines on its own thread, and the table of command
// handlers that the window and its parts register. A command line from the
// dispatcher runs its handler on the window's thread; the handler answers
// (answered) at once or when its work ends, and only then does the next
// line come.
#include "batch/CmdLine.h"
#include "batch/ExCmdTable.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <functional>

class BatchCtrl;
class BatchDispatcher;
class QThread;
class QWidget;

class BatchHost : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const CmdLine &)>;

    // window: the batch window's parent.
    explicit BatchHost(QWidget *window);
    // Ends the dispatcher's thread.
    ~BatchHost() override;

    BatchCtrl *control() const { return m_ctrl; }
    BatchDispatcher *dispatcher() const { return m_dispatcher; }

    // A handler that answers itself (answered), at once or later.
    void registerCommand(EX_CMD_ID id, Handler handler);
    // A command whose effect is done when the handler returns.
    void registerAtOnce(EX_CMD_ID id, Handler effect);
    bool hasHandler(EX_CMD_ID id) const { return m_handlers.contains(id); }
    // A handler is running: what changes now is no user action.
    bool isExecuting() const { return m_executing; }

    // Lines that run next, before the rest of the batch (as a batch of their
    // own when none runs).
    void runNext(const QStringList &lines);
    // Lines that run as a batch.
    void dispatch(const QStringList &lines);
    // The window closes: late lines are dropped unanswered.
    void close() { m_closed = true; }

signals:
    // The command's line is done: the next may come.
    void answered(int id);

public slots:
    // A line inside a remark block, or a name without a handler, is shown
    // as not executed and answered at once, so the batch goes on.
    void execute(CmdLine cmd, bool inRem);

private:
    BatchCtrl *m_ctrl;
    BatchDispatcher *m_dispatcher;
    QThread *m_thread;
    QHash<int, Handler> m_handlers;
    bool m_executing = false;
    bool m_closed = false;
};
