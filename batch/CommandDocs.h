#pragma once
// What every external batch command takes and does, for the batch-language
// reference (docs/batch-reference.md, written by
// "lumenstack-tool batch-reference"). The command names come from ExCmdTable;
// this table adds the arguments, the effect and when the command completes.
//
// A new command gets one CommandDoc entry in CommandDocs.cpp; the batch tests
// fail, naming the command, for any command of ExCmdTable without one.
#include "batch/ExCmdTable.h"

#include <QString>
#include <QVector>

namespace CommandDocs {

// When the main window answers the dispatcher, i.e. when the next line runs.
enum class Completion {
    AtOnce,   // right after its effect
    LoadEnds, // when the loader's queue has run empty
    RunEnds,  // when the map run or calibration it started has ended
    Never,    // the program closes
};

struct CommandDoc {
    int id;
    const char *section;   // heading the command is listed under
    const char *arguments; // "none", or the arguments in order
    const char *effect;
    Completion completion;
};

// Every documented command, in the order of the reference.
const QVector<CommandDoc> &all();

// The entry of a command id; nullptr when it has none.
const CommandDoc *find(int id);

// The external commands of ExCmdTable without an entry, by name.
QStringList undocumentedCommands();

QString completionText(Completion c);

// The reference in Markdown: argument conventions, control commands, then
// one table per section of external commands.
QString referenceMarkdown();

} // namespace CommandDocs
