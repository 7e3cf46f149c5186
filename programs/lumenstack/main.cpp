// Start-up: settings defaults, command line, application object, configuration,
// main window, optional batch, event loop.
#include "app/AppSettings.h"
#include "app/DebugLog.h"
#include "app/Startup.h"
#include "batch/ExCmdTable.h"
#include "batch/widgets/BatchCtrl.h"
#include "display/ColorMap.h"
#include "imageio/Hdf5Probe.h"
#include "mainwindow/widgets/Body.h"

#include "app/UserMessages.h"

#include <QApplication>
#include <QTranslator>
#include <cstdio>
#include <new>

namespace {

// Memory running out in a command (maps for an absurd area, a load) ends
// that command with a message; the session and what it holds go on.
class Application : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::bad_alloc &) {
            UserMessages::error(QObject::tr("Out of memory: the last command was abandoned; "
                                            "what was loaded stays"));
            return false;
        }
    }
};

} // namespace

int main(int argc, char **argv) {
    AppSettings::resetDefaults();
    ColorMap::rgbTable();
    ExCmdTable::build();

    ParamStore &params = AppSettings::params();
    Startup::collectOptions(argc, argv, &params);

    Application app(argc, argv);
    QTranslator translator;
    QApplication::setStyle("Fusion");

    const QString appDir = QCoreApplication::applicationDirPath();
    DebugLog::write(appDir);
    // HDF5 files are opened first by the command-line tool beside the
    // program, so that a crash of the HDF5 library on a damaged file costs a
    // refusal, not the session.
    Hdf5Probe::setHelper(Hdf5Probe::helperBeside(appDir));
    const QString cfgPath = Startup::configPath(params, appDir);
    DebugLog::write("cfg file " + cfgPath);
    // No config.cfg beside the program is the ordinary first start, not a
    // fault; a file named on the command line that is missing is reported.
    if (!cfgPath.isEmpty() || Startup::configGiven(params))
        params.readConfigFile(cfgPath);
    Startup::settleSettings(params);
    const Startup::Options options = Startup::options(params);
    // A batch run from the command line does the same every time: it
    // neither takes remembered fields nor writes them.
    if (!options.execBatch)
        AppSettings::setRememberPath(Startup::rememberPath(params, appDir));

    if (!options.noTranslation && translator.load(":/Lumenstack_ja_JP"))
        QCoreApplication::installTranslator(&translator);

    auto *body = new Body;
    QObject::connect(body, &Body::finishing, &app, &QApplication::closeAllWindows);
    body->show();
    // A batch to run that cannot be read ends a headless run at once: there
    // is nothing to wait for.
    if (!options.batchFile.isEmpty() && !body->batchCtrl()->setBatchFile(options.batchFile) &&
        options.execBatch) {
        std::fprintf(stderr, "lumenstack: the batch file %s cannot be read\n",
                     qPrintable(options.batchFile));
        delete body;
        return 1;
    }
    if (options.execBatch)
        body->batchCtrl()->execBatchSlot();

    const int result = app.exec();
    const QStringList failures = body->failures();
    delete body;
    if (!options.execBatch || failures.isEmpty())
        return result;
    std::fprintf(stderr, "lumenstack: %lld command(s) failed:\n",
                 static_cast<long long>(failures.size()));
    for (const QString &text : failures)
        std::fprintf(stderr, "  %s\n", qPrintable(text));
    return result != 0 ? result : 1;
}
