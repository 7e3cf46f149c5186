#pragma once
// Each subcommand takes its own arguments (without the subcommand name), writes
// its output to stdout and returns the process exit status.
#include <QStringList>

int runSpectrumInfo(const QStringList &args);
int runImageInfo(const QStringList &args);
int runMakeDemo(const QStringList &args);
int runLcfMap(const QStringList &args);
int runRaMap(const QStringList &args);
int runShiftMap(const QStringList &args);
int runAlign(const QStringList &args);
int runElemMap(const QStringList &args);
int runPcaMap(const QStringList &args);
int runClusterMap(const QStringList &args);
int runNmfMap(const QStringList &args);
int runH5Info(const QStringList &args);
int runBatchReference(const QStringList &args);
int runBatchCheck(const QStringList &args);
int runMerge(const QStringList &args);

// The usage text of a subcommand ("" for an unknown name); with the stack
// options for the subcommands that read a stack.
const char *subcommandUsage(const QString &name);
// Whether the arguments ask for the usage (--help or -h).
bool wantsHelp(const QStringList &args);

struct CalibStats;
// The "stats" member of shift-map's JSON line; merge recomputes it.
QString shiftStatsJson(const CalibStats &s);
