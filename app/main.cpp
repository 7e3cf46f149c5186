// Start-up: settings defaults, command line, application object, configuration,
// main window, optional batch, event loop.
#include "app/AppSettings.h"
#include "app/DebugLog.h"
#include "app/Startup.h"
#include "batch/ExCmdTable.h"
#include "batch/widgets/BatchCtrl.h"
#include "display/ColorMap.h"
#include "mainwindow/widgets/Body.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char **argv) {
    AppSettings::resetDefaults();
    ColorMap::rgbTable();
    ExCmdTable::build();

    ParamStore &params = AppSettings::params();
    Startup::collectOptions(argc, argv, &params);

    QApplication app(argc, argv);
    QTranslator translator;
    QApplication::setStyle("Fusion");

    DebugLog::write(QCoreApplication::applicationDirPath());
    const QString cfgPath = Startup::configPath(params, QCoreApplication::applicationDirPath());
    DebugLog::write("cfg file " + cfgPath);
    params.readConfigFile(cfgPath);
    Startup::settleSettings(params);
    const Startup::Options options = Startup::options(params);

    if (!options.noTranslation && translator.load(":/Lumenstack_ja_JP"))
        QCoreApplication::installTranslator(&translator);

    auto *body = new Body;
    QObject::connect(body, &Body::finishing, &app, &QApplication::closeAllWindows);
    body->show();
    if (!options.batchFile.isEmpty())
        body->batchCtrl()->setBatchFile(options.batchFile);
    if (options.execBatch)
        body->batchCtrl()->execBatchSlot();

    const int result = app.exec();
    delete body;
    return result;
}
