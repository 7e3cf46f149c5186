#include "display/widgets/SaveDataCfg.h"

#include "ui_SaveDataCfg.h"

#include <QCheckBox>
#include <QGridLayout>

namespace {

QString g6(double v) {
    return QString::number(v, 'g', 6);
}

} // namespace

SaveDataCfg::SaveDataCfg(QWidget *parent) : QFrame(parent), ui(new Ui::SaveDataCfg) {
    ui->setupUi(this);
    m_asFloat = new QCheckBox(tr("32-bit float values (NaN where not analysed)"), ui->TiffCfg);
    m_asFloat->setObjectName(QStringLiteral("TiffAsFloat"));
    m_asFloat->setToolTip(tr("The numbers of the map, as the command-line runs write them, "
                             "with the map's name, units, bin and origin in the file"));
    if (auto *grid = qobject_cast<QGridLayout *>(ui->TiffCfg->layout()))
        grid->addWidget(m_asFloat, grid->rowCount(), 0, 1, 4);
    connect(ui->SaveAsTiff, &QRadioButton::toggled, this, &SaveDataCfg::toggledSaveAs);
    toggledSaveAs(ui->SaveAsTiff->isChecked());
}

bool SaveDataCfg::tiffAsFloat() const {
    return m_asFloat->isChecked();
}

void SaveDataCfg::setSaveTiffAsFloat(bool f) {
    m_asFloat->setChecked(f);
}

SaveDataCfg::~SaveDataCfg() {
    delete ui;
}

bool SaveDataCfg::saveAsTiff() const {
    return ui->SaveAsTiff->isChecked();
}

bool SaveDataCfg::tiffFixedScale() const {
    return ui->TiffFixedScale->isChecked();
}

double SaveDataCfg::tiffScaleMin() const {
    return ui->TiffScaleMin->text().toDouble();
}

double SaveDataCfg::tiffScaleMax() const {
    return ui->TiffScaleMax->text().toDouble();
}

bool SaveDataCfg::tiffAsAnalyzed() const {
    return ui->TiffAsAnalyzed->isChecked();
}

bool SaveDataCfg::textCommaSeparated() const {
    return ui->DataCommaSeparated->isChecked();
}

bool SaveDataCfg::textXYVal() const {
    return ui->DataXYVal->isChecked();
}

void SaveDataCfg::toggledSaveAs(bool asTiff) {
    ui->TiffCfg->setEnabled(asTiff);
    ui->TextCfg->setEnabled(!asTiff);
}

void SaveDataCfg::setSaveAsTiff() {
    ui->SaveAsTiff->setChecked(true);
}

void SaveDataCfg::setSaveAsText() {
    ui->SaveAsTextData->setChecked(true);
}

void SaveDataCfg::setSaveTiffScaleFixed(bool f) {
    ui->TiffFixedScale->setChecked(f);
}

void SaveDataCfg::setSaveTiffScaleMin(double v) {
    ui->TiffScaleMin->setText(g6(v));
}

void SaveDataCfg::setSaveTiffScaleMax(double v) {
    ui->TiffScaleMax->setText(g6(v));
}

void SaveDataCfg::setSaveTiffAsAnalyzed(bool f) {
    ui->TiffAsAnalyzed->setChecked(f);
}

void SaveDataCfg::setSaveTextAsCSV() {
    ui->DataCommaSeparated->setChecked(true);
}

void SaveDataCfg::setSaveTextAsSSV() {
    ui->DataSpaceSeparated->setChecked(true);
}

void SaveDataCfg::setSaveTextAsXYVal() {
    ui->DataXYVal->setChecked(true);
}

void SaveDataCfg::setSaveTextAsValValVal() {
    ui->DataValValVal->setChecked(true);
}
