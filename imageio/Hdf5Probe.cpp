#include "imageio/Hdf5Probe.h"

#include "app/DebugLog.h"

#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>

namespace Hdf5Probe {

namespace {

// Opening walks every chunk of the images (at most a few million): a
// minute is far beyond what an honest file takes.
constexpr int ProbeMs = 60000;

QMutex &helperLock() {
    static QMutex lock;
    return lock;
}

QString &helperProgram() {
    static QString program;
    return program;
}

} // namespace

void setHelper(const QString &program) {
    QMutexLocker lock(&helperLock());
    helperProgram() = program;
}

QString helper() {
    QMutexLocker lock(&helperLock());
    return helperProgram();
}

QString helperBeside(const QString &applicationDir) {
    const QFileInfo tool(applicationDir + QStringLiteral("/lumenstack-tool"));
    if (tool.isFile() && tool.isExecutable())
        return tool.absoluteFilePath();
    DebugLog::write("No lumenstack-tool beside the program in " + applicationDir +
                    ": HDF5 files are opened in-process without a probe");
    return QString();
}

QString check(const QString &file, const QString &layout, bool *crashed) {
    if (crashed)
        *crashed = false;
    const QString program = helper();
    if (program.isEmpty())
        return QString();
    QProcess probe;
    probe.setProgram(program);
    QStringList arguments = {QStringLiteral("h5-info"), QStringLiteral("--check"), file};
    if (!layout.isEmpty())
        arguments << QStringLiteral("--layout") << layout;
    probe.setArguments(arguments);
    probe.setProcessChannelMode(QProcess::SeparateChannels);
    // In a sanitizer build the helper's leak report at exit (Qt's own
    // process-lifetime objects) is no verdict on the file.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString asan = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       asan + (asan.isEmpty() ? "" : ":") + QStringLiteral("detect_leaks=0"));
    probe.setProcessEnvironment(environment);
    probe.start(QIODevice::ReadOnly);
    if (!probe.waitForStarted(ProbeMs)) {
        DebugLog::write("The HDF5 probe " + program + " cannot be started; " + file +
                        " is opened in-process");
        return QString();
    }
    if (!probe.waitForFinished(ProbeMs)) {
        if (crashed)
            *crashed = true;
        probe.kill();
        probe.waitForFinished(5000);
        return file + QStringLiteral(": the HDF5 library did not finish opening it within %1 s "
                                     "(damaged file?); not loaded")
                          .arg(ProbeMs / 1000);
    }
    const QString said = QString::fromUtf8(probe.readAllStandardError()).trimmed();
    // A sanitizer build reports the library's fault and exits with a code.
    if (probe.exitStatus() == QProcess::CrashExit ||
        said.contains(QStringLiteral("ERROR: AddressSanitizer")) ||
        said.contains(QStringLiteral("runtime error:"))) {
        if (crashed)
            *crashed = true;
        return file + QStringLiteral(": the HDF5 library crashed while opening it (a damaged "
                                     "file); not loaded");
    }
    if (probe.exitCode() == 0)
        return QString();
    const QString line = said.section('\n', -1).remove(QStringLiteral("lumenstack-tool h5-info: "));
    return line.isEmpty()
               ? file +
                     QStringLiteral(": refused by the HDF5 probe (exit %1)").arg(probe.exitCode())
               : line;
}

} // namespace Hdf5Probe
