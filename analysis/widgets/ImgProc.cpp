#include "analysis/widgets/ImgProc.h"

#include "analysis/widgets/AlignPlotView.h"
#include "app/DebugLog.h"
#include "display/widgets/ColorBar.h"
#include "display/widgets/ImgDispA.h"
#include "imageio/TiffData.h"
#include "render/RegistrationPicture.h"
#include "ui_ImgProc.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>

namespace {

QString g6(double v) {
    return QString::number(v, 'g', 6);
}

} // namespace

ImgProc::ImgProc(QWidget *parent) : QFrame(parent), ui(new Ui::ImgProc) {
    ui->setupUi(this);
    setupShiftFiles();
    setupAlignSeries();
    explainControls();
    connect(ui->EdgeDetect, &QCheckBox::toggled, this, &ImgProc::toggledEdgeDetect);
    connect(ui->BinaryImage, &QCheckBox::toggled, this, &ImgProc::askGiveData);
    connect(ui->Compare, &QCheckBox::toggled, this, &ImgProc::askGiveData);
    connect(ui->BinThVSlider, &QSlider::valueChanged, this, &ImgProc::movedBinThVSlider);
    connect(ui->BinThV, &QLineEdit::editingFinished, this, &ImgProc::setBinThV);
    connect(ui->SetRef, &QPushButton::clicked, this, &ImgProc::setRefBin);
    for (QPushButton *b : {ui->ShiftU, ui->ShiftD, ui->ShiftL, ui->ShiftR})
        connect(b, &QPushButton::clicked, this, &ImgProc::shiftBinImg);
    connect(ui->ShiftX, &QLineEdit::editingFinished, this, &ImgProc::drawOnImage);
    connect(ui->ShiftY, &QLineEdit::editingFinished, this, &ImgProc::drawOnImage);
    connect(ui->AAutoShift, &QCheckBox::toggled, this, &ImgProc::drawOnImage);
    connect(ui->CBar, &ColorBar::cBarUpdating, this, &ImgProc::drawOnImage);
    connect(this, &ImgProc::updateImg, this, &ImgProc::drawOnImage);
    connect(ui->ShiftAuto, &QPushButton::clicked, this, &ImgProc::autoShiftBinImg);
    connect(ui->SetShift, &QPushButton::clicked, this, &ImgProc::setShift);
    connect(ui->ClearAllShifts, &QPushButton::clicked, this, &ImgProc::clearAllShifts);
}

ImgProc::~ImgProc() {
    delete ui;
}

int ImgProc::shiftX() const {
    return ui->ShiftX->text().toInt();
}

int ImgProc::shiftY() const {
    return ui->ShiftY->text().toInt();
}

void ImgProc::setTrialShift(int sx, int sy) {
    ui->ShiftX->setText(QString::number(sx));
    ui->ShiftY->setText(QString::number(sy));
}

double ImgProc::threshold() const {
    return ui->BinThV->text().toDouble();
}

// ------------------------------------------------------------------ images

// Shift X / Y show the new image's own shift (to the nearest pixel), so the
// comparison starts from where the image stands; with A. A. Shift on they
// keep the last image's shift, where the climb for this one starts.
void ImgProc::newImage(const TiffData *image) {
    m_image = image;
    if (image && !ui->AAutoShift->isChecked())
        setTrialShift(image->shiftX(), image->shiftY());
    if (ui->EdgeDetect->isChecked()) {
        edgeDetect();
        if (ui->BinaryImage->isChecked())
            binarize();
    }
    drawOnImage();
}

void ImgProc::imageShiftChanged() {
    if (!m_image || ui->AAutoShift->isChecked())
        return;
    if (shiftX() == m_image->shiftX() && shiftY() == m_image->shiftY())
        return;
    setTrialShift(m_image->shiftX(), m_image->shiftY());
    drawOnImage();
}

void ImgProc::toggledEdgeDetect(bool) {
    emit askGiveData();
}

void ImgProc::edgeDetect() {
    if (m_image) {
        Registration::edgeDetect(*m_image, m_edge);
        m_madeShiftX = m_image->shiftX();
        m_madeShiftY = m_image->shiftY();
    } else {
        m_edge = EdgeImage();
    }
    ui->MinEdgeV->setText(g6(m_edge.min));
    ui->MaxEdgeV->setText(g6(m_edge.max));
    // A binary image of the previous edges must not be compared as this one's.
    m_bin.clear();
    ++m_binGen;
    newBinThV();
}

void ImgProc::binarize() {
    if (m_edge.isEmpty())
        m_bin.clear();
    else
        Registration::binarize(m_edge, threshold(), m_bin);
    ++m_binGen;
}

// ------------------------------------------------------------------ threshold

void ImgProc::movedBinThVSlider(int value) {
    const double lo = ui->MinEdgeV->text().toDouble(), hi = ui->MaxEdgeV->text().toDouble();
    ui->BinThV->setText(g6(Registration::thresholdAt(lo, hi, value)));
    if (ui->BinaryImage->isChecked() && !m_edge.isEmpty()) {
        binarize();
        drawOnImage();
    }
}

void ImgProc::newBinThV() {
    const double lo = ui->MinEdgeV->text().toDouble(), hi = ui->MaxEdgeV->text().toDouble();
    ui->BinThV->setText(g6(Registration::thresholdAt(lo, hi, ui->BinThVSlider->value())));
}

void ImgProc::setBinThV() {
    const double lo = ui->MinEdgeV->text().toDouble(), hi = ui->MaxEdgeV->text().toDouble();
    {
        const QSignalBlocker block(ui->BinThVSlider);
        ui->BinThVSlider->setValue(Registration::sliderAt(lo, hi, threshold()));
    }
    binarize();
    drawOnImage();
}

void ImgProc::setRefBin() {
    if (m_bin.isEmpty())
        return;
    m_ref = m_bin;
    ++m_refGen;
    drawOnImage();
}

// ------------------------------------------------------------------ comparing

bool ImgProc::canCompare() const {
    const Registration::Comparable c = Registration::comparable(m_bin, m_ref);
    if (c == Registration::Comparable::Yes)
        return true;
    DebugLog::write(Registration::message(c));
    return false;
}

bool ImgProc::scoreIsCurrent() const {
    return m_scoreBinGen == m_binGen && m_scoreRefGen == m_refGen && m_scoreX == relX() &&
           m_scoreY == relY();
}

void ImgProc::noteScore(double s) {
    m_score = s;
    m_scoreBinGen = m_binGen;
    m_scoreRefGen = m_refGen;
    m_scoreX = relX();
    m_scoreY = relY();
}

// The comparison when there is one to draw; else the edge or binary image;
// else, with Edge Detect off, the image itself: the preview is never left
// blank while there is an image.
void ImgProc::drawOnImage() {
    if (ui->Compare->isChecked() && canCompare()) {
        if (ui->AAutoShift->isChecked())
            autoShiftBinImg0();
        noteScore(Registration::comparisonPicture(m_bin, m_ref, relX(), relY(), m_picture));
        ui->NormScolarP->setText(g6(m_score).left(6));
    } else if (!ui->EdgeDetect->isChecked()) {
        ui->DispA->setImage(m_image);
        return;
    } else {
        drawGrid();
    }
    ui->DispA->setPicture(m_picture);
    ui->DispA->update();
}

void ImgProc::drawGrid() {
    const bool binary = ui->BinaryImage->isChecked() && !m_bin.isEmpty();
    const double lo = binary ? m_bin.min : m_edge.min, hi = binary ? m_bin.max : m_edge.max;
    ui->CBar->setRange(lo, hi);
    if (binary)
        m_picture = RegistrationPicture::gridPicture(m_bin, ui->CBar->colorMap());
    else if (!m_edge.isEmpty())
        m_picture = RegistrationPicture::gridPicture(m_edge, ui->CBar->colorMap());
    else
        m_picture = QImage();
}

void ImgProc::shiftBinImg() {
    const QObject *b = sender();
    int sx = shiftX(), sy = shiftY();
    if (b == ui->ShiftU)
        --sy;
    else if (b == ui->ShiftD)
        ++sy;
    else if (b == ui->ShiftR)
        ++sx;
    else if (b == ui->ShiftL)
        --sx;
    setTrialShift(sx, sy);
    drawOnImage();
}

// The climb starts from the score of the current trial shift. A score stored
// for another image, reference or shift would be a wrong bar: higher, it
// would keep the climb from moving at all; so it is computed afresh then.
void ImgProc::autoShiftBinImg0() {
    if (!canCompare())
        return;
    const double start =
        scoreIsCurrent() ? m_score : Registration::score(m_bin, m_ref, relX(), relY());
    const ClimbResult r = Registration::hillClimb(m_bin, m_ref, relX(), relY(), start);
    setTrialShift(r.sx + m_madeShiftX, r.sy + m_madeShiftY);
    noteScore(r.score);
    if (ui->ASetShift->isChecked())
        setShift();
}

void ImgProc::autoShiftBinImg() {
    autoShiftBinImg0();
    drawOnImage();
}

void ImgProc::setShift() {
    emit imgShift(shiftX(), shiftY());
}

void ImgProc::clearAllShifts() {
    emit askClearAllShifts();
}

// What each control does, for a user who has not read the documentation.
void ImgProc::explainControls() {
    static const struct {
        const char *name;
        const char *tip;
    } tips[] = {
        {"EdgeDetect", QT_TR_NOOP("Shows the edges of the current I1 image (gradient magnitude) "
                                  "instead of the image")},
        {"BinaryImage", QT_TR_NOOP("Shows the edge image cut at the threshold Th.: 1 above, 0 "
                                   "below")},
        {"MaxEdgeV", QT_TR_NOOP("Edge value shown as white")},
        {"MinEdgeV", QT_TR_NOOP("Edge value shown as black")},
        {"BinThV", QT_TR_NOOP("Threshold of the binary image (also the slider)")},
        {"SetRef", QT_TR_NOOP("Takes the current binary image as the reference the others are "
                              "compared with")},
        {"Compare", QT_TR_NOOP("Shows the current binary image over the reference, shifted by "
                               "Shift X / Y")},
        {"ShiftX", QT_TR_NOOP("Shift of the current image in x, whole pixels (a shift with "
                              "decimals shows to the nearest pixel)")},
        {"ShiftY", QT_TR_NOOP("Shift of the current image in y, whole pixels (a shift with "
                              "decimals shows to the nearest pixel)")},
        {"ShiftU", QT_TR_NOOP("Moves the comparison up by one pixel")},
        {"ShiftD", QT_TR_NOOP("Moves the comparison down by one pixel")},
        {"ShiftL", QT_TR_NOOP("Moves the comparison left by one pixel")},
        {"ShiftR", QT_TR_NOOP("Moves the comparison right by one pixel")},
        {"NormScolarP", QT_TR_NOOP("Normalised scalar product (S.P.) of the binary image and "
                                   "the reference at the shift: 1 when they match")},
        {"ShiftAuto", QT_TR_NOOP("Finds the shift with the largest S.P. for the current image")},
        {"AAutoShift", QT_TR_NOOP("Always auto shift: finds the shift whenever the image "
                                  "changes")},
        {"ASetShift", QT_TR_NOOP("Always set shift: applies the shift found to the image")},
        {"SetShift", QT_TR_NOOP("Applies Shift X / Y to the current I1 image")},
        {"ClearAllShifts", QT_TR_NOOP("Every I1 image back to shift 0 0 (undoes the shifts)")},
        {"AlignReference", QT_TR_NOOP("The image every other is aligned with (index from 0); "
                                      "auto takes the image of most contrast. An image below "
                                      "the edge is a good reference")},
        {"AlignMethod", QT_TR_NOOP("Phase: phase correlation of the images. Phase on "
                                   "gradients: of their edges, for contrast that reverses "
                                   "across the edge. Chain: each image against its aligned "
                                   "neighbour, when even that fails")},
        {"AlignUpsample", QT_TR_NOOP("Precision of the shifts: 1/N pixel (1: whole pixels)")},
        {"AlignMaxShift", QT_TR_NOOP("The largest drift looked for, in pixels")},
        {"AlignApplyI0", QT_TR_NOOP("Also gives the shifts to the I0 images (the I0 series "
                                    "must have as many images as the I1 series)")},
        {"AlignProgress", QT_TR_NOOP("Images aligned so far")},
        {"AlignSeries", QT_TR_NOOP("Aligns every I1 image with the reference in the "
                                   "background and applies the shifts; Stop ends the run "
                                   "and changes no shift")},
        {"AlignPlot", QT_TR_NOOP("Shifts found: dx blue and dy red (pixels, left), the "
                                 "score grey (0 to 1, right); suspect images ringed in "
                                 "orange. A click shows that image")},
    };
    for (const auto &t : tips)
        if (QWidget *w = findChild<QWidget *>(QString::fromLatin1(t.name))) {
            w->setToolTip(tr(t.tip));
            // A spin box's text field is where the pointer rests.
            for (QLineEdit *field : w->findChildren<QLineEdit *>())
                field->setToolTip(tr(t.tip));
        }
}

// Shift files ("index dx dy score" per image, as lumenstack-tool align
// writes them) in and out of the window.
void ImgProc::setupShiftFiles() {
    auto *grid = qobject_cast<QGridLayout *>(ui->Controls);
    const int row = grid ? grid->rowCount() : 0;
    const auto button = [this](const char *name, const QString &text, const QString &tip) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(tip);
        return b;
    };
    QPushButton *load = button("LoadShifts", tr("Load Shifts"),
                               tr("Shifts of the I1 images from a shift file (as align writes "
                                  "it)"));
    QPushButton *save =
        button("SaveShifts", tr("Save Shifts"), tr("The shifts of the I1 images as a shift file"));
    if (grid) {
        grid->addWidget(load, row, 0, 1, 2);
        grid->addWidget(save, row, 2, 1, 2);
    }
    const auto dialog = [this](QFileDialog::AcceptMode mode) {
        auto *d = new QFileDialog(this);
        d->setOption(QFileDialog::DontUseNativeDialog, true);
        d->setAcceptMode(mode);
        d->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
        d->setNameFilters({tr("Shift Files (*.txt)"), tr("Any Files (* *.*)")});
        return d;
    };
    QFileDialog *open = dialog(QFileDialog::AcceptOpen);
    QFileDialog *saveAs = dialog(QFileDialog::AcceptSave);
    connect(load, &QPushButton::clicked, open, &QFileDialog::show);
    connect(save, &QPushButton::clicked, saveAs, &QFileDialog::show);
    connect(open, &QFileDialog::fileSelected, this, &ImgProc::shiftFileChosen);
    connect(saveAs, &QFileDialog::fileSelected, this, &ImgProc::shiftFileToSaveChosen);
}

// ------------------------------------------------------------------ Align Series

namespace {

QSpinBox *spinBox(QWidget *parent, const char *name, int lo, int hi, int value) {
    auto *b = new QSpinBox(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setRange(lo, hi);
    b->setValue(value);
    return b;
}

} // namespace

void ImgProc::setupAlignSeries() {
    auto *group = new QGroupBox(tr("Align Series"), this);
    group->setObjectName(QStringLiteral("AlignGroup"));
    auto *g = new QGridLayout(group);
    const SeriesAlignment::Request defaults;
    m_align.reference = spinBox(group, "AlignReference", -1, 999999, defaults.reference);
    m_align.reference->setSpecialValueText(tr("auto"));
    m_align.method = new QComboBox(group);
    m_align.method->setObjectName(QStringLiteral("AlignMethod"));
    m_align.method->addItems({tr("Phase"), tr("Phase on gradients"), tr("Chain")});
    m_align.upsample = spinBox(group, "AlignUpsample", 1, 100, defaults.upsample);
    m_align.maxShift = spinBox(group, "AlignMaxShift", 1, 100000, defaults.maxShift);
    m_align.alsoI0 = new QCheckBox(tr("Apply to I0 too"), group);
    m_align.alsoI0->setObjectName(QStringLiteral("AlignApplyI0"));
    m_align.progress = new QProgressBar(group);
    m_align.progress->setObjectName(QStringLiteral("AlignProgress"));
    m_align.progress->setRange(0, 100);
    m_align.progress->setValue(0);
    m_align.run = new QPushButton(tr("Align Series"), group);
    m_align.run->setObjectName(QStringLiteral("AlignSeries"));
    m_alignPlot = new AlignPlotView(group);
    m_alignPlot->setObjectName(QStringLiteral("AlignPlot"));
    g->addWidget(new QLabel(tr("Reference"), group), 0, 0);
    g->addWidget(m_align.reference, 0, 1);
    g->addWidget(new QLabel(tr("Method"), group), 0, 2);
    g->addWidget(m_align.method, 0, 3);
    g->addWidget(new QLabel(tr("Upsample"), group), 1, 0);
    g->addWidget(m_align.upsample, 1, 1);
    g->addWidget(new QLabel(tr("Max shift"), group), 1, 2);
    g->addWidget(m_align.maxShift, 1, 3);
    g->addWidget(m_align.alsoI0, 2, 0, 1, 2);
    g->addWidget(m_align.progress, 2, 2, 1, 2);
    g->addWidget(m_align.run, 3, 0, 1, 2);
    g->addWidget(ui->ClearAllShifts, 3, 2, 1, 2);
    g->addWidget(m_alignPlot, 4, 0, 1, 4);
    if (auto *controls = qobject_cast<QGridLayout *>(ui->Controls))
        controls->addWidget(group, controls->rowCount(), 0, 1, 4);
    connect(m_align.run, &QPushButton::clicked, this, &ImgProc::alignSeriesPressed);
    connect(m_alignPlot, &AlignPlotView::imageClicked, this, &ImgProc::alignedImageClicked);
}

SeriesAlignment::Request ImgProc::alignRequest() const {
    SeriesAlignment::Request r;
    r.method = SeriesAlignment::Method(m_align.method->currentIndex());
    r.upsample = m_align.upsample->value();
    r.reference = m_align.reference->value();
    r.maxShift = m_align.maxShift->value();
    r.alsoI0 = m_align.alsoI0->isChecked();
    return r;
}

void ImgProc::setAlignRequest(const SeriesAlignment::Request &r) {
    m_align.method->setCurrentIndex(int(r.method));
    m_align.upsample->setValue(r.upsample);
    // An index beyond the spin box's range is kept by the request itself:
    // the run says that the series has no such image.
    m_align.reference->setValue(std::min(r.reference, m_align.reference->maximum()));
}

void ImgProc::setAlignRunning(bool running) {
    m_align.run->setText(running ? tr("Stop") : tr("Align Series"));
    if (running)
        m_align.progress->setValue(0);
}

void ImgProc::setAlignProgress(double percent) {
    m_align.progress->setValue(int(percent));
}

void ImgProc::showAlignment(const AlignmentPlot &plot) {
    m_alignPlot->setPlot(plot);
}
