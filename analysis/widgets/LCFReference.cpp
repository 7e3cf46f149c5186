#include "analysis/widgets/LCFReference.h"

#include "display/widgets/FieldWidth.h"

#include "analysis/Analyzed2DRes.h"
#include "analysis/LcfReferenceFile.h"
#include "analysis/widgets/XafsFileSelect.h"
#include "app/UserMessages.h"

#include "ui_LCFReference.h"

#include <QComboBox>
#include <QFileInfo>
#include <QRegularExpression>

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

// "FILE@COL" names the column holding mu of a file with more than two, as
// the command line's --ref does; a file whose own name ends so is taken whole.
void splitColumn(const QString &name, QString *file, int *column) {
    static const QRegularExpression withColumn(QStringLiteral("^(.+)@([1-9][0-9]{0,2})$"));
    const QRegularExpressionMatch m = withColumn.match(name);
    if (m.hasMatch() && !QFileInfo::exists(name)) {
        *file = m.captured(1);
        *column = m.captured(2).toInt();
        return;
    }
    *file = name;
}

const char *const ProblemStyle = "color: rgb(176, 0, 0);";

} // namespace

LCFReference::LCFReference(int rowIndex, QWidget *parent)
    : QFrame(parent), ui(new Ui::LCFReference), m_row(rowIndex) {
    ui->setupUi(this);
    FieldWidth::fit(ui->R, QStringLiteral("100.00"));
    for (QLineEdit *f : {ui->T, ui->DMut})
        FieldWidth::fit(f, QStringLiteral("-0.0123456"));
    FieldWidth::fit(ui->MidE, QStringLiteral("30000.00"));
    FieldWidth::fit(ui->DeltaE, QStringLiteral("-10.50"));
    m_maps[AmountMap] = new Analyzed2DRes(QStringLiteral("LCF Ref 1"), this);
    m_maps[FractionMap] = new Analyzed2DRes(QStringLiteral("LCF Ref 2"), this);
    m_maps[SigmaMap] = new Analyzed2DRes(QStringLiteral("LCF Ref 3"), this);
    ui->XFS->setSelectText(tr("Select Ref%1").arg(rowIndex + 1));
    ui->XFS->setUse(rowIndex < 2);
    connect(ui->XFS, &XafsFileSelect::newFile, this, &LCFReference::newFile);
    connect(ui->XFS, &XafsFileSelect::cleared, this, &LCFReference::clearedFile);
    connect(ui->XFS, &XafsFileSelect::changedUse, this, &LCFReference::changedUse);
    connect(ui->XFS, &XafsFileSelect::changedUse, this, &LCFReference::inputChanged);
    connect(ui->IsVictreen, &QCheckBox::toggled, this, [this] {
        reload();
        emit newFileSelected();
    });
    connect(ui->DeltaE, &QLineEdit::editingFinished, this, &LCFReference::deltaEEdited);
    m_columnChoice = new QComboBox(this);
    m_columnChoice->setObjectName(QStringLiteral("MuColumn"));
    m_columnChoice->setToolTip(tr("The file has more than two columns: choose the one holding mu"));
    m_columnChoice->hide();
    ui->Layout->insertWidget(ui->Layout->indexOf(ui->XFS) + 1, m_columnChoice);
    connect(m_columnChoice, QOverload<int>::of(&QComboBox::activated), this,
            &LCFReference::columnChosen);
}

LCFReference::~LCFReference() {
    delete ui;
}

bool LCFReference::isInUse() const {
    return ui->XFS->isUse() && ui->XFS->isLoaded() && m_loaded && m_problem.isEmpty();
}

void LCFReference::setSuggestion(const SuggestElm &suggestion, double sampleFrom, double sampleTo) {
    const bool same =
        suggestion == m_suggestion && sampleFrom == m_sampleFrom && sampleTo == m_sampleTo;
    m_suggestion = suggestion;
    m_sampleFrom = sampleFrom;
    m_sampleTo = sampleTo;
    if (!same && m_loaded)
        reload();
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
// (the offset always in force), then normalised with the chosen background and
// the sample's suggestion. Changing dE, the background form or the suggestion
// reads it anew. A file that cannot be read leaves the reference in use as it
// was; one with more than two columns waits for the user to choose mu's.
void LCFReference::reload() {
    emit inputChanged(); // every change of file, dE or form reads the file anew
    const QString chosen = ui->XFS->fileName();
    if (!ui->XFS->isLoaded() || chosen.isEmpty()) {
        m_loaded = false;
        m_spectrum = XafsSpectrum();
        m_heldFile.clear();
        m_problem.clear();
        m_columnChoice->hide();
        showReadouts();
        return;
    }
    QString file;
    int column = chosen == m_heldFile ? m_column : 0;
    splitColumn(chosen, &file, &column);
    XafsSpectrum read;
    QString why;
    ReferenceFile::Result result;
    if (!loadLcfReference(source(file, column), m_suggestion, read, &why, &result)) {
        if (result.needsColumn) {
            offerColumns(chosen, result.labels, result.columns);
            return;
        }
        UserMessages::refuse(tr("Reference %1 not read from %2: %3%4")
                                 .arg(m_row + 1)
                                 .arg(QFileInfo(file).fileName(), why,
                                      m_loaded ? tr("; the reference in use stays") : QString()));
        const QSignalBlocker block(ui->XFS);
        ui->XFS->revertTo(m_loaded ? m_heldFile : QString());
        return;
    }
    m_columnChoice->setVisible(column > 0 && m_columnChoice->count() > 0);
    m_spectrum = read;
    m_spectrum.setName(tr("Ref %1: %2").arg(m_row + 1).arg(QFileInfo(file).fileName()));
    m_loaded = true;
    m_heldFile = chosen;
    m_column = column;
    const QString problem = lcfReferenceProblem(m_spectrum, m_suggestion);
    if (!problem.isEmpty() && problem != m_problem)
        UserMessages::warn(tr("Reference %1 (%2): %3; it is left out of the fit until this is "
                              "fixed")
                               .arg(m_row + 1)
                               .arg(QFileInfo(file).fileName(), problem));
    if (!why.isEmpty())
        UserMessages::info(
            tr("Reference %1 (%2): %3").arg(m_row + 1).arg(QFileInfo(file).fileName(), why));
    m_problem = problem;
    showReadouts();
}

LcfReferenceSource LCFReference::source(const QString &file, int column) const {
    return {file, m_dE, ui->IsVictreen->isChecked(), column, m_sampleFrom, m_sampleTo};
}

void LCFReference::showReadouts() {
    ui->DMut->setText(m_loaded ? g6(m_spectrum.dMut()) : QString());
    ui->MidE->setText(m_loaded ? g6(m_spectrum.midx()) : QString());
    for (QLineEdit *w : {ui->DMut, ui->MidE}) {
        w->setStyleSheet(m_problem.isEmpty() ? QString() : QString::fromLatin1(ProblemStyle));
        w->setToolTip(m_problem.isEmpty() ? w->text() : m_problem);
    }
}

// The row is out of use until a column is chosen; the choice reads the file.
void LCFReference::offerColumns(const QString &file, const QStringList &labels, int columns) {
    m_loaded = false;
    m_spectrum = XafsSpectrum();
    m_heldFile = file;
    m_column = 0;
    m_problem = tr("choose the column holding mu");
    showReadouts();
    m_columnChoice->clear();
    m_columnChoice->addItem(tr("mu column?"), 0);
    for (int c = 2; c <= columns; ++c) {
        const QString label = c - 1 < labels.size() ? labels.at(c - 1) : QString();
        m_columnChoice->addItem(
            label.isEmpty() ? tr("column %1").arg(c) : tr("column %1: %2").arg(c).arg(label), c);
    }
    m_columnChoice->show();
    UserMessages::warn(tr("Reference %1 (%2) has %3 columns: choose the one holding mu in the "
                          "row (in a batch: FILE@COLUMN)")
                           .arg(m_row + 1)
                           .arg(QFileInfo(file).fileName())
                           .arg(columns));
}

void LCFReference::columnChosen(int index) {
    const int column = m_columnChoice->itemData(index).toInt();
    if (column <= 0)
        return;
    QString file;
    int ignored = 0;
    splitColumn(ui->XFS->fileName(), &file, &ignored);
    XafsSpectrum read;
    QString why;
    if (!loadLcfReference(source(file, column), m_suggestion, read, &why)) {
        UserMessages::refuse(tr("Reference %1: column %2 of %3 gives no spectrum: %4")
                                 .arg(m_row + 1)
                                 .arg(column)
                                 .arg(QFileInfo(file).fileName(), why));
        return;
    }
    m_column = column;
    m_heldFile = ui->XFS->fileName();
    m_loaded = true;
    reload();
    emit newFileSelected();
}

ReferenceInput LCFReference::input() const {
    ReferenceInput in;
    in.file = ui->XFS->fileName();
    in.use = ui->XFS->isUse();
    in.dE = m_dE;
    in.victoreen = ui->IsVictreen->isChecked();
    return in;
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
    ui->R->setToolTip(ui->R->text());
    ui->T->setToolTip(ui->T->text());
}
