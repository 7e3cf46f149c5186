#include "mainwindow/commands/CommandSet.h"

#include <QCoreApplication>
#include <algorithm>

namespace {

QString tr(const char *text) {
    return QCoreApplication::translate("CommandSet", text);
}

} // namespace

void CommandSet::addFileCommand(EX_CMD_ID id, std::function<QString(const QString &)> read) {
    add(id, [id, read = std::move(read)](const CmdLine &cmd) {
        return cmd.arg(0).isEmpty() ? refusal(id, tr("no file given")) : read(cmd.arg(0));
    });
}

QList<EX_CMD_ID> CommandSet::ids() const {
    QList<EX_CMD_ID> ids;
    for (auto it = m_handlers.cbegin(); it != m_handlers.cend(); ++it)
        ids << EX_CMD_ID(it.key());
    std::sort(ids.begin(), ids.end());
    return ids;
}

QString CommandSet::run(const CmdLine &cmd) const {
    const EX_CMD_ID id = ExCmdTable::idOf(cmd.command);
    const auto handler = m_handlers.constFind(id);
    if (handler == m_handlers.constEnd())
        return tr("%1: no such command here").arg(cmd.command);
    return (*handler)(cmd);
}

QString CommandSet::refusal(EX_CMD_ID id, const QString &why) {
    return tr("%1 refused: %2").arg(ExCmdTable::nameOf(id), why);
}
