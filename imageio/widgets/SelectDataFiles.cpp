#include "imageio/widgets/SelectDataFiles.h"

#include "imageio/widgets/EOFSetup.h"
#include "imageio/widgets/SelectDataFilesAdditionalSetup.h"
#include "imageio/widgets/SelectImgDialog.h"
#include "ui_SelectDataFiles.h"

namespace {

const char *const OkStyle = "background-color: rgb(255, 255, 255);";
const char *const MixedStyle = "background-color: rgb(255, 192, 192);";

} // namespace

SelectDataFiles::SelectDataFiles(QWidget *parent)
    : QFrame(parent), m_ui(std::make_unique<Ui::SelectDataFiles>()) {
    m_ui->setupUi(this);
    // Both panels are separate windows owned by this panel.
    m_eofSetup = new EOFSetup(this);
    m_eofSetup->setWindowFlag(Qt::Window);
    m_additionalSetup = new SelectDataFilesAdditionalSetup(this);
    m_additionalSetup->setWindowFlag(Qt::Window);
    m_fileDialog = new SelectImgDialog(this);
    connectWidgets();
}

// The two series' setups are separate windows: each says whose it is.
void SelectDataFiles::nameEnergySetup(const QString &seriesTitle) {
    const QString setup = tr("Energy of Files Setup");
    m_eofSetup->setWindowTitle(seriesTitle.isEmpty() ? setup : seriesTitle + " - " + setup);
}

SelectDataFiles::~SelectDataFiles() = default;

void SelectDataFiles::connectWidgets() {
    connect(m_ui->Selected, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &SelectDataFiles::newImageSelected);
    connect(m_ui->Select, &QPushButton::clicked, m_fileDialog, &QFileDialog::show);
    connect(m_fileDialog, &QFileDialog::filesSelected, this, [this](const QStringList &files) {
        emit filesSelected(files, m_ui->LoadNewFiles->isChecked());
    });
    connect(m_ui->Clear, &QPushButton::clicked, this, &SelectDataFiles::clear);
    connect(this, &QWidget::windowTitleChanged, this, &SelectDataFiles::nameEnergySetup);
    connect(m_ui->EngOfFilesSetup, &QPushButton::clicked, this, [this] { showWindow(m_eofSetup); });
    connect(m_ui->AdditionalSetup, &QPushButton::clicked, this,
            [this] { showWindow(m_additionalSetup); });
    connect(m_additionalSetup, &SelectDataFilesAdditionalSetup::setDarkArea, this,
            &SelectDataFiles::setDarkArea);
    connect(m_additionalSetup, &SelectDataFilesAdditionalSetup::clearDarkArea, this,
            &SelectDataFiles::clearDarkArea);
}

void SelectDataFiles::showWindow(QWidget *w) {
    w->show();
    w->raise();
    w->activateWindow();
}

double SelectDataFiles::addFile(const QString &path, int fNo) {
    const double energy = m_eofSetup->energyOfFile(path, fNo);
    m_ui->Selected->addItem(path, energy);
    m_eofSetup->appendSeriesFile({path, fNo, energy});
    updateCount();
    return energy;
}

double SelectDataFiles::addFileWithEnergy(const QString &path, double energy) {
    m_ui->Selected->addItem(path, energy);
    m_eofSetup->appendSeriesFile({path, -1, energy});
    updateCount();
    return energy;
}

QString SelectDataFiles::stackLayout() const {
    return m_additionalSetup->stackLayout();
}

int SelectDataFiles::skip() const {
    return m_ui->Skip->text().toInt();
}
int SelectDataFiles::cutFirst() const {
    return m_ui->CutFirst->text().toInt();
}
int SelectDataFiles::cutLast() const {
    return m_ui->CutLast->text().toInt();
}
bool SelectDataFiles::loadNewFiles() const {
    return m_ui->LoadNewFiles->isChecked();
}
bool SelectDataFiles::ignoreLive() const {
    return m_additionalSetup->ignoreLive();
}
bool SelectDataFiles::showLatest() const {
    return m_additionalSetup->showLatest();
}
double SelectDataFiles::expTimeMS() const {
    return m_ui->ExpTime->text().toDouble();
}
ErrPoints SelectDataFiles::errPoints() const {
    return m_additionalSetup->errPoints();
}

void SelectDataFiles::setDataRoot(const QString &folder) {
    m_fileDialog->setDirectory(folder);
    m_eofSetup->setDataRoot(folder);
    m_additionalSetup->setDataRoot(folder);
}

void SelectDataFiles::newImageSelected(int i) {
    if (showLatest())
        emit currentIndexChanged(i);
}

void SelectDataFiles::clearFiles() {
    m_ui->Selected->clear();
    m_eofSetup->clearSeriesFiles();
    updateCount();
}

void SelectDataFiles::followEnergySetupOf(const SelectDataFiles *leader) {
    m_eofSetup->followSettingsOf(leader->eofSetup());
}

bool SelectDataFiles::energiesFromLeader() const {
    return m_eofSetup->followsLeader();
}

QMap<QString, QString> SelectDataFiles::rememberedValues() const {
    return m_eofSetup->rememberedValues();
}

void SelectDataFiles::restoreRemembered(const QMap<QString, QString> &values) {
    m_eofSetup->restoreRemembered(values);
}

void SelectDataFiles::updateCount() {
    m_ui->Count->setText(QString::number(m_ui->Selected->count()));
}

void SelectDataFiles::prev() {
    const int i = m_ui->Selected->currentIndex();
    if (i > 0)
        m_ui->Selected->setCurrentIndex(i - 1);
}

void SelectDataFiles::next() {
    const int i = m_ui->Selected->currentIndex();
    if (i < m_ui->Selected->count() - 1)
        m_ui->Selected->setCurrentIndex(i + 1);
}

void SelectDataFiles::select(int idx) {
    if (idx >= 0 && idx < m_ui->Selected->count())
        m_ui->Selected->setCurrentIndex(idx);
}

void SelectDataFiles::setSkip(int n) {
    m_ui->Skip->setText(QString::number(n));
}
void SelectDataFiles::setCutF(int n) {
    m_ui->CutFirst->setText(QString::number(n));
}
void SelectDataFiles::setCutL(int n) {
    m_ui->CutLast->setText(QString::number(n));
}
void SelectDataFiles::setShowLatest(bool on) {
    m_additionalSetup->setShowLatest(on);
}

void SelectDataFiles::setEngByName(bool on) {
    m_eofSetup->setEngByName(on);
}
void SelectDataFiles::setEngByNameRegExp(const QString &p) {
    m_eofSetup->setEngByNameRegExp(p);
}
void SelectDataFiles::setEngByNameFactor(double f) {
    m_eofSetup->setEngByNameFactor(f);
}
void SelectDataFiles::setEngByCalc(bool on) {
    m_eofSetup->setEngByCalc(on);
}
void SelectDataFiles::setEngCalcStart(double v) {
    m_eofSetup->setEngCalcStart(v);
}
void SelectDataFiles::setEngCalcDelta(double v) {
    m_eofSetup->setEngCalcDelta(v);
}
void SelectDataFiles::setEngCalcEnd(double v) {
    m_eofSetup->setEngCalcEnd(v);
}
void SelectDataFiles::setEngCalcNum(int n) {
    m_eofSetup->setEngCalcNum(n);
}
void SelectDataFiles::setEvenInEng(bool on) {
    m_eofSetup->setEvenInEng(on);
}
void SelectDataFiles::setEvenInDeg(bool on) {
    m_eofSetup->setEvenInDeg(on);
}
void SelectDataFiles::setDispUnit(int index) {
    m_eofSetup->setDispUnit(index);
}
void SelectDataFiles::setEngByRef(const QString &fileName) {
    m_eofSetup->setEngByRef(fileName);
}

void SelectDataFiles::setExpTimeMS(double ms, bool ok) {
    m_ui->ExpTime->setText(QString::number(ms, 'g', 6));
    m_ui->ExpTime->setStyleSheet(ok ? OkStyle : MixedStyle);
}

void SelectDataFiles::darkArea(const QRectF &area) {
    m_additionalSetup->darkArea(area);
}
