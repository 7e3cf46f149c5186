#pragma once
// Writes what the user does in the window as batch lines, the moment it
// happens: the widgets that a batch command sets are watched by object name
// for edits a user makes (a field left with editingFinished, a button or box
// clicked, a choice made in a list, a file chosen), and each becomes that
// command with the value now shown. Every other button, field and list of
// the window and its tool windows becomes a "# not recordable: ..." comment
// naming the action, so the gap shows in the batch.
//
// While the window executes a batch command nothing is recorded: what the
// command sets is no user action (a session loaded, a batch run).
#include "batch/ExCmdTable.h"

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSet>
#include <functional>

class Body;
class QWidget;

class ActionRecorder : public QObject {
    Q_OBJECT
public:
    // Watches body's widgets as they are now; widgets inside `own` (the
    // recorder's window) are left alone.
    ActionRecorder(Body *body, QWidget *own);

signals:
    // One batch line or comment, without a line feed.
    void actionRecorded(const QString &line);

private:
    using Text = std::function<QStringList()>;
    void watchWindow();
    void watchSeries(const char *panelName, bool i1);
    void watchEnergySetup(QWidget *setup, bool i1);
    void watchAnalyzer();
    void watchReferenceRows();
    void watchMapChoice();
    void watchSaveDataCfg();
    void watchCalibration();
    void watchDialogs();
    void watchRegion();
    // The dark frame, the spectra read from files and their fields.
    void watchInputs();
    // Everything under root not watched yet: a comment per action.
    void watchGaps(QWidget *root);

    // The named widget under root: its user edit records command id with
    // the arguments args() gives then.
    void onEdited(QWidget *root, const char *name, EX_CMD_ID id, Text args = {});
    void onClicked(QWidget *root, const char *name, EX_CMD_ID id, Text args = {});
    void onChosen(QWidget *root, const char *name, EX_CMD_ID id);
    // The named widget under root acts through another watched path (it
    // opens a dialog or a window): no line of its own.
    void ignore(QWidget *root, const QStringList &names);

    void record(EX_CMD_ID id, const QStringList &args);
    void gap(const QString &action);
    bool quiet() const;
    bool taken(const QObject *w) const;

    Body *m_body;
    QPointer<QWidget> m_own;
    QSet<const QObject *> m_watched;
    QRectF m_lastRegion;
};
