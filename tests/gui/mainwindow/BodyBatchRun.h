#pragma once
// Runs batch lines in a main window and waits for the echo that follows them.
// The batch log keeps the echoes of earlier runs, so the wait is for one more
// echo than the log held before, not for any.
#include "batch/widgets/BatchCtrl.h"
#include "mainwindow/widgets/Body.h"
#include "mainwindow/widgets/MessagesWindow.h"
#include "support/TestSupport.h"

#include <QStringList>

inline bool runBatchUntil(Body &body, const QStringList &lines, const QString &until,
                          int timeoutMs = 10000) {
    const QString echo = "echo " + until;
    const int before = body.batchCtrl()->logText().count(echo);
    emit body.batchCtrl()->doDispatchCmds(lines + QStringList{":echo " + until});
    return TestSupport::waitUntil([&] { return body.batchCtrl()->logText().count(echo) > before; },
                                  timeoutMs);
}

// The messages said since entry `seen` of the Messages window, one per line;
// `seen` moves past them.
inline QString messagesSince(Body &body, int &seen) {
    const auto *w = body.findChild<MessagesWindow *>("MessagesWindow");
    QStringList texts;
    for (int i = seen; i < w->count(); ++i)
        texts << w->textAt(i);
    seen = w->count();
    return texts.join('\n');
}
