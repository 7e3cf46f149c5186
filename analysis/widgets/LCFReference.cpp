#include "analysis/widgets/LCFReference.h"

#include "analysis/Analyzed2DRes.h"
#include "analysis/LcfEngine.h"
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
    m_maps[SigmaMap] = new Analyzed2DRes(QStringLiteral("LCF Ref 3"), this);
    ui->XFS->setSelectText(tr("Select Ref%1").arg(rowIndex + 1));
    ui->XFS->setUse(rowIndex < 2);
    connect(ui->XFS, &XafsFileSelect::newFile, this, &LCFReference::newFile);
    connect(ui->XFS, &XafsFileSelect::cleared, this, &LCFReference::clearedFile);
    connect(ui->XFS, &XafsFileSelect::changedUse, this, &LCFReference::changedUse);
    connect(ui->IsVictreen, &QCheckBox::toggled, this, [this] {
        reload();
        emit newFileSelected();
    });
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
void LCFReference::newFile(const QString &) {
    reload();
    emit newFileSelected();
}

void LCFReference::clearedFile() {
    reload();
    emit newFileSelected();
}

// The reference is read as the command-line runs read it: dE as energy offset
// (the offset always in force), then normalised with the chosen background.
// Changing dE or the background form reads it anew.
void LCFReference::reload() {
    m_loaded = ui->XFS->isLoaded() &&
               loadLcfReference(ui->XFS->fileName(), m_dE, ui->IsVictreen->isChecked(), m_spectrum);
    if (!m_loaded) {
        m_spectrum = XafsSpectrum();
        ui->DMut->clear();
        ui->MidE->clear();
        return;
    }
    ui->DMut->setText(g6(m_spectrum.dMut()));
    ui->MidE->setText(g6(m_spectrum.midx()));
}

void LCFReference::deltaEEdited() {
    m_dE = ui->DeltaE->text().toDouble();
    reload();
    emit newDeltaE();
}

void LCFReference::setDeltaE(double dE) {
    m_dE = dE;
    ui->DeltaE->setText(g6(dE));
    reload();
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
}

void LCFReference::showResult(double coefficient, double amount) {
    m_coefficient = coefficient;
    ui->R->setText(QString::asprintf("%5.2f", coefficient * 100));
    ui->T->setText(g6(amount));
}
