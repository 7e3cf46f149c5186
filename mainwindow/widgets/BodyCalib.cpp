// Calibration and the energy-shift map of the main window: the calibration
// window's wiring, the calibration run (the document's, on its run board),
// the map's glitch removal, display, file save and load. The batch
// commands are CalibCommands' and, for the map file, InputCommands'.
#include "mainwindow/widgets/Body.h"

#include "analysis/Analyzed2DRes.h"
#include "analysis/CalibrationRun.h"
#include "analysis/EmpFile.h"
#include "analysis/RunBoard.h"
#include "analysis/widgets/CalibCtrl.h"
#include "app/DebugLog.h"
#include "app/UserMessages.h"
#include "display/widgets/ImgDispA.h"
#include "display/widgets/SpectrumView.h"
#include "imageio/LoadTiff.h"
#include "mainwindow/commands/ShiftMapCommands.h"
#include "ui_Body.h"

#include <QFileInfo>

#include <QRadioButton>

void Body::setupCalibration() {
    m_calibCtrl = new CalibCtrl(this);
    m_calibCtrl->setWindowFlag(Qt::Window);
    connect(ui->OpenCalibCtrl, &QPushButton::clicked, m_calibCtrl, &QWidget::show);
    connect(m_calibCtrl, &CalibCtrl::newStdFileLoaded, this, &Body::newStdFile);
    connect(m_calibCtrl, &CalibCtrl::execCalibration, this, &Body::execCalibration,
            Qt::QueuedConnection);
    connect(m_calibCtrl, &CalibCtrl::saveEMap, this,
            QOverload<const QString &>::of(&Body::saveEMap));
    connect(m_calibCtrl, &CalibCtrl::loadEMap, this, &Body::loadEMap);
    connect(m_calibCtrl, &CalibCtrl::clearMap, this, &Body::clearShiftMap);
    connect(m_calibCtrl, &CalibCtrl::targetBGChanged, this,
            QOverload<>::of(&Body::showXafsSpectrum));
    connect(ui->NormalizeEShift, &QPushButton::clicked, this, &Body::normalizeEShift);
    MapRun *run = &m_doc->calibration().run();
    // First on the board: a refusal names the calibration before the others.
    m_doc->runs().add({run, tr("a calibration is running"), true, true});
    connect(run, &MapRun::progress, m_calibCtrl, &CalibCtrl::progress, Qt::QueuedConnection);
    connect(run, &MapRun::finished, this, &Body::finishCalib, Qt::QueuedConnection);
}

// The run's end still arrives (queued) and is handled as a stop.
void Body::haltCalibration() {
    m_doc->calibration().run().stop();
    m_doc->calibration().run().wait();
}

bool Body::isCalibrating() const {
    return m_doc->calibration().run().isRunning();
}

int Body::targetBackgroundSimple() const {
    return m_calibCtrl && m_calibCtrl->targetVictoreen() ? 0 : 1;
}

void Body::newStdFile() {
    m_xafsView->setStandard(m_calibCtrl->standard());
}

// ------------------------------------------------------------------ run

bool Body::execCalibration() {
    CalibrationRun &c = m_doc->calibration();
    if (c.run().isRunning()) {
        c.run().stop();
        return false;
    }
    referenceNormalisationChanged(); // the standard as the bins are normalised
    if (stack().i1().isEmpty())
        return false;
    if (isAnalysisRunning() || isLoading()) {
        UserMessages::refuse(tr("Calibration not started: files are loading or a map run is "
                                "going on"));
        return false;
    }
    const QString going = m_doc->runs().refusal();
    if (!going.isEmpty()) {
        UserMessages::refuse(tr("Calibration not started: %1").arg(going));
        return false;
    }
    if (!m_calibCtrl->hasStandard() || !standardHasEdge(m_calibCtrl->standard())) {
        UserMessages::refuse(tr("Calibration not started: no standard spectrum with an edge"));
        return false;
    }
    CalibConditions conditions;
    conditions.method = m_calibCtrl->method();
    conditions.steps = m_calibCtrl->steps();
    if (conditions.method == CalibMethod::InnerP && !conditions.steps.valid()) {
        UserMessages::refuse(tr("Calibration not started: E-step, Min. E-step and E-range must "
                                "be positive and describe a bounded search"));
        return false;
    }
    if (fixedEdgeRefused(QStringLiteral("Calibration")))
        return false;
    DebugLog::writeTimeStamp(QStringLiteral("Start Calibration"));
    AnalyzeCond grid;
    analysisGrid(grid);
    conditions.mut = muTConditions();
    conditions.targetVictoreen = m_calibCtrl->targetVictoreen();
    conditions.suggestion = suggestElm();
    m_doc->shiftMap()->prepare(grid);
    m_doc->setShiftMapValid(false);
    m_doc->setShiftMapFile(QString()); // the map is calibrated anew, from no file
    m_calibCtrl->setGeometry(stack().width(), stack().height(), stack().originX(),
                             stack().originY());
    setShiftMapOrigin(stack().originX(), stack().originY());
    m_calibCtrl->showStats(CalibStats());
    m_calibCtrl->progress(0);
    stack().updateDarkAreas(conditions.mut);
    if (!c.start(stack(), grid, conditions, m_calibCtrl->standard()))
        return false;
    m_doc->runs().started(&c.run());
    return true;
}

// A stopped run leaves the bins done so far in the map, but no statistics, and
// the map is not marked filled nor applied to spectra until a run completes.
void Body::finishCalib(bool completed) {
    const CalibrationRun &c = m_doc->calibration();
    *m_doc->shiftMap() = c.map();
    m_doc->shiftMap()->setName(QStringLiteral("a2d esm"));
    m_doc->noteShiftMapChanged();
    if (completed) {
        m_calibCtrl->progress(100);
        m_calibCtrl->showStats(calibStats(c.shifts()));
        m_doc->shiftMap()->markFilled();
        m_doc->setShiftMapValid(true);
        showCurrentPicture();
    }
    DebugLog::writeTimeStamp(QStringLiteral("End Calibration   "));
    showXafsSpectrum();
    m_doc->runs().ended(&m_doc->calibration().run()); // "calib_exec" waiting goes on
}

// ------------------------------------------------------------------ the map

void Body::showShiftMap(bool show) {
    if (show && m_doc->shiftMapValid())
        showCurrentPicture();
}

// The map is changed only when no run reads it: a calibration going on keeps
// it, an analysis run using it for its spectra ends first (the document's
// guard). The views follow the document.
void Body::clearShiftMap() {
    ShiftMapCommands::clear(*m_doc, shiftMapCalibration());
}

ShiftMapCommands::Calibration Body::shiftMapCalibration() const {
    return {[this] { return isCalibrating(); },
            [this] {
                EmpFile::LoadOptions o;
                o.edgeEnergy = m_calibCtrl->edgeEnergy();
                o.checkSize = m_calibCtrl->checkSize();
                return o;
            }};
}

void Body::normalizeEShift() {
    if (isCalibrating() || !m_doc->shiftMap()->hasGrids())
        return;
    haltAnalysisRun();
    DebugLog::writeTimeStamp(QStringLiteral("Start Normalize E Shift"));
    m_doc->shiftMap()->deglitch2(40);
    m_doc->shiftMap()->copyProc2Data();
    m_doc->shiftMap()->markFilled();
    DebugLog::writeTimeStamp(QStringLiteral("End Normalize E Shift  "));
    m_doc->noteShiftMapChanged(); // the picture and the cursor spectrum follow
}

void Body::saveEMap(const QString &fname) {
    saveEMap(fname, *m_doc->shiftMap());
}

// The angles are taken at the standard's edge energy; without a standard (a
// map loaded from a file) at EdgeEeV, else at the energy of the last file.
bool Body::saveEMap(const QString &fname, const Analyzed2DRes &map) {
    const QString name = EmpFile::withSuffix(fname);
    EmpFile::WriteInfo info;
    info.stdEdgeEnergy =
        m_calibCtrl->hasStandard() ? m_calibCtrl->standard().midx() : m_calibCtrl->edgeEnergy();
    if (!(info.stdEdgeEnergy > 0))
        info.stdEdgeEnergy = m_doc->shiftMapFileEnergy();
    info.spacing = m_calibCtrl->spacing();
    if (!map.hasGrids() || !(info.stdEdgeEnergy > 0)) {
        UserMessages::refuse(tr("No energy shift map to save : ") + name);
        return false;
    }
    info.xOffset = m_calibCtrl->xOffset();
    info.yOffset = m_calibCtrl->yOffset();
    info.walk = map.grid();
    info.stdFileName = m_calibCtrl->standardFileName();
    const bool images = !stack().i1().isEmpty();
    info.dataWidth = images ? stack().width() : map.width();
    info.dataHeight = images ? stack().height() : map.height();
    if (!reportIfNotWritten(EmpFile::write(name, map, info), name))
        return false;
    writeProvenance(map, name, {});
    m_calibCtrl->setEMPFileName(name);
    if (&map == m_doc->shiftMap())
        m_doc->setShiftMapFile(name);
    return true;
}

// A refused or failed load changes nothing: neither the map nor the fields
// nor the map's origin.
void Body::loadEMap(const QString &fname) {
    const QString why = ShiftMapCommands::load(*m_doc, shiftMapCalibration(), fname);
    if (!why.isEmpty())
        UserMessages::refuse(why);
}

// A map of the map processing panel (the energy-shift map is the
// document's, read by loadEMap).
bool Body::loadMap(const QString &fname, Analyzed2DRes &map, EMPHeader &header) {
    DebugLog::write(QStringLiteral("loading emap ") + fname);
    EmpFile::LoadOptions o;
    o.edgeEnergy = m_calibCtrl->edgeEnergy();
    o.checkSize = m_calibCtrl->checkSize();
    o.imagesLoaded = !stack().i1().isEmpty();
    o.imageWidth = stack().width();
    o.imageHeight = stack().height();
    const QString name = map.name();
    DebugLog::ThreadCapture reasons;
    const EmpFile::LoadResult r = EmpFile::load(fname, map, o);
    header = r.header;
    if (!r.ok()) {
        UserMessages::refuse(
            tr("Map not loaded from %1: %2; the map in use stays")
                .arg(QFileInfo(fname).fileName(), reasons.lines().join(QStringLiteral("; "))));
        return false;
    }
    map.setName(name);
    return true;
}
