#include "analysis/widgets/LCFReference.h"

#include "analysis/Analyzed2DRes.h"
#include "analysis/widgets/XafsFileSelect.h"

#include "ui_LCFReference.h"

namespace {

QString g6(double v) {
    return QString::number(v, 'g', 6);
}

// The batch's victoreen argument: empty, "VIC" in any case, or an integer
// above 0 selects the Victoreen background.
bool victoreenArgument(const QString &isVic) {
    if (isVic.isEmpty() || isVic.compare(QLatin1String("VIC"), Qt::CaseInsensitive) == 0)
        return true;
    bool ok = false;
    const int n = isVic.toInt(&ok);
    return ok && n > 0;
}

} // namespace

LCFReference::LCFReference(int rowIndex, QWidget *parent)
    : QFrame(parent), ui(new Ui::LCFReference), m_row(rowIndex) {
    ui->setupUi(this);
    m_maps[AmountMap] = new Analyzed2DRes(QStringLiteral("LCF Ref 1"), this);
    m_maps[FractionMap] = new Analyzed2DRes(QStringLiteral("LCF Ref 2"), this);
    ui->XFS->setSelectText(tr("Select Ref%1").arg(rowIndex + 1));
    ui->XFS->setUse(rowIndex < 2);
    applyDeltaE();
    connect(ui->XFS, &XafsFileSelect::newFile, this, &LCFReference::newFile);
    connect(ui->XFS, &XafsFileSelect::cleared, this, &LCFReference::clearedFile);
    connect(ui->XFS, &XafsFileSelect::changedUse, this, &LCFReference::changedUse);
    connect(ui->IsVictreen, &QCheckBox::toggled, this, &LCFReference::renormalize);
    connect(ui->DeltaE, &QLineEdit::editingFinished, this, &LCFReference::deltaEEdited);
}

LCFReference::~LCFReference() {
    delete ui;
}

bool LCFReference::isInUse() const {
    return ui->XFS->isUse() && ui->XFS->isLoaded() && m_loaded;
}

QRadioButton *LCFReference::showButton() const {
    return ui->Show;
}

XafsFileSelect *LCFReference::fileSelect() const {
    return ui->XFS;
}

bool LCFReference::isShowChecked() const {
    return ui->Show->isChecked();
}

// A file that cannot be read (or holds no point) leaves the row unloaded, so
// the fits never take an empty reference.
void LCFReference::newFile(const QString &fname) {
    XafsSpectrum read;
    m_loaded = read.readFile(fname) && read.count() > 0;
    if (m_loaded) {
        m_spectrum = read;
        renormalize();
    } else {
        m_spectrum = XafsSpectrum();
        applyDeltaE();
        ui->DMut->clear();
        ui->MidE->clear();
    }
    emit newFileSelected();
}

void LCFReference::clearedFile() {
    m_loaded = false;
    m_spectrum = XafsSpectrum();
    applyDeltaE();
    ui->DMut->clear();
    ui->MidE->clear();
    emit newFileSelected();
}

void LCFReference::renormalize() {
    if (!m_loaded)
        return;
    m_spectrum.normalize(ui->IsVictreen->isChecked() ? 0 : 1);
    applyDeltaE();
    showReferenceValues();
}

void LCFReference::showReferenceValues() {
    ui->DMut->setText(g6(m_spectrum.dMut()));
    ui->MidE->setText(g6(m_spectrum.midx()));
}

// dE shifts the reference on the energy axis: it is both the spectrum's
// shift value and its energy offset, and the offset is always in force.
void LCFReference::applyDeltaE() {
    m_spectrum.setShifted(true);
    m_spectrum.setShift(m_dE);
    m_spectrum.setEShiftValue(m_dE);
}

void LCFReference::deltaEEdited() {
    m_dE = ui->DeltaE->text().toDouble();
    applyDeltaE();
    emit newDeltaE();
}

void LCFReference::setDeltaE(double dE) {
    m_dE = dE;
    ui->DeltaE->setText(g6(dE));
    applyDeltaE();
}

void LCFReference::setStd(bool use, double dE, const QString &fname, const QString &isVic) {
    {
        // The file is read (and normalised) once, below, with the new form.
        const QSignalBlocker block(ui->IsVictreen);
        ui->IsVictreen->setChecked(victoreenArgument(isVic));
    }
    m_dE = dE;
    ui->DeltaE->setText(g6(dE));
    ui->XFS->fileSelected(fname);
    ui->XFS->setUse(use);
    m_spectrum.setVisible(use ? 1 : 0);
    applyDeltaE();
}

void LCFReference::showResult(double coefficient, double amount) {
    m_coefficient = coefficient;
    ui->R->setText(QString::asprintf("%5.2f", coefficient * 100));
    ui->T->setText(g6(amount));
}
