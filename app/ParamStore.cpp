#include "app/ParamStore.h"

#include "app/DebugLog.h"
#include "app/TextFileLimits.h"
#include "app/TextLine.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

void ParamStore::set(const QString &key, const QString &value, const QString &rest) {
    const QString upper = key.toUpper();
    if (!m_exact.contains(key))
        m_keyOrder.append(key);
    m_exact.insert(key, Entry{value, rest});
    m_anyCase.insert(upper, Entry{value, rest});
    if (m_keepHistory)
        m_history.append(HistoryRow{key, upper, value, rest});
}

bool ParamStore::contains(const QString &key) const {
    return m_exact.contains(key);
}

QString ParamStore::value(const QString &key, const QString &defaultValue) const {
    const auto it = m_exact.constFind(key);
    return it == m_exact.constEnd() ? defaultValue : it->value;
}

QString ParamStore::valueAnyCase(const QString &key, const QString &defaultValue) const {
    const auto it = m_anyCase.constFind(key.toUpper());
    return it == m_anyCase.constEnd() ? defaultValue : it->value;
}

QString ParamStore::rest(const QString &key) const {
    return m_exact.value(key).rest;
}

QStringList ParamStore::allRests(const QString &key) const {
    const QString upper = key.toUpper();
    QStringList rests;
    for (const HistoryRow &row : m_history)
        if (row.upperKey == upper)
            rests.append(row.rest);
    return rests;
}

void ParamStore::readConfigFile(const QString &path) {
    QStringList openFiles;
    readConfigFile(path, &openFiles);
}

// openFiles holds the canonical paths of the files being read, outermost first,
// so that an INCLUDE cycle is caught however long it is.
void ParamStore::readConfigFile(const QString &path, QStringList *openFiles) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (!canonical.isEmpty() && openFiles->contains(canonical)) {
        DebugLog::write("Config file includes itself, not read again : " + path);
        return;
    }
    if (openFiles->size() >= MaxIncludeDepth) {
        DebugLog::write(QString("Config files nested deeper than %1, not read : %2")
                            .arg(MaxIncludeDepth)
                            .arg(path));
        return;
    }
    if (TextFileLimits::refuseSpecialFile(path))
        return;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        DebugLog::write("Can't open config file : " + path);
        return;
    }
    openFiles->append(canonical);
    // Entries read before a fault stay, as with any unreadable file.
    TextFileLimits::guarded(path, [&] {
        QTextStream in(&file);
        QString line;
        for (qint64 lineNo = 1;; ++lineNo) {
            const TextFileLimits::LineRead r = TextFileLimits::readLine(in, &line);
            if (r == TextFileLimits::LineRead::TooLong)
                TextFileLimits::reportTooLong(path, lineNo);
            if (r != TextFileLimits::LineRead::Line)
                return true;
            readConfigLine(line, openFiles);
        }
    });
    openFiles->removeLast();
}

void ParamStore::readConfigLine(const QString &line, QStringList *openFiles) {
    const QString text = TextLine::stripComment(line);
    if (TextLine::isBlank(text))
        return;
    QString rest;
    const QString key = TextLine::nextItem(text, &rest);
    QString afterValue;
    const QString value = TextLine::nextItem(rest, &afterValue);
    if (key.toUpper() == "INCLUDE")
        readConfigFile(value, openFiles);
    else
        set(key, value, rest);
}
