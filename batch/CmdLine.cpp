#include "batch/CmdLine.h"

#include "app/TextLine.h"
#include "batch/ExCmdTable.h"

CmdLine CmdLine::parse(const QString &line) {
    CmdLine cmd;
    cmd.rawLine = line;
    QString text = line.simplified();
    const int hash = text.indexOf('#');
    if (hash >= 0)
        text = text.left(hash).trimmed();
    cmd.lineText = text;
    if (text.isEmpty())
        return cmd;

    QString rest;
    cmd.command = TextLine::nextItem(line, &rest);
    for (const QString &item : TextLine::allItems(rest))
        if (!item.isEmpty())
            cmd.args.append(item);
    cmd.control = cmd.command.startsWith(':');
    cmd.valid = true;
    return cmd;
}

void CmdLine::registerMetaTypes() {
    qRegisterMetaType<CmdLine>("CmdLine");
    qRegisterMetaType<EX_CMD_ID>("EX_CMD_ID");
}
