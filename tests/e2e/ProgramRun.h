#pragma once
// Runs one of the real programs as a child process and collects its output.
#include <QString>
#include <QStringList>

namespace ProgramRun {

struct Result {
    bool finished = false; // false when it had to be killed after the timeout
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs program with args in workDir. The child's debug log is not silenced,
// the platform is offscreen and leak checking (if built in) is off.
Result run(const QString &program, const QStringList &args, const QString &workDir,
           int timeoutMs = 60000);

// Runs lumenstack headless on a configuration file and a batch file:
// -platform offscreen -e -c cfg -b bat -x
Result runBatch(const QString &cfg, const QString &bat, const QString &workDir,
                int timeoutMs = 60000);

} // namespace ProgramRun
