#pragma once
// The window's side of sessions: takes the session (every input) from the
// window, puts a loaded one back, and offers both as the batch commands
// session_save / session_load and as "Save Session..." / "Open Session..." in
// the File menu, which go through the same commands.
//
// A loaded session is applied by reading its dark frame and setting the
// fields that have no batch command, then running the session's batch lines
// next: the loads, fields and references go the way a batch sets them.
#include "batch/ExCmdTable.h"
#include "session/SessionCommands.h"

#include <QObject>
#include <QTemporaryDir>

class Body;
class QMenu;

class SessionControl : public QObject {
    Q_OBJECT
public:
    explicit SessionControl(Body *body);

    // Registers session_save and session_load with the window.
    void registerCommands();
    // "Save Session..." and "Open Session..." at the end of the menu.
    void addMenuActions(QMenu *file);

    Session capture() const;
    // "" when the session is on its way into the window, else why not.
    QString apply(const Session &s);

    // The same as the batch commands; refusals go to the user messages.
    bool saveSession(const QString &fileName);
    bool loadSession(const QString &fileName);

signals:
    // The user chose a session file in the menu: the batch line that runs.
    void commandChosen(const QString &line);

private:
    void runChosen(EX_CMD_ID id, const QString &fileName);
    QString shiftFile(const Session &s);

    Body *m_body;
    SessionCommands m_commands;
    QTemporaryDir m_temporary; // the shift file of a loaded session
};
