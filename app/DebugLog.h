#pragma once
// The one route of the debug log. Every reader failure, time stamp and batch
// message goes through here, so a headless run shows it on stderr and tests can
// capture it. Safe to call from any thread.
#include <QString>
#include <QStringList>

namespace DebugLog {

// Writes one message (no trailing line feed needed).
void write(const QString &text);

// Writes tag followed by the current date and time "yyMMdd hh:mm:ss.zzz";
// used at the start and end of long operations.
void writeTimeStamp(const QString &tag);

// The current date and time as "yyMMdd hh:mm:ss.zzz".
QString timeStamp();

// Collects every message written while it lives (nesting allowed).
class Capture {
public:
    Capture();
    ~Capture();
    Capture(const Capture &) = delete;
    Capture &operator=(const Capture &) = delete;

    QStringList lines() const;
    // True when some captured message contains the text.
    bool contains(const QString &text) const;

private:
    int m_id;
};

// Collects the messages the calling thread writes while it lives (they are
// still printed and captured as usual): the reason a reader gave for refusing
// one file, without the messages other threads write meanwhile.
class ThreadCapture {
public:
    ThreadCapture();
    ~ThreadCapture();
    ThreadCapture(const ThreadCapture &) = delete;
    ThreadCapture &operator=(const ThreadCapture &) = delete;

    const QStringList &lines() const { return m_lines; }

private:
    friend void write(const QString &text);
    QStringList m_lines;
    ThreadCapture *m_outer;
};

// Drops every message the calling thread writes while it lives (nesting
// allowed): neither printed nor captured. For probing whose failures are
// expected and say nothing to the user, such as trying every shipped layout
// on a file to find the one that fits. Other threads log as before.
class Mute {
public:
    Mute();
    ~Mute();
    Mute(const Mute &) = delete;
    Mute &operator=(const Mute &) = delete;
};

} // namespace DebugLog
