#include "batch/BatchCheck.h"

#include "app/TextLine.h"
#include "batch/BatchDispatcher.h"
#include "batch/CmdLine.h"
#include "batch/CommandDocs.h"
#include "batch/ExCmdTable.h"

namespace BatchCheck {

void argumentRange(const QString &arguments, int *min, int *max) {
    *min = *max = 0;
    if (arguments == QLatin1String("none"))
        return;
    const QStringList items = arguments.split(QStringLiteral(", "));
    bool unbounded = false;
    for (const QString &item : items) {
        if (!item.startsWith('['))
            ++*min;
        ++*max;
        unbounded =
            unbounded || item.endsWith(QLatin1String("...")) || item == QLatin1String("text");
    }
    if (unbounded)
        *max = -1;
}

namespace {

QString countText(int min, int max) {
    if (max < 0)
        return QStringLiteral("at least %1").arg(min);
    if (min == max)
        return QString::number(min);
    return QStringLiteral("%1 to %2").arg(min).arg(max);
}

// "" when the command and its arguments are fine, else what is wrong.
QString problemOf(const CmdLine &cmd) {
    if (cmd.control)
        return BatchDispatcher::controlId(cmd.command) == BatchDispatcher::NotControl
                   ? QStringLiteral("unknown control command %1").arg(cmd.command)
                   : QString();
    const EX_CMD_ID id = ExCmdTable::idOf(cmd.command);
    if (id == NOT_EX_CMD)
        return QStringLiteral("unknown command %1 (a run skips it)").arg(cmd.command);
    const CommandDocs::CommandDoc *doc = CommandDocs::find(id);
    if (!doc)
        return QString();
    int min = 0, max = 0;
    argumentRange(QString::fromUtf8(doc->arguments), &min, &max);
    const int given = cmd.args.size();
    if (given >= min && (max < 0 || given <= max))
        return QString();
    const bool one = min == 1 && max == 1;
    return QStringLiteral("%1 takes %2 argument%3 (%4), %5 given")
        .arg(ExCmdTable::nameOf(id), countText(min, max), one ? "" : "s",
             QString::fromUtf8(doc->arguments))
        .arg(given);
}

} // namespace

QVector<Problem> check(const QString &batchText) {
    ExCmdTable::build();
    const QStringList lines = batchText.split('\n');
    QVector<Problem> problems;
    bool inRemark = false;
    for (int i = 0; i < lines.size(); ++i) {
        const int first = i;
        QString text = lines.at(i);
        while (TextLine::stripContinuationMark(&text) && i + 1 < lines.size())
            text += lines.at(++i);
        const CmdLine cmd = CmdLine::parse(text);
        if (!cmd.valid)
            continue;
        const BatchDispatcher::ControlId control =
            cmd.control ? BatchDispatcher::controlId(cmd.command) : BatchDispatcher::NotControl;
        if (control == BatchDispatcher::RemStart || control == BatchDispatcher::RemEnd) {
            inRemark = control == BatchDispatcher::RemStart;
            continue;
        }
        if (inRemark)
            continue;
        const QString why = problemOf(cmd);
        if (!why.isEmpty())
            problems.append({first + 1, why});
    }
    return problems;
}

} // namespace BatchCheck
