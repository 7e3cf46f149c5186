#include "app/TextLine.h"

#include "app/DebugLog.h"

namespace TextLine {

QString stripComment(const QString &line, QString *comment) {
    bool inQuote = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == '"' || c == '\'') {
            inQuote = !inQuote;
        } else if (c == '#' && !inQuote) {
            if (comment)
                *comment = line.mid(i + 1);
            return line.left(i);
        }
    }
    if (comment)
        comment->clear();
    return line;
}

bool isBlank(const QString &line) {
    return stripComment(line).trimmed().isEmpty();
}

namespace {

// The item at or after pos (see nextItem) into *item; returns the position
// just past it, text.size() when nothing follows. Positions instead of
// remainders keep splitting a line of n items linear in its length.
int scanItem(const QString &text, int pos, QString *item) {
    int start = pos;
    while (start < text.size() && text.at(start).isSpace())
        ++start;
    if (start >= text.size()) {
        *item = QString();
        return text.size();
    }
    if (text.at(start) == '"') {
        const int close = text.indexOf('"', start + 1);
        if (close < 0) {
            DebugLog::write(
                QString("In a line [%1] item is started from quote but not ended by quote")
                    .arg(text.mid(pos)));
            *item = text.mid(start + 1);
            return text.size();
        }
        *item = text.mid(start + 1, close - start - 1);
        return close + 1;
    }
    int end = start;
    while (end < text.size() && !text.at(end).isSpace())
        ++end;
    *item = text.mid(start, end - start);
    if (item->endsWith('"'))
        DebugLog::write(QString("In a line [%1] item is started from not quote but ended by quote")
                            .arg(text.mid(pos)));
    return end;
}

} // namespace

QString nextItem(const QString &text, QString *remainder) {
    QString item;
    const int end = scanItem(text, 0, &item);
    *remainder = text.mid(end);
    return item;
}

QStringList allItems(const QString &text) {
    QStringList items;
    for (int pos = 0; pos < text.size();) {
        QString item;
        pos = scanItem(text, pos, &item);
        items << item;
    }
    return items;
}

bool itemsAfterPrefix(const QString &line, const QString &prefix, QStringList *items) {
    if (!line.startsWith(prefix))
        return false;
    *items = allItems(line.mid(prefix.size()));
    return true;
}

bool prefixWithItems(const QString &line, int n, const QString &prefix, QStringList *items) {
    return itemsAfterPrefix(line, prefix, items) && items->size() >= n;
}

bool stripContinuationMark(QString *text) {
    int last = text->size() - 1;
    while (last >= 0 && text->at(last).isSpace())
        --last;
    if (last < 0 || text->at(last) != '\\')
        return false;
    text->truncate(last);
    return true;
}

// A leading sign is no digit: "-123456" groups as "-123,456", not "-,123,456".
QString groupDigits(const QString &number) {
    QString out = number;
    const int first = out.startsWith('-') || out.startsWith('+') ? 1 : 0;
    int pos = out.indexOf('.');
    if (pos < 0)
        pos = out.size();
    while (pos - first > 3) {
        pos -= 3;
        out.insert(pos, ',');
    }
    return out;
}

} // namespace TextLine
