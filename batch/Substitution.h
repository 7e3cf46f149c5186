#pragma once
// Substitution of loop placeholders and batch variables into one argument,
// with a bound on the text it may grow to. Variables may hold the keys of
// other variables, so every substitution can double the text: two dozen
// ":let" lines would otherwise build gigabytes. The size a replacement will
// give is computed before it is made, so no step ever exceeds the bound, and
// a stop flag (set from another thread) ends the work between steps.
#include <QString>

#include <atomic>

class Substitution {
public:
    enum Status { Done, TooLong, Stopped };

    // The longest text an argument may expand to (characters).
    static constexpr int DefaultMaxChars = 1 << 20;

    Substitution(QString text, int maxChars = DefaultMaxChars,
                 const std::atomic<bool> *stop = nullptr);

    // Replaces every occurrence of key (exact case, left to right, inserted
    // text not rescanned). Nothing happens once the status is not Done; false
    // then.
    bool replace(const QString &key, const QString &value);

    Status status() const { return m_status; }
    const QString &text() const { return m_text; }

private:
    // Non-overlapping occurrences of key; -1 when stopped while counting.
    qint64 occurrences(const QString &key) const;
    bool stopRequested() const;

    QString m_text;
    int m_maxChars;
    const std::atomic<bool> *m_stop;
    Status m_status = Done;
};
