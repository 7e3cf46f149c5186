#pragma once
// Key/value store for command-line options, configuration entries and batch
// variables. Every entry is a key, a value and a rest (the raw text after the
// key). The store keeps three views of the same entries: an exact-case table,
// an any-case table (keys in upper case) and the full history in entry order.
// Entries are never removed.
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

class ParamStore {
public:
    struct HistoryRow {
        QString key;
        QString upperKey;
        QString value;
        QString rest;
    };

    // Enters the entry into all three views; a repeated key replaces the
    // earlier value and rest in both tables, the history keeps both.
    void set(const QString &key, const QString &value, const QString &rest = QString());

    bool contains(const QString &key) const;
    QString value(const QString &key, const QString &defaultValue = QString()) const;
    QString valueAnyCase(const QString &key, const QString &defaultValue = QString()) const;
    QString rest(const QString &key) const;

    // The rests of every history row whose key matches in any case, in the
    // order entered.
    QStringList allRests(const QString &key) const;

    // Exact-case keys in the order they were first set.
    const QStringList &keys() const { return m_keyOrder; }
    const QVector<HistoryRow> &history() const { return m_history; }

    // Reads a configuration file into the store, following INCLUDE lines in
    // place. A file that cannot be opened is reported in the debug log; a file
    // already being read (self-inclusion) or an inclusion deeper than
    // MaxIncludeDepth is refused with a debug-log message.
    void readConfigFile(const QString &path);

    static constexpr int MaxIncludeDepth = 16;

    // Off: set() keeps no history row. For stores set again and again (batch
    // variables in a loop), whose history nobody reads and which would grow
    // without end.
    void setKeepHistory(bool keep) { m_keepHistory = keep; }

private:
    struct Entry {
        QString value;
        QString rest;
    };

    void readConfigFile(const QString &path, QStringList *openFiles);
    void readConfigLine(const QString &line, QStringList *openFiles);

    QHash<QString, Entry> m_exact;
    QHash<QString, Entry> m_anyCase;
    QVector<HistoryRow> m_history;
    QStringList m_keyOrder;
    bool m_keepHistory = true;
};
