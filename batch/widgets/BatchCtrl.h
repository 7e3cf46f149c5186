#pragma once
// The batch window: the script editor, the progress log and the buttons that
// load, save, run and stop a batch. The window only edits text and shows the
// log; the dispatcher (its own thread) runs the lines.
#include "batch/CmdLine.h"

#include <QMainWindow>
#include <QStringList>

class QFileDialog;
namespace Ui {
class BatchCtrl;
}

class BatchCtrl : public QMainWindow {
    Q_OBJECT
public:
    explicit BatchCtrl(QWidget *parent = nullptr);
    ~BatchCtrl() override;

    QString batchText() const;
    QString logText() const;
    QFileDialog *loadDialog() const { return m_loadDialog; }
    QFileDialog *saveDialog() const { return m_saveDialog; }

    // Appends the text to the batch log and mirrors it to the debug log.
    void logMirrored(const QString &text);

    // The log keeps its last maxLines lines (plus a note of the dropped
    // ones) and cuts lines beyond maxLineChars; LogBound has the defaults.
    void setLogLimits(int maxLines, int maxLineChars);
    qint64 droppedLogLines() const { return m_droppedLines; }

signals:
    void doDispatchCmds(QStringList lines);
    void batchStop();

public slots:
    void execCmdsSlot();
    void clear();
    void clearLog();
    void save(const QString &fileName);
    bool load(const QString &fileName);
    void Log(const QString &text);
    bool setBatchFile(const QString &fileName);
    void execBatchSlot();
    void showCmdErr(const CmdLine &cmd);

private:
    QFileDialog *makeDialog(const QString &name, bool forSaving);
    void dropOldLogLines();

    Ui::BatchCtrl *ui;
    QFileDialog *m_loadDialog;
    QFileDialog *m_saveDialog;
    int m_maxLines;
    int m_maxLineChars;
    qint64 m_droppedLines = 0;
};
