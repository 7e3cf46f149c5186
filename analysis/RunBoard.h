#pragma once
// The window's long runs under one control, whatever they compute (Run):
// which of them goes, one map-reading run at a time, Stop from the batch
// window, the question before closing, the time a run has taken and about
// how long it still needs, and the batch line that waits for a run's end.
//
// A run is active from the moment the window started it (started()) until
// the window has handled its end (ended()): its own running flag drops a
// moment before its finished signal arrives, and a run halted by the window
// is ended at once while its finished signal is still queued.
#include "analysis/Run.h"

#include <QElapsedTimer>
#include <QString>
#include <QVector>

class RunBoard : public QObject {
    Q_OBJECT
public:
    struct Entry {
        Run *run = nullptr;
        // How a refusal names it while it goes ("a map run is going on").
        QString going;
        // It reads the stack and its maps: no other such run may start.
        bool exclusive = true;
        // Stop in the batch window stops it too.
        bool stopsWithBatch = true;
    };

    explicit RunBoard(QObject *parent = nullptr);

    // In the order refusals look at them.
    void add(const Entry &entry);

    // The window's own start of `run` succeeded: its clock starts.
    void started(Run *run);
    // The window has handled the end of `run`: a batch line waiting on it
    // is answered (commandFinished).
    void ended(Run *run);

    bool isActive(const Run *run) const;
    bool anyActive() const;
    // "" when an exclusive run may start, else the `going` of the first
    // exclusive run active.
    QString refusal() const;
    // Stops every active run that stops with the batch; true when one went.
    bool stopForBatch();
    // The batch line `commandId` is answered when `run` has ended; false
    // (nothing kept) when the run is not active.
    bool answerAtEnd(Run *run, int commandId);

    // "Run: 12 s, about 40 s left" (no estimate below 0.5 % or at 100 %).
    static QString timeText(double elapsedSeconds, double percent);

signals:
    // The window started `run`.
    void runStarted(Run *run);
    // The window has handled the end of `run` (emitted before a batch line
    // waiting on it is answered).
    void runFinished(Run *run);
    // The run last started began or reported progress: the time text to
    // show; empty once it has ended.
    void timeChanged(const QString &text);
    // A batch line waiting on a run's end may go on.
    void commandFinished(int commandId);

private:
    struct State {
        Entry entry;
        bool active = false;
        int waitingCommand = -1;
    };
    State *stateOf(const Run *run);
    const State *stateOf(const Run *run) const;
    void progressed(Run *run, double percent);

    QVector<State> m_states;
    const Run *m_timed = nullptr; // the run last started: its clock is shown
    QElapsedTimer m_clock;
};
