// The main window's part in the Components group: what a run reads (the
// stack, the spectrum settings of the cursor spectrum, the grid of the
// selected area) and where its maps show. The run and its batch commands
// belong to ComponentRunControl (registered by SeriesRunCommands).
#include "mainwindow/widgets/BodyAnalysisState.h"

#include "analysis/widgets/Analyzer.h"
#include "mainwindow/widgets/ComponentRunControl.h"
#include "ui_Body.h"

void Body::setupComponents() {
    m_components = new ComponentRunControl(
        analyzer(), &m_doc->runs(),
        [this](ComponentSettings *s, AnalyzeCond *grid) { return prepareComponentRun(s, grid); },
        [this] {
            ui->ShowResAnalysis->setChecked(true);
            setupResAnalysisImage();
        },
        this);
}

// Like a map run, a components run may not start while files arrive or
// another run reads the stack.
bool Body::prepareComponentRun(ComponentSettings *s, AnalyzeCond *grid) {
    const QString why = stackRunRefusal();
    if (!why.isEmpty()) {
        refuseRun(why);
        return false;
    }
    if (fixedEdgeRefused(QStringLiteral("Components not started")) || !analysisGrid(*grid))
        return false;
    s->stack = &stack();
    s->bin = binSpectrumSettings();
    stack().updateDarkAreas(s->bin.conditions);
    return true;
}

// The settings the cursor spectrum is built with; every run builds its bins'
// spectra the same way.
BinSpectrumSettings Body::binSpectrumSettings() const {
    BinSpectrumSettings bin;
    bin.conditions = muTConditions();
    bin.shiftMap = m_doc->shiftMapInUse();
    bin.simpleBackground = targetBackgroundSimple() == 1;
    bin.suggestion = suggestElm();
    return bin;
}

void Body::haltComponents() {
    if (m_components)
        m_components->halt();
}
