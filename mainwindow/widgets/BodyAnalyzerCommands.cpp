// The batch commands of the analysis panel and of the data export. Each sets
// a field as the user would or calls the slot a button calls. The map runs
// answer the dispatcher when they end (also when stopped); a run that cannot
// start answers at once, so a batch never waits for ever.
#include "mainwindow/widgets/BodyAnalysisState.h"

#include "analysis/MapRunState.h"
#include "analysis/RunBoard.h"
#include "analysis/widgets/Analyzer.h"
#include "app/DebugLog.h"
#include "app/UserMessages.h"
#include "batch/widgets/BatchCtrl.h"
#include "display/widgets/SaveDataCfg.h"
#include "measurement/BinSpectrum.h"
#include "ui_Body.h"

#include <algorithm>
#include <functional>

namespace {

int intArg(const CmdLine &cmd, int k) {
    return cmd.arg(k).toInt();
}

double numArg(const CmdLine &cmd, int k) {
    return cmd.arg(k).toDouble();
}

bool flagArg(const CmdLine &cmd, int k) {
    return intArg(cmd, k) == 1;
}

} // namespace

// The line is answered when the run ends (completed or stopped). A press
// during a run stops it, and that run's end answers. A run that does not
// start answers at once.
void Body::runCommand(EX_CMD_ID id) {
    if (id == ANALYZER_EXEC_LCF)
        startLCF2DAnalysis();
    else if (id == ANALYZER_EXEC_RA)
        startRA2DAnalysis();
    else
        startElems2DAnalysis();
    // The map run stays active on the board until its end has been handled,
    // also when it is over before this line.
    if (!m_doc->runs().answerAtEnd(&m_doc->mapRun().run(), id))
        emit finishBatchExec(id);
}

void Body::registerAnalyzerCommands() {
    Analyzer *a = analyzer();
    registerAtOnce(ANALYZER_SHOW_WINDOW, [=](const CmdLine &) { a->show(); });
    registerAtOnce(ANALYZER_SET_LCF_STD, [=](const CmdLine &c) {
        a->setLCFStd(intArg(c, 0), flagArg(c, 1), numArg(c, 2), c.arg(3), c.arg(4));
    });
    registerAtOnce(ANALYZER_SET_LCF_MODE, [=](const CmdLine &c) { a->setLCFMode(intArg(c, 0)); });
    registerCommand(ANALYZER_EXEC_LCF, [this](const CmdLine &) { runCommand(ANALYZER_EXEC_LCF); });
    registerCommand(ANALYZER_EXEC_RA, [this](const CmdLine &) { runCommand(ANALYZER_EXEC_RA); });
    registerAtOnce(ANALYZER_SELECT_IMAGE, [=](const CmdLine &c) { a->selectImage(intArg(c, 0)); });
    registerAtOnce(ANALYZER_SELECT_IMAGE_TYPE, [=](const CmdLine &c) {
        DebugLog::write(QStringLiteral("Selecting img Type %1").arg(intArg(c, 0)));
        a->selectImageType(intArg(c, 0));
    });
    registerAtOnce(ANALYZER_SET_RA_ENERGY, [=](const CmdLine &c) { a->setRaEnergy(numArg(c, 0)); });
    registerAtOnce(ANALYZER_SET_RA_FACTOR, [=](const CmdLine &c) { a->setRaFactor(numArg(c, 0)); });
    registerAtOnce(ANALYZER_SET_FIXED_SCALE,
                   [=](const CmdLine &c) { a->setFixedScale(flagArg(c, 0)); });
    registerAtOnce(ANALYZER_SET_SCALE_MAX, [=](const CmdLine &c) {
        a->setDMutScaleMax(numArg(c, 0));
        a->setRatioScaleMax(numArg(c, 0));
    });
    registerAtOnce(ANALYZER_SET_SCALE_MIN, [=](const CmdLine &c) {
        a->setDMutScaleMin(numArg(c, 0));
        a->setRatioScaleMin(numArg(c, 0));
    });
    registerAtOnce(ANALYZER_SET_DMUT_SCALE_MAX,
                   [=](const CmdLine &c) { a->setDMutScaleMax(numArg(c, 0)); });
    registerAtOnce(ANALYZER_SET_DMUT_SCALE_MIN,
                   [=](const CmdLine &c) { a->setDMutScaleMin(numArg(c, 0)); });
    registerAtOnce(ANALYZER_SET_RATIO_SCALE_MAX,
                   [=](const CmdLine &c) { a->setRatioScaleMax(numArg(c, 0)); });
    registerAtOnce(ANALYZER_SET_RATIO_SCALE_MIN,
                   [=](const CmdLine &c) { a->setRatioScaleMin(numArg(c, 0)); });
    registerAtOnce(ANALYZER_VIEW_NORMALIZE,
                   [=](const CmdLine &c) { a->setNormalize(flagArg(c, 0)); });
    registerAtOnce(ANALYZER_VIEW_ENERUGY_CORRECTION,
                   [=](const CmdLine &c) { a->setEnergyCorrection(flagArg(c, 0)); });
    registerAtOnce(ANALYZER_SELECT_ANALYSIS_MODE,
                   [=](const CmdLine &c) { a->selectAnalysisMode(intArg(c, 0)); });
    // The fit options (commands beyond the built-in table).
    registerAtOnce(ANALYZER_SET_LCF_NONNEG,
                   [=](const CmdLine &c) { a->setNonNegative(flagArg(c, 0)); });
    registerAtOnce(ANALYZER_SET_LCF_SUM1, [=](const CmdLine &c) { a->setSumToOne(flagArg(c, 0)); });
    registerAtOnce(ANALYZER_SET_FIXED_E0, [=](const CmdLine &c) { setFixedE0Command(c); });
    registerAtOnce(ANALYZER_SELECT_SIGMA_IMAGE, [=](const CmdLine &) { a->selectSigmaImage(); });
}

// analyzer_set_fixed_E0 flag [E | auto]: the Fixed E0 box := flag; a number
// goes into the field, "auto" presses "E0 from Area". A refusal is written to
// the batch log.
void Body::setFixedE0Command(const CmdLine &c) {
    Analyzer *a = analyzer();
    const QString value = c.arg(1).trimmed();
    bool isNumber = false;
    const double e0 = value.toDouble(&isNumber);
    if (isNumber)
        a->setFixedE0Energy(e0);
    else if (value.compare(QStringLiteral("auto"), Qt::CaseInsensitive) == 0)
        setFixedE0FromArea();
    a->setFixedE0(flagArg(c, 0));
    const QString problem = fixedEdgeProblem(stack(), suggestElm());
    if (!problem.isEmpty())
        UserMessages::error(problem);
}

void Body::registerExportCommands() {
    SaveDataCfg *s = saveDataCfg();
    registerAtOnce(SAVE_ALL_IMAGES, [=](const CmdLine &c) { saveAllImages(c.arg(0)); });
    registerAtOnce(SAVE_DATA, [=](const CmdLine &c) { saveData(c.arg(0)); });
    registerAtOnce(SAVE_DATA_AS_TIFF, [=](const CmdLine &c) {
        saveDataAsTiff(c.arg(0), std::max(0, analyzer()->selectedReference()));
    });
    registerAtOnce(SAVEDATACFG_SHOW_WINDOW, [=](const CmdLine &) { s->show(); });
    registerAtOnce(SAVEDATACFG_SAVE_AS_TIFF, [=](const CmdLine &) {
        DebugLog::write(QStringLiteral("setting save as tiff"));
        s->setSaveAsTiff();
    });
    registerAtOnce(SAVEDATACFG_SAVE_AS_TEXT, [=](const CmdLine &) {
        DebugLog::write(QStringLiteral("setting save as text"));
        s->setSaveAsText();
    });
    registerAtOnce(SAVEDATACFG_TIFF_FIX_SCALE,
                   [=](const CmdLine &c) { s->setSaveTiffScaleFixed(flagArg(c, 0)); });
    registerAtOnce(SAVEDATACFG_TIFF_SCALE_MIN,
                   [=](const CmdLine &c) { s->setSaveTiffScaleMin(numArg(c, 0)); });
    registerAtOnce(SAVEDATACFG_TIFF_SCALE_MAX,
                   [=](const CmdLine &c) { s->setSaveTiffScaleMax(numArg(c, 0)); });
    registerAtOnce(SAVEDATACFG_TIFF_AS_ANALYZED,
                   [=](const CmdLine &c) { s->setSaveTiffAsAnalyzed(flagArg(c, 0)); });
    registerAtOnce(SAVEDATACFG_TEXT_AS_CSV, [=](const CmdLine &) { s->setSaveTextAsCSV(); });
    registerAtOnce(SAVEDATACFG_TEXT_AS_SSV, [=](const CmdLine &) { s->setSaveTextAsSSV(); });
    registerAtOnce(SAVEDATACFG_TEXT_AS_XYZ, [=](const CmdLine &) { s->setSaveTextAsXYVal(); });
    registerAtOnce(SAVEDATACFG_TEXT_AS_VALS, [=](const CmdLine &) { s->setSaveTextAsValValVal(); });
}
