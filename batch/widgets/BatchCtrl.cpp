#include "batch/widgets/BatchCtrl.h"

#include "app/AppSettings.h"
#include "app/DebugLog.h"
#include "app/OutputFile.h"
#include "app/UserMessages.h"
#include "batch/BatchFile.h"
#include "batch/LogBound.h"
#include "ui_BatchCtrl.h"

#include <QFile>
#include <QFileDialog>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextStream>

BatchCtrl::BatchCtrl(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::BatchCtrl), m_maxLines(LogBound::DefaultMaxLines),
      m_maxLineChars(LogBound::DefaultMaxLineChars) {
    ui->setupUi(this);
    // The log is only appended to: an undo history would keep every
    // insertion of a long batch a second time.
    ui->BatchLogs->setUndoRedoEnabled(false);
    m_loadDialog = makeDialog("LoadDialog", false);
    m_saveDialog = makeDialog("SaveDialog", true);

    connect(ui->Exec, &QPushButton::clicked, this, &BatchCtrl::execCmdsSlot);
    connect(ui->Clear, &QPushButton::clicked, this, &BatchCtrl::clear);
    connect(ui->ClearLog, &QPushButton::clicked, this, &BatchCtrl::clearLog);
    connect(ui->Stop, &QPushButton::clicked, this, &BatchCtrl::batchStop);
    connect(ui->Load, &QPushButton::clicked, m_loadDialog, &QFileDialog::show);
    connect(ui->Save, &QPushButton::clicked, m_saveDialog, &QFileDialog::show);
    connect(m_loadDialog, &QFileDialog::fileSelected, this, &BatchCtrl::load);
    connect(m_saveDialog, &QFileDialog::fileSelected, this, &BatchCtrl::save);
}

BatchCtrl::~BatchCtrl() {
    delete ui;
}

QFileDialog *BatchCtrl::makeDialog(const QString &name, bool forSaving) {
    auto *dialog = new QFileDialog(this);
    dialog->setObjectName(name);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setDirectory(AppSettings::batchRoot());
    dialog->setNameFilters({tr("Batch File (*.bat)"), tr("Any Files (* *.*)")});
    dialog->setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::AnyFile);
    return dialog;
}

QString BatchCtrl::batchText() const {
    return ui->BatchCmds->toPlainText();
}
QString BatchCtrl::logText() const {
    return ui->BatchLogs->toPlainText();
}

void BatchCtrl::execCmdsSlot() {
    emit doDispatchCmds(batchText().split('\n'));
}
void BatchCtrl::execBatchSlot() {
    execCmdsSlot();
}
void BatchCtrl::clear() {
    ui->BatchCmds->clear();
}
void BatchCtrl::clearLog() {
    ui->BatchLogs->clear();
    m_droppedLines = 0;
}

void BatchCtrl::setLogLimits(int maxLines, int maxLineChars) {
    m_maxLines = qMax(1, maxLines);
    m_maxLineChars = qMax(1, maxLineChars);
    dropOldLogLines();
}

// Written through a text stream, as load reads it, so that both use the same
// encoding and a saved batch loads back unchanged.
void BatchCtrl::save(const QString &fileName) {
    OutputFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return;
    QTextStream out(file.device());
    out << batchText();
    out.flush();
    file.commit();
}

// A batch that cannot be read leaves the one shown and is said.
bool BatchCtrl::load(const QString &fileName) {
    QString text;
    if (!BatchFile::read(fileName, &text)) {
        UserMessages::error(tr("Batch file %1 cannot be read").arg(fileName));
        return false;
    }
    ui->BatchCmds->setPlainText(text);
    return true;
}

bool BatchCtrl::setBatchFile(const QString &fileName) {
    return load(fileName);
}

void BatchCtrl::Log(const QString &text) {
    QTextCursor cursor = ui->BatchLogs->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(LogBound::clipLongLines(text, m_maxLineChars));
    ui->BatchLogs->setTextCursor(cursor);
    dropOldLogLines();
}

// Lines go in chunks of an eighth of the limit, so a long batch does not pay
// for a removal at the top of the document on every line. The note line
// stays first and counts every line dropped since the log was last cleared.
void BatchCtrl::dropOldLogLines() {
    QTextDocument *doc = ui->BatchLogs->document();
    const int note = m_droppedLines > 0 ? 1 : 0;
    const int excess = doc->blockCount() - note - m_maxLines;
    if (excess <= m_maxLines / 8)
        return;
    QTextCursor cut(doc);
    cut.movePosition(QTextCursor::Start);
    cut.movePosition(QTextCursor::NextBlock, QTextCursor::MoveAnchor, note);
    cut.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, excess);
    cut.removeSelectedText();
    m_droppedLines += excess;
    QTextCursor head(doc->firstBlock());
    if (note)
        head.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    head.insertText(LogBound::droppedNote(m_droppedLines) + (note ? "" : "\n"));
    QTextCursor end = ui->BatchLogs->textCursor();
    end.movePosition(QTextCursor::End);
    ui->BatchLogs->setTextCursor(end);
}

void BatchCtrl::logMirrored(const QString &text) {
    DebugLog::write(text.endsWith('\n') ? text.chopped(1) : text);
    Log(text);
}

void BatchCtrl::showCmdErr(const CmdLine &cmd) {
    DebugLog::write("cmd " + cmd.lineText);
    logMirrored(QString("Err: %1\n").arg(cmd.lineText));
}
