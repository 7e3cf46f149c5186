#pragma once
// The batch worker. It lives in its own thread, takes the batch lines handed to
// it, runs the control language (loops, variables, echo, remark blocks, end
// mark) itself and sends every external command to the main window, waiting
// for finishBatchExec before the next line.
//
// execNextLineSig is connected to execNextLineSlot with a queued connection and
// each event runs a bounded burst of lines, so long runs of control lines never
// grow the call depth and a stop request is seen between bursts.
#include "app/ParamStore.h"
#include "batch/CmdLine.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QVector>

#include <atomic>

class BatchDispatcher : public QObject {
    Q_OBJECT
public:
    struct LoopRecord {
        QString name;
        int line = 0; // index of the :for line
        QString placeholder;
        QString start;
        QString end;
        QString current;
        QString step;
    };

    // The control commands, looked up in any case; NotControl for any other.
    enum ControlId { For, Next, Echo, RemStart, RemEnd, End, Let, NotControl };
    static ControlId controlId(const QString &command);

    // Most lines run within one event before the rest is queued.
    static constexpr int LinesPerEvent = 256;

    explicit BatchDispatcher(QObject *parent = nullptr);

    // Thread-safe: asks the dispatcher to stop at once, even inside a long
    // substitution. Called directly from the window's thread alongside the
    // queued batchStopSlot, which ends the batch and clears the request.
    void requestStop() { m_stopRequested.store(true); }

    // Log back-pressure. A loop of control lines logs faster than a window
    // can show it, and every line not yet shown waits in the event queue: a
    // million iterations would queue gigabytes. When the receiver of Log
    // calls logShown() for each text (enabled by this call), the dispatcher
    // pauses while more than MaxLogBacklog texts are unshown.
    void acknowledgeLogs() { m_logsAcknowledged.store(true); }
    void logShown() { m_logBacklog.fetch_sub(1); }
    static constexpr int MaxLogBacklog = 1024;

signals:
    void execNextLineSig();
    void execCmdSig(CmdLine cmd, bool inRem);
    void Log(QString text);
    // A batch has ended (last line run, ":end" met or stopped); the dispatcher
    // is idle unless a batch dispatched meanwhile starts next.
    void batchEnded();

public slots:
    void execNextLineSlot();
    void doDispatchCmds(QStringList lines);
    // External command lines that run next, before the rest of the batch (a
    // loaded session's settings); without a batch they run as one. They are
    // taken as written: no substitution, no control lines.
    void insertCmds(QStringList lines);
    void batchStopSlot();
    void finishBatchExec(int id);

private:
    void startBatch(const QStringList &lines);
    void endBatch();
    bool runLine();
    bool runInsertedLine();
    QString takeLineWithContinuations();
    void runControl(ControlId id, const CmdLine &cmd);
    void forCmd(const CmdLine &cmd);
    void nextCmd(const CmdLine &cmd);
    void letCmd(const CmdLine &cmd);
    void echoCmd(const CmdLine &cmd);
    // Substitutes loop placeholders and variables into *arg; false when the
    // text would grow past Substitution::DefaultMaxChars (reported in the
    // batch log naming the line) or a stop was requested.
    bool substitute(QString *arg);
    void log(const QString &text);

    QStringList m_lines;
    int m_index = 0;
    bool m_running = false;
    bool m_inRem = false;
    bool m_waiting = false; // an external command has not answered yet
    ParamStore m_variables;
    QVector<LoopRecord> m_loops;
    QList<QStringList> m_pending; // batches dispatched while one runs
    QStringList m_inserted;       // lines that run before the next line of the batch
    int m_lineStart = 0;          // index of the first line of the current command
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_logsAcknowledged{false};
    std::atomic<int> m_logBacklog{0};
};
