#pragma once
// The non-widget steps of start-up: collecting the raw command line into the
// store, finding the configuration file, settling the process-wide settings and
// reading the start-up options. main() runs them in order around the creation
// of the application object and the main window.
#include "app/ParamStore.h"

#include <QString>
#include <QStringList>

namespace Startup {

// Enters every option of the raw argument vector into store. argv[0] (the
// program path) is examined too. Each argument is taken byte-wise as Latin-1.
// An argument beginning with "-" is an option: its value is the next argument
// unless that begins with "-", its rest all following non-option arguments
// joined by blanks; scanning resumes after the rest.
void collectOptions(int argc, const char *const *argv, ParamStore *store);
void collectOptions(const QStringList &args, ParamStore *store);

// "config.cfg" in appDir (canonical, empty when absent), replaced by the value
// of "-c" and then by that of "-config".
QString configPath(const ParamStore &store, const QString &appDir);
// True when the configuration was named on the command line ("-c", "-config").
bool configGiven(const ParamStore &store);
// The file remembered fields are written to: the configuration named on the
// command line, else "config.cfg" in appDir, which need not exist yet.
QString rememberPath(const ParamStore &store, const QString &appDir);

// DataRoot, BatchRoot and ShowAnalyzer2Button from the configuration keys and
// then the options "-d", "-br", "-showA2B".
void settleSettings(const ParamStore &store);

struct Options {
    QString batchFile;  // "-b"
    bool execBatch;     // "-x"
    bool noTranslation; // "-e"
};
Options options(const ParamStore &store);

} // namespace Startup
