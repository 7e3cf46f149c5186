// The main window's side of image registration (the image processor) and of
// the detector checks (the second analysis panel): handing images to the
// processor, storing the shifts it finds, the dark check in the background
// and the error-point mask switch.
#include "analysis/Analyzed2DRes.h"
#include "analysis/DarkCheck.h"
#include "analysis/ImageRegistration.h"
#include "analysis/RunBoard.h"
#include "analysis/widgets/Analyzer.h"
#include "analysis/widgets/Analyzer2.h"
#include "analysis/widgets/ImgProc.h"
#include "app/AppSettings.h"
#include "app/DebugLog.h"
#include "app/UserMessages.h"
#include "batch/ExCmdTable.h"
#include "display/widgets/ImgDispA.h"
#include "imageio/ErrPoints.h"
#include "imageio/TiffData.h"
#include "mainwindow/commands/ImageShiftCommands.h"
#include "mainwindow/widgets/Body.h"
#include "render/MapPicture.h"
#include "ui_Body.h"

#include <QDir>
#include <QFileInfo>
#include <functional>

// ------------------------------------------------------------------ setup

void Body::setupImgProc() {
    m_imgProc = new ImgProc(this);
    m_imgProc->setWindowFlag(Qt::Window);
    connect(ui->ShowImgProc, &QPushButton::clicked, m_imgProc, &ImgProc::show);
    connect(m_imgProc, &ImgProc::askGiveData, this, &Body::giveProcData);
    connect(m_imgProc, &ImgProc::imgShift, this, &Body::setImgShift);
    connect(m_imgProc, &ImgProc::askClearAllShifts, this, &Body::clearAllShifts);
    connect(ui->ShowProcImg, &QAbstractButton::toggled, this, &Body::showProcImg);
    connect(m_imgProc, &ImgProc::shiftFileChosen, this, &Body::loadShifts);
    connect(m_imgProc, &ImgProc::shiftFileToSaveChosen, this, &Body::saveShifts);
    connect(ui->DeGlitch, &QPushButton::clicked, this, &Body::deglitchShownMap);
    setupAlignment();
}

void Body::setupAnalyzer2() {
    m_analyzer2 = new Analyzer2(this);
    m_analyzer2->setWindowFlag(Qt::Window);
    DarkCheckRun *run = &m_doc->darkCheck();
    // It only reads the images, through the shifts taken at its start: map
    // runs may go on beside it. No batch line starts it.
    m_doc->runs().add({run, tr("a dark check is running"), false, false});
    ui->ShowAnalyzer2->setVisible(AppSettings::showAnalyzer2Button());
    connect(ui->ShowAnalyzer2, &QPushButton::clicked, m_analyzer2, &Analyzer2::show);
    connect(m_analyzer2, &Analyzer2::startCollectQInfo, this, &Body::startCollectQInfo);
    connect(this, &Body::doCollectQInfo, m_analyzer2, &Analyzer2::doCollectQInfo);
    connect(m_analyzer2, &Analyzer2::askedDarkCheck, this, &Body::darkCheck);
    connect(m_analyzer2, &Analyzer2::useErrPMaskToggled, this, &Body::useErrPMaskToggled);
    connect(run, &DarkCheckRun::progress, m_analyzer2, &Analyzer2::setDarkCheckProgress);
    connect(run, &DarkCheckRun::finished, this, [this, run](bool completed) {
        run->wait();
        const DarkCheckRun::Report &r = run->report();
        m_analyzer2->setDarkCheckRunning(false);
        QString status = !completed ? tr("Dark check stopped")
                                    : tr("%1 dark points in all images").arg(r.pointsLeft);
        if (!r.message.isEmpty()) {
            UserMessages::warn(r.message);
            status = r.message;
        }
        m_analyzer2->setDarkCheckStatus(status);
        m_doc->runs().ended(run);
    });

    // The process-wide error-point mask named by the configuration.
    const QString maskFile = AppSettings::params().valueAnyCase(QStringLiteral("ErrPoints"));
    const bool read = !maskFile.isEmpty() && ErrPoints::readProcessWide(maskFile);
    if (read) {
        ErrPoints::setProcessWideUse(true);
        m_analyzer2->setErrPMaskFileName(ErrPoints::processWide().fileName());
    }
    {
        const QSignalBlocker block(m_analyzer2);
        m_analyzer2->setUseErrPMaskChecked(read);
    }
    m_analyzer2->setUseErrPMaskEnabled(read);
}

// ------------------------------------------------------------------ registration

void Body::giveProcImage(const TiffData *image) {
    m_imgProc->newImage(image);
}

void Body::giveProcData() {
    const QVector<TiffData *> &images = stack().i1();
    if (images.isEmpty())
        return;
    int i = panelIndex(Series::I1);
    if (i < 0 || i >= images.size())
        i = shownSeries() == Series::I1 && currentImageIndex() >= 0 ? currentImageIndex() : 0;
    giveProcImage(images.at(i));
}

// The shift goes to the image the processor measured it on: the image shown
// from the I1 series (or the I0 series when that is shown).
void Body::setImgShift(int dx, int dy) {
    const TiffData *measured = m_imgProc->image();
    for (const Series s : {Series::I1, Series::I0}) {
        const int i = stack().images(s).indexOf(const_cast<TiffData *>(measured));
        if (i >= 0) {
            m_doc->setImageShift(s, i, dx, dy); // the views follow shiftsChanged
            return;
        }
    }
}

// Only the I1 series: the I0 images keep their shifts.
// ------------------------------------------------------------------ shift files

// The views follow the document's shiftsChanged.
bool Body::loadShifts(const QString &fname) {
    const UserMessage m = m_doc->loadShifts(fname);
    UserMessages::hub().post(m.level, m.text);
    return m.level != UserMessage::Level::Refusal;
}

bool Body::saveShifts(const QString &fname) {
    return ImageShiftCommands::save(*m_doc, fname, provenanceWriter());
}

std::function<void(const QString &)> Body::provenanceWriter() {
    return [this](const QString &file) { writeProvenance(file); };
}

void Body::clearAllShifts() {
    m_doc->clearShifts();
}

void Body::refreshShiftedImage(const TiffData *image) {
    if (!image)
        return;
    if (image == currentImage() && (ui->ShowData->isChecked() || ui->ShowI0->isChecked()))
        ui->dispA->setImage(image);
    ui->dispA->update();
}

// The shown map between its values and its processed values. Until the
// analysis panel hands over its current map, the window's map is the
// energy-shift map.
// The map on display, the energy-shift map or the analysis panel's selected
// map, switches between its values and its processed (deglitched) values.
void Body::showProcImg(bool f) {
    Analyzed2DRes *map = shownMap();
    if (!map || !map->hasGrids())
        return;
    map->selectProcImg(f);
    ui->dispA->setResultMode(true, mapPicture(*map));
    ui->dispA->update();
}

// The first deglitch filter on the map on display, with the factor and ratio
// of the fields; the processed values are shown.
void Body::deglitchShownMap() {
    Analyzed2DRes *map = shownMap();
    if (!map || !map->hasGrids()) {
        UserMessages::refuse(tr("DeGlitch: no result map on display"));
        return;
    }
    map->setDeglitchConds(ui->DeGlitchFactor->text().toDouble(),
                          ui->DeGlitchRatio->text().toDouble());
    map->deglitch();
    if (ui->ShowProcImg->isChecked())
        showProcImg(true);
    else
        ui->ShowProcImg->setChecked(true); // shows the processed values
}

Analyzed2DRes *Body::shownMap() const {
    if (ui->ShowShiftMap->isChecked())
        return m_doc->shiftMapValid() ? m_doc->shiftMap() : nullptr;
    if (ui->ShowResAnalysis->isChecked())
        return analyzer()->selectedMap();
    return nullptr;
}

// ------------------------------------------------------------------ detector checks

// What Q information is has not been settled; the request carries the grid of
// the whole image with the window's bin and ends in the panel's debug line.
void Body::startCollectQInfo() {
    const MuTConditions c = muTConditions();
    const int w = std::max(stack().width(), 0), h = std::max(stack().height(), 0);
    emit doCollectQInfo(AnalyzeCond(w, h, c.hx, c.hy, 0, 0, w, h));
}

void Body::darkCheck() {
    DarkCheckRun *run = &m_doc->darkCheck();
    if (stack().i1().isEmpty() || m_doc->runs().isActive(run))
        return;
    const DarkCheckParams p = m_analyzer2->darkCheckParams();
    const QString why = DarkCheck::validate(p);
    if (!why.isEmpty()) {
        UserMessages::refuse(why);
        m_analyzer2->setDarkCheckStatus(why);
        return;
    }
    // The shifts as they are now: the check reads a fixed stack.
    QVector<DarkCheckImage> images;
    for (const TiffData *image : stack().i1())
        images.append({image, image->shiftDX(), image->shiftDY()});
    m_analyzer2->setDarkCheckRunning(true);
    m_analyzer2->setDarkCheckStatus(tr("Dark check running"));
    if (run->start(images, p, ErrPoints::processWide(), QDir::currentPath()))
        m_doc->runs().started(run);
}

void Body::stopDarkCheck() {
    m_doc->darkCheck().stop();
    m_doc->darkCheck().wait();
}

void Body::useErrPMaskToggled(bool f) {
    ErrPoints::setProcessWideUse(f);
}
