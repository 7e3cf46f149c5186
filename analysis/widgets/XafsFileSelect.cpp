#include "analysis/widgets/XafsFileSelect.h"

#include "app/AppSettings.h"

#include "ui_XafsFileSelect.h"

#include <QFileDialog>
#include <QFileInfo>

XafsFileSelect::XafsFileSelect(QWidget *parent)
    : QFrame(parent), ui(new Ui::XafsFileSelect), m_dialog(new QFileDialog(this)) {
    ui->setupUi(this);
    m_dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    m_dialog->setFileMode(QFileDialog::ExistingFile);
    m_dialog->setAcceptMode(QFileDialog::AcceptOpen);
    m_dialog->setDirectory(AppSettings::dataRoot());
    m_dialog->setNameFilters({tr("XAFS Data File (*.dat)"), tr("Any Files (* *.*)")});
    connect(ui->Select, &QPushButton::clicked, m_dialog, &QFileDialog::show);
    connect(m_dialog, &QFileDialog::fileSelected, this, &XafsFileSelect::fileSelected);
    connect(ui->Clear, &QPushButton::clicked, this, &XafsFileSelect::clear);
    connect(ui->Use, &QCheckBox::toggled, this, &XafsFileSelect::changedUse);
    ui->Selected->setMinimumWidth(
        ui->Selected->fontMetrics().horizontalAdvance(QStringLiteral("Fe_metal_rt_01.xdi__")));
}

XafsFileSelect::~XafsFileSelect() {
    delete ui;
}

bool XafsFileSelect::isUse() const {
    return ui->Use->isChecked();
}

void XafsFileSelect::setSelectText(const QString &text) {
    ui->Select->setText(text);
}

void XafsFileSelect::fileSelected(const QString &fname) {
    m_fileName = fname;
    m_loaded = true;
    showName(fname);
    emit newFile(fname);
}

// The file's own name, which is what tells references apart; the whole path
// as tool tip.
void XafsFileSelect::showName(const QString &fname) {
    ui->Selected->setText(QFileInfo(fname).fileName());
    ui->Selected->setToolTip(fname);
    ui->Selected->setCursorPosition(0);
}

void XafsFileSelect::revertTo(const QString &fname) {
    m_fileName = fname;
    m_loaded = !fname.isEmpty();
    showName(fname);
}

void XafsFileSelect::clear() {
    m_fileName.clear();
    m_loaded = false;
    ui->Selected->clear();
    emit cleared();
}

void XafsFileSelect::setUse(bool use) {
    ui->Use->setChecked(use);
}

void XafsFileSelect::showUse(bool show) {
    ui->Use->setVisible(show);
}

void XafsFileSelect::setMaxSelectBW(int w) {
    ui->Select->setMaximumWidth(w);
}

void XafsFileSelect::setMaxClearBW(int w) {
    ui->Clear->setMaximumWidth(w);
}
