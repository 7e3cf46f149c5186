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
    while (!rest.isEmpty()) {
        QString remainder;
        const QString item = TextLine::nextItem(rest, &remainder);
        if (!item.isEmpty())
            cmd.args.append(item);
        rest = remainder;
    }
    cmd.control = cmd.command.startsWith(':');
    cmd.valid = true;
    return cmd;
}

void CmdLine::registerMetaTypes() {
    qRegisterMetaType<CmdLine>("CmdLine");
    qRegisterMetaType<EX_CMD_ID>("EX_CMD_ID");
}
