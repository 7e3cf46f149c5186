#include "batch/BatchDispatcher.h"

#include "app/AppSettings.h"
#include "app/DebugLog.h"
#include "app/TextLine.h"
#include "batch/ExCmdTable.h"
#include "batch/Substitution.h"

#include <QHash>
#include <QTimer>

#include <limits>

BatchDispatcher::ControlId BatchDispatcher::controlId(const QString &command) {
    static const QHash<QString, ControlId> ids = {
        {":FOR", For},        {":NEXT", Next}, {":ECHO", Echo}, {":REM_START", RemStart},
        {":REM_END", RemEnd}, {":END", End},   {":LET", Let}};
    return ids.value(command.toUpper(), NotControl);
}

BatchDispatcher::BatchDispatcher(QObject *parent) : QObject(parent) {
    CmdLine::registerMetaTypes();
    m_variables.setKeepHistory(false); // a :let in a long loop would grow it without end
    m_variables.set("$DataRoot$", AppSettings::dataRoot());
    connect(this, &BatchDispatcher::execNextLineSig, this, &BatchDispatcher::execNextLineSlot,
            Qt::QueuedConnection);
}

void BatchDispatcher::doDispatchCmds(QStringList lines) {
    if (m_running)
        m_pending.append(lines);
    else
        startBatch(lines);
}

void BatchDispatcher::insertCmds(QStringList lines) {
    m_inserted = lines + m_inserted;
    if (!m_running)
        startBatch({});
}

void BatchDispatcher::startBatch(const QStringList &lines) {
    m_lines = lines;
    m_index = 0;
    m_loops.clear();
    m_inRem = false;
    m_running = true;
    emit execNextLineSig();
}

void BatchDispatcher::endBatch() {
    m_running = false;
    m_lines.clear();
    m_inserted.clear();
    m_loops.clear();
    m_inRem = false;
    emit batchEnded();
    if (!m_pending.isEmpty())
        startBatch(m_pending.takeFirst());
}

void BatchDispatcher::batchStopSlot() {
    m_pending.clear();
    m_waiting = false; // an abandoned command's late answer is ignored
    if (m_running)
        endBatch();
    m_stopRequested.store(false);
}

void BatchDispatcher::finishBatchExec(int) {
    if (!m_waiting)
        return; // no command outstanding: a stray or abandoned answer
    m_waiting = false;
    emit execNextLineSig();
}

// Control lines follow each other in bursts of at most LinesPerEvent lines
// before the next burst is queued: one event per line would spend most of a
// loop's time in the event loop, one call per line would grow the stack, and
// between bursts a stop request gets its turn.
void BatchDispatcher::execNextLineSlot() {
    if (m_logsAcknowledged && m_logBacklog.load() > MaxLogBacklog) {
        QTimer::singleShot(2, this, &BatchDispatcher::execNextLineSlot); // let the window catch up
        return;
    }
    for (int n = 0; n < LinesPerEvent; ++n)
        if (m_stopRequested.load() || !runLine())
            return;
    emit execNextLineSig();
}

// Runs the line at the index; true when the next line may follow at once.
bool BatchDispatcher::runLine() {
    if (!m_running || m_waiting)
        return false;
    if (!m_inserted.isEmpty())
        return runInsertedLine();
    if (m_index < 0 || m_index >= m_lines.size()) {
        endBatch();
        return false;
    }
    m_lineStart = m_index;
    CmdLine cmd = CmdLine::parse(takeLineWithContinuations());
    bool external = false;
    if (!cmd.command.isEmpty()) {
        const ControlId id = controlId(cmd.command);
        if (id == End) {
            endBatch();
            return false;
        }
        if (id == RemEnd)
            m_inRem = false;
        else if (id == RemStart)
            m_inRem = true;
        else if (!m_inRem)
            runControl(id, cmd);
        external = id == NotControl && ExCmdTable::isExternal(cmd.command);
        if (external && !m_inRem) {
            for (QString &arg : cmd.args)
                if (!substitute(&arg)) {
                    external = false; // not sent: the batch goes on, as after other errors
                    break;
                }
            if (external)
                log(QString("%1 : %2\n").arg(cmd.command, cmd.args.join(' ')));
        }
    }
    ++m_index;
    if (!external)
        return true;
    m_waiting = true;
    emit execCmdSig(cmd, m_inRem);
    return false;
}

bool BatchDispatcher::runInsertedLine() {
    const CmdLine cmd = CmdLine::parse(m_inserted.takeFirst());
    if (cmd.control || !ExCmdTable::isExternal(cmd.command))
        return true;
    log(QString("%1 : %2\n").arg(cmd.command, cmd.args.join(' ')));
    m_waiting = true;
    emit execCmdSig(cmd, false);
    return false;
}

// The line at the index with its continuation lines appended (the backslash
// and what follows it removed); the index ends on the last line taken.
QString BatchDispatcher::takeLineWithContinuations() {
    QString text = m_lines.at(m_index);
    while (TextLine::stripContinuationMark(&text) && m_index + 1 < m_lines.size())
        text += m_lines.at(++m_index);
    return text;
}

void BatchDispatcher::runControl(ControlId id, const CmdLine &cmd) {
    switch (id) {
    case For:
        forCmd(cmd);
        break;
    case Next:
        nextCmd(cmd);
        break;
    case Let:
        letCmd(cmd);
        break;
    case Echo:
        echoCmd(cmd);
        break;
    default:
        break;
    }
}

void BatchDispatcher::forCmd(const CmdLine &cmd) {
    const QStringList items = TextLine::allItems(cmd.args.join(' '));
    const auto item = [&](int k) { return k < items.size() ? items.at(k) : QString(); };
    LoopRecord loop;
    loop.name = item(0);
    loop.line = m_index;
    loop.placeholder = item(1);
    loop.start = item(2);
    loop.end = item(3);
    loop.current = loop.start;
    loop.step = item(4);
    for (int i = 0; i < m_loops.size(); ++i) {
        if (m_loops.at(i).name == loop.name) {
            m_loops.resize(i);
            break;
        }
    }
    m_loops.append(loop);
    log(QString("for %1 : %2 = %3\n").arg(loop.name, loop.placeholder, loop.current));
}

namespace {

// Decimal text of v, zero-padded to the width of the start text when that is
// written with a leading zero ("001").
QString loopValueText(qint64 v, const QString &start) {
    QString digits = QString::number(v);
    const bool negative = digits.startsWith('-');
    if (negative)
        digits.remove(0, 1);
    if (start.size() > 1 && start.startsWith('0'))
        digits = digits.rightJustified(start.size(), '0');
    return negative ? "-" + digits : digits;
}

// The size of the step: 1 when absent or 0. The direction comes from start
// and end alone, so only the size counts: a negative step would otherwise
// never reach the end.
qint64 stepSize(const QString &text) {
    const qint64 step = text.isEmpty() ? 1 : text.toLongLong();
    if (step == 0)
        return 1;
    if (step == std::numeric_limits<qint64>::min())
        return std::numeric_limits<qint64>::max();
    return qAbs(step);
}

// Steps the loop; false when it is finished (the record is then unchanged).
// A step beyond the 64-bit range is beyond the end as well: letting it wrap
// would restart the count at the other end of the range.
bool stepLoop(BatchDispatcher::LoopRecord *loop) {
    const qint64 s = loop->start.toLongLong();
    const qint64 e = loop->end.toLongLong();
    const qint64 step = stepSize(loop->step);
    qint64 v = loop->current.toLongLong();
    const bool down = s >= e;
    const bool overflow =
        down ? __builtin_sub_overflow(v, step, &v) : __builtin_add_overflow(v, step, &v);
    if (overflow || (down ? v < e : v > e))
        return false;
    loop->current = loopValueText(v, loop->start);
    return true;
}

} // namespace

void BatchDispatcher::nextCmd(const CmdLine &cmd) {
    const QString name = cmd.arg(0);
    LoopRecord shown;
    for (LoopRecord &loop : m_loops) {
        if (loop.name != name)
            continue;
        if (stepLoop(&loop))
            m_index = loop.line;
        shown = loop;
        break;
    }
    log(QString("next %1 : %2 = %3\n").arg(shown.name, shown.placeholder, shown.current));
}

void BatchDispatcher::letCmd(const CmdLine &cmd) {
    m_variables.set("$" + cmd.arg(0) + "$", cmd.arg(1), cmd.arg(1));
}

void BatchDispatcher::echoCmd(const CmdLine &cmd) {
    QString text = cmd.arg(0);
    if (substitute(&text))
        log("echo " + text);
}

// Loop placeholders (oldest loop first), then variables in the order first
// set. QString::replace does not rescan inserted text, so a value holding its
// own key is inserted once and substitution ends. A stop request ends the
// work silently: the queued batchStopSlot follows and ends the batch.
bool BatchDispatcher::substitute(QString *arg) {
    Substitution s(*arg, Substitution::DefaultMaxChars, &m_stopRequested);
    for (const LoopRecord &loop : m_loops)
        if (!loop.placeholder.isEmpty())
            s.replace(loop.placeholder, loop.current);
    for (const QString &key : m_variables.keys())
        if (!s.replace(key, m_variables.value(key)))
            break;
    if (s.status() == Substitution::Done) {
        *arg = s.text();
        return true;
    }
    if (s.status() == Substitution::TooLong) {
        const QString lineText = CmdLine::parse(m_lines.at(m_lineStart)).lineText;
        log(QString("Err: line %1: the text expands beyond %2 characters: %3\n")
                .arg(m_lineStart + 1)
                .arg(Substitution::DefaultMaxChars)
                .arg(lineText.left(200)));
    }
    return false;
}

// Every batch-log line goes to the debug log as well, so a headless run shows
// its progress on the terminal.
void BatchDispatcher::log(const QString &text) {
    DebugLog::write(text.endsWith('\n') ? text.chopped(1) : text);
    if (m_logsAcknowledged)
        m_logBacklog.fetch_add(1);
    emit Log(text);
}
