#include "analysis/widgets/Analyzer2.h"

#include "app/DebugLog.h"
#include "ui_Analyzer2.h"

#include <cmath>

Analyzer2::Analyzer2(QWidget *parent) : QFrame(parent), ui(new Ui::Analyzer2) {
    ui->setupUi(this);
    connect(ui->CollectQInfo, &QPushButton::clicked, this, &Analyzer2::startCollectQInfo);
    connect(ui->DarkCheck, &QPushButton::clicked, this, &Analyzer2::askedDarkCheck);
    connect(ui->UseErrPMask, &QCheckBox::toggled, this, &Analyzer2::useErrPMask);
}

Analyzer2::~Analyzer2() {
    delete ui;
}

DarkCheckParams Analyzer2::darkCheckParams() const {
    DarkCheckParams p;
    bool ok = false;
    const double nan = std::nan("");
    p.threshold = ui->DarkTh->text().toDouble(&ok);
    if (!ok)
        p.threshold = nan;
    p.histMax = ui->HistgMax->text().toDouble(&ok);
    if (!ok)
        p.histMax = nan;
    // A bin count beyond the int range reads as too many, not as 0.
    const double bins = ui->HistgBins->text().toDouble(&ok);
    p.bins = !ok ? 0 : bins > DarkCheck::MaxBins ? DarkCheck::MaxBins + 1 : int(bins);
    return p;
}

void Analyzer2::setDarkCheckRunning(bool running) {
    ui->DarkCheck->setEnabled(!running);
    if (running)
        ui->DarkCheckProgress->setValue(0);
}

void Analyzer2::setDarkCheckProgress(double percent) {
    ui->DarkCheckProgress->setValue(int(percent));
}

void Analyzer2::setDarkCheckStatus(const QString &text) {
    ui->DarkCheckStatus->setText(text);
}

void Analyzer2::doCollectQInfo(AnalyzeCond) {
    DebugLog::write(QStringLiteral("do collect Q Info"));
}

void Analyzer2::setUseErrPMaskEnabled(bool f) {
    ui->UseErrPMask->setEnabled(f);
}

void Analyzer2::setUseErrPMaskChecked(bool f) {
    ui->UseErrPMask->setChecked(f);
}

void Analyzer2::useErrPMask() {
    emit useErrPMaskToggled(ui->UseErrPMask->isChecked());
}

void Analyzer2::setErrPMaskFileName(const QString &fname) {
    ui->ErrPMaskFileName->setText(fname);
}
