#include "analysis/widgets/ElemCtrl.h"

#include "display/widgets/FieldWidth.h"

#include "analysis/Analyzed2DRes.h"

#include "ui_ElemCtrl.h"

namespace {

// The element fields' own form, shared with runs set up from plain values.
QString general(double v) {
    return elemFieldText(v);
}

} // namespace

ElemCtrl::ElemCtrl(QWidget *parent) : QFrame(parent), ui(new Ui::ElemCtrl) {
    ui->setupUi(this);
    for (QLineEdit *f : {ui->Eng, ui->ROIs, ui->ROIe})
        FieldWidth::fit(f, QStringLiteral("30000.00"));
    for (QLineEdit *f : {ui->DMuT, ui->Ratio, ui->StdRatio, ui->DE, ui->ROI, ui->NROI})
        FieldWidth::fit(f, QStringLiteral("-0.0123456"));
    for (int k = 0; k < ElemMapKinds; ++k)
        m_maps[size_t(k)] = new Analyzed2DRes(elemMapName(name(), k), this);
    connect(ui->StdRatio, &QLineEdit::editingFinished, this, &ElemCtrl::newStdRatio);
}

ElemCtrl::~ElemCtrl() {
    delete ui;
}

void ElemCtrl::setTarget(const ElemTarget &target) {
    ui->Name->setText(target.name);
    ui->No->setText(QString::number(target.Z));
    ui->Eng->setText(general(target.e0));
    m_Z = target.Z;
    for (int k = 0; k < ElemMapKinds; ++k)
        m_maps[size_t(k)]->setName(elemMapName(target.name, k));
}

QString ElemCtrl::name() const {
    return ui->Name->text();
}

ElemCondition ElemCtrl::condition() const {
    ElemCondition c;
    c.e0 = ui->Eng->text().toDouble();
    c.dE = ui->PrePostDE->text().toDouble();
    c.roiStart = ui->ROIs->text().toDouble();
    c.roiEnd = ui->ROIe->text().toDouble();
    c.th = ui->ThDMut->text().toDouble();
    c.noNeg = ui->NoNeg->isChecked();
    return c;
}

bool ElemCtrl::isUse() const {
    return ui->Use->isChecked();
}

QAbstractButton *ElemCtrl::mainTargetButton() const {
    return ui->MainTarget;
}

QAbstractButton *ElemCtrl::showButton() const {
    return ui->Show;
}

void ElemCtrl::showValues(const ElemValues &v) {
    m_dMut = v.dMut();
    m_ratio = v.ratio();
    m_muPlus = v.muPlus();
    m_muMinus = v.muMinus();
    ui->DMuT->setText(general(m_dMut));
    ui->Ratio->setText(general(m_ratio));
    ui->DE->setText(general(v.eShift()));
    ui->ROI->setText(elemShortText(v.roi()));
    ui->NROI->setText(elemShortText(v.nRoi()));
}

Analyzed2DRes *ElemCtrl::map(int kind) const {
    return kind >= 0 && kind < ElemMapKinds ? m_maps[size_t(kind)] : nullptr;
}

void ElemCtrl::setUse(bool use) {
    ui->Use->setChecked(use);
}

void ElemCtrl::setPrePostDE(double dE) {
    ui->PrePostDE->setText(general(dE));
}

void ElemCtrl::setROI(double start, double end) {
    ui->ROIs->setText(general(start));
    ui->ROIe->setText(general(end));
}

void ElemCtrl::setThDMut(double th) {
    ui->ThDMut->setText(general(th));
}

void ElemCtrl::setNoNeg(bool on) {
    ui->NoNeg->setChecked(on);
}

void ElemCtrl::setStdRatio(double r) {
    m_stdRatio = r;
    ui->StdRatio->setText(general(r));
}

void ElemCtrl::newStdRatio() {
    setStdRatio(ui->StdRatio->text().toDouble());
}
