// The main window's side of the element analysis: starting, watching and
// stopping the element map run (the shared MapRun, so starting any run while
// one is active stops it), the correlation maps at its end. Its batch
// commands are AnalyzerCommands'.
#include "mainwindow/widgets/BodyAnalysisState.h"

#include "analysis/Analyzed2DRes.h"
#include "analysis/ElemAnalysis.h"
#include "analysis/MapRunState.h"
#include "analysis/RedrawThrottle.h"
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
