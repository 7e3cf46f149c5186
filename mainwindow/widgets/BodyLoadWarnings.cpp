// Warnings about loads: said where the user looks, not only in the debug log.
#include "mainwindow/widgets/Body.h"

#include "app/DebugLog.h"
#include "batch/widgets/BatchCtrl.h"

#include <QStatusBar>

void Body::showLoadWarning(const QString &text) {
    DebugLog::write(text);
    statusBar()->showMessage(text);
    if (m_batchCtrl)
        m_batchCtrl->Log("Warn: " + text + "\n");
}
