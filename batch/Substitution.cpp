#include "batch/Substitution.h"

Substitution::Substitution(QString text, int maxChars, const std::atomic<bool> *stop)
    : m_text(std::move(text)), m_maxChars(maxChars), m_stop(stop) {
    if (m_text.size() > m_maxChars)
        m_status = TooLong;
}

bool Substitution::stopRequested() const {
    return m_stop && m_stop->load(std::memory_order_relaxed);
}

qint64 Substitution::occurrences(const QString &key) const {
    qint64 n = 0;
    for (int at = m_text.indexOf(key); at >= 0; at = m_text.indexOf(key, at + key.size())) {
        if ((++n & 0xfff) == 0 && stopRequested())
            return -1;
    }
    return n;
}

bool Substitution::replace(const QString &key, const QString &value) {
    if (m_status != Done)
        return false;
    if (stopRequested()) {
        m_status = Stopped;
        return false;
    }
    if (key.isEmpty())
        return true;
    const qint64 n = occurrences(key);
    if (n < 0) {
        m_status = Stopped;
        return false;
    }
    if (n == 0)
        return true;
    const qint64 grown = qint64(m_text.size()) + n * (qint64(value.size()) - key.size());
    if (grown > m_maxChars) {
        m_status = TooLong;
        return false;
    }
    m_text.replace(key, value);
    return true;
}
