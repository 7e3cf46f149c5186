#pragma once
// A batch read before it runs: the dispatcher skips an unknown command
// silently and hands a command whatever arguments it got (a missing one is
// the empty text), so a typo shows only hours later as a map that was never
// made. The check names each such line first.
#include <QString>
#include <QVector>

namespace BatchCheck {

struct Problem {
    int line = 0; // from 1; a continued command counts from its first line
    QString text;
};

// Unknown commands, unknown control commands and external commands with
// fewer or more arguments than they take, in line order. Lines between
// :rem_start and :rem_end are not run and not checked.
QVector<Problem> check(const QString &batchText);

// The argument counts a documented command takes: its arguments as listed
// in the reference, those in [brackets] optional; a list ending in "..."
// or a free text takes any number more. max < 0: no upper bound.
void argumentRange(const QString &arguments, int *min, int *max);

} // namespace BatchCheck
