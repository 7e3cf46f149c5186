#include "batch/LogBound.h"

namespace LogBound {

QString clipLongLines(const QString &text, int maxLineChars) {
    if (text.size() <= maxLineChars)
        return text;
    QString out;
    int start = 0;
    while (start < text.size()) {
        int end = text.indexOf(QLatin1Char('\n'), start);
        const bool lineFeed = end >= 0;
        if (!lineFeed)
            end = text.size();
        const int length = end - start;
        if (length > maxLineChars) {
            out += QStringView(text).mid(start, maxLineChars);
            out += QStringLiteral(" ... [%1 characters cut]").arg(length - maxLineChars);
        } else {
            out += QStringView(text).mid(start, length);
        }
        if (lineFeed)
            out += QLatin1Char('\n');
        start = end + 1;
    }
    return out;
}

QString droppedNote(qint64 droppedLines) {
    return QStringLiteral("[... %1 earlier lines dropped from this window; the debug log keeps "
                          "them all ...]")
        .arg(droppedLines);
}

} // namespace LogBound
