#include "imageio/widgets/EOFSetup.h"

#include "app/AppSettings.h"
#include "app/UserMessages.h"
#include "imageio/EnergyCheck.h"
#include "imageio/widgets/WidgetFields.h"
#include "ui_EngOfFilesSetup.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QSignalBlocker>
#include <QTimer>
#include <cmath>

namespace {

QString shortNumber(double v) {
    return QString::number(v, 'g', 6);
}

// Loads deliver their images one by one; while they arrive the preview is
// rebuilt at this interval rather than once per image.
constexpr int SeriesPreviewDelayMs = 100;
// Room for the note, count and range, step, five files and two gaps.
constexpr int PreviewLines = 10;
constexpr int PreviewMarginPx = 12;
// Three warnings and an offer fit without scrolling in a window of the usual width.
constexpr int WarningLines = 6;

} // namespace

EOFSetup::EOFSetup(QWidget *parent)
    : QFrame(parent), m_ui(std::make_unique<Ui::EngOfFilesSetup>()) {
    m_ui->setupUi(this);
    m_ui->SameAsI1->hide(); // shown by followSettingsOf
    m_ui->UseSuggestedFactor->hide();
    m_ui->UseSuggestedPattern->hide();
    m_ui->EnergyWarnings->hide();
    m_ui->EnergyPreview->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_ui->EnergyPreview->setMinimumHeight(
        m_ui->EnergyPreview->fontMetrics().lineSpacing() * PreviewLines + PreviewMarginPx);
    m_ui->EnergyWarnings->setFixedHeight(
        m_ui->EnergyWarnings->fontMetrics().lineSpacing() * WarningLines + PreviewMarginPx);
    m_ui->PatternList->addItems(EnergyOfFiles::presetPatterns());
    m_ui->PatternList->setCurrentIndex(0);
    m_ui->Pattern->setText(EnergyOfFiles::presetPatterns().first());
    m_patternFactor = EnergyOfFiles::factorForPattern(m_ui->Pattern->text());

    m_refDialog = new QFileDialog(this);
    m_refDialog->setOption(QFileDialog::DontUseNativeDialog);
    m_refDialog->setFileMode(QFileDialog::ExistingFile);
    m_refDialog->setAcceptMode(QFileDialog::AcceptOpen);
    m_refDialog->setNameFilters({tr("XAFS Data File (*.dat)"), tr("Any Files (* *.*)")});
    m_refDialog->setDirectory(AppSettings::dataRoot());
    m_seriesTimer = new QTimer(this);
    m_seriesTimer->setSingleShot(true);
    m_seriesTimer->setInterval(SeriesPreviewDelayMs);
    connect(m_seriesTimer, &QTimer::timeout, this, [this] {
        if (m_previewStale)
            updatePreview();
    });
    connectFields();
}

EOFSetup::~EOFSetup() = default;

void EOFSetup::connectFields() {
    connect(m_ui->Start, &QLineEdit::editingFinished, this, &EOFSetup::newStart);
    connect(m_ui->Delta, &QLineEdit::editingFinished, this, &EOFSetup::newDelta);
    connect(m_ui->End, &QLineEdit::editingFinished, this, &EOFSetup::newEnd);
    connect(m_ui->NumOfPoints, &QLineEdit::editingFinished, this, &EOFSetup::newNumOfPoints);
    connect(m_ui->Pattern, &QLineEdit::editingFinished, this, &EOFSetup::newPattern);
    connect(m_ui->PatternList, &QComboBox::currentTextChanged, this, &EOFSetup::newPatternSelected);
    connect(m_ui->SelRefFile, &QPushButton::clicked, m_refDialog, &QFileDialog::show);
    connect(m_refDialog, &QFileDialog::fileSelected, this, &EOFSetup::refFileSelected);
    connect(m_ui->UseSuggestedFactor, &QPushButton::clicked, this, &EOFSetup::useSuggestedFactor);
    connect(m_ui->UseSuggestedPattern, &QPushButton::clicked, this, &EOFSetup::useSuggestedPattern);

    // The preview follows every edit as it is typed.
    connect(m_ui->Pattern, &QLineEdit::textChanged, this, &EOFSetup::patternTextChanged);
    for (QLineEdit *e : {m_ui->Factor, m_ui->Start, m_ui->Delta, m_ui->End, m_ui->NumOfPoints})
        connect(e, &QLineEdit::textChanged, this, &EOFSetup::fieldsChanged);
    for (QAbstractButton *b : {m_ui->FromFileName, m_ui->FromFileNum, m_ui->FromRefFile,
                               m_ui->EvenInEnergy, m_ui->EvenInAngle})
        connect(b, &QAbstractButton::toggled, this, [this](bool on) {
            if (on) // the button switched off in the same group says nothing new
                fieldsChanged();
        });
    connect(m_ui->DisplayUnit, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &EOFSetup::fieldsChanged);
    connect(m_ui->SameAsI1, &QCheckBox::toggled, this, [this] {
        m_ui->OwnSetup->setEnabled(!followsLeader());
        fieldsChanged();
    });
}

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

EofSettings EOFSetup::effectiveSettings() const {
    return followsLeader() ? m_leader->settings() : settings();
}

double EOFSetup::energyOfFile(const QString &path, int fileNo) const {
    return EnergyOfFiles::energyOfFile(effectiveSettings(), path, fileNo);
}

void EOFSetup::setDataRoot(const QString &folder) {
    m_refDialog->setDirectory(folder);
}

// ------------------------------------------------------------ following I1

void EOFSetup::followSettingsOf(const EOFSetup *leader) {
    m_leader = leader;
    m_ui->SameAsI1->show();
    m_ui->OwnSetup->setEnabled(!followsLeader());
    connect(leader, &EOFSetup::settingsChanged, this, [this] {
        if (followsLeader())
            fieldsChanged();
    });
    fieldsChanged();
}

bool EOFSetup::followsLeader() const {
    return m_leader && m_ui->SameAsI1->isChecked();
}

void EOFSetup::setFollowsLeader(bool on) {
    m_ui->SameAsI1->setChecked(on);
}

void EOFSetup::leaveLeader() {
    if (m_leader)
        m_ui->SameAsI1->setChecked(false);
}

// ------------------------------------------------------------ batch setters

void EOFSetup::setEngByName(bool on) {
    leaveLeader();
    m_ui->FromFileName->setChecked(on);
}
void EOFSetup::setEngByCalc(bool on) {
    leaveLeader();
    m_ui->FromFileNum->setChecked(on);
}
void EOFSetup::setEvenInEng(bool on) {
    leaveLeader();
    m_ui->EvenInEnergy->setChecked(on);
}
void EOFSetup::setEvenInDeg(bool on) {
    leaveLeader();
    m_ui->EvenInAngle->setChecked(on);
}

void EOFSetup::setEngCalcStart(double v) {
    leaveLeader();
    m_ui->Start->setText(shortNumber(v));
    newStart();
}

void EOFSetup::setEngCalcDelta(double v) {
    leaveLeader();
    m_ui->Delta->setText(shortNumber(v));
    newDelta();
}

void EOFSetup::setEngCalcEnd(double v) {
    leaveLeader();
    m_ui->End->setText(shortNumber(v));
    newEnd();
}

void EOFSetup::setEngCalcNum(int n) {
    leaveLeader();
    m_ui->NumOfPoints->setText(QString::number(n));
    newNumOfPoints();
}

void EOFSetup::setDispUnit(int index) {
    leaveLeader();
    if (index >= 0 && index < m_ui->DisplayUnit->count())
        m_ui->DisplayUnit->setCurrentIndex(index);
}

// The pattern only: a batch that sets no factor keeps the one it had.
void EOFSetup::setEngByNameRegExp(const QString &pattern) {
    leaveLeader();
    m_ui->Pattern->setText(pattern);
}

void EOFSetup::setEngByNameFactor(double factor) {
    leaveLeader();
    m_ui->Factor->setText(shortNumber(factor));
}

void EOFSetup::setEngByRef(const QString &fileName) {
    leaveLeader();
    const bool given = !fileName.isEmpty();
    m_ui->FromRefFile->setChecked(given);
    m_ui->RefFilePath->setText(fileName);
    if (given)
        refFileSelected(fileName);
}

// ------------------------------------------------------------ field edits

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

// The factor used to follow a typed pattern only when its edit was finished
// (Return, or the focus leaving the field): a "...KeV" pattern typed and used
// before that read keV numbers as eV. Now typing a unit into the pattern, or
// out of it, brings the factor along at once. A pattern set by a batch
// command or restored at start-up (not typed) keeps the factor it was given.
void EOFSetup::patternTextChanged(const QString &text) {
    const double implied = EnergyOfFiles::factorForPattern(text);
    if (m_ui->Pattern->isModified() && implied != m_patternFactor)
        m_ui->Factor->setText(shortNumber(implied));
    m_patternFactor = implied;
    fieldsChanged();
}

void EOFSetup::selectPatternInList(const QString &pattern) {
    const QSignalBlocker quiet(m_ui->PatternList);
    int index = m_ui->PatternList->findText(pattern);
    if (index < 0) {
        m_ui->PatternList->addItem(pattern);
        index = m_ui->PatternList->count() - 1;
    }
    m_ui->PatternList->setCurrentIndex(index);
}

void EOFSetup::refFileSelected(const QString &fileName) {
    // The previous energies and path stay when the file cannot be opened.
    if (!EnergyOfFiles::readRefFile(fileName, &m_refEnergies))
        return;
    m_ui->RefFilePath->setText(fileName);
    fieldsChanged();
}

void EOFSetup::useSuggestedFactor() {
    m_ui->Factor->setText(shortNumber(EnergyCheck::KeVFactor));
}

void EOFSetup::useSuggestedPattern() {
    if (m_suggestedPattern.isEmpty())
        return;
    m_ui->FromFileName->setChecked(true);
    m_ui->Pattern->setText(m_suggestedPattern);
    newPattern();
}

// ------------------------------------------------------------ preview

void EOFSetup::appendSeriesFile(const SeriesFile &file) {
    m_series.append(file);
    m_previewStale = true;
    if (isVisible() && !m_seriesTimer->isActive())
        m_seriesTimer->start();
}

void EOFSetup::clearSeriesFiles() {
    m_series.clear();
    fieldsChanged();
}

QString EOFSetup::previewText() {
    if (m_previewStale)
        updatePreview();
    return m_ui->EnergyPreview->toPlainText();
}

QString EOFSetup::warningsText() {
    if (m_previewStale)
        updatePreview();
    return m_ui->EnergyWarnings->toPlainText();
}

void EOFSetup::fieldsChanged() {
    emit settingsChanged();
    m_previewStale = true;
    if (isVisible())
        updatePreview();
}

void EOFSetup::showEvent(QShowEvent *event) {
    QFrame::showEvent(event);
    if (m_previewStale)
        updatePreview();
}

void EOFSetup::updatePreview() {
    m_previewStale = false;
    const EofSettings s = effectiveSettings();
    const QVector<double> energies = previewEnergies(s);
    QStringList paths;
    for (const SeriesFile &f : m_series)
        paths << f.path;
    const EnergyCheck::Preview p = EnergyCheck::preview(paths, energies);
    QString text = EnergyCheck::previewText(p);
    if (followsLeader())
        text = tr("Energies from the I1 energy setup.") + '\n' + text;
    m_ui->EnergyPreview->setPlainText(text);

    QStringList notes;
    if (s.mode == EofSettings::Mode::FromFileName)
        notes << EnergyCheck::patternError(s.pattern);
    notes << p.warnings << loadedEnergyNote(energies) << offers(s, energies);
    notes.removeAll(QString());
    m_ui->EnergyWarnings->setPlainText(notes.join('\n'));
    m_ui->EnergyWarnings->setVisible(!notes.isEmpty());
}

QVector<double> EOFSetup::previewEnergies(const EofSettings &s) const {
    QStringList paths;
    QVector<int> fileNos;
    for (const SeriesFile &f : m_series) {
        paths << f.path;
        fileNos << std::max(0, f.fileNo);
    }
    QVector<double> energies = EnergyCheck::energiesOf(s, paths, fileNos);
    for (int i = 0; i < m_series.size(); ++i)
        if (m_series[i].fileNo < 0)
            energies[i] = m_series[i].loadedEv;
    return energies;
}

// The keV factor, or else a preset pattern when the series fails its
// checks. Not while the energies come from the I1 setup (that panel offers
// them), nor for images whose energies came with them.
QStringList EOFSetup::offers(const EofSettings &s, const QVector<double> &energies) {
    m_suggestedPattern.clear();
    bool keV = false;
    const bool namedFiles =
        !m_series.isEmpty() && std::all_of(m_series.begin(), m_series.end(),
                                           [](const SeriesFile &f) { return f.fileNo >= 0; });
    QStringList texts;
    if (namedFiles && !followsLeader()) {
        keV = EnergyCheck::offersKeVFactor(s, energies);
        if (keV)
            texts << EnergyCheck::keVFactorOffer(energies);
    }
    QStringList paths;
    QVector<int> fileNos;
    for (const SeriesFile &f : m_series) {
        paths << f.path;
        fileNos << f.fileNo;
    }
    if (namedFiles && !followsLeader() && !keV && s.mode == EofSettings::Mode::FromFileName &&
        !EnergyCheck::seriesWarnings(paths, energies).isEmpty()) {
        m_suggestedPattern = EnergyCheck::suggestedPattern(paths, fileNos);
        if (!m_suggestedPattern.isEmpty())
            texts << EnergyCheck::patternOffer(m_suggestedPattern, paths, fileNos);
    }
    m_ui->UseSuggestedFactor->setVisible(keV);
    m_ui->UseSuggestedPattern->setVisible(!m_suggestedPattern.isEmpty());
    m_ui->UseSuggestedPattern->setText(tr("Use the pattern %1").arg(m_suggestedPattern));
    return texts;
}

QStringList EOFSetup::loadedEnergyNote(const QVector<double> &energies) const {
    for (int i = 0; i < m_series.size(); ++i) {
        const double loaded = m_series[i].loadedEv;
        if (std::fabs(energies[i] - loaded) > 1e-9 * std::max(1.0, std::fabs(loaded)))
            return {tr("The loaded images still carry the energies of the setup they were loaded "
                       "with: load the series again to give them these.")};
    }
    return {};
}

// ------------------------------------------------------------ remembered

const QStringList &EOFSetup::rememberedFields() {
    static const QStringList names = {"SameAsI1",    "FromFileName", "FromFileNum", "FromRefFile",
                                      "DisplayUnit", "EvenInEnergy", "EvenInAngle", "Start",
                                      "Delta",       "End",          "NumOfPoints", "Pattern",
                                      "Factor",      "RefFilePath"};
    return names;
}

QMap<QString, QString> EOFSetup::rememberedValues() const {
    QMap<QString, QString> values = WidgetFields::capture(this, rememberedFields());
    if (!m_leader)
        values.remove(QStringLiteral("SameAsI1"));
    return values;
}

void EOFSetup::restoreRemembered(const QMap<QString, QString> &values) {
    QMap<QString, QString> own = values;
    if (!m_leader)
        own.remove(QStringLiteral("SameAsI1"));
    // Quietly: Start, Delta and End are put back as they were written, not
    // derived from each other again.
    WidgetFields::apply(this, rememberedFields(), own);
    selectPatternInList(m_ui->Pattern->text());
    const QString ref = m_ui->RefFilePath->text();
    if (ref.isEmpty())
        return;
    if (QFileInfo(ref).isFile()) {
        refFileSelected(ref);
    } else if (m_ui->FromRefFile->isChecked()) {
        UserMessages::warn(tr("%1: the reference file %2 is gone; the energies count from "
                              "8000 eV by file number until another is chosen.")
                               .arg(windowTitle(), ref));
    }
}
