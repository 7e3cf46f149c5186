#include "analysis/widgets/MapProcCtrl.h"

#include "analysis/Analyzed2DRes.h"
#include "app/AppSettings.h"
#include "ui_MapProcCtrl.h"

#include <QButtonGroup>
#include <QFileDialog>

MapProcCtrl::MapProcCtrl(Analyzed2DRes *map1, Analyzed2DRes *map2, Analyzed2DRes *processed,
                         QWidget *parent)
    : QFrame(parent), ui(new Ui::MapProcCtrl), m_map1(map1), m_map2(map2), m_processed(processed) {
    ui->setupUi(this);
    auto *shown = new QButtonGroup(this);
    for (QAbstractButton *b : {ui->ShowMap1, ui->ShowMap2, ui->ShowProcessedMap})
        shown->addButton(b);
    auto *types = new QButtonGroup(this);
    for (QAbstractButton *b : {ui->ProcTypeSub, ui->ProcTypeMask, ui->ProcTypeDiv})
        types->addButton(b);
    connect(shown, QOverload<QAbstractButton *>::of(&QButtonGroup::buttonClicked), this,
            &MapProcCtrl::changedSelection);
    QFileDialog *d1 = openDialog();
    QFileDialog *d2 = openDialog();
    connect(ui->SelMap1, &QPushButton::clicked, d1, &QFileDialog::show);
    connect(ui->SelMap2, &QPushButton::clicked, d2, &QFileDialog::show);
    connect(d1, &QFileDialog::fileSelected, this, &MapProcCtrl::loadMap1);
    connect(d2, &QFileDialog::fileSelected, this, &MapProcCtrl::loadMap2);
    connect(ui->CaptureAsMap1, &QPushButton::clicked, this, &MapProcCtrl::captureAsMap1);
    connect(ui->CaptureAsMap2, &QPushButton::clicked, this, &MapProcCtrl::captureAsMap2);
    connect(ui->AskProcessMaps, &QPushButton::clicked, this, &MapProcCtrl::processMaps);
}

MapProcCtrl::~MapProcCtrl() {
    delete ui;
}

QFileDialog *MapProcCtrl::openDialog() {
    auto *d = new QFileDialog(this);
    d->setOption(QFileDialog::DontUseNativeDialog, true);
    d->setFileMode(QFileDialog::ExistingFile);
    d->setAcceptMode(QFileDialog::AcceptOpen);
    d->setDirectory(AppSettings::dataRoot());
    d->setNameFilters({tr("Energy Shift Map File (*.emp)"), tr("Any Files (* *.*)")});
    return d;
}

Analyzed2DRes *MapProcCtrl::selectedMap() const {
    if (ui->ShowMap1->isChecked())
        return m_map1;
    if (ui->ShowMap2->isChecked())
        return m_map2;
    return m_processed;
}

MapOperation MapProcCtrl::operation() const {
    if (ui->ProcTypeDiv->isChecked())
        return MapOperation::Div;
    if (ui->ProcTypeMask->isChecked())
        return MapOperation::Mask;
    return MapOperation::Sub;
}

void MapProcCtrl::capture(Analyzed2DRes *target, QLineEdit *name) {
    const Analyzed2DRes *source = m_source ? m_source() : nullptr;
    if (!source || source == target)
        return;
    *target = *source;
    name->setText(target->name());
}

void MapProcCtrl::captureAsMap1() {
    capture(m_map1, ui->Map1Name);
}

void MapProcCtrl::captureAsMap2() {
    capture(m_map2, ui->Map2Name);
}

// A loaded map keeps the panel's name for it; the field shows the file.
void MapProcCtrl::load(const QString &fname, Analyzed2DRes *target, QLineEdit *name) {
    EMPHeader header;
    emit loadMap(fname, *target, header);
    if (header.valid)
        name->setText(fname);
}

void MapProcCtrl::loadMap1(const QString &fname) {
    load(fname, m_map1, ui->Map1Name);
}

void MapProcCtrl::loadMap2(const QString &fname) {
    load(fname, m_map2, ui->Map2Name);
}

void MapProcCtrl::processMaps() {
    if (!m_map1->isFilled() || !m_map2->isFilled())
        return;
    AnalyzeCond grid = m_grid ? m_grid() : AnalyzeCond();
    if (grid.W <= 0) // no images: the grid of map 1
        grid = m_map1->grid();
    MapRun run;
    ::processMaps(run, *m_map1, *m_map2, operation(), grid, *m_processed);
    emit changedSelection();
}
