// The main window's side of the element analysis: starting, watching and
// stopping the element map run (the shared MapRun, so starting any run while
// one is active stops it), the correlation maps at its end, and the batch
// commands of the element panel.
#include "mainwindow/widgets/BodyAnalysisState.h"

#include "analysis/Analyzed2DRes.h"
#include "analysis/ElemAnalysis.h"
#include "analysis/MapRunState.h"
#include "analysis/RedrawThrottle.h"
#include "analysis/widgets/AElemsConds.h"
#include "analysis/widgets/Analyzer.h"
#include "analysis/widgets/ElemCtrl.h"
#include "analysis/widgets/ElemPanel.h"
#include "app/DebugLog.h"
#include "display/widgets/ImgDispA.h"
#include "ui_Body.h"

#include <algorithm>

void Body::setupElems() {
    ElemPanel *p = analyzer()->elemPanel();
    connect(p, &ElemPanel::askAnalyzeElems, this, &Body::startElems2DAnalysis);
    // Rows about to be deleted may be written by the run: it ends first.
    MapRunState *state = &m_doc->mapRun();
    connect(p, &ElemPanel::rowsAboutToChange, this, [this, state] {
        if (state->kind() == MapRunKind::Elems) {
            haltAnalysisRun();
            state->forgetMaps();
        }
    });
    connect(&state->run(), &MapRun::progress, p, [state, p](double percent) {
        if (state->kind() == MapRunKind::Elems)
            p->setElemsProgress(percent);
    });
    // Throttled as the LCF run's redraws (BodyAnalysis.cpp).
    connect(&state->run(), &MapRun::rowsMerged, this,
            [this, state, p, throttle = std::make_shared<RedrawThrottle>()](int rows) {
                if (state->kind() == MapRunKind::Elems && p->dispOnTime())
                    throttle->redrawRowsIfDue(rows, state->run().rowCount(),
                                              [this] { generateElemsResImages(); });
            });
}

void Body::startElems2DAnalysis() {
    AnalyzeCond grid;
    if (!analysisRunMayStart(grid))
        return;
    ElemPanel *p = analyzer()->elemPanel();
    const QVector<ElemCtrl *> &rows = p->rows();
    if (std::none_of(rows.begin(), rows.end(), [](const ElemCtrl *r) { return r->isUse(); })) {
        refuseRun(tr("no element row in use: add an element and tick its Use box"));
        return;
    }
    auto setup = std::make_shared<ElemRunSetup>(p->runSetup());
    setup->stack = &stack();
    setup->mut = muTConditions();
    setup->shift = m_doc->shiftMapInUse();
    stack().updateDarkAreas(setup->mut);
    const QVector<Analyzed2DRes *> maps = p->runMaps();
    for (int i = 0; i < maps.size(); ++i) {
        maps.at(i)->prepare(grid);
        maps.at(i)->setNo(i);
    }
    startMapRun(MapRunKind::Elems, grid, maps, elemTaskFactory(setup));
}

void Body::stopElems2DAnalysis() {
    if (m_doc->mapRun().kind() == MapRunKind::Elems)
        stop2DAnalysis();
}

// The correlation maps are computed anew from the ratio maps (the same values
// the run wrote, with the extremes of the whole map).
void Body::elemsRunEnded(bool completed) {
    ElemPanel *p = analyzer()->elemPanel();
    p->setRunning(false);
    m_doc->mapRun().forgetMaps();
    p->recalcCorMap();
    generateElemsResImages();
    if (completed)
        p->setElemsProgress(100);
}

void Body::generateElemsResImages() {
    for (Analyzed2DRes *m : analyzer()->elemPanel()->allMaps())
        m->markFilled();
    showResAnalysis(true);
}

// ------------------------------------------------------------------ batch

void Body::registerElemsCommands() {
    ElemPanel *p = analyzer()->elemPanel();
    const auto onRow = [p](const CmdLine &cmd, const std::function<void(ElemCtrl *)> &f) {
        if (ElemCtrl *r = p->row(cmd.arg(0)))
            f(r);
    };
    const auto num = [](const CmdLine &cmd, int k) { return cmd.arg(k).toDouble(); };
    const auto flag = [](const CmdLine &cmd, int k) { return cmd.arg(k).toInt() == 1; };

    // The names may come as one quoted item or as several items.
    registerAtOnce(ANALYZER_TARGET_ELEMENTS,
                   [p](const CmdLine &c) { p->setTargetElements(c.args.join(' ')); });
    registerAtOnce(ANALYZER_ELEMS_SELECT_TARGET, [this, p](const CmdLine &c) {
        p->selectTarget(c.arg(0));
        showResAnalysis(true);
    });
    registerAtOnce(ANALYZER_ELEMS_SELECT_SHOW, [this, p](const CmdLine &c) {
        p->selectShow(c.arg(0));
        showResAnalysis(true);
    });
    registerAtOnce(ANALYZER_ELEMS_SET_DEVS,
                   [p, num](const CmdLine &c) { p->setAllPrePostDE(num(c, 0)); });
    registerAtOnce(ANALYZER_ELEMS_SET_CORR_TH,
                   [p, num](const CmdLine &c) { p->setCorTh(num(c, 0)); });
    registerAtOnce(ANALYZER_ELEMS_SELECT_DISP_MODE,
                   [p](const CmdLine &c) { p->selectDispMode(c.arg(0).toInt()); });
    registerAtOnce(ANALYZER_ELEMS_SET_USE, [onRow, flag](const CmdLine &c) {
        onRow(c, [&](ElemCtrl *r) { r->setUse(flag(c, 1)); });
    });
    registerAtOnce(ANALYZER_ELEMS_SORT_BY_AN,
                   [p, flag](const CmdLine &c) { p->setSortByANo(flag(c, 0)); });
    registerAtOnce(ANALYZER_ELEMS_ROI, [onRow, num](const CmdLine &c) {
        onRow(c, [&](ElemCtrl *r) { r->setROI(num(c, 1), num(c, 2)); });
    });
    registerAtOnce(ANALYZER_ELEMS_THDMUT, [onRow, num](const CmdLine &c) {
        onRow(c, [&](ElemCtrl *r) { r->setThDMut(num(c, 1)); });
    });
    registerAtOnce(ANALYZER_ELEMS_NO_NEG, [onRow, flag](const CmdLine &c) {
        onRow(c, [&](ElemCtrl *r) { r->setNoNeg(flag(c, 1)); });
    });
    AElemsConds *bg = p->conditions();
    registerAtOnce(ANALYZER_ELEMS_BG_DMUT,
                   [bg, num](const CmdLine &c) { bg->setBGVDMut(num(c, 1)); });
    registerAtOnce(ANALYZER_ELEMS_BG_DMUTR,
                   [bg, num](const CmdLine &c) { bg->setBGVDMutR(num(c, 1)); });
    registerAtOnce(ANALYZER_ELEMS_BG_DE, [bg, num](const CmdLine &c) { bg->setBGVDE(num(c, 1)); });
    registerAtOnce(ANALYZER_ELEMS_BG_ROI,
                   [bg, num](const CmdLine &c) { bg->setBGVROI(num(c, 1)); });
    registerAtOnce(ANALYZER_ELEMS_BG_NROI,
                   [bg, num](const CmdLine &c) { bg->setBGVNROI(num(c, 1)); });

    // Answers when the run ends (a press during a run stops it, and that run's
    // end answers); at once when no run started.
    registerCommand(ANALYZER_EXEC_ELEMS,
                    [this](const CmdLine &) { runCommand(ANALYZER_EXEC_ELEMS); });
}
