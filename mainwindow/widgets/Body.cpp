#include "mainwindow/widgets/Body.h"
#include "mainwindow/widgets/BatchHost.h"
#include "mainwindow/widgets/BodyAnalysisState.h"
#include "mainwindow/widgets/InputBinding.h"
#include "mainwindow/widgets/RecordWindow.h"
#include "mainwindow/widgets/SeriesController.h"
#include "mainwindow/widgets/SessionControl.h"

#include "analysis/Analyzed2DRes.h"
#include "analysis/MapRun.h"
#include "analysis/RunBoard.h"
#include "analysis/widgets/Analyzer.h"
#include "analysis/widgets/CalibCtrl.h"
#include "analysis/widgets/ImgProc.h"
#include "analysis/widgets/XafsFileSelect.h"
#include "app/AppSettings.h"
#include "app/DebugLog.h"
#include "app/UserMessages.h"
#include "batch/BatchDispatcher.h"
#include "batch/widgets/BatchCtrl.h"
#include "display/PictureFile.h"
#include "display/TaggedFileName.h"
#include "display/widgets/ColorBar.h"
#include "display/widgets/CrossSView.h"
#include "display/widgets/DialogPopups.h"
#include "display/widgets/ImgDispA.h"
#include "display/widgets/SpectrumView.h"
#include "imageio/LoadTiff.h"
#include "imageio/TiffData.h"
#include "imageio/widgets/SelectDataFiles.h"
#include "imageio/widgets/SelectImgDialog.h"
#include "measurement/BinSpectrum.h"
#include "render/MapPicture.h"
#include "spectrum/EdgeTable.h"
#include "spectrum/SpectrumFile.h"
#include "ui_Body.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPainter>
#include <cmath>

namespace {

const char *const SameExposureStyle = "background-color: rgb(255, 255, 255);";
const char *const MixedExposureStyle = "background-color: rgb(255, 192, 192);";

QString g6(double v) {
    return QString::number(v, 'g', 6);
}

} // namespace

Body::Body(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::Body), m_analysis(std::make_unique<AnalysisState>()) {
    DialogPopups::closeCompletionsWithTheirDialogs();
    m_darkDialog = new SelectImgDialog(this);
    m_darkDialog->setFileMode(QFileDialog::ExistingFile);
    m_doc = new SessionDocument(this);
    m_bgSelect = new XafsFileSelect(this);
    m_bgSelect->setWindowFlag(Qt::Window);
    m_bgSelect->setWindowTitle(tr("BG File"));
    m_bgView = new SpectrumView(this);
    m_bgView->setWindowFlag(Qt::Window);
    m_bgView->setWindowTitle(tr("BG Specturm"));

    CmdLine::registerMetaTypes();
    SuggestElm::registerMetaTypes();
    qRegisterMetaType<XafsSpectrum *>("XafsSpectrum*");
    ui->setupUi(this);
    // First: the window's own reactions to its fields read the session.
    m_binding = new InputBinding(this, &m_doc->inputs());
    m_binding->watchWindowFields();
    setupDisplay();
    setupSuggestion();
    setupBatch();
    setupSeries();
    setupNavigation();
    setupStatus();
    setupMessages();
    setupViews();
    setupDark();
    setupCalibration();
    followDocument();
    setupAnalysis();
    setupReferenceNormalisation();
    setupRunControl();
    m_session = new SessionControl(this);
    setupMenus();
    setupExport();
    setupSumUp();
    setupComponents();
    setupImgProc();
    setupAnalyzer2();
    registerCommands();
    restoreRememberedFields();
    takeErrPointsFromConfig();
    dispatchConfigBatchLines();
    m_record = new RecordWindow(this); // last: it watches the window as built
}

Body::~Body() {
    // The loaders stop between two files. Images they handed out that the
    // window has not taken yet are still queued to it: take them now, so
    // they are freed rather than dropped with the queue.
    m_closing = true;
    m_batch->close();
    // Runs halted now answer no batch line and show no time.
    disconnect(&m_doc->runs(), nullptr, this, nullptr);
    haltAnalysisRun();
    stopDarkCheck();
    haltAlignment();
    delete m_batch; // its thread ends; lines still queued are dropped
    m_batch = nullptr;
    for (SeriesController *c : m_series)
        c->stopLoader();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    for (SeriesController *c : m_series)
        delete c;
    delete ui;
}

// ------------------------------------------------------------------ setup

void Body::setupDisplay() {
    ui->CBar->registerAsShared();
    ui->dispA->setColorBar(ui->CBar);
    connect(ui->CBar, &ColorBar::cBarUpdating, this, &Body::showCurrentPicture);
    connect(ui->CBar, &ColorBar::cBarUpdated, this, &Body::showCurrentPicture);
    connect(ui->CBarAll, &QPushButton::clicked, this, [this] { showCurrentPicture(); });
    connect(ui->ZoomIn, &QPushButton::clicked, ui->dispA, &ImgDispA::setViewWAsSelectedArea);
    connect(ui->ResetScale, &QPushButton::clicked, ui->dispA, &ImgDispA::resetImageViewWindow);
    m_dispGroup = new QButtonGroup(this);
    m_dispGroup->addButton(ui->ShowData, DispData);
    m_dispGroup->addButton(ui->ShowI0, DispI0);
    m_dispGroup->addButton(ui->ShowShiftMap, DispShiftMap);
    m_dispGroup->addButton(ui->ShowResAnalysis, DispResAnalysis);
    m_dispGroup->setExclusive(true);
    connect(ui->ShowData, &QAbstractButton::toggled, this, &Body::selectedDataI0);
    // Coming back from a map to the I0 series does not toggle ShowData.
    connect(ui->ShowI0, &QAbstractButton::toggled, this, [this](bool on) {
        if (on)
            selectedDataI0(on);
    });
    connect(ui->ShowShiftMap, &QAbstractButton::toggled, this, [this](bool on) {
        if (on)
            showCurrentPicture();
    });
    connect(ui->ShowResAnalysis, &QAbstractButton::toggled, this, [this](bool on) {
        if (on)
            showCurrentPicture();
    });
}

void Body::setupSuggestion() {
    if (EdgeTable::count() == 0)
        loadEdgeTable();
    newElmSuggested();
    connect(ui->SuggestingElm, &QLineEdit::editingFinished, this, &Body::newElmSuggested);
    connect(ui->SuggestingEdge, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &Body::newEdgeSuggested);
}

// Every answer goes out as finishBatchExec, whoever gives it.
void Body::setupBatch() {
    m_batch = new BatchHost(this);
    connect(ui->BatchCtrlB, &QPushButton::clicked, batchCtrl(), &BatchCtrl::show);
    connect(m_batch, &BatchHost::answered, this, &Body::finishBatchExec);
    connect(this, &Body::finishBatchExec, m_batch->dispatcher(),
            &BatchDispatcher::finishBatchExec);
}

void Body::setupSeries() {
    ui->SelectI1Files->setWindowTitle(tr("I1 Data"));
    ui->SelectI0Files->setWindowTitle(tr("I0 Data"));
    setupController(Series::I1);
    setupController(Series::I0);
    // One energy setup for both series unless I0 is given its own.
    ui->SelectI0Files->followEnergySetupOf(ui->SelectI1Files);
}

// One controller per series: its panel, its loader in a thread of its own.
void Body::setupController(Series s) {
    auto *c = new SeriesController(s, panel(s), this);
    m_series[s == Series::I1 ? 0 : 1] = c;
    connect(c, &SeriesController::filesChosen, this, &Body::readFiles);
    connect(c, &SeriesController::clearRequested, this, &Body::clearFiles);
    connect(c, &SeriesController::darkAreaRequested, this, &Body::setDarkArea);
    connect(c, &SeriesController::darkAreaClearRequested, this, &Body::clearDarkArea);
    connect(c, &SeriesController::imageLoaded, this, &Body::loaded);
    connect(c, &SeriesController::loadFinished, this, &Body::seriesLoadFinished);
}

// The batch waits for the load; the window's own bookkeeping is done by then.
void Body::seriesLoadFinished(Series s, int commandId) {
    finishedLoad(s);
    if (s == Series::I1)
        takeStackDark();
    emit finishBatchExec(commandId);
}

LoadTiff *Body::loader(Series s) const {
    return controller(s)->loader();
}

bool Body::isLoading() const {
    return controller(Series::I1)->isLoading() || controller(Series::I0)->isLoading();
}

void Body::setupNavigation() {
    ui->SeekBar->setMaximum(0);
    connect(ui->SeekBar, &QSlider::valueChanged, this, &Body::showData);
    connect(ui->SeekBar, &QSlider::sliderMoved, this, &Body::sliderMoved);
    connect(ui->ImgNo, &QLineEdit::editingFinished, this,
            [this] { seekImage(ui->ImgNo->text().toInt()); });
    connect(ui->Prev, &QPushButton::clicked, this, &Body::prev);
    connect(ui->Next, &QPushButton::clicked, this, &Body::next);
    connect(ui->SelectI1Files, &SelectDataFiles::currentIndexChanged, this, [this](int i) {
        if (shownSeries() == Series::I1)
            showData(i);
    });
    connect(ui->SelectI0Files, &SelectDataFiles::currentIndexChanged, this, [this](int i) {
        if (shownSeries() == Series::I0)
            showData(i);
    });
    connect(ui->dispA, &ImgDispA::mouseMoved, this,
            QOverload<double, double>::of(&Body::showXafsSpectrum));
    connect(ui->dispA, &DispA::mouseMoved0, this, &Body::onMouseMovedInDispA);
    connect(ui->dispA, &DispA::drawImage2, this, &Body::draw);
    for (QLineEdit *e : {ui->HWidth, ui->VWidth, ui->DarkExpTime})
        connect(e, &QLineEdit::editingFinished, this, [this] { showXafsSpectrum(); });
    for (QCheckBox *c : {ui->FluoType, ui->UseI0})
        connect(c, &QCheckBox::toggled, this, [this] { showXafsSpectrum(); });
    connect(ui->UseI0, &QCheckBox::toggled, this, &Body::reportSeriesMismatch);
}

void Body::setupViews() {
    m_xafsView = new SpectrumView(this);
    m_xafsView->setWindowFlag(Qt::Window);
    m_xafsView->setWindowTitle(tr("Spectrum at the position"));
    connect(ui->ShowSpectrumView, &QPushButton::clicked, m_xafsView, &SpectrumView::show);
    connect(ui->TotalI0ofI1XAFS, &XafsFileSelect::newFile, this,
            [this](const QString &f) { newTotalI0File(Series::I1, f); });
    connect(ui->TotalI0ofI0XAFS, &XafsFileSelect::newFile, this,
            [this](const QString &f) { newTotalI0File(Series::I0, f); });
    connect(ui->TotalI0ofI1XAFS, &XafsFileSelect::cleared, this,
            [this] { m_doc->clearTotalI0(Series::I1); });
    connect(ui->TotalI0ofI0XAFS, &XafsFileSelect::cleared, this,
            [this] { m_doc->clearTotalI0(Series::I0); });
    ui->TotalI0ofI1XAFS->setWindowTitle(tr("Total I0 of I1"));
    ui->TotalI0ofI0XAFS->setWindowTitle(tr("Total I0 of I0"));
    ui->TotalI0ofI1XAFS->setSelectText(tr("Total I0 of I1"));
    ui->TotalI0ofI0XAFS->setSelectText(tr("Total I0 of I0"));
    ui->TotalI0ofI1XAFS->showUse(false);
    ui->TotalI0ofI0XAFS->showUse(false);

    connect(ui->SelectBG, &QPushButton::clicked, m_bgSelect, &XafsFileSelect::show);
    connect(ui->ShowBG, &QPushButton::clicked, m_bgView, &SpectrumView::show);
    connect(m_bgSelect, &XafsFileSelect::newFile, this, &Body::selectedBG);
    connect(m_bgSelect, &XafsFileSelect::cleared, this, &Body::clearedBG);
    connect(ui->CheckVals, &QPushButton::clicked, this, &Body::showAnalyzedVals);

    m_saveImageDialog = new QFileDialog(this);
    m_saveImageDialog->setObjectName(QStringLiteral("SaveImageDialog"));
    m_saveImageDialog->setOption(QFileDialog::DontUseNativeDialog, true);
    m_saveImageDialog->setFileMode(QFileDialog::AnyFile);
    m_saveImageDialog->setAcceptMode(QFileDialog::AcceptSave);
    m_saveImageDialog->setDirectory(AppSettings::dataRoot());
    m_saveImageDialog->setNameFilters({tr("Image File (*.png)"), tr("Any Files (* *.*)")});
    connect(ui->SaveImage, &QPushButton::clicked, m_saveImageDialog, &QFileDialog::show);
    connect(m_saveImageDialog, &QFileDialog::fileSelected, this, &Body::saveImage);
}

void Body::setupDark() {
    connect(ui->SelectDark, &QPushButton::clicked, m_darkDialog, &QFileDialog::show);
    connect(m_darkDialog, &QFileDialog::fileSelected, this, &Body::selectedDark);
    connect(ui->ClearDark, &QPushButton::clicked, this, &Body::clearDark);
    connect(ui->SaveFlatDark, &QPushButton::clicked, this, &Body::saveFlatDark);
}

// The views follow the document: whatever changed it (a control, a batch
// command, a session load), they are redrawn the same way. Runs reading the
// measurement end before the document changes what they read.
void Body::followDocument() {
    m_doc->setChangeGuard([this] { haltAnalysisRun(); });
    connect(m_doc, &SessionDocument::seriesChanged, this, [this] { updateImageReadout(); });
    connect(m_doc, &SessionDocument::darkFrameChanged, this, &Body::showDarkFrame);
    connect(m_doc, &SessionDocument::darkChanged, this, [this] { showXafsSpectrum(); });
    connect(m_doc, &SessionDocument::darkAreaChanged, this, &Body::showDarkArea);
    connect(m_doc, &SessionDocument::totalI0Changed, this, [this](Series s) {
        showChosenFile(totalI0Select(s), m_doc->totalI0File(s));
        if (s == Series::I1)
            showXafsSpectrum();
    });
    connect(m_doc, &SessionDocument::backgroundChanged, this, [this] {
        showChosenFile(m_bgSelect, m_doc->backgroundFile());
        if (!m_doc->backgroundLoaded())
            return;
        m_bgView->setTarget(m_doc->background());
        m_bgView->show();
    });
    connect(m_doc, &SessionDocument::currentPointChanged, this, &Body::followCurrentPoint);
    connect(m_doc, &SessionDocument::shiftMapRead, this,
            [this](const QString &file, const EMPHeader &h) {
                m_calibCtrl->setGeometry(h.width, h.height, h.xOffset, h.yOffset);
                m_calibCtrl->setEMPFileName(file);
            });
    connect(m_doc, &SessionDocument::shiftsChanged, this, [this] {
        refreshShiftedImage(currentImage());
        m_imgProc->imageShiftChanged();
        showXafsSpectrum();
    });
    connect(m_doc, &SessionDocument::shiftMapChanged, this, [this] {
        if (!m_doc->shiftMap()->hasGrids())
            m_calibCtrl->setGeometry(0, 0, 0, 0);
        showCurrentPicture();
        showXafsSpectrum();
    });
}

// The image's cursor follows the point (a batch's move_position, the reset
// at a load's end); a point the mouse set is where the cursor already is.
void Body::followCurrentPoint(const QPoint &p) {
    const QPointF at = ui->dispA->mouseImagePos();
    if (QPoint(int(std::floor(at.x())), int(std::floor(at.y()))) != p)
        ui->dispA->setImageMousePos(p.x(), p.y());
    showXafsSpectrum();
}

// A dark area taken is shown in its series' panel, and the selection it
// came from is done with; a cleared one leaves the panel's read-out.
void Body::showDarkArea(Series s) {
    const DarkArea &area = stack().darkArea(s);
    if (!area.on)
        return;
    panel(s)->darkArea(area.rect);
    ui->dispA->clearSelectedArea();
}

void Body::showDarkFrame() {
    const TiffData *dark = stack().dark();
    ui->DarkFileName->setText(dark ? QFileInfo(m_doc->darkFile()).fileName() : QString());
    if (dark)
        ui->DarkExpTime->setText(g6(dark->exposureMs()));
    ui->DarkValue->clear(); // read out again at the next move
}

XafsFileSelect *Body::totalI0Select(Series s) const {
    return s == Series::I1 ? ui->TotalI0ofI1XAFS : ui->TotalI0ofI0XAFS;
}

// A file the document took by a command shows in its chooser; one the user
// chose there already does.
void Body::showChosenFile(XafsFileSelect *select, const QString &file) {
    if (select->fileName() != file || select->isLoaded() == file.isEmpty())
        select->revertTo(file);
}

// Each series panel reads the configured mask file itself when it is built;
// the window keeps the name to tell which mask the session started with.
void Body::takeErrPointsFromConfig() {
    m_errPointsFile = AppSettings::params().valueAnyCase("ErrPoints");
}

// Every configuration "batch" line, in file order, runs as one batch.
void Body::dispatchConfigBatchLines() {
    m_batch->dispatch(AppSettings::params().allRests("batch"));
}

// ------------------------------------------------------------------ batch

void Body::runNext(const QStringList &lines) {
    m_batch->runNext(lines);
}

void Body::registerCommand(EX_CMD_ID id, CommandHandler handler) {
    m_batch->registerCommand(id, std::move(handler));
}

void Body::registerAtOnce(EX_CMD_ID id, CommandHandler effect) {
    m_batch->registerAtOnce(id, std::move(effect));
}

bool Body::hasCommandHandler(EX_CMD_ID id) const {
    return m_batch->hasHandler(id);
}

BatchCtrl *Body::batchCtrl() const {
    return m_batch->control();
}

bool Body::isExecutingCommand() const {
    return m_batch->isExecuting();
}

void Body::execCmdSlot(CmdLine cmd, bool inRem) {
    m_batch->execute(cmd, inRem);
}

// No answer to the dispatcher: the program closes.
// A headless run ends with status 1 when anything failed: the log names
// each failure once more at the end, where the user looks first.
void Body::quitCmd(const CmdLine &) {
    if (!m_doc->failures().isEmpty()) {
        batchCtrl()->Log(tr("%n command(s) failed:\n", nullptr, m_doc->failures().size()));
        for (const QString &text : m_doc->failures())
            batchCtrl()->Log(QStringLiteral("  ") + text + QLatin1Char('\n'));
    }
    m_quitRequested = true;
    emit finishing();
}

void Body::closeEvent(QCloseEvent *event) {
    if (!closeMayProceed()) {
        event->ignore();
        return;
    }
    saveRememberedFields();
    emit finishing();
    QMainWindow::closeEvent(event);
}

// ------------------------------------------------------------------ state

SelectDataFiles *Body::panel(Series s) const {
    return s == Series::I1 ? ui->SelectI1Files : ui->SelectI0Files;
}

Series Body::shownSeries() const {
    return ui->ShowData->isChecked() ? Series::I1 : Series::I0;
}

MuTConditions Body::muTConditions() const {
    return m_doc->inputs().conditions();
}

SuggestElm Body::suggestElm() const {
    return m_doc->inputs().suggestion();
}

void Body::setShiftMapOrigin(int x0, int y0) {
    m_doc->setShiftMapOrigin(QPoint(x0, y0));
}

int Body::panelIndex(Series s) const {
    const auto *list = panel(s)->findChild<QComboBox *>(QStringLiteral("Selected"));
    return list ? list->currentIndex() : -1;
}

int Body::currentImageIndex() const {
    const int i = ui->SeekBar->value();
    return i >= 0 && i < stack().images(shownSeries()).size() ? i : -1;
}

const TiffData *Body::currentImage() const {
    const int i = currentImageIndex();
    return i < 0 ? nullptr : stack().images(shownSeries()).at(i);
}

// ------------------------------------------------------------------ series

// The display may hold an I0 image even with the I1 series chosen (when that
// is empty), so its reference goes in any case; an I1 image comes back.
void Body::clearFiles(Series s) {
    haltAnalysisRun();
    if (s == Series::I1) {
        stopDarkCheck();
        haltAlignment();
        giveProcImage(nullptr);
    } else if (stack().i0().contains(const_cast<TiffData *>(m_imgProc->image()))) {
        giveProcImage(nullptr);
    }
    ui->dispA->setImage(nullptr);
    if (s == Series::I1)
        m_resetViewOnShow = true;
    panel(s)->clearFiles();
    stack().clear(s);
    if (s == Series::I0 && shownSeries() == Series::I1 && currentImage())
        ui->dispA->setImage(currentImage());
    m_doc->noteSeriesChanged(s);
}

void Body::readFiles(Series s, const QStringList &files, bool newSeries) {
    loadSeries(s, files, newSeries, SeriesKept::UntilFirstImage);
}

void Body::loadFromBatch(Series s, const QStringList &files, bool newSeries) {
    loadSeries(s, files, newSeries, SeriesKept::No);
}

void Body::loadSeries(Series s, const QStringList &files, bool newSeries, SeriesKept kept) {
    if (newSeries && s == Series::I1) {
        m_xafsView->setFollow(true);
        m_bgView->setFollow(true);
    }
    beginLoad(s, newSeries, kept);
    requestLoad(s, files);
}

void Body::requestLoad(Series s, const QStringList &files) {
    const SelectDataFiles *p = panel(s);
    const int skip = p->skip() <= 0 ? 1 : p->skip();
    const int cutFirst = std::max(0, p->cutFirst());
    const int cutLast = std::max(0, p->cutLast());
    if (!readStack(s, files, skip, cutFirst, cutLast))
        controller(s)->requestFiles(files, skip, cutFirst, cutLast);
}

void Body::loaded(Series s, TiffData *data, int fNo) {
    if (m_closing)
        delete data;
    if (m_closing || !data)
        return;
    haltAnalysisRun();
    replaceSeriesOnFirstImage(s);
    SelectDataFiles *p = panel(s);
    data->setEnergy(data->energyFromFile() ? p->addFileWithEnergy(data->fileName(), data->energy())
                                           : p->addFile(data->fileName(), fNo));
    const QString sizeWarning = stack().append(s, data);
    if (!sizeWarning.isEmpty())
        showLoadWarning(sizeWarning);
    m_doc->noteSeriesChanged(s);
    const bool showLatest = p->showLatest();
    if (!showLatest && loader(s)->isBusy())
        return;
    if (s == Series::I1) {
        bringI1ViewUpToDate();
        if (showLatest)
            showData(stack().i1().size() - 1);
    } else if (showLatest && shownSeries() == Series::I0) {
        showData(stack().i0().size() - 1);
    }
    showXafsSpectrum();
}

// Image size, origin, slider range and list selection follow the I1 series.
void Body::bringI1ViewUpToDate() {
    stack().takeGeometryFromFirstI1();
    const int last = stack().i1().size() - 1;
    ui->SeekBar->setMaximum(std::max(0, std::max(last, stack().i0().size() - 1)));
    ui->SelectI1Files->select(last);
}

void Body::finishedLoad(Series s) {
    if (m_closing)
        return;
    if (s == Series::I1)
        bringI1ViewUpToDate();
    else
        ui->SeekBar->setMaximum(std::max(ui->SeekBar->maximum(), stack().i0().size() - 1));
    // Without show-latest nothing was displayed while loading.
    if (shownSeries() == s && !stack().images(s).isEmpty())
        showData(std::max(0, currentImageIndex()));
    m_doc->setCurrentPoint(QPoint(0, 0));
    showXafsSpectrum();
    if (s == Series::I1) {
        m_xafsView->setFollow(false);
        m_bgView->setFollow(false);
    }
    showLoadFinished(s);
    updateImageReadout();
    const QVector<TiffData *> &images = stack().images(s);
    if (!images.isEmpty())
        panel(s)->setExpTimeMS(images.first()->exposureMs(), stack().sameExposure(s));
    reportLoadEnd(s);
}

// ------------------------------------------------------------------ display

// An index outside the series only shows its number: the slider (which
// would clamp it) stays on the image that is shown.
void Body::showData(int no) {
    ui->ImgNo->setText(QString::number(no));
    const QVector<TiffData *> &images = stack().images(shownSeries());
    if (no < 0 || no >= images.size())
        return;
    {
        const QSignalBlocker block(ui->SeekBar);
        ui->SeekBar->setValue(no);
    }
    if (ui->ShowData->isChecked() || ui->ShowI0->isChecked()) {
        ui->dispA->setResultMode(false);
        ui->dispA->setImage(images.at(no));
        // A new series may differ in size: show it whole first.
        if (m_resetViewOnShow)
            ui->dispA->resetImageViewWindow();
        m_resetViewOnShow = false;
    }
    ui->ImgNo->setToolTip(images.at(no)->fileName());
    updateImageReadout();
    giveProcImage(images.at(no));
    m_xafsView->setMarkerEnergy(images.at(no)->energy());
}

void Body::seekImage(int imgNo) {
    showData(imgNo);
}

void Body::selectedDataI0(bool) {
    if (ui->ShowData->isChecked() || ui->ShowI0->isChecked())
        showData(panelIndex(shownSeries()));
}

// The list may stand elsewhere than the image on screen (a load without
// show-latest ends with the list on its last file): step from the image shown.
void Body::stepShownImage(bool forward) {
    SelectDataFiles *p = panel(shownSeries());
    if (currentImageIndex() >= 0)
        p->select(currentImageIndex());
    if (forward)
        p->next();
    else
        p->prev();
    showData(panelIndex(shownSeries()));
}

void Body::prev() {
    stepShownImage(false);
}

void Body::next() {
    stepShownImage(true);
}

void Body::sliderMoved(int idx) {
    const Series s = shownSeries();
    panel(s)->select(idx);
    if (idx >= 0 && idx < stack().images(s).size())
        m_xafsView->setMarkerEnergy(stack().images(s).at(idx)->energy());
}

// The spectrum follows through the document's currentPointChanged.
void Body::showXafsSpectrum(double x, double y) {
    m_doc->setCurrentPoint(QPoint(int(std::floor(x)), int(std::floor(y))));
}

void Body::showXafsSpectrum() {
    const TiffData *image = currentImage();
    m_xafsView->setMarkerEnergy(image ? image->energy() : -1);
    const BinSpectrumSettings bin = binSpectrumSettings();
    const MuTConditions &c = bin.conditions;
    stack().updateDarkAreas(c);
    const QPoint at = m_doc->currentPoint();
    const double shift =
        buildBinSpectrum(stack(), at.x(), at.y(), bin, QStringLiteral("body-show"), m_mut, m_shown);
    const double dE = m_xafsView->setTarget(m_shown);
    ui->Position->setText(QString::asprintf("(% 4d, % 4d)", at.x(), at.y()));
    ui->EShiftOnTbl->setText(QString::asprintf("%6.3f", shift));
    ui->EShiftFromStd->setText(QString::asprintf("%5.2f", dE));
    stack().buildRaw(at.x(), at.y(), c.hx, c.hy, m_raw);
    m_xafsView->setRaw(m_raw);
    ui->dispA->update();
    analyzeShownSpectrum();
}

void Body::onMouseMovedInDispA() {
    const QPointF p = ui->dispA->mouseImagePos();
    const int mx = int(std::floor(p.x()));
    const int my = int(std::floor(p.y()));
    updateProfiles(mx, my);
    updateValueLabels(mx, my);
    updateCursorReadout(mx, my);
}

void Body::updateProfiles(int mx, int my) {
    const Series s = shownSeries();
    const bool asMu = ui->ShowData->isChecked();
    const MuTConditions &c = m_doc->inputs().conditions();
    const int index = currentImageIndex();
    stack().horizontalProfile(s, index, my, c.hy, asMu, c.fluo, m_hProfile);
    stack().verticalProfile(s, index, mx, c.hx, asMu, c.fluo, m_vProfile);
    ui->HCross->setProfile(m_hProfile, false);
    ui->HCross->setMarker(mx);
    ui->VCross->setProfile(m_vProfile, true);
    ui->VCross->setMarker(my);
}

void Body::updateValueLabels(int mx, int my) {
    const Analyzed2DRes *map = ui->ShowResAnalysis->isChecked() ? analyzer()->selectedMap()
                               : ui->ShowShiftMap->isChecked()  ? m_doc->shiftMap()
                                                                : nullptr;
    if (ui->ShowResAnalysis->isChecked() || ui->ShowShiftMap->isChecked()) {
        const double v = !map                   ? 0.0
                         : map->showProcessed() ? map->processedAt(mx, my)
                                                : map->valueAt(mx, my);
        ui->Value->setText(QString::number(v, 'g', 2));
    } else {
        const TiffData *image = currentImage();
        ui->Value->setText(QString::number(image ? image->value(mx, my) : 0.0, 'g', 4));
    }
    if (stack().dark())
        ui->DarkValue->setText(QString::number(stack().dark()->value(mx, my), 'g', 6));
}

void Body::draw(QPainter *p) {
    drawOverlay(p);
    ui->CBar->update();
}

void Body::drawOverlay(QPainter *p) {
    const ChCoord &cc = ui->dispA->cc();
    const auto toScreen = [&cc](const QRectF &r) {
        const QPointF a(cc.realToScreenX(r.left()), cc.realToScreenY(r.top()));
        const QPointF b(cc.realToScreenX(r.right()), cc.realToScreenY(r.bottom()));
        return QRectF(a, b).normalized();
    };
    // Half-sizes as typed may be anything up to the ends of the int range;
    // a box a million pixels across already covers any image shown.
    const MuTConditions c = muTConditions();
    const double hx = std::min(std::abs(double(c.hx)), 1e6);
    const double hy = std::min(std::abs(double(c.hy)), 1e6);
    p->save();
    p->setBrush(Qt::NoBrush);
    p->setPen(QPen(QColor(255, 0, 0), 2));
    const QPoint at = m_doc->currentPoint();
    p->drawRect(toScreen(QRectF(at.x() - hx, at.y() - hy, 2 * hx + 1, 2 * hy + 1)));
    p->setPen(QPen(QColor(192, 192, 0), 2));
    const double sx = cc.realToScreenX(at.x() + 0.5);
    const double sy = cc.realToScreenY(at.y() + 0.5);
    p->drawLine(QPointF(sx, 0), QPointF(sx, ui->dispA->height()));
    p->drawLine(QPointF(0, sy), QPointF(ui->dispA->width(), sy));
    if (ui->dispA->hasSelection()) {
        const QRectF a = ui->dispA->selectedArea();
        p->setPen(QPen(QColor(192, 192, 255), 2));
        p->drawRect(toScreen(a));
        ui->BoxSize->setText(QString::asprintf("(% 4d, % 4d)-(% 4d, % 4d)", int(a.x()), int(a.y()),
                                               int(a.x() + a.width()), int(a.y() + a.height())));
    }
    if (stack().darkArea(Series::I0).on) {
        p->setPen(QPen(QColor(192, 255, 192), 2));
        p->drawRect(toScreen(stack().darkArea(Series::I0).rect));
    }
    if (stack().darkArea(Series::I1).on) {
        p->setPen(QPen(QColor(255, 192, 192), 2));
        p->drawRect(toScreen(stack().darkArea(Series::I1).rect));
    }
    p->restore();
}

// Regenerates the shown picture through the colour bar's window. An image is
// drawn when it is shown, through the window of then, so "Set All" has only
// the shown one to redraw, as a move of the bar has.
void Body::showCurrentPicture() {
    if (ui->ShowShiftMap->isChecked()) {
        if (m_doc->shiftMapValid() && m_doc->shiftMap()->hasGrids())
            ui->dispA->setResultMode(true, mapPicture(*m_doc->shiftMap()));
    } else if (ui->ShowResAnalysis->isChecked()) {
        setupResAnalysisImage();
    } else if (const TiffData *image = currentImage()) {
        ui->dispA->setImage(image);
    }
    ui->dispA->update();
}

// ------------------------------------------------------------------ spectra

// A file that yields no spectrum leaves the one in use as it was, and its
// chooser shows that one again.
void Body::newTotalI0File(Series s, const QString &fname) {
    const QString why = m_doc->loadTotalI0(s, fname);
    if (why.isEmpty())
        return;
    UserMessages::refuse(why);
    totalI0Select(s)->revertTo(m_doc->totalI0File(s));
}

void Body::selectedBG(const QString &fname) {
    const QString why = m_doc->loadBackground(fname, suggestElm());
    if (why.isEmpty())
        return;
    UserMessages::refuse(why);
    m_bgSelect->revertTo(m_doc->backgroundFile());
}

void Body::clearedBG() {
    m_doc->clearBackground();
}

void Body::newEdgeSuggested(int) {
    newElmSuggested();
}

void Body::newElmSuggested() {
    ui->SuggestingEeV->setText(SuggestElm::suggestedEdgeEnergyText(
        ui->SuggestingElm->text(), ui->SuggestingEdge->currentIndex(), ui->SuggestingEeV->text()));
}

// The values of the map on display (else the analysis panel's selected map,
// else the energy-shift map) into the debug log.
void Body::showAnalyzedVals() {
    const Analyzed2DRes *map = shownMap();
    if (!map)
        map = analyzer()->selectedMap();
    if (!map)
        map = m_doc->shiftMap();
    DebugLog::write(QStringLiteral("vals of ") + map->name());
    for (int y = 0; y < map->height(); ++y)
        for (int x = 0; x < map->width(); ++x)
            DebugLog::write(QString::asprintf("%4d %4d %15.6f %15.6f", x, y, map->valueAt(x, y),
                                              map->processedAt(x, y)));
}

// ------------------------------------------------------------------ dark

// A dark file that cannot be read leaves the dark frame in use as it was.
// A dark given as an HDF5 file is read with the I1 panel's layout.
void Body::selectedDark(const QString &fname) {
    const QString why = m_doc->loadDark(fname, panel(Series::I1)->stackLayout());
    if (!why.isEmpty())
        UserMessages::refuse(why);
}

void Body::clearDark() {
    m_doc->clearDark();
}

void Body::setDarkArea(Series s) {
    m_doc->setDarkArea(s, m_doc->inputs().area());
}

void Body::clearDarkArea(Series s) {
    m_doc->clearDarkArea(s);
}

void Body::saveFlatDark() {
    const QDir here = QDir::current();
    reportIfNotWritten(
        MeasurementStack::writeFlatDark(here.path(), stack().width(), stack().height()),
        here.filePath(QStringLiteral("flat.dat")) + QStringLiteral(", dark.dat"));
}

// ------------------------------------------------------------------ pictures

// The picture as shown (format from the suffix, PNG without one) and the
// colour bar beside it under the tag "cBar".
void Body::saveImage(const QString &fname) {
    if (reportIfNotWritten(writePicture(ui->dispA->shownPicture(), fname), pictureFileName(fname)))
        writeProvenance(pictureFileName(fname));
    const QString bar = taggedFileName(fname, QStringLiteral("cBar"));
    reportIfNotWritten(writePicture(ui->CBar->picture(), bar), pictureFileName(bar));
}

void Body::saveImageWNum(const QString &fname, const QString &num) {
    saveImage(taggedFileName(fname, num));
}
