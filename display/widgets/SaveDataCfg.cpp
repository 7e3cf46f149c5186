#include "display/widgets/SaveDataCfg.h"

#include "ui_SaveDataCfg.h"

namespace {

QString g6(double v) {
    return QString::number(v, 'g', 6);
}

} // namespace

SaveDataCfg::SaveDataCfg(QWidget *parent) : QFrame(parent), ui(new Ui::SaveDataCfg) {
    ui->setupUi(this);
    connect(ui->SaveAsTiff, &QRadioButton::toggled, this, &SaveDataCfg::toggledSaveAs);
    toggledSaveAs(ui->SaveAsTiff->isChecked());
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
