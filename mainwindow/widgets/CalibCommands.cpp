#include "mainwindow/widgets/CalibCommands.h"

#include "analysis/CalibrationRun.h"
#include "analysis/RunBoard.h"
#include "analysis/widgets/CalibCtrl.h"
#include "batch/ExCmdTable.h"
#include "mainwindow/widgets/Body.h"

CalibCommands::CalibCommands(Body *body) : QObject(body), m_body(body) {}

void CalibCommands::registerCommands() {
    Body *b = m_body;
    CalibCtrl *calib = b->calibCtrl();
    b->registerAtOnce(CALIB_SHOW_WINDOW, [calib](const CmdLine &) { calib->show(); });
    b->registerAtOnce(CALIB_LOAD_STD, [calib](const CmdLine &c) { calib->loadStd(c.arg(0)); });
    b->registerAtOnce(CALIB_SET_EDGE_EV, [calib](const CmdLine &c) { calib->setEdgeEV(c.arg(0)); });
    // Completes when the run ends; a press that stops a run, or a run that
    // cannot start, completes at once.
    b->registerCommand(CALIB_EXEC, [b](const CmdLine &) {
        SessionDocument &doc = b->document();
        if (!b->execCalibration() || !doc.runs().answerAtEnd(&doc.calibration().run(), CALIB_EXEC))
            emit b->finishBatchExec(CALIB_EXEC);
    });
    b->registerAtOnce(CALIB_SAVE_MAP, [b](const CmdLine &c) { b->saveEMap(c.arg(0)); });
    b->registerAtOnce(CALIB_TYPE, [calib](const CmdLine &c) {
        calib->setMethod(c.arg(0).toInt() == 1 ? CalibMethod::InnerP : CalibMethod::DMidx);
    });
}
