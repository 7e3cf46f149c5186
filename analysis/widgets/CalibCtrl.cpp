#include "analysis/widgets/CalibCtrl.h"

#include "analysis/EmpFile.h"
#include "analysis/LcfReferenceFile.h"
#include "analysis/widgets/XafsFileSelect.h"
#include "app/AppSettings.h"
#include "app/UserMessages.h"
#include "ui_CalibCtrl.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QFileInfo>

namespace {

QString g6(double v) {
    return QString::number(v, 'g', 6);
}

} // namespace

CalibCtrl::CalibCtrl(QWidget *parent) : QWidget(parent), ui(new Ui::CalibCtrl) {
    ui->setupUi(this);
    ui->SelectStd->setSelectText(tr("Select Std."));
    ui->SelectStd->showUse(false);
    for (int i = 0; i < crystalCount(); ++i)
        ui->SelCrystal->addItem(QString::fromLatin1(crystal(i).name), crystal(i).spacing);
    m_saveDialog = mapDialog(QFileDialog::AcceptSave);
    m_loadDialog = mapDialog(QFileDialog::AcceptOpen);
    m_loadDialog->setFileMode(QFileDialog::ExistingFile);
    connect(ui->SaveMap, &QPushButton::clicked, m_saveDialog, &QFileDialog::show);
    connect(ui->LoadMap, &QPushButton::clicked, m_loadDialog, &QFileDialog::show);
    connect(m_saveDialog, &QFileDialog::fileSelected, this, &CalibCtrl::saveEMap);
    connect(m_loadDialog, &QFileDialog::fileSelected, this, &CalibCtrl::loadEMap);
    connect(ui->SelectStd, &XafsFileSelect::newFile, this, &CalibCtrl::newFile);
    connect(ui->StdBGVictreen, &QRadioButton::toggled, this, &CalibCtrl::stdBGToggled);
    connect(ui->TargetBGVictreen, &QRadioButton::toggled, this, &CalibCtrl::targetBGChanged);
    connect(ui->ExecCalib, &QPushButton::clicked, this, &CalibCtrl::execCalibration);
    connect(ui->ClearMap, &QPushButton::clicked, this, &CalibCtrl::clearMap);
}

CalibCtrl::~CalibCtrl() {
    delete ui;
}

QFileDialog *CalibCtrl::mapDialog(QFileDialog::AcceptMode mode) {
    auto *d = new QFileDialog(this);
    d->setOption(QFileDialog::DontUseNativeDialog, true);
    d->setAcceptMode(mode);
    d->setDirectory(AppSettings::dataRoot());
    d->setNameFilters({tr("Energy Shift Map File (*.emp)"), tr("Any Files (* *.*)")});
    return d;
}

QString CalibCtrl::standardFileName() const {
    return ui->SelectStd->fileName();
}

CalibMethod CalibCtrl::method() const {
    return ui->CalibTypeInnerP->isChecked() ? CalibMethod::InnerP : CalibMethod::DMidx;
}

void CalibCtrl::setMethod(CalibMethod m) {
    (m == CalibMethod::InnerP ? ui->CalibTypeInnerP : ui->CalibTypeDMidX)->setChecked(true);
}

CalibSteps CalibCtrl::steps() const {
    CalibSteps s;
    s.step = ui->DEs->text().toDouble();
    s.minStep = ui->MinDEs->text().toDouble();
    s.range = ui->DEw->text().toDouble();
    return s;
}

bool CalibCtrl::targetVictoreen() const {
    return ui->TargetBGVictreen->isChecked();
}

double CalibCtrl::edgeEnergy() const {
    return ui->EdgeEeV->text().toDouble();
}

double CalibCtrl::spacing() const {
    return ui->SelCrystal->currentData().toDouble();
}

bool CalibCtrl::checkSize() const {
    return ui->CheckSize->isChecked();
}

int CalibCtrl::xOffset() const {
    return ui->XOffset->text().toInt();
}

int CalibCtrl::yOffset() const {
    return ui->YOffset->text().toInt();
}

void CalibCtrl::setGeometry(int width, int height, int x0, int y0) {
    ui->Width->setText(QString::number(width));
    ui->Height->setText(QString::number(height));
    ui->XOffset->setText(QString::number(x0));
    ui->YOffset->setText(QString::number(y0));
}

void CalibCtrl::setEMPFileName(const QString &name) {
    ui->EMPFileName->setText(name);
}

void CalibCtrl::showStats(const CalibStats &s) {
    const auto put = [&s](QLineEdit *e, double v) { e->setText(s.valid ? g6(v) : QString()); };
    put(ui->DEMax, s.max);
    put(ui->DEAvr, s.mean);
    put(ui->DEMin, s.min);
    put(ui->DESigma, s.sigma);
}

bool CalibCtrl::readStandard(const QString &fname, XafsSpectrum *out, QString *why) const {
    return loadLcfReference({fname, 0, ui->StdBGVictreen->isChecked(), 0, m_sampleFrom, m_sampleTo},
                            m_suggestion, *out, why);
}

// A file that cannot be read, or holds no point, leaves the standard in use
// as it was (none before the first), and says why.
void CalibCtrl::newFile(const QString &fname) {
    XafsSpectrum read;
    QString why;
    if (!readStandard(fname, &read, &why)) {
        UserMessages::refuse(tr("Calibration standard not read from %1: %2%3")
                                 .arg(QFileInfo(fname).fileName(), why,
                                      m_stdLoaded ? tr("; the standard in use stays") : QString()));
        const QSignalBlocker block(ui->SelectStd);
        ui->SelectStd->revertTo(m_stdLoaded ? m_stdFile : QString());
        return;
    }
    m_std = read;
    m_stdFile = fname;
    m_stdLoaded = true;
    ui->EdgeEeV->setText(g6(m_std.midx()));
    emit newStdFileLoaded();
}

void CalibCtrl::stdBGToggled(bool) {
    if (!m_stdLoaded)
        return;
    XafsSpectrum read;
    QString why;
    if (readStandard(m_stdFile, &read, &why))
        m_std = read;
    emit newStdFileLoaded();
}

void CalibCtrl::setSuggestion(const SuggestElm &suggestion, double sampleFrom, double sampleTo) {
    m_suggestion = suggestion;
    m_sampleFrom = sampleFrom;
    m_sampleTo = sampleTo;
    stdBGToggled(true);
}

void CalibCtrl::loadStd(const QString &fname) {
    ui->SelectStd->fileSelected(fname);
}

void CalibCtrl::setEdgeEV(const QString &text) {
    ui->EdgeEeV->setText(text);
}

void CalibCtrl::loadEShiftMap(const QString &fname) {
    emit loadEMap(fname);
}

void CalibCtrl::progress(double percent) {
    ui->Progress->setText(QStringLiteral("%1").arg(percent, 5, 'f', 1));
}
