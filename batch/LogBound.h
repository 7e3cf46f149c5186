#pragma once
// The bound on what the batch window's log holds. A batch can log without end
// (a loop of a million lines, one echo of megabytes); the window keeps the
// last lines and cuts overlong ones, with a note of what went, while the
// debug log still receives every line in full.
#include <QString>

namespace LogBound {

// Lines the window keeps, and the longest line it shows in full.
constexpr int DefaultMaxLines = 20000;
constexpr int DefaultMaxLineChars = 4000;

// The text with every line longer than maxLineChars cut to that length and
// marked with the number of characters cut. Line feeds are kept.
QString clipLongLines(const QString &text, int maxLineChars);

// The note that stands first in the window once lines were dropped.
QString droppedNote(qint64 droppedLines);

} // namespace LogBound
