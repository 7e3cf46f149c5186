#pragma once
// A set of batch command handlers that act on the session document and need
// no window: each takes the command line and returns "" when done, else the
// text saying why it was refused. The window registers them with its batch
// machinery (and posts the refusals to the user); tests run them directly.
#include "batch/CmdLine.h"
#include "batch/ExCmdTable.h"

#include <QHash>
#include <QList>
#include <QString>
#include <functional>

class CommandSet {
public:
    using Handler = std::function<QString(const CmdLine &)>;

    void add(EX_CMD_ID id, Handler handler) { m_handlers.insert(id, std::move(handler)); }
    // A command of one file, its first argument: refused when none is given.
    void addFileCommand(EX_CMD_ID id, std::function<QString(const QString &)> read);

    QList<EX_CMD_ID> ids() const;
    Handler handler(EX_CMD_ID id) const { return m_handlers.value(id); }
    // "" when done, else the refusal; a line without a handler here is refused.
    QString run(const CmdLine &cmd) const;

    // "NAME refused: WHY".
    static QString refusal(EX_CMD_ID id, const QString &why);

private:
    QHash<int, Handler> m_handlers;
};
