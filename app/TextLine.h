#pragma once
// Text-line helpers shared by the configuration reader, the batch language, the
// text image reader, the error-point file and the energy-shift-map file.
#include <QString>
#include <QStringList>

namespace TextLine {

// The line cut before its first "#" outside quotes. Double quotes and
// apostrophes toggle the same in-quote flag. The text after the mark goes to
// *comment when asked for.
QString stripComment(const QString &line, QString *comment = nullptr);

// True when nothing but whitespace remains after comment stripping.
bool isBlank(const QString &line);

// Takes the first item of text: a double-quoted item (quotes removed) or a run
// of non-whitespace. Returns the item; *remainder gets the text after it.
QString nextItem(const QString &text, QString *remainder);

// All items of the text, taken with nextItem until nothing remains.
QStringList allItems(const QString &text);

// When line begins with prefix (exact case): true, and *items gets every item
// of the text after the prefix.
bool itemsAfterPrefix(const QString &line, const QString &prefix, QStringList *items);

// True when line begins with prefix and has at least n items after it.
bool prefixWithItems(const QString &line, int n, const QString &prefix, QStringList *items);

// When the last non-whitespace character is a backslash, cuts *text just
// before it and returns true.
bool stripContinuationMark(QString *text);

// "1234567.25" -> "1,234,567.25": a comma every three characters leftwards
// from the decimal point (from the end when there is none).
QString groupDigits(const QString &number);

} // namespace TextLine
