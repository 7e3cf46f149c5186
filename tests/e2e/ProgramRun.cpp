#include "ProgramRun.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace ProgramRun {

Result run(const QString &program, const QStringList &args, const QString &workDir, int timeoutMs) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("LUMENSTACK_QUIET_LOG");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(workDir);
    process.start(program, args);
    Result r;
    if (!process.waitForStarted(timeoutMs))
        return r;
    r.finished = process.waitForFinished(timeoutMs);
    if (!r.finished) {
        process.kill();
        process.waitForFinished();
    }
    r.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(process.readAllStandardError());
    return r;
}

Result runBatch(const QString &cfg, const QString &bat, const QString &workDir, int timeoutMs) {
    return run(LS_PROGRAM, {"-platform", "offscreen", "-e", "-c", cfg, "-b", bat, "-x"}, workDir,
               timeoutMs);
}

} // namespace ProgramRun
