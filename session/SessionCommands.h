#pragma once
// The batch commands session_save FILE and session_load FILE. They act on a
// session (Session) that the window gives (capture) and takes (apply), so they
// run and are tested without a window.
//
// A loaded session is put into the window by batch lines: the same commands a
// user would write load the series, set the fields and read the references,
// so a session and a batch can never disagree about what a setting means.
#include "batch/CmdLine.h"
#include "session/Session.h"

#include <QStringList>
#include <functional>

namespace SessionBatch {

// One batch argument: quoted when it holds white space or is empty.
QString argument(const QString &text);

// The lines that put the session into the window, in order. shiftFile names
// a shift file holding the session's registration shifts (the caller writes
// it); it is only used when the session has shifts.
QStringList lines(const Session &s, const QString &shiftFile);

} // namespace SessionBatch

class SessionCommands {
public:
    using Capture = std::function<Session()>;
    // Puts a checked session into the window: "" when done, else why not
    // (and then nothing may have changed).
    using Apply = std::function<QString(const Session &)>;

    SessionCommands(Capture capture, Apply apply);

    // session_save FILE: "" when written, else why not.
    QString save(const CmdLine &cmd) const;
    // session_load FILE: "" when the session was read, checked and applied;
    // else the refusal (apply's own included).
    QString load(const CmdLine &cmd) const;

private:
    Capture m_capture;
    Apply m_apply;
};
