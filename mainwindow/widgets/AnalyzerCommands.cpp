#include "mainwindow/widgets/AnalyzerCommands.h"

#include "analysis/MapRunState.h"
#include "analysis/RunBoard.h"
#include "analysis/widgets/AElemsConds.h"
#include "analysis/widgets/Analyzer.h"
#include "analysis/widgets/ElemCtrl.h"
#include "analysis/widgets/ElemPanel.h"
#include "app/DebugLog.h"
#include "app/UserMessages.h"
#include "mainwindow/widgets/Body.h"
#include "mainwindow/widgets/CommandArgs.h"
#include "measurement/BinSpectrum.h"

#include <functional>

using namespace CommandArgs;

AnalyzerCommands::AnalyzerCommands(Body *body) : QObject(body), m_body(body) {}

void AnalyzerCommands::registerCommands() {
    registerFitCommands();
    registerScaleCommands();
    registerElemsCommands();
    registerElemsBackgroundCommands();
}

// The line is answered when the run ends (completed or stopped). A press
// during a run stops it, and that run's end answers. A run that does not
// start answers at once.
void AnalyzerCommands::runCommand(EX_CMD_ID id) {
    Body *b = m_body;
    if (id == ANALYZER_EXEC_LCF)
        b->startLCF2DAnalysis();
    else if (id == ANALYZER_EXEC_RA)
        b->startRA2DAnalysis();
    else
        b->startElems2DAnalysis();
    // The map run stays active on the board until its end has been handled,
    // also when it is over before this line.
    SessionDocument &doc = b->document();
    if (!doc.runs().answerAtEnd(&doc.mapRun().run(), id))
        emit b->finishBatchExec(id);
}

void AnalyzerCommands::registerFitCommands() {
    Body *b = m_body;
    Analyzer *a = b->analyzer();
    b->registerAtOnce(ANALYZER_SHOW_WINDOW, [=](const CmdLine &) { a->show(); });
    b->registerAtOnce(ANALYZER_SET_LCF_STD, [=](const CmdLine &c) {
        a->setLCFStd(intArg(c, 0), flagArg(c, 1), numArg(c, 2), c.arg(3), c.arg(4));
    });
    b->registerAtOnce(ANALYZER_SET_LCF_MODE,
                      [=](const CmdLine &c) { a->setLCFMode(intArg(c, 0)); });
    b->registerCommand(ANALYZER_EXEC_LCF,
                       [this](const CmdLine &) { runCommand(ANALYZER_EXEC_LCF); });
    b->registerCommand(ANALYZER_EXEC_RA, [this](const CmdLine &) { runCommand(ANALYZER_EXEC_RA); });
    b->registerAtOnce(ANALYZER_SELECT_IMAGE,
                      [=](const CmdLine &c) { a->selectImage(intArg(c, 0)); });
    b->registerAtOnce(ANALYZER_SELECT_IMAGE_TYPE, [=](const CmdLine &c) {
        DebugLog::write(QStringLiteral("Selecting img Type %1").arg(intArg(c, 0)));
        a->selectImageType(intArg(c, 0));
    });
    b->registerAtOnce(ANALYZER_SET_RA_ENERGY,
                      [=](const CmdLine &c) { a->setRaEnergy(numArg(c, 0)); });
    b->registerAtOnce(ANALYZER_SET_RA_FACTOR,
                      [=](const CmdLine &c) { a->setRaFactor(numArg(c, 0)); });
    b->registerAtOnce(ANALYZER_VIEW_NORMALIZE,
                      [=](const CmdLine &c) { a->setNormalize(flagArg(c, 0)); });
    b->registerAtOnce(ANALYZER_VIEW_ENERUGY_CORRECTION,
                      [=](const CmdLine &c) { a->setEnergyCorrection(flagArg(c, 0)); });
    b->registerAtOnce(ANALYZER_SELECT_ANALYSIS_MODE,
                      [=](const CmdLine &c) { a->selectAnalysisMode(intArg(c, 0)); });
    // The fit options (commands beyond the built-in table).
    b->registerAtOnce(ANALYZER_SET_LCF_NONNEG,
                      [=](const CmdLine &c) { a->setNonNegative(flagArg(c, 0)); });
    b->registerAtOnce(ANALYZER_SET_LCF_SUM1,
                      [=](const CmdLine &c) { a->setSumToOne(flagArg(c, 0)); });
    b->registerAtOnce(ANALYZER_SET_FIXED_E0, [this](const CmdLine &c) { setFixedE0Command(c); });
    b->registerAtOnce(ANALYZER_SELECT_SIGMA_IMAGE, [=](const CmdLine &) { a->selectSigmaImage(); });
}

void AnalyzerCommands::registerScaleCommands() {
    Body *b = m_body;
    Analyzer *a = b->analyzer();
    b->registerAtOnce(ANALYZER_SET_FIXED_SCALE,
                      [=](const CmdLine &c) { a->setFixedScale(flagArg(c, 0)); });
    b->registerAtOnce(ANALYZER_SET_SCALE_MAX, [=](const CmdLine &c) {
        a->setDMutScaleMax(numArg(c, 0));
        a->setRatioScaleMax(numArg(c, 0));
    });
    b->registerAtOnce(ANALYZER_SET_SCALE_MIN, [=](const CmdLine &c) {
        a->setDMutScaleMin(numArg(c, 0));
        a->setRatioScaleMin(numArg(c, 0));
    });
    b->registerAtOnce(ANALYZER_SET_DMUT_SCALE_MAX,
                      [=](const CmdLine &c) { a->setDMutScaleMax(numArg(c, 0)); });
    b->registerAtOnce(ANALYZER_SET_DMUT_SCALE_MIN,
                      [=](const CmdLine &c) { a->setDMutScaleMin(numArg(c, 0)); });
    b->registerAtOnce(ANALYZER_SET_RATIO_SCALE_MAX,
                      [=](const CmdLine &c) { a->setRatioScaleMax(numArg(c, 0)); });
    b->registerAtOnce(ANALYZER_SET_RATIO_SCALE_MIN,
                      [=](const CmdLine &c) { a->setRatioScaleMin(numArg(c, 0)); });
}

// analyzer_set_fixed_E0 flag [E | auto]: the Fixed E0 box := flag; a number
// goes into the field, "auto" presses "E0 from Area". A refusal is written to
// the batch log.
void AnalyzerCommands::setFixedE0Command(const CmdLine &c) {
    Body *b = m_body;
    Analyzer *a = b->analyzer();
    const QString value = c.arg(1).trimmed();
    bool isNumber = false;
    const double e0 = value.toDouble(&isNumber);
    if (isNumber)
        a->setFixedE0Energy(e0);
    else if (value.compare(QStringLiteral("auto"), Qt::CaseInsensitive) == 0)
        b->setFixedE0FromArea();
    a->setFixedE0(flagArg(c, 0));
    const QString problem = fixedEdgeProblem(b->stack(), b->suggestElm());
    if (!problem.isEmpty())
        UserMessages::error(problem);
}

void AnalyzerCommands::registerElemsCommands() {
    Body *b = m_body;
    ElemPanel *p = b->analyzer()->elemPanel();
    const auto onRow = [p](const CmdLine &cmd, const std::function<void(ElemCtrl *)> &f) {
        if (ElemCtrl *r = p->row(cmd.arg(0)))
            f(r);
    };

    // The names may come as one quoted item or as several items.
    b->registerAtOnce(ANALYZER_TARGET_ELEMENTS,
                      [p](const CmdLine &c) { p->setTargetElements(c.args.join(' ')); });
    b->registerAtOnce(ANALYZER_ELEMS_SELECT_TARGET, [b, p](const CmdLine &c) {
        p->selectTarget(c.arg(0));
        b->showResAnalysis(true);
    });
    b->registerAtOnce(ANALYZER_ELEMS_SELECT_SHOW, [b, p](const CmdLine &c) {
        p->selectShow(c.arg(0));
        b->showResAnalysis(true);
    });
    b->registerAtOnce(ANALYZER_ELEMS_SET_DEVS,
                      [p](const CmdLine &c) { p->setAllPrePostDE(numArg(c, 0)); });
    b->registerAtOnce(ANALYZER_ELEMS_SET_CORR_TH,
                      [p](const CmdLine &c) { p->setCorTh(numArg(c, 0)); });
    b->registerAtOnce(ANALYZER_ELEMS_SELECT_DISP_MODE,
                      [p](const CmdLine &c) { p->selectDispMode(intArg(c, 0)); });
    b->registerAtOnce(ANALYZER_ELEMS_SET_USE, [onRow](const CmdLine &c) {
        onRow(c, [&](ElemCtrl *r) { r->setUse(flagArg(c, 1)); });
    });
    b->registerAtOnce(ANALYZER_ELEMS_SORT_BY_AN,
                      [p](const CmdLine &c) { p->setSortByANo(flagArg(c, 0)); });
    b->registerAtOnce(ANALYZER_ELEMS_ROI, [onRow](const CmdLine &c) {
        onRow(c, [&](ElemCtrl *r) { r->setROI(numArg(c, 1), numArg(c, 2)); });
    });
    b->registerAtOnce(ANALYZER_ELEMS_THDMUT, [onRow](const CmdLine &c) {
        onRow(c, [&](ElemCtrl *r) { r->setThDMut(numArg(c, 1)); });
    });
    b->registerAtOnce(ANALYZER_ELEMS_NO_NEG, [onRow](const CmdLine &c) {
        onRow(c, [&](ElemCtrl *r) { r->setNoNeg(flagArg(c, 1)); });
    });
    // Answers when the run ends (a press during a run stops it, and that run's
    // end answers); at once when no run started.
    b->registerCommand(ANALYZER_EXEC_ELEMS,
                       [this](const CmdLine &) { runCommand(ANALYZER_EXEC_ELEMS); });
}

void AnalyzerCommands::registerElemsBackgroundCommands() {
    Body *b = m_body;
    AElemsConds *bg = b->analyzer()->elemPanel()->conditions();
    b->registerAtOnce(ANALYZER_ELEMS_BG_DMUT,
                      [bg](const CmdLine &c) { bg->setBGVDMut(numArg(c, 1)); });
    b->registerAtOnce(ANALYZER_ELEMS_BG_DMUTR,
                      [bg](const CmdLine &c) { bg->setBGVDMutR(numArg(c, 1)); });
    b->registerAtOnce(ANALYZER_ELEMS_BG_DE, [bg](const CmdLine &c) { bg->setBGVDE(numArg(c, 1)); });
    b->registerAtOnce(ANALYZER_ELEMS_BG_ROI,
                      [bg](const CmdLine &c) { bg->setBGVROI(numArg(c, 1)); });
    b->registerAtOnce(ANALYZER_ELEMS_BG_NROI,
                      [bg](const CmdLine &c) { bg->setBGVNROI(numArg(c, 1)); });
}
