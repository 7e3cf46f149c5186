#pragma once
// Bounds shared by every text reader (configuration, batch files, spectra,
// text images, error points, reference and shift files). A line longer than
// MaxLineChars refuses the file: no text format of the program comes near it,
// and without a bound a file without line breaks (or /dev/zero) would be read
// whole into memory. Paths that exist but are no regular file (devices,
// pipes, directories) are refused before they are opened, since reading them
// may never end or block for ever.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTextStream>
#include <new>

namespace TextFileLimits {

constexpr int MaxLineChars = 1 << 20;

// True (and a debug-log message naming the file) when the path exists and is
// not a regular file. A missing file is not refused here: its reader's own
// open failure reports it.
bool refuseSpecialFile(const QString &path);

enum class LineRead { Line, End, TooLong };

// The next line without its terminator, at most MaxLineChars characters.
LineRead readLine(QTextStream &in, QString *line);
LineRead readLine(QIODevice &device, QByteArray *line);

// Writes "Line N of FILE is longer than 1048576 characters, file not read".
void reportTooLong(const QString &fileName, qint64 lineNo);

void reportOutOfMemory(const QString &fileName);

// Runs read(); an allocation the system refuses becomes a failed read with a
// debug-log message instead of an exception leaving the reader.
template <typename Read> bool guarded(const QString &fileName, Read &&read) {
    try {
        return read();
    } catch (const std::bad_alloc &) {
        reportOutOfMemory(fileName);
        return false;
    }
}

// Calls take(line) for every line of the open file; false (logged) when a
// line is beyond the bound or memory runs out.
template <typename Take> bool forEachLine(QFile &file, Take &&take) {
    return guarded(file.fileName(), [&] {
        QTextStream in(&file);
        QString line;
        for (qint64 lineNo = 1;; ++lineNo) {
            const LineRead r = readLine(in, &line);
            if (r == LineRead::End)
                return true;
            if (r == LineRead::TooLong) {
                reportTooLong(file.fileName(), lineNo);
                return false;
            }
            take(line);
        }
    });
}

} // namespace TextFileLimits
