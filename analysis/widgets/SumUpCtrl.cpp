#include "analysis/widgets/SumUpCtrl.h"

#include "ui_SumUpCtrl.h"

SumUpCtrl::SumUpCtrl(QWidget *parent) : QFrame(parent), ui(new Ui::SumUpCtrl) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("SumUpC"));
    connect(ui->AddSumUp, &QPushButton::clicked, this, &SumUpCtrl::add);
    connect(ui->DelSumUp, &QPushButton::clicked, this, &SumUpCtrl::del);
    connect(ui->AskSumUp, &QPushButton::clicked, this, &SumUpCtrl::askSumUp);
}

SumUpCtrl::~SumUpCtrl() {
    delete ui;
}

void SumUpCtrl::add() {
    const SumUpRange r{ui->SumUpFrom->text().toInt(), ui->SumUpTo->text().toInt(), 0};
    m_ranges.append(r);
    ui->SumUps->addItem(sumUpRangeText(r));
}

// The combo box moves to the previous item, or stays at the first.
void SumUpCtrl::del() {
    const int i = ui->SumUps->currentIndex();
    if (ui->SumUps->count() == 0 || i < 0 || i >= m_ranges.size())
        return;
    m_ranges.remove(i);
    ui->SumUps->removeItem(i);
    if (ui->SumUps->count() > 0)
        ui->SumUps->setCurrentIndex(std::max(i - 1, 0));
}
