#include "mainwindow/widgets/ExportCommands.h"

#include "analysis/widgets/Analyzer.h"
#include "app/DebugLog.h"
#include "batch/ExCmdTable.h"
#include "display/widgets/SaveDataCfg.h"
#include "mainwindow/widgets/Body.h"
#include "mainwindow/widgets/CommandArgs.h"

#include <algorithm>

using namespace CommandArgs;

ExportCommands::ExportCommands(Body *body) : QObject(body), m_body(body) {}

void ExportCommands::registerCommands() {
    Body *b = m_body;
    b->registerAtOnce(SAVE_ALL_IMAGES, [b](const CmdLine &c) { b->saveAllImages(c.arg(0)); });
    b->registerAtOnce(SAVE_DATA, [b](const CmdLine &c) { b->saveData(c.arg(0)); });
    b->registerAtOnce(SAVE_DATA_AS_TIFF, [b](const CmdLine &c) {
        b->saveDataAsTiff(c.arg(0), std::max(0, b->analyzer()->selectedReference()));
    });
    registerFormatCommands();
}

void ExportCommands::registerFormatCommands() {
    Body *b = m_body;
    SaveDataCfg *s = b->saveDataCfg();
    b->registerAtOnce(SAVEDATACFG_SHOW_WINDOW, [s](const CmdLine &) { s->show(); });
    b->registerAtOnce(SAVEDATACFG_SAVE_AS_TIFF, [s](const CmdLine &) {
        DebugLog::write(QStringLiteral("setting save as tiff"));
        s->setSaveAsTiff();
    });
    b->registerAtOnce(SAVEDATACFG_SAVE_AS_TEXT, [s](const CmdLine &) {
        DebugLog::write(QStringLiteral("setting save as text"));
        s->setSaveAsText();
    });
    b->registerAtOnce(SAVEDATACFG_TIFF_FIX_SCALE,
                      [s](const CmdLine &c) { s->setSaveTiffScaleFixed(flagArg(c, 0)); });
    b->registerAtOnce(SAVEDATACFG_TIFF_SCALE_MIN,
                      [s](const CmdLine &c) { s->setSaveTiffScaleMin(numArg(c, 0)); });
    b->registerAtOnce(SAVEDATACFG_TIFF_SCALE_MAX,
                      [s](const CmdLine &c) { s->setSaveTiffScaleMax(numArg(c, 0)); });
    b->registerAtOnce(SAVEDATACFG_TIFF_AS_ANALYZED,
                      [s](const CmdLine &c) { s->setSaveTiffAsAnalyzed(flagArg(c, 0)); });
    b->registerAtOnce(SAVEDATACFG_TEXT_AS_CSV, [s](const CmdLine &) { s->setSaveTextAsCSV(); });
    b->registerAtOnce(SAVEDATACFG_TEXT_AS_SSV, [s](const CmdLine &) { s->setSaveTextAsSSV(); });
    b->registerAtOnce(SAVEDATACFG_TEXT_AS_XYZ, [s](const CmdLine &) { s->setSaveTextAsXYVal(); });
    b->registerAtOnce(SAVEDATACFG_TEXT_AS_VALS,
                      [s](const CmdLine &) { s->setSaveTextAsValValVal(); });
}
