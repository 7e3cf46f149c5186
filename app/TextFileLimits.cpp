#include "app/TextFileLimits.h"

#include "app/DebugLog.h"

#include <QFileInfo>
#include <QIODevice>
#include <QTextStream>
#include <algorithm>

namespace TextFileLimits {

bool refuseSpecialFile(const QString &path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isFile())
        return false;
    DebugLog::write((info.isDir() ? QStringLiteral("Is a folder, not a file : ")
                                  : QStringLiteral("Not a regular file, not read : ")) +
                    path);
    return true;
}

LineRead readLine(QTextStream &in, QString *line) {
    if (!in.readLineInto(line, MaxLineChars + 1))
        return LineRead::End;
    return line->size() > MaxLineChars ? LineRead::TooLong : LineRead::Line;
}

LineRead readLine(QIODevice &device, QByteArray *line) {
    if (device.atEnd()) {
        line->clear();
        return LineRead::End;
    }
    // Read into the caller's buffer, which keeps its capacity from line to
    // line: room for the longest line, its CR and LF, and the terminating 0.
    const int room = MaxLineChars + 3;
    line->reserve(room); // reserved: shrinking to the line keeps the room
    line->resize(room);
    const qint64 n = device.readLine(line->data(), room);
    line->resize(int(std::max<qint64>(n, 0)));
    const bool ended = line->endsWith('\n');
    if (ended)
        line->chop(line->endsWith("\r\n") ? 2 : 1);
    if (line->size() > MaxLineChars || (!ended && !device.atEnd()))
        return LineRead::TooLong;
    return LineRead::Line;
}

void reportTooLong(const QString &fileName, qint64 lineNo) {
    DebugLog::write(QString("Line %1 of %2 is longer than %3 characters, file not read")
                        .arg(lineNo)
                        .arg(fileName)
                        .arg(MaxLineChars));
}

void reportOutOfMemory(const QString &fileName) {
    DebugLog::write("Out of memory while reading " + fileName);
}

} // namespace TextFileLimits
