#pragma once
// One parsed batch line. Travels by value from the dispatcher's thread to the
// main window, so it is a registered meta type.
#include <QMetaType>
#include <QString>
#include <QStringList>

struct CmdLine {
    bool valid = false;   // the line holds a command
    QString rawLine;      // as read, continuation lines joined
    QString lineText;     // whitespace simplified, cut before the first "#"
    bool control = false; // the command begins with ":"
    QString command;      // first item
    QStringList args;     // the following items, empty ones left out

    // Parses one line. Items are taken from the raw line, so items after a
    // "#" in the middle of a command line are still arguments; only the text
    // used in messages ends there.
    static CmdLine parse(const QString &line);

    // Argument k, or the empty text when there are fewer arguments.
    QString arg(int k) const { return k < args.size() ? args.at(k) : QString(); }

    // Registers CmdLine and EX_CMD_ID for queued connections (idempotent).
    static void registerMetaTypes();
};

Q_DECLARE_METATYPE(CmdLine)
