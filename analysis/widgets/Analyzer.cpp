#include "analysis/widgets/Analyzer.h"

#include "display/widgets/FieldWidth.h"

#include "analysis/AnalyzeProc.h"
#include "analysis/Analyzed2DRes.h"
#include "analysis/LcfEngine.h"
#include "analysis/MapExport.h"
#include "analysis/widgets/ComponentsCtrl.h"
#include "analysis/widgets/ElemCtrl.h"
#include "analysis/widgets/ElemPanel.h"
#include "analysis/widgets/LCFReference.h"
#include "analysis/widgets/MapProcCtrl.h"
#include "analysis/widgets/SumUpCtrl.h"
#include "analysis/widgets/XafsFileSelect.h"
#include "app/UserMessages.h"
#include "display/widgets/SpectrumView.h"

#include "ui_Analyzer.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QProgressBar>
#include <QThread>
#include <algorithm>
#include <cmath>

namespace {

QString g6(double v) {
    return QString::number(v, 'g', 6);
}

double number(const QLineEdit *e) {
    return e->text().toDouble();
}

// Offsets of the fixed selection buttons from the first fixed id.
enum FixedSelection { SelDMuT = 0, SelRest = 1, SelRatioMap = 2, SelZansa = 3, FixedCount = 4 };

} // namespace

Analyzer::Analyzer(QWidget *parent) : QFrame(parent), ui(new Ui::Analyzer) {
    ui->setupUi(this);
    for (QLineEdit *f : {ui->LCFRange1, ui->LCFRange2, ui->FixedE0EV})
        FieldWidth::fit(f, QStringLiteral("30000.00"));
    FieldWidth::fit(ui->DispZansa, QStringLiteral("0.000123456"));
    AnalyzeProc::registerMetaTypes();
    qRegisterMetaType<AnalyzeCond>("AnalyzeCond");
    const auto map = [this](const char *name) {
        return new Analyzed2DRes(QString::fromLatin1(name), this);
    };
    m_zansa = map("a2d Zansa");
    m_rFactor = map("a2d RFactor");
    m_chi2 = map("a2d Chi2");
    m_dMut = map("a2d DMut");
    m_rest = map("a2d Rest");
    m_ratio = map("a2d Rati");
    m_elemsCor = map("a2d ElemsCor");
    m_elemsCorTh = map("a2d ElemsCorTh");
    m_sumUp = map("Sum Up Img");
    m_processed = map("Processed Map");
    m_eShift1 = map("E-Shift Map 1");
    m_eShift2 = map("E-Shift Map 2");

    m_view = new SpectrumView(this);
    m_view->setWindowFlag(Qt::Window);
    m_view->setWindowTitle(tr("Analyzing Spectrum"));

    setupModes();
    setupInputSignals();
    setupSelection();
    for (int i = 0; i < InitialReferences; ++i)
        addNewRef();
    ui->ShowDMuT->setChecked(true);
    setupWorker();
    setupElems();
    setupScales();
    setupMapTools();
    setupComponents();
    setupFitOptions();
    // Each group's Analyze runs that group's analysis: its mode is chosen
    // first, whatever the mode boxes at the top said.
    connect(ui->AskAnalyze, &QPushButton::clicked, this, [this] {
        selectAnalysisMode(ModeLCF);
        emit askAnalyze();
    });
    connect(ui->AskRAAnalyze, &QPushButton::clicked, this, [this] {
        selectAnalysisMode(ModeRA);
        emit askRAAnalyze();
    });
    m_runMessage = new QLabel(this);
    m_runMessage->setObjectName(QStringLiteral("RunMessage"));
    m_runMessage->setStyleSheet(QStringLiteral("color: rgb(176, 0, 0);"));
    m_runMessage->setWordWrap(true);
    m_runMessage->hide();
    ui->Layout->insertWidget(0, m_runMessage);
    const auto progressBar = [this](const char *name) {
        auto *bar = new QProgressBar(this);
        bar->setObjectName(QString::fromLatin1(name));
        bar->setRange(0, 1000);
        bar->setTextVisible(false);
        bar->setMaximumWidth(140);
        return bar;
    };
    m_lcfBar = progressBar("RunProgress");
    ui->LCFRunLayout->insertWidget(ui->LCFRunLayout->indexOf(ui->Progress) + 1, m_lcfBar);
    m_raBar = progressBar("RAProgress");
    const int raAt = ui->AskRAAnalyze->parentWidget()->layout()->indexOf(ui->AskRAAnalyze);
    if (auto *box = qobject_cast<QBoxLayout *>(ui->AskRAAnalyze->parentWidget()->layout()))
        box->insertWidget(raAt + 1, m_raBar);
    for (QPushButton *b : {ui->AskAnalyze, ui->AskRAAnalyze})
        b->setToolTip(tr("Runs the analysis over the selected area (the view without one); "
                         "reads Stop while it runs"));
    connect(ui->ShowView, &QPushButton::clicked, m_view, &SpectrumView::show);
    connect(ui->AddRef, &QPushButton::clicked, this, &Analyzer::addNewRef);
    for (QLineEdit *e : {ui->LCFRange1, ui->LCFRange2})
        connect(e, &QLineEdit::editingFinished, this, &Analyzer::reAnalyzeSpectrum);
    connect(ui->MLCF, &QCheckBox::toggled, this, &Analyzer::reAnalyzeSpectrum);
}

// The worker may be in the middle of an analysis: its thread ends after it.
Analyzer::~Analyzer() {
    m_workerThread->quit();
    m_workerThread->wait();
    delete m_worker;
    delete ui;
}

void Analyzer::setupModes() {
    m_modes = new QButtonGroup(this);
    m_modes->addButton(ui->SelMLCFA, ModeLCF);
    m_modes->addButton(ui->SelRAA, ModeRA);
    m_modes->addButton(ui->SelElemA, ModeElem);
    m_modes->addButton(ui->SelSumUp, ModeSumUp);
    m_modes->addButton(ui->SelProcMaps, ModeProcMaps);
    m_modes->addButton(ui->SelComponents, ModeComponents);
    m_modes->setExclusive(true);
    connect(m_modes, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on)
            emit changedSelection();
    });
}

// Connected before the panel's own reactions to the same fields, so that
// whoever follows inputsChanged holds the new settings when those run.
void Analyzer::setupInputSignals() {
    for (QLineEdit *e :
         {ui->LCFRange1, ui->LCFRange2, ui->FixedE0EV, ui->RAAtEV, ui->RAFactor})
        connect(e, &QLineEdit::textChanged, this, &Analyzer::inputsChanged);
    for (QCheckBox *b : {ui->NonNegative, ui->SumToOne, ui->MLCF, ui->OldLCF, ui->FixedE0})
        connect(b, &QCheckBox::toggled, this, &Analyzer::inputsChanged);
    connect(m_modes, &QButtonGroup::idToggled, this, &Analyzer::inputsChanged);
}

AnalysisInputs Analyzer::inputs() const {
    AnalysisInputs in;
    in.mode = mode();
    in.kind = lcfKind();
    in.lcfOld = ui->OldLCF->isChecked();
    in.lcfStart = lcfStart();
    in.lcfEnd = lcfEnd();
    in.options = lcfOptions();
    in.fixedE0 = fixedE0();
    in.fixedE0Energy = fixedE0Energy();
    in.raEnergy = raEnergy();
    in.raFactor = raFactor();
    return in;
}

QVector<ReferenceInput> Analyzer::referenceInputs() const {
    QVector<ReferenceInput> rows;
    rows.reserve(m_refs.size());
    for (const LCFReference *r : m_refs)
        rows.append(r->input());
    return rows;
}

// Rows take ids from 0; the four fixed buttons keep 4..7 whatever rows are
// added later, so a batch that selects "7" always means the residual map.
void Analyzer::setupSelection() {
    m_selection = new QButtonGroup(this);
    m_selection->setExclusive(true);
    m_selection->addButton(ui->ShowDMuT, m_firstFixedId + SelDMuT);
    m_selection->addButton(ui->ShowRest, m_firstFixedId + SelRest);
    m_selection->addButton(ui->ShowRatio, m_firstFixedId + SelRatioMap);
    connect(m_selection, &QButtonGroup::idClicked, this, &Analyzer::selectedNewRef);
    setupMapTypes();
}

// Amount, fraction and sigma belong to the row chosen; residual, R-factor and
// chi^2 to the fit as a whole. They are one choice: picking a row's kind
// while a whole-fit map shows comes back to the row chosen, picking a row
// while one shows comes back to the row's kind used last.
void Analyzer::setupMapTypes() {
    ui->SelDMut->setAutoExclusive(false);
    ui->SelRatio->setAutoExclusive(false);
    ui->SelSigma->setAutoExclusive(false);
    m_mapTypes = new QButtonGroup(this);
    m_mapTypes->setExclusive(true);
    m_mapTypes->addButton(ui->SelDMut, 0);
    m_mapTypes->addButton(ui->SelRatio, 1);
    m_mapTypes->addButton(ui->SelSigma, 2);
    m_mapTypes->addButton(ui->ShowZ, m_firstFixedId + SelZansa);
    m_mapTypes->addButton(ui->ShowRFactor, RFactorSelection);
    m_mapTypes->addButton(ui->ShowChi2, Chi2Selection);
    connect(m_mapTypes, &QButtonGroup::idClicked, this, &Analyzer::mapTypeClicked);
    connect(ui->SelDMut, &QRadioButton::toggled, this, &Analyzer::selectedImgChanged);
    connect(ui->SelSigma, &QRadioButton::toggled, this, &Analyzer::selectedImgChanged);
}

bool Analyzer::rowMapTypeChecked() const {
    const int id = m_mapTypes->checkedId();
    return id >= 0 && id <= 2;
}

void Analyzer::mapTypeClicked(int id) {
    if (id >= 0 && id <= 2)
        m_lastRowMapType = id;
    emit changedSelection();
}

void Analyzer::referenceShowClicked() {
    if (!rowMapTypeChecked())
        m_mapTypes->button(m_lastRowMapType)->setChecked(true);
}

// Constraints go to the interactive worker at once; a fixed edge changes the
// spectra themselves, which the main window rebuilds.
void Analyzer::setupFitOptions() {
    for (QCheckBox *b : {ui->NonNegative, ui->SumToOne})
        connect(b, &QCheckBox::toggled, this, &Analyzer::fitOptionsChanged);
    connect(ui->FixedE0, &QCheckBox::toggled, this, &Analyzer::normalizationChanged);
    connect(ui->FixedE0EV, &QLineEdit::editingFinished, this, [this] {
        if (fixedE0())
            emit normalizationChanged();
    });
    connect(ui->FixedE0FromArea, &QPushButton::clicked, this, &Analyzer::askFixedE0FromArea);
    fitOptionsChanged();
}

void Analyzer::fitOptionsChanged() {
    const LcfOptions o = lcfOptions();
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker, o] { w->setLcfOptions(o.nonNegative, o.sumToOne); },
        Qt::QueuedConnection);
    reAnalyzeSpectrum();
}

// Sum-up and map processing live in their own panels; Capture takes the map
// that was shown before the map-processing mode was chosen.
void Analyzer::setupMapTools() {
    m_sumUpCtrl = new SumUpCtrl(this);
    ui->SumUpBaseLayout->addWidget(m_sumUpCtrl);
    m_mapProc = new MapProcCtrl(m_eShift1, m_eShift2, m_processed, this);
    ui->ProcMapsBaseLayout->addWidget(m_mapProc);
    connect(m_sumUpCtrl, &SumUpCtrl::askSumUp, this, [this] {
        selectAnalysisMode(ModeSumUp);
        emit askSumUp();
    });
    connect(m_mapProc, &MapProcCtrl::changedSelection, this, &Analyzer::changedSelection);
    connect(m_modes, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on && id != ModeProcMaps)
            m_lastMapMode = id;
    });
    m_mapProc->setCaptureSource([this] { return selectedMapIn(m_lastMapMode); });
}

void Analyzer::setGridSource(std::function<AnalyzeCond()> grid) {
    m_mapProc->setGridSource(std::move(grid));
}

// The run itself belongs to the main window; the group shows its result.
void Analyzer::setupComponents() {
    m_components = new ComponentsCtrl(ui->ComponentsGroup);
    ui->ComponentsBaseLayout->addWidget(m_components);
    connect(m_components, &ComponentsCtrl::analyzePressed, this, [this] {
        selectAnalysisMode(ModeComponents);
        emit askComponents();
    });
    connect(m_components, &ComponentsCtrl::changedSelection, this, [this] {
        selectAnalysisMode(ModeComponents);
        emit changedSelection();
    });
    connect(m_components, &ComponentsCtrl::showSpectraPressed, this,
            &Analyzer::showComponentSpectra);
    connect(m_components, &ComponentsCtrl::useAsReferencePressed, this, [this](int j) {
        QString why;
        if (!useComponentAsReference(j, -1, &why))
            UserMessages::refuse(tr("Use as Reference: %1").arg(why));
    });
}

QString Analyzer::componentSpectrumName(int j) const {
    switch (m_components->result().kind) {
    case ComponentKind::Clusters:
        return tr("Cluster %1").arg(j);
    case ComponentKind::Nmf:
        return tr("NMF component %1").arg(j);
    default:
        return tr("Principal component %1").arg(j);
    }
}

// The spectra of the last run go beside the spectrum under the cursor, in
// the colours of their clusters on the map.
void Analyzer::showComponentSpectra() {
    const ComponentResult &r = m_components->result();
    const QVector<ComponentSpectrum> &spectra = resultSpectra(r);
    const int first = firstSpectrumNumber(r.kind);
    m_view->clearOthers();
    for (int i = 0; i < spectra.size(); ++i) {
        Spectrum points;
        for (int e = 0; e < r.energies.size(); ++e)
            points.addPoint(r.energies[e], spectra[i][e]);
        XafsSpectrum s(points, componentSpectrumName(first + i), 1, 0, SuggestElm());
        m_view->addOtherInOverlayColour(s, 2);
    }
    m_view->show();
    m_view->update();
}

bool Analyzer::saveComponentSpectrum(int j, const QString &fileName, QString *why) {
    const int i = m_components->spectrumIndex(j);
    if (i < 0) {
        *why = m_components->hasResult() ? tr("the last run has no spectrum %1").arg(j)
                                         : tr("no components run has ended yet");
        return false;
    }
    const ComponentResult &r = m_components->result();
    if (!writeComponentSpectra(fileName, r.energies, {resultSpectra(r)[i]})) {
        *why = tr("can not write %1").arg(fileName);
        return false;
    }
    emit componentSpectrumSaved(fileName);
    return true;
}

bool Analyzer::useComponentAsReference(int j, int row, QString *why) {
    const QString prefix = m_components->result().kind == ComponentKind::Clusters ? "cluster"
                           : m_components->result().kind == ComponentKind::Nmf    ? "nmf"
                                                                                  : "pca";
    const QString file = QDir::current().filePath(QString("%1-%2.dat").arg(prefix).arg(j));
    if (row >= 64) {
        *why = tr("row %1 is beyond the rows the panel takes (0 to 63)").arg(row);
        return false;
    }
    if (!saveComponentSpectrum(j, file, why))
        return false;
    if (row < 0) {
        row = int(std::find_if(m_refs.begin(), m_refs.end(),
                               [](const LCFReference *r) { return !r->isLoaded(); }) -
                  m_refs.begin());
    }
    while (row >= m_refs.size())
        addNewRef();
    setLCFStd(row, true, 0, file, QStringLiteral("0"));
    const LCFReference *ref = m_refs.at(row);
    if (!ref->isLoaded()) {
        *why = tr("%1 could not be read back").arg(file);
        return false;
    }
    const QString text =
        tr("%1 is reference row %2 (%3)").arg(componentSpectrumName(j)).arg(row + 1).arg(file);
    if (ref->problem().isEmpty())
        UserMessages::info(text);
    else
        UserMessages::warn(text + QStringLiteral(": ") + ref->problem());
    return true;
}

void Analyzer::setupWorker() {
    m_workerThread = new QThread(this);
    m_worker = new AnalyzeProc;
    m_worker->moveToThread(m_workerThread);
    connect(this, &Analyzer::analyzeSpectrum0, m_worker, &AnalyzeProc::analyzeSpectrum0,
            Qt::QueuedConnection);
    connect(m_worker, &AnalyzeProc::finished, this, &Analyzer::analyzeSpectrumFinished,
            Qt::QueuedConnection);
    connect(m_worker, &AnalyzeProc::newZ, this, &Analyzer::noticedNewZ, Qt::QueuedConnection);
    connect(ui->OldLCF, &QCheckBox::toggled, m_worker, &AnalyzeProc::setLcfOld,
            Qt::QueuedConnection);
    m_workerThread->start();
}

// The element part lives in its own panel inside the element group.
void Analyzer::setupElems() {
    m_elems = new ElemPanel(m_elemsCor, m_elemsCorTh, m_worker, ui->ElemGroup);
    ui->ElemBaseLayout->addWidget(m_elems);
    connect(m_elems, &ElemPanel::changedSelection, this, &Analyzer::changedSelection);
    // Connected before the main window starts the run on the same signal.
    connect(m_elems, &ElemPanel::askAnalyzeElems, this, [this] { selectAnalysisMode(ModeElem); });
    connect(m_elems, &ElemPanel::rowsRebuilt, this, &Analyzer::applyScales);
    applyScales();
}

void Analyzer::setupScales() {
    connect(ui->FixedScale, &QCheckBox::toggled, this, &Analyzer::scalePolicyChanged);
    for (QLineEdit *e : {ui->DMutScaleMin, ui->DMutScaleMax, ui->RatioScaleMin, ui->RatioScaleMax})
        connect(e, &QLineEdit::editingFinished, this, &Analyzer::scaleChanged);
}

// ------------------------------------------------------------------ state

int Analyzer::mode() const {
    return m_modes->checkedId();
}

QVector<LcfReference> Analyzer::lcfReferences() const {
    QVector<LcfReference> refs;
    refs.reserve(m_refs.size());
    for (const LCFReference *r : m_refs)
        refs.append(LcfReference{&r->spectrum(), r->isInUse()});
    return refs;
}

LcfKind Analyzer::lcfKind() const {
    if (ui->MLCF->isChecked())
        return LcfKind::MLCF;
    return ui->OldLCF->isChecked() ? LcfKind::OldLCF : LcfKind::LCF;
}

double Analyzer::lcfStart() const {
    return number(ui->LCFRange1);
}

double Analyzer::lcfEnd() const {
    return number(ui->LCFRange2);
}

LcfOptions Analyzer::lcfOptions() const {
    return {ui->NonNegative->isChecked(), ui->SumToOne->isChecked(), true};
}

bool Analyzer::fixedE0() const {
    return ui->FixedE0->isChecked();
}

double Analyzer::fixedE0Energy() const {
    return number(ui->FixedE0EV);
}

SuggestElm Analyzer::withFixedEdge(SuggestElm s) const {
    s.fixedEdge = fixedE0();
    s.fixedEdgeEnergy = fixedE0Energy();
    return s;
}

bool Analyzer::dispOnTime() const {
    return ui->DispOnTime->isChecked();
}

double Analyzer::raEnergy() const {
    return number(ui->RAAtEV);
}

double Analyzer::raFactor() const {
    return number(ui->RAFactor);
}

Analyzed2DRes *Analyzer::mapNamed(const QString &name) const {
    for (Analyzed2DRes *m : findChildren<Analyzed2DRes *>())
        if (m->name() == name)
            return m;
    return nullptr;
}

QString Analyzer::mapTitle(const Analyzed2DRes *map) const {
    if (!map)
        return QString();
    static const char *const kinds[] = {QT_TR_NOOP("amount"), QT_TR_NOOP("fraction"),
                                        QT_TR_NOOP("standard error")};
    for (int row = 0; row < m_refs.size(); ++row)
        for (int k = 0; k < LCFReference::MapsPerReference; ++k)
            if (m_refs.at(row)->map(k) == map)
                return tr("Ref %1 %2").arg(row + 1).arg(tr(kinds[k]));
    return plainMapTitle(map->name());
}

int Analyzer::selectedReference() const {
    for (int i = 0; i < m_refs.size(); ++i)
        if (m_refs.at(i)->isShowChecked())
            return i;
    return -1;
}

int Analyzer::numberOfResults() const {
    return LCFReference::MapsPerReference;
}

Analyzed2DRes *Analyzer::selectedMap() const {
    return selectedMapIn(mode());
}

Analyzed2DRes *Analyzer::selectedMapIn(int mode) const {
    switch (mode) {
    case ModeLCF: {
        if (ui->ShowZ->isChecked())
            return m_zansa;
        if (ui->ShowRFactor->isChecked())
            return m_rFactor;
        if (ui->ShowChi2->isChecked())
            return m_chi2;
        const int row = selectedReference();
        if (row < 0)
            return nullptr;
        return m_refs.at(row)->map(ui->SelRatio->isChecked()   ? LCFReference::FractionMap
                                   : ui->SelSigma->isChecked() ? LCFReference::SigmaMap
                                                               : LCFReference::AmountMap);
    }
    case ModeRA: {
        Analyzed2DRes *m = ui->ShowRest->isChecked()    ? m_rest
                           : ui->ShowRatio->isChecked() ? m_ratio
                           : ui->ShowDMuT->isChecked()  ? m_dMut
                                                        : nullptr;
        return m && m->isFilled() ? m : nullptr;
    }
    case ModeElem:
        return m_elems->selectedMap();
    case ModeSumUp:
        return m_sumUp;
    case ModeProcMaps:
        return m_mapProc->selectedMap();
    case ModeComponents:
        return m_components->selectedMap();
    default:
        return nullptr;
    }
}

// ------------------------------------------------------------------ slots

// Inside a scrolling window (the main window's), that window is shown.
void Analyzer::show() {
    QFrame::show();
    if (window() != this) {
        window()->show();
        window()->raise();
    }
    m_view->show();
}

void Analyzer::setLCFStd(int no, bool use, double dE, const QString &fname, const QString &isVic) {
    if (no < 0 || no >= m_refs.size())
        return;
    m_refs.at(no)->setStd(use, dE, fname, isVic);
}

void Analyzer::setLCFMode(int f) {
    ui->MLCF->setChecked(f == 1);
}

void Analyzer::selectImage(int id) {
    if (QAbstractButton *b = m_mapTypes->button(id); b && id > 2) {
        b->setChecked(true);
        emit changedSelection();
    } else if (QAbstractButton *row = m_selection->button(id)) {
        row->setChecked(true);
        selectedNewRef(id);
    }
}

// While a map of the whole fit shows, the kind is kept for the next row
// chosen: the map on display stays what the batch chose.
void Analyzer::selectImageType(int type) {
    if (type != 0 && type != 1)
        return;
    m_lastRowMapType = type == 0 ? 1 : 0;
    if (rowMapTypeChecked())
        m_mapTypes->button(m_lastRowMapType)->setChecked(true);
}

void Analyzer::selectAnalysisMode(int mode) {
    if (QAbstractButton *b = m_modes->button(mode))
        b->setChecked(true);
}

void Analyzer::selectSigmaImage() {
    ui->SelSigma->setChecked(true);
    m_lastRowMapType = 2;
}

void Analyzer::setNonNegative(bool f) {
    ui->NonNegative->setChecked(f);
}

void Analyzer::setSumToOne(bool f) {
    ui->SumToOne->setChecked(f);
}

void Analyzer::setFixedE0(bool f) {
    ui->FixedE0->setChecked(f);
}

void Analyzer::setFixedE0Energy(double e) {
    ui->FixedE0EV->setText(g6(e));
    if (fixedE0())
        emit normalizationChanged();
}

void Analyzer::setReferenceSuggestion(const SuggestElm &suggestion, double sampleFrom,
                                      double sampleTo) {
    m_referenceSuggestion = suggestion;
    m_sampleFrom = sampleFrom;
    m_sampleTo = sampleTo;
    for (LCFReference *r : m_refs)
        r->setSuggestion(suggestion, sampleFrom, sampleTo);
    reAnalyzeSpectrum();
}

void Analyzer::setRunMessage(const QString &text) {
    m_runMessage->setText(text);
    m_runMessage->setVisible(!text.isEmpty());
}

void Analyzer::setFitOptionsMessage(const QString &text) {
    ui->FitOptionsMessage->setText(text);
}

void Analyzer::setRaEnergy(double e) {
    ui->RAAtEV->setText(g6(e));
}

void Analyzer::setRaFactor(double f) {
    ui->RAFactor->setText(g6(f));
}

void Analyzer::setFixedScale(bool f) {
    ui->FixedScale->setChecked(f);
}

void Analyzer::setDMutScaleMax(double v) {
    ui->DMutScaleMax->setText(g6(v));
    scaleChanged();
}

void Analyzer::setDMutScaleMin(double v) {
    ui->DMutScaleMin->setText(g6(v));
    scaleChanged();
}

void Analyzer::setRatioScaleMax(double v) {
    ui->RatioScaleMax->setText(g6(v));
    scaleChanged();
}

void Analyzer::setRatioScaleMin(double v) {
    ui->RatioScaleMin->setText(g6(v));
    scaleChanged();
}

void Analyzer::setNormalize(bool f) {
    m_view->setNormalize(f);
}

void Analyzer::setEnergyCorrection(bool f) {
    m_view->setEnergyCorrection(f);
}

void Analyzer::setContAccess(bool f) {
    m_running = f;
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker, f] { w->setContAccess(f); }, Qt::QueuedConnection);
}

void Analyzer::setProgress(double perCent) {
    const QString text = QString::asprintf("%5.2f %%", perCent);
    const int steps = int(std::lround(std::clamp(perCent, 0.0, 100.0) * 10));
    if (m_runningMode == ModeRA) {
        m_raBar->setValue(steps);
        return;
    }
    if (m_runningMode == ModeElem) {
        m_elems->setElemsProgress(perCent);
        return;
    }
    ui->Progress->setText(text);
    m_lcfBar->setValue(steps);
}

void Analyzer::setRunState(int mode, bool running) {
    QPushButton *button = mode == ModeLCF  ? ui->AskAnalyze
                          : mode == ModeRA ? ui->AskRAAnalyze
                                           : nullptr;
    if (button)
        button->setText(running ? tr("Stop") : tr("Analyze"));
    if (mode == ModeElem)
        m_elems->setRunning(running);
    if (running) {
        m_runningMode = mode;
        setProgress(0);
    } else if (m_runningMode == mode) {
        m_runningMode = -1;
    }
}

void Analyzer::noticedNewZ(double z) {
    ui->DispZansa->setText(g6(z));
}

// ------------------------------------------------------------------ analysis

void Analyzer::analyzeSpectrum(const XafsSpectrum &s, const SuggestElm &sElm) {
    if (&s != &m_analyzed)
        m_analyzed = s;
    m_sElm = sElm;
    if (ui->SelElemA->isChecked())
        m_elems->analyzeSpectrum(m_analyzed);
    if (ui->SelComponents->isChecked()) { // beside the components' spectra
        m_view->setTarget(m_analyzed);
        m_view->update();
    }
    if (!ui->SelMLCFA->isChecked())
        return;
    m_pending = true;
    if (!m_workerBusy)
        sendToWorker();
}

void Analyzer::analyzeAndShowSpectrum(const XafsSpectrum &s, const SuggestElm &sElm) {
    analyzeSpectrum(s, sElm);
}

void Analyzer::reAnalyzeSpectrum() {
    if (m_analyzed.count() > 0)
        analyzeSpectrum(m_analyzed, m_sElm);
}

// The worker reads copies of the references (their point lists are shared,
// not duplicated), so a row that loads another file meanwhile changes nothing
// under it. After the request an idle notice is queued to the worker: it
// comes back even when the worker had nothing to analyse and sent no signal.
void Analyzer::sendToWorker() {
    m_pending = false;
    m_workerBusy = true;
    m_workerRefSpectra.resize(m_refs.size());
    m_workerRefs.resize(m_refs.size());
    for (int i = 0; i < m_refs.size(); ++i) {
        m_workerRefSpectra[i] = m_refs.at(i)->spectrum();
        m_workerRefs[i] = LcfReference{&m_workerRefSpectra[i], m_refs.at(i)->isInUse()};
    }
    emit analyzeSpectrum0(m_analyzed, m_workerRefs, &m_result, ui->MLCF->isChecked(), lcfStart(),
                          lcfEnd(), m_sElm);
    QMetaObject::invokeMethod(
        m_worker,
        [this] {
            QMetaObject::invokeMethod(
                this, [this] { workerIdle(); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void Analyzer::workerIdle() {
    m_workerBusy = false;
    if (m_pending)
        sendToWorker();
}

// Results are read while the worker is idle: finished() is its last act for
// the request. The rows show them only outside a map run.
void Analyzer::analyzeSpectrumFinished() {
    if (!m_running)
        showAnalysis();
    emit finished();
}

void Analyzer::showAnalysis() {
    const QVector<double> &fractions = m_worker->fractions();
    const QVector<double> &amounts = m_worker->amounts();
    int d = 0;
    for (LCFReference *r : m_refs) {
        if (!r->isInUse())
            continue;
        if (d < fractions.size() && d < amounts.size())
            r->showResult(fractions.at(d), amounts.at(d));
        ++d;
    }
    m_view->setTarget(m_analyzed);
    m_view->clearOthers();
    m_result.setName(tr("fitted curve"));
    m_view->addOther(m_result, QPen(QColor(255, 0, 255), 2));
    for (const LCFReference *r : m_refs)
        if (r->isInUse())
            m_view->addOther(r->spectrum());
    m_view->update();
}

// ------------------------------------------------------------------ rows

void Analyzer::addNewRef() {
    const int row = m_refs.size();
    auto *ref = new LCFReference(row, ui->RefBase);
    ref->setSuggestion(m_referenceSuggestion, m_sampleFrom, m_sampleTo);
    static_cast<QGridLayout *>(ui->RefBase->layout())->addWidget(ref, row, 0);
    const int id = row < m_firstFixedId ? row : row + FixedCount;
    m_selection->addButton(ref->showButton(), id);
    connect(ref, &LCFReference::newDeltaE, this, &Analyzer::reAnalyzeSpectrum);
    connect(ref, &LCFReference::newFileSelected, this, &Analyzer::referenceUseChanged);
    connect(ref, &LCFReference::changedUse, this, &Analyzer::referenceUseChanged);
    connect(ref, &LCFReference::inputChanged, this, &Analyzer::referenceInputsChanged);
    m_refs.append(ref);
    emit referenceInputsChanged();
    applyScales();
}

// The fit takes at most LcfEngine::MaxReferences spectra: one more in use
// is said in the panel and the messages at once, not only when a run is
// refused.
void Analyzer::referenceUseChanged() {
    int used = 0;
    for (const LCFReference *r : m_refs)
        used += r->isInUse() ? 1 : 0;
    const bool tooMany = used > LcfEngine::MaxReferences;
    const QString text = tr("%1 references in use: the fit takes at most %2; untick Use on %3")
                             .arg(used)
                             .arg(LcfEngine::MaxReferences)
                             .arg(used - LcfEngine::MaxReferences);
    if (tooMany && m_runMessage->text() != text) {
        setRunMessage(text);
        UserMessages::warn(text);
    } else if (!tooMany && m_runMessage->text().contains(tr("the fit takes at most"))) {
        setRunMessage(QString());
    }
    reAnalyzeSpectrum();
}

void Analyzer::selectedNewRef(int id) {
    if (id < m_firstFixedId || id >= m_firstFixedId + FixedCount)
        referenceShowClicked();
    emit changedSelection();
}

void Analyzer::selectedImgChanged(bool) {
    emit changedSelection();
}

// ------------------------------------------------------------------ scales

QVector<Analyzed2DRes *> Analyzer::dMutScaledMaps() const {
    QVector<Analyzed2DRes *> maps;
    for (const LCFReference *r : m_refs)
        maps.append(r->map(LCFReference::AmountMap));
    maps << m_zansa << m_dMut << m_rest;
    if (m_elems)
        for (const ElemCtrl *r : m_elems->rows())
            for (int k = 0; k < ElemMapKinds; ++k)
                if (k != ElemRatio)
                    maps.append(r->map(k));
    return maps;
}

QVector<Analyzed2DRes *> Analyzer::ratioScaledMaps() const {
    QVector<Analyzed2DRes *> maps;
    for (const LCFReference *r : m_refs)
        maps.append(r->map(LCFReference::FractionMap));
    maps << m_ratio;
    // Jump ratios and correlations are fractions like the fit fractions.
    if (m_elems) {
        for (const ElemCtrl *r : m_elems->rows())
            maps.append(r->map(ElemRatio));
        maps << m_elemsCor << m_elemsCorTh;
    }
    return maps;
}

// The maps only take the settings: whoever shows a map draws it anew
// (scalesChanged).
void Analyzer::applyScales() {
    const bool fixed = ui->FixedScale->isChecked();
    const auto apply = [fixed](const QVector<Analyzed2DRes *> &maps, double lo, double hi) {
        for (Analyzed2DRes *m : maps) {
            m->setScale(lo, hi);
            m->setFixedScale(fixed);
        }
    };
    apply(dMutScaledMaps(), number(ui->DMutScaleMin), number(ui->DMutScaleMax));
    apply(ratioScaledMaps(), number(ui->RatioScaleMin), number(ui->RatioScaleMax));
}

void Analyzer::scaleChanged() {
    applyScales();
    emit scalesChanged();
}

void Analyzer::scalePolicyChanged(bool) {
    applyScales();
    emit scalesChanged();
}
