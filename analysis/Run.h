#pragma once
// What every long run of the program has in common, whatever it computes: it
// is started by its own start(...) (each run takes its own inputs), may be
// stopped from any thread, reports how far it got and says once that it
// ended, completed or not. The map runs, the series alignment, the component
// analyses and the dark check all are one, so that the window's run control
// (the button and progress, the time shown, Stop from the batch window, the
// question before closing, the batch line waiting for the end, one run at a
// time) is written once, against this class.
//
// progress and finished may be sent from a run's own threads: a receiver in
// the window connects them queued (the default across threads).
#include <QObject>

class Run : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Thread-safe; the run ends at its next step and still sends finished.
    virtual void stop() = 0;
    // Blocks until a run started in the background has ended.
    virtual void wait() = 0;
    virtual bool isRunning() const = 0;

signals:
    // Percentage done, 0 .. 100.
    void progress(double percent);
    // The run ended: completed, or stopped or failed (false).
    void finished(bool completed);
};
