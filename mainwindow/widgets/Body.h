#pragma once
// The main window. It owns the batch machinery (the batch window, the
// dispatcher and its thread) and executes the external batch commands through
// a registry of per-command handlers that the rest of the window fills.
#include "batch/CmdLine.h"
#include "batch/ExCmdTable.h"

#include <QHash>
#include <QMainWindow>
#include <functional>

class BatchCtrl;
class BatchDispatcher;
class QThread;
namespace Ui {
class Body;
}

class Body : public QMainWindow {
    Q_OBJECT
public:
    // A command handler performs the command's effect and is responsible for
    // emitting finishBatchExec itself, at once or when its work ends.
    using CommandHandler = std::function<void(const CmdLine &)>;

    explicit Body(QWidget *parent = nullptr);
    ~Body() override;

    void registerCommand(EX_CMD_ID id, CommandHandler handler);
    bool hasCommandHandler(EX_CMD_ID id) const { return m_handlers.contains(id); }

    BatchCtrl *batchCtrl() const { return m_batchCtrl; }
    // The configuration's "ErrPoints" file name (any case), empty when absent.
    QString errPointsFileFromConfig() const { return m_errPointsFile; }

signals:
    void finishing();
    void finishBatchExec(int id);

public slots:
    void execCmdSlot(CmdLine cmd, bool inRem);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void setupBatch();
    void takeErrPointsFromConfig();
    void dispatchConfigBatchLines();
    void quitCmd(const CmdLine &cmd);

    Ui::Body *ui;
    BatchCtrl *m_batchCtrl = nullptr;
    BatchDispatcher *m_batchDispatcher = nullptr;
    QThread *m_batchThread = nullptr;
    QHash<int, CommandHandler> m_handlers;
    QString m_errPointsFile;
};
