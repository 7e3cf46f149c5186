#pragma once
// Reading a batch file into the text of the batch window.
#include <QString>

namespace BatchFile {

// The file's lines, each ended by a line feed. False (with a debug-log
// message) for a file that cannot be opened, is no regular file, or has a
// line beyond the text-line bound; *text is then left empty.
bool read(const QString &fileName, QString *text);

} // namespace BatchFile
