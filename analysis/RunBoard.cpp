#include "analysis/RunBoard.h"

#include <QCoreApplication>
#include <cmath>

namespace {

QString tr(const char *text) {
    return QCoreApplication::translate("RunBoard", text);
}

QString duration(double seconds) {
    const qint64 s = qint64(std::lround(seconds));
    return s < 120 ? QStringLiteral("%1 s").arg(s)
                   : QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60, 2, 10, QChar('0'));
}

} // namespace

RunBoard::RunBoard(QObject *parent) : QObject(parent) {}

void RunBoard::add(const Entry &entry) {
    m_states.append({entry});
    Run *run = entry.run;
    connect(run, &Run::progress, this, [this, run](double percent) { progressed(run, percent); });
}

RunBoard::State *RunBoard::stateOf(const Run *run) {
    for (State &s : m_states)
        if (s.entry.run == run)
            return &s;
    return nullptr;
}

const RunBoard::State *RunBoard::stateOf(const Run *run) const {
    return const_cast<RunBoard *>(this)->stateOf(run);
}

void RunBoard::started(Run *run) {
    State *s = stateOf(run);
    if (!s)
        return;
    s->active = true;
    m_timed = run;
    m_clock.start();
    emit runStarted(run);
    emit timeChanged(timeText(0, 0));
}

void RunBoard::ended(Run *run) {
    State *s = stateOf(run);
    if (!s || !s->active)
        return;
    s->active = false;
    if (m_timed == run) {
        m_timed = nullptr;
        emit timeChanged(QString());
    }
    const int waiting = s->waitingCommand;
    s->waitingCommand = -1;
    emit runFinished(run);
    if (waiting >= 0)
        emit commandFinished(waiting);
}

bool RunBoard::isActive(const Run *run) const {
    const State *s = stateOf(run);
    return s && s->active;
}

bool RunBoard::anyActive() const {
    for (const State &s : m_states)
        if (s.active)
            return true;
    return false;
}

QString RunBoard::refusal() const {
    for (const State &s : m_states)
        if (s.active && s.entry.exclusive)
            return s.entry.going;
    return QString();
}

bool RunBoard::stopForBatch() {
    bool stopped = false;
    for (State &s : m_states)
        if (s.active && s.entry.stopsWithBatch) {
            s.entry.run->stop();
            stopped = true;
        }
    return stopped;
}

bool RunBoard::answerAtEnd(Run *run, int commandId) {
    State *s = stateOf(run);
    if (!s || !s->active)
        return false;
    s->waitingCommand = commandId;
    return true;
}

void RunBoard::progressed(Run *run, double percent) {
    if (run == m_timed && m_clock.isValid())
        emit timeChanged(timeText(m_clock.elapsed() / 1000.0, percent));
}

QString RunBoard::timeText(double elapsedSeconds, double percent) {
    QString text = tr("Run: %1").arg(duration(elapsedSeconds));
    if (percent > 0.5 && percent < 100)
        text += tr(", about %1 left").arg(duration(elapsedSeconds * (100 - percent) / percent));
    return text;
}
