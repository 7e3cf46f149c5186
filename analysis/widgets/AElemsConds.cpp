#include "analysis/widgets/AElemsConds.h"

#include "display/widgets/FieldWidth.h"

#include "ui_AElemsConds.h"

namespace {

// The element fields' own form, shared with runs set up from plain values.
QString general(double v) {
    return elemFieldText(v);
}

} // namespace

AElemsConds::AElemsConds(QWidget *parent) : QFrame(parent), ui(new Ui::AElemsConds) {
    ui->setupUi(this);
    for (QLineEdit *f : {ui->BGVDMut, ui->BGVDMutR, ui->BGVDE, ui->BGVROI, ui->BGVNROI})
        FieldWidth::fit(f, QStringLiteral("-0.0123456"));
}

AElemsConds::~AElemsConds() {
    delete ui;
}

ElemBackground AElemsConds::background() const {
    ElemBackground bg;
    bg.dMut = ui->BGVDMut->text().toDouble();
    bg.dMutRatio = ui->BGVDMutR->text().toDouble();
    bg.dE = ui->BGVDE->text().toDouble();
    bg.roi = ui->BGVROI->text().toDouble();
    bg.nRoi = ui->BGVNROI->text().toDouble();
    return bg;
}

void AElemsConds::setBGVDMut(double v) {
    ui->BGVDMut->setText(general(v));
}

void AElemsConds::setBGVDMutR(double v) {
    ui->BGVDMutR->setText(general(v));
}

void AElemsConds::setBGVDE(double v) {
    ui->BGVDE->setText(general(v));
}

void AElemsConds::setBGVROI(double v) {
    ui->BGVROI->setText(general(v));
}

void AElemsConds::setBGVNROI(double v) {
    ui->BGVNROI->setText(general(v));
}
