#include "app/DebugLog.h"

#include <QDateTime>
#include <QMap>
#include <QMutex>
#include <QMutexLocker>
#include <cstdio>

namespace DebugLog {
namespace {

struct Sinks {
    QMutex mutex;
    QMap<int, QStringList> captures;
    int nextId = 1;
};

Sinks &sinks() {
    static Sinks s;
    return s;
}

// Depth of the Mute objects alive in this thread.
thread_local int muteDepth = 0;
// The innermost ThreadCapture alive in this thread.
thread_local ThreadCapture *threadCapture = nullptr;

bool quiet() {
    static const bool q = qEnvironmentVariableIntValue("LUMENSTACK_QUIET_LOG") == 1;
    return q;
}

} // namespace

void write(const QString &text) {
    if (muteDepth > 0)
        return;
    for (ThreadCapture *c = threadCapture; c; c = c->m_outer)
        c->m_lines.append(text);
    Sinks &s = sinks();
    QMutexLocker lock(&s.mutex);
    for (auto it = s.captures.begin(); it != s.captures.end(); ++it)
        it.value().append(text);
    if (!quiet()) {
        const QByteArray bytes = text.toLocal8Bit();
        std::fprintf(stderr, "%s\n", bytes.constData());
        std::fflush(stderr);
    }
}

QString timeStamp() {
    return QDateTime::currentDateTime().toString("yyMMdd hh:mm:ss.zzz");
}

void writeTimeStamp(const QString &tag) {
    write(tag + " " + timeStamp());
}

Capture::Capture() {
    Sinks &s = sinks();
    QMutexLocker lock(&s.mutex);
    m_id = s.nextId++;
    s.captures.insert(m_id, QStringList());
}

Capture::~Capture() {
    Sinks &s = sinks();
    QMutexLocker lock(&s.mutex);
    s.captures.remove(m_id);
}

ThreadCapture::ThreadCapture() : m_outer(threadCapture) {
    threadCapture = this;
}

ThreadCapture::~ThreadCapture() {
    threadCapture = m_outer;
}

Mute::Mute() {
    ++muteDepth;
}

Mute::~Mute() {
    --muteDepth;
}

QStringList Capture::lines() const {
    Sinks &s = sinks();
    QMutexLocker lock(&s.mutex);
    return s.captures.value(m_id);
}

bool Capture::contains(const QString &text) const {
    for (const QString &line : lines())
        if (line.contains(text))
            return true;
    return false;
}

} // namespace DebugLog
