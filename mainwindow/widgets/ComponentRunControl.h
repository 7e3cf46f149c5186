#pragma once
// The main window's side of the Components group: starts a run over the
// window's grid and spectrum settings, shows its progress, hands the result
// to the group and the display, and serves the components_ batch commands,
// each of which answers when its work has ended.
#include "analysis/ComponentRun.h"
#include "batch/CmdLine.h"
#include "batch/ExCmdTable.h"

#include <QObject>
#include <functional>

class Analyzer;
class ComponentsCtrl;
class RunBoard;

class ComponentRunControl : public QObject {
    Q_OBJECT
public:
    // Fills what the window knows of a run (stack, bin spectrum settings,
    // grid); false, after telling the user why, when no run may start.
    using PrepareRun = std::function<bool(ComponentSettings *, AnalyzeCond *)>;
    using CommandHandler = std::function<void(const CmdLine &)>;
    using RegisterCommand = std::function<void(EX_CMD_ID, CommandHandler)>;
    using FinishCommand = std::function<void(EX_CMD_ID)>;

    // The run joins the window's runs (one at a time, Stop with the batch,
    // the batch line answered at its end).
    ComponentRunControl(Analyzer *analyzer, RunBoard *runs, PrepareRun prepare,
                        std::function<void()> showMap, QObject *parent = nullptr);

    // Starts a run of the group's settings; false when refused (said).
    bool start(ComponentKind kind);
    bool isRunning() const { return m_run->isRunning(); }
    void stop() { m_run->stop(); }
    // Stops a run and waits for it; its result is dropped.
    void halt();
    ComponentRun *run() const { return m_run; }

    // Registers the batch commands; finish answers the dispatcher.
    void registerCommands(const RegisterCommand &add, FinishCommand finish);

signals:
    void runFinished(bool completed);

private:
    void runEnded(bool completed);
    void execCommand(EX_CMD_ID id, ComponentKind kind, const CmdLine &cmd);
    bool selectMap(const CmdLine &cmd, QString *why);

    Analyzer *m_analyzer;
    ComponentsCtrl *m_panel;
    RunBoard *m_runs;
    PrepareRun m_prepare;
    std::function<void()> m_showMap;
    ComponentRun *m_run;
    FinishCommand m_finish;
    bool m_halting = false;
};
