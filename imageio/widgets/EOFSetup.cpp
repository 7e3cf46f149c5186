#include "imageio/widgets/EOFSetup.h"

#include "app/AppSettings.h"
#include "ui_EngOfFilesSetup.h"

#include <QFileDialog>

namespace {

QString shortNumber(double v) {
    return QString::number(v, 'g', 6);
}

} // namespace

EOFSetup::EOFSetup(QWidget *parent)
    : QFrame(parent), m_ui(std::make_unique<Ui::EngOfFilesSetup>()) {
    m_ui->setupUi(this);
    m_ui->PatternList->addItems(EnergyOfFiles::presetPatterns());
    m_ui->PatternList->setCurrentIndex(0);
    m_ui->Pattern->setText(EnergyOfFiles::presetPatterns().first());

    m_refDialog = new QFileDialog(this);
    m_refDialog->setOption(QFileDialog::DontUseNativeDialog);
    m_refDialog->setFileMode(QFileDialog::ExistingFile);
    m_refDialog->setAcceptMode(QFileDialog::AcceptOpen);
    m_refDialog->setNameFilters({tr("XAFS Data File (*.dat)"), tr("Any Files (* *.*)")});
    m_refDialog->setDirectory(AppSettings::dataRoot());

    connect(m_ui->Start, &QLineEdit::editingFinished, this, &EOFSetup::newStart);
    connect(m_ui->Delta, &QLineEdit::editingFinished, this, &EOFSetup::newDelta);
    connect(m_ui->End, &QLineEdit::editingFinished, this, &EOFSetup::newEnd);
    connect(m_ui->NumOfPoints, &QLineEdit::editingFinished, this, &EOFSetup::newNumOfPoints);
    connect(m_ui->Pattern, &QLineEdit::editingFinished, this, &EOFSetup::newPattern);
    connect(m_ui->PatternList, &QComboBox::currentTextChanged, this, &EOFSetup::newPatternSelected);
    connect(m_ui->SelRefFile, &QPushButton::clicked, m_refDialog, &QFileDialog::show);
    connect(m_refDialog, &QFileDialog::fileSelected, this, &EOFSetup::refFileSelected);
}

EOFSetup::~EOFSetup() = default;

EofSettings EOFSetup::settings() const {
    EofSettings s;
    if (m_ui->FromFileName->isChecked())
        s.mode = EofSettings::Mode::FromFileName;
    else if (m_ui->FromRefFile->isChecked())
        s.mode = EofSettings::Mode::FromRefFile;
    else
        s.mode = EofSettings::Mode::FromFileNum;
    s.pattern = m_ui->Pattern->text();
    s.factor = m_ui->Factor->text().toDouble();
    s.unit = static_cast<EofSettings::Unit>(qBound(0, m_ui->DisplayUnit->currentIndex(), 2));
    s.evenInAngle = !m_ui->EvenInEnergy->isChecked();
    s.start = m_ui->Start->text().toDouble();
    s.delta = m_ui->Delta->text().toDouble();
    s.end = m_ui->End->text().toDouble();
    s.numOfPoints = m_ui->NumOfPoints->text().toInt();
    s.refEnergies = m_refEnergies;
    return s;
}

double EOFSetup::energyOfFile(const QString &path, int fileNo) const {
    return EnergyOfFiles::energyOfFile(settings(), path, fileNo);
}

void EOFSetup::setDataRoot(const QString &folder) {
    m_refDialog->setDirectory(folder);
}

void EOFSetup::setEngByName(bool on) {
    m_ui->FromFileName->setChecked(on);
}
void EOFSetup::setEngByCalc(bool on) {
    m_ui->FromFileNum->setChecked(on);
}
void EOFSetup::setEvenInEng(bool on) {
    m_ui->EvenInEnergy->setChecked(on);
}
void EOFSetup::setEvenInDeg(bool on) {
    m_ui->EvenInAngle->setChecked(on);
}

void EOFSetup::setEngCalcStart(double v) {
    m_ui->Start->setText(shortNumber(v));
    newStart();
}

void EOFSetup::setEngCalcDelta(double v) {
    m_ui->Delta->setText(shortNumber(v));
    newDelta();
}

void EOFSetup::setEngCalcEnd(double v) {
    m_ui->End->setText(shortNumber(v));
    newEnd();
}

void EOFSetup::setEngCalcNum(int n) {
    m_ui->NumOfPoints->setText(QString::number(n));
    newNumOfPoints();
}

void EOFSetup::setDispUnit(int index) {
    if (index >= 0 && index < m_ui->DisplayUnit->count())
        m_ui->DisplayUnit->setCurrentIndex(index);
}

void EOFSetup::setEngByNameRegExp(const QString &pattern) {
    m_ui->Pattern->setText(pattern);
}

void EOFSetup::setEngByNameFactor(double factor) {
    m_ui->Factor->setText(shortNumber(factor));
}

void EOFSetup::setEngByRef(const QString &fileName) {
    const bool given = !fileName.isEmpty();
    m_ui->FromRefFile->setChecked(given);
    m_ui->RefFilePath->setText(fileName);
    if (given)
        refFileSelected(fileName);
}

void EOFSetup::newStart() {
    recomputeEnd();
}
void EOFSetup::newDelta() {
    recomputeEnd();
}
void EOFSetup::newEnd() {
    recomputeDelta();
}
void EOFSetup::newNumOfPoints() {
    recomputeDelta();
}

void EOFSetup::recomputeEnd() {
    const EofSettings s = settings();
    m_ui->End->setText(shortNumber(EnergyOfFiles::endOf(s.start, s.delta, s.numOfPoints)));
}

void EOFSetup::recomputeDelta() {
    const EofSettings s = settings();
    double delta = 0;
    // With no steps there is no delta to derive: the field keeps its value.
    if (EnergyOfFiles::deltaOf(s.start, s.end, s.numOfPoints, &delta))
        m_ui->Delta->setText(shortNumber(delta));
}

void EOFSetup::newPattern() {
    const QString pattern = m_ui->Pattern->text();
    m_ui->Factor->setText(shortNumber(EnergyOfFiles::factorForPattern(pattern)));
    int index = m_ui->PatternList->findText(pattern);
    if (index < 0) {
        m_ui->PatternList->addItem(pattern);
        index = m_ui->PatternList->count() - 1;
    }
    m_ui->PatternList->setCurrentIndex(index);
}

void EOFSetup::newPatternSelected(const QString &pattern) {
    m_ui->Pattern->setText(pattern);
    newPattern();
}

void EOFSetup::refFileSelected(const QString &fileName) {
    // The previous energies and path stay when the file cannot be opened.
    if (!EnergyOfFiles::readRefFile(fileName, &m_refEnergies))
        return;
    m_ui->RefFilePath->setText(fileName);
}
