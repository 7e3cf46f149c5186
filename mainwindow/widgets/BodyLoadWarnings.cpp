// Warnings about loads: said where the user looks, not only in the debug log.
#include "mainwindow/widgets/Body.h"

#include "app/DebugLog.h"
#include "batch/widgets/BatchCtrl.h"

#include <QStatusBar>

void Body::showLoadWarning(const QString &text) {
    DebugLog::write(text);
    // For a minute in place of the cursor read-out, whose place it takes.
    statusBar()->showMessage(text, 60000);
    if (m_batchCtrl)
        m_batchCtrl->Log("Warn: " + text + "\n");
}
