// The main window's side of the analysis panel: the bin grid of the maps,
// starting, watching and stopping the map runs (LCF/MLCF and residual
// absorption, walked by MapRun on a thread pool), the map shown on the display,
// the interactive analysis of the spectrum under the cursor, and the
// Fourier-component diagnostic.
#include "mainwindow/widgets/BodyAnalysisState.h"
#include "mainwindow/widgets/InputBinding.h"

#include "analysis/Analyzed2DRes.h"
#include "analysis/LcfReferenceFile.h"
#include "analysis/LcfRun.h"
#include "analysis/MapRunState.h"
#include "analysis/RedrawThrottle.h"
#include "analysis/RunBoard.h"
#include "analysis/widgets/Analyzer.h"
#include "analysis/widgets/CalibCtrl.h"
#include "analysis/widgets/LCFReference.h"
#include "app/DebugLog.h"
#include "app/UserMessages.h"
#include "display/widgets/ImgDispA.h"
#include "display/widgets/SpectrumView.h"
#include "imageio/LoadTiff.h"
#include "imageio/TiffData.h"
#include "measurement/BinSpectrum.h"
#include "render/MapPicture.h"
#include "ui_Body.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollArea>
#include <algorithm>
#include <cmath>

Analyzer *Body::analyzer() const {
    return m_analysis->analyzer;
}

bool Body::isAnalysisRunning() const {
    return m_doc->mapRun().isGoing();
}

// The panel is taller than a laptop screen: its window scrolls, sized to fit
// a 1366 x 768 screen.
void Body::setupAnalysis() {
    auto *window = new QScrollArea(this);
    window->setObjectName(QStringLiteral("AnalyzerWindow"));
    window->setWindowFlag(Qt::Window);
    window->setWidgetResizable(true);
    m_analysis->analyzer = new Analyzer(window);
    window->setWidget(m_analysis->analyzer);
    window->setWindowTitle(m_analysis->analyzer->windowTitle());
    const QSize panel = m_analysis->analyzer->sizeHint();
    window->resize(std::min(panel.width() + 24, 1340), std::min(panel.height() + 4, 700));
    m_binding->watchAnalyzer(m_analysis->analyzer);
    Analyzer *a = m_analysis->analyzer;
    MapRun *run = &m_doc->mapRun().run();
    connect(ui->ShowAnalyzer, &QPushButton::clicked, a, &Analyzer::show);
    connect(ui->ExecFourierA, &QPushButton::clicked, this, &Body::execFourierA);
    a->setGridSource([this] {
        AnalyzeCond grid;
        analysisGrid(grid);
        return grid;
    });
    connect(a, &Analyzer::askAnalyze, this, &Body::startLCF2DAnalysis);
    connect(a, &Analyzer::askRAAnalyze, this, &Body::startRA2DAnalysis);
    connect(a, &Analyzer::changedSelection, this, &Body::selectedNewRef);
    connect(a, &Analyzer::scalesChanged, this, &Body::setupResAnalysisImage);
    connect(a, &Analyzer::askFixedE0FromArea, this, &Body::setFixedE0FromArea);
    connect(a, &Analyzer::normalizationChanged, this, &Body::fitNormalizationChanged);
    connect(run, &MapRun::progress, a, &Analyzer::setProgress);
    // The partial maps are redrawn at most as often as RedrawThrottle lets
    // them: all of them at every merge would take the run's time on large
    // maps. The run's end redraws them all.
    connect(run, &MapRun::rowsMerged, this,
            [this, run, throttle = std::make_shared<RedrawThrottle>()](int rows) {
                if (m_doc->mapRun().kind() == MapRunState::Kind::LCF && analyzer()->dispOnTime())
                    throttle->redrawRowsIfDue(rows, run->rowCount(),
                                              [this] { generateResImages(); });
            });
    connect(run, &MapRun::finished, this, [this](bool completed) {
        if (!m_doc->mapRun().takeLateEnd())
            analysisRunEnded(completed);
    });
    setupElems();
}

// ------------------------------------------------------------------ references

void Body::setupReferenceNormalisation() {
    const auto changed = [this] {
        referenceNormalisationChanged();
        showXafsSpectrum();
    };
    connect(ui->UseSuggestElm, &QCheckBox::toggled, this, changed);
    connect(ui->SuggestingEdge, QOverload<int>::of(&QComboBox::currentIndexChanged), this, changed);
    for (QLineEdit *e :
         {ui->SuggestingElm, ui->SuggestingEeV, ui->DPreE, ui->DPostS, ui->ThJumpSigma})
        connect(e, &QLineEdit::editingFinished, this, changed);
    referenceNormalisationChanged();
}

void Body::referenceNormalisationChanged() {
    const SuggestElm s = suggestElm();
    LcfReferenceSource range;
    setSampleRange(stack(), &range);
    if (!m_doc->takeReferenceSuggestion(s, range.sampleFrom, range.sampleTo))
        return;
    analyzer()->setReferenceSuggestion(s, range.sampleFrom, range.sampleTo);
    if (m_calibCtrl)
        m_calibCtrl->setSuggestion(s, range.sampleFrom, range.sampleTo);
}

// ------------------------------------------------------------------ grid

bool Body::analysisGrid(AnalyzeCond &ac) const {
    if (stack().i1().isEmpty())
        return false;
    const TiffData *first = stack().i1().first();
    const QRectF image(0, 0, first->width(), first->height());
    const SessionInputs &in = m_doc->inputs();
    QRectF area = in.hasArea() ? in.area() : ui->dispA->viewWindow();
    // A view zoomed out past the image would only add bins without data.
    if (area.intersects(image))
        area = area.intersected(image);
    const MuTConditions c = muTConditions();
    ac = AnalyzeCond(first->width(), first->height(), std::abs(c.hx), std::abs(c.hy), area.x(),
                     area.y(), area.width(), area.height());
    return true;
}

// A run reads the images, the dark frame and the dark areas from its
// threads; it must not start while a series is still arriving or another run
// reads them. "" when one may start, else why not.
QString Body::stackRunRefusal() const {
    if (stack().i1().isEmpty())
        return tr("no I1 images are loaded");
    if (isLoading())
        return tr("files are still loading");
    // One run reading the stack at a time: the calibration, the map run, the
    // components run.
    return m_doc->runs().refusal();
}

// Pressing any Analyze button while a map run is active stops that run
// instead.
bool Body::analysisRunMayStart(AnalyzeCond &grid) {
    if (isAnalysisRunning()) {
        stop2DAnalysis();
        return false;
    }
    const QString why = stackRunRefusal();
    if (!why.isEmpty()) {
        refuseRun(why);
        return false;
    }
    if (fixedEdgeRefused(QStringLiteral("Analysis not started")))
        return false;
    analyzer()->setRunMessage(QString());
    return analysisGrid(grid);
}

void Body::refuseRun(const QString &why) {
    const QString text = tr("Analysis not started: %1").arg(why);
    analyzer()->setRunMessage(text);
    UserMessages::refuse(text);
}

// A fixed edge outside the measured energies would leave one background window
// without data: every run refuses it, and the panel says why.
bool Body::fixedEdgeRefused(const QString &what) {
    const QString problem = fixedEdgeProblem(stack(), suggestElm());
    analyzer()->setFitOptionsMessage(problem);
    if (problem.isEmpty())
        return false;
    UserMessages::refuse(what + QStringLiteral(": ") + problem);
    return true;
}

// "E0 from Area": the midpoint energy of the summed spectrum of the area the
// runs would walk (the selection, else the view).
void Body::setFixedE0FromArea() {
    AnalyzeCond grid;
    if (!analysisGrid(grid))
        return;
    const BinSpectrumSettings bin = binSpectrumSettings();
    stack().updateDarkAreas(bin.conditions);
    double e0 = 0;
    const QRect area(grid.x0, grid.y0, grid.x1 - grid.x0, grid.y1 - grid.y0);
    if (!areaEdgeEnergy(stack(), bin, area, &e0)) {
        analyzer()->setFitOptionsMessage(tr("No edge in the summed spectrum of the area"));
        return;
    }
    analyzer()->setFixedE0Energy(e0);
    analyzer()->setFitOptionsMessage(QString());
}

// The spectrum under the cursor is normalised anew with the changed edge.
void Body::fitNormalizationChanged() {
    referenceNormalisationChanged();
    if (stack().i1().isEmpty())
        return;
    fixedEdgeRefused(QStringLiteral("Fixed E0"));
    showXafsSpectrum();
}

// The run's end is handled at once; the finished signal it still sends is
// dropped.
void Body::haltAnalysisRun() {
    haltCalibration();
    haltComponents();
    if (!isAnalysisRunning())
        return;
    stop2DAnalysis();
    m_doc->mapRun().run().wait();
    m_doc->mapRun().endHandledEarly();
    analysisRunEnded(false);
}

// ------------------------------------------------------------------ LCF

void Body::startLCF2DAnalysis() {
    AnalyzeCond grid;
    if (!analysisRunMayStart(grid))
        return;
    referenceNormalisationChanged();
    Analyzer *a = analyzer();
    const QVector<LCFReference *> &rows = a->references();
    // The run reads copies of the references (point lists shared, not copied).
    QVector<XafsSpectrum> copies;
    for (const LCFReference *r : rows)
        copies.append(r->spectrum());
    const QVector<XafsSpectrum> &references = m_doc->mapRun().keepReferences(copies);
    LcfRunSettings s;
    s.stack = &stack();
    s.conditions = muTConditions();
    s.shiftMap = m_doc->shiftMapInUse();
    s.simpleBackground = targetBackgroundSimple() == 1;
    s.suggestion = suggestElm();
    for (int i = 0; i < rows.size(); ++i)
        s.refs.append(LcfReference{&references.at(i), rows.at(i)->isInUse()});
    const AnalysisInputs &fit = m_doc->inputs().analysis();
    s.kind = fit.kind;
    s.sE0 = fit.lcfStart;
    s.eE0 = fit.lcfEnd;
    s.options = fit.options;
    const QString problem = lcfRunProblem(s);
    if (!problem.isEmpty()) {
        refuseRun(problem);
        return;
    }
    a->setContAccess(true);
    a->setProgress(0);
    DebugLog::writeTimeStamp(QStringLiteral("2da 1:"));
    stack().updateDarkAreas(s.conditions);
    // In the run's order (LcfRun.h): amounts, fractions, residual, then the
    // quality maps: sigmas, R-factor, chi^2.
    const int n = rows.size();
    QVector<Analyzed2DRes *> maps(lcfMapCount(n, s.options.quality));
    for (int j = 0; j < n; ++j) {
        maps[lcfAmountMap(j)] = rows.at(j)->map(LCFReference::AmountMap);
        maps[lcfFractionMap(j, n)] = rows.at(j)->map(LCFReference::FractionMap);
        if (s.options.quality)
            maps[lcfSigmaMap(j, n)] = rows.at(j)->map(LCFReference::SigmaMap);
    }
    maps[lcfResidualMap(n)] = a->zansaMap();
    if (s.options.quality) {
        maps[lcfRFactorMap(n)] = a->rFactorMap();
        maps[lcfChi2Map(n)] = a->chi2Map();
    }
    for (int k = 0; k < maps.size(); ++k) {
        maps[k]->prepare(grid);
        maps[k]->setNo(k);
    }
    DebugLog::writeTimeStamp(QStringLiteral("2da 2:"));
    startMapRun(MapRunState::Kind::LCF, grid, maps, lcfRunFactory(s));
}

void Body::stop2DAnalysis() {
    if (!isAnalysisRunning() || !m_doc->mapRun().run().isRunning())
        return;
    m_doc->mapRun().run().stop();
    analyzer()->setContAccess(false);
    DebugLog::writeTimeStamp(QStringLiteral("2da 4:"));
}

// The maps keep every bin recorded, also after a stop: they count as filled
// either way. A batch line waiting for the run goes on.
void Body::analysisRunEnded(bool completed) {
    const MapRunState::Kind kind = m_doc->mapRun().end();
    analyzer()->setContAccess(false);
    if (m_closing) {
        mapRunEnded();
        return;
    }
    if (m_doc->mapRun().run().ranOutOfMemory())
        UserMessages::error(tr("The map run ran out of memory and stopped; the maps keep the bins "
                               "done (a smaller area or a larger bin needs less)"));
    if (kind == MapRunState::Kind::LCF) {
        generateResImages();
        if (completed) {
            analyzer()->setProgress(100);
            DebugLog::writeTimeStamp(QStringLiteral("2da 3:"));
        }
    } else if (kind == MapRunState::Kind::RA) {
        generateRAResImage();
    } else if (kind == MapRunState::Kind::Elems) {
        elemsRunEnded(completed);
    }
    ui->dispA->update();
    mapRunEnded(); // a batch line waiting for the run goes on
}

// The run's maps hold the bins written so far; the one selected is shown.
void Body::generateResImages() {
    for (Analyzed2DRes *m : m_doc->mapRun().maps())
        m->markFilled();
    showResAnalysis(true);
}

// ------------------------------------------------------------------ RA

void Body::startRA2DAnalysis() {
    AnalyzeCond grid;
    if (!analysisRunMayStart(grid))
        return;
    Analyzer *a = analyzer();
    RaRunSettings s;
    s.stack = &stack();
    s.conditions = muTConditions();
    s.shiftMap = m_doc->shiftMapInUse();
    s.simpleBackground = targetBackgroundSimple() == 1;
    s.suggestion = suggestElm();
    s.energy = m_doc->inputs().analysis().raEnergy;
    s.factor = m_doc->inputs().analysis().raFactor;
    stack().updateDarkAreas(s.conditions);
    QVector<Analyzed2DRes *> maps(RaMapCount);
    maps[RaDMut] = a->raDMutMap();
    maps[RaRest] = a->raRestMap();
    for (Analyzed2DRes *m : {a->raDMutMap(), a->raRestMap(), a->raRatioMap()}) {
        m->prepare(grid);
        m->setNo(-1);
    }
    startMapRun(MapRunState::Kind::RA, grid, maps, raRunFactory(s));
}

void Body::generateRAResImage() {
    Analyzer *a = analyzer();
    computeRaRatio(*a->raDMutMap(), *a->raRestMap(), *a->raRatioMap());
    for (Analyzed2DRes *m : {a->raDMutMap(), a->raRestMap(), a->raRatioMap()})
        m->markFilled();
    showResAnalysis(true);
}

// ------------------------------------------------------------------ display

// The selected map, once filled, drawn now through the colour bar's window.
void Body::showResAnalysis(bool) {
    if (!ui->ShowResAnalysis->isChecked())
        return;
    const Analyzed2DRes *m = analyzer()->selectedMap();
    ui->dispA->setResultMode(true,
                             m && m->isFilled() ? mapPicture(*m) : ImageRenderer::MapPicture());
    ui->dispA->update();
}

void Body::selectedNewRef() {
    showResAnalysis(true);
}

// Also a map a run is still filling: it shows the bins written so far.
void Body::setupResAnalysisImage() {
    if (!ui->ShowResAnalysis->isChecked())
        return;
    const Analyzed2DRes *m = analyzer()->selectedMap();
    ui->dispA->setResultMode(true, m ? mapPicture(*m) : ImageRenderer::MapPicture());
    ui->dispA->update();
}

// The spectrum under the cursor goes to the panel while it (or its view) is
// open; the panel analyses it when its mode asks for it.
void Body::analyzeShownSpectrum() {
    Analyzer *a = analyzer();
    if (a->isRunning() || !(a->isVisible() || a->view()->isVisible()))
        return;
    a->analyzeAndShowSpectrum(m_shown, suggestElm());
}

// ------------------------------------------------------------------ Fourier

void Body::execFourierA() {
    AnalyzeCond grid;
    if (isAnalysisRunning() || !analysisGrid(grid))
        return;
    ::execFourierA(stack(), grid);
}
