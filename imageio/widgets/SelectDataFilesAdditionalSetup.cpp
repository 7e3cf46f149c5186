#include "imageio/widgets/SelectDataFilesAdditionalSetup.h"

#include "app/AppSettings.h"
#include "imageio/Hdf5Layout.h"
#include "ui_SelectDataFilesAdditionalSetup.h"

#include <QFileDialog>

SelectDataFilesAdditionalSetup::SelectDataFilesAdditionalSetup(QWidget *parent)
    : QFrame(parent), m_ui(std::make_unique<Ui::SelectDataFilesAdditionalSetup>()) {
    m_ui->setupUi(this);
    m_errPsDialog = new QFileDialog(this);
    m_errPsDialog->setOption(QFileDialog::DontUseNativeDialog);
    m_errPsDialog->setFileMode(QFileDialog::ExistingFile);
    m_errPsDialog->setAcceptMode(QFileDialog::AcceptOpen);
    m_errPsDialog->setDirectory(AppSettings::dataRoot());

    connect(m_ui->SetDA, &QPushButton::clicked, this, &SelectDataFilesAdditionalSetup::setDarkArea);
    connect(m_ui->ClearDA, &QPushButton::clicked, this,
            &SelectDataFilesAdditionalSetup::clearDarkArea);
    connect(m_ui->SelectErrPsDef, &QPushButton::clicked, m_errPsDialog, &QFileDialog::show);
    connect(m_errPsDialog, &QFileDialog::fileSelected, this,
            &SelectDataFilesAdditionalSetup::errPsDefSelected);
    connect(m_ui->UseErrPs, &QCheckBox::toggled, this,
            &SelectDataFilesAdditionalSetup::toggledUseErrPs);
    errPsDefSelected(AppSettings::params().valueAnyCase("ErrPoints"));

    for (const QString &shipped : Hdf5Layout::shippedFiles())
        m_ui->StackLayout->addItem(Hdf5Layout::shippedName(shipped), shipped);
    m_ui->StackLayout->setCurrentIndex(std::max(0, m_ui->StackLayout->findText("generic")));
    m_layoutDialog = new QFileDialog(this);
    m_layoutDialog->setOption(QFileDialog::DontUseNativeDialog);
    m_layoutDialog->setFileMode(QFileDialog::ExistingFile);
    m_layoutDialog->setNameFilters({tr("Stack Layouts (*.ini)"), tr("Any Files (* *.*)")});
    m_layoutDialog->setDirectory(AppSettings::dataRoot());
    connect(m_ui->SelectStackLayout, &QPushButton::clicked, m_layoutDialog, &QFileDialog::show);
    connect(m_layoutDialog, &QFileDialog::fileSelected, this,
            &SelectDataFilesAdditionalSetup::setStackLayout);
}

QString SelectDataFilesAdditionalSetup::stackLayout() const {
    return m_ui->StackLayout->currentData().toString();
}

void SelectDataFilesAdditionalSetup::setStackLayout(const QString &fileOrName) {
    int i = m_ui->StackLayout->findText(fileOrName);
    if (i < 0)
        i = m_ui->StackLayout->findData(fileOrName);
    if (i < 0) {
        m_ui->StackLayout->addItem(fileOrName, fileOrName);
        i = m_ui->StackLayout->count() - 1;
    }
    m_ui->StackLayout->setCurrentIndex(i);
}

SelectDataFilesAdditionalSetup::~SelectDataFilesAdditionalSetup() = default;

bool SelectDataFilesAdditionalSetup::showLatest() const {
    return m_ui->ShowLatest->isChecked();
}
void SelectDataFilesAdditionalSetup::setShowLatest(bool on) {
    m_ui->ShowLatest->setChecked(on);
}
bool SelectDataFilesAdditionalSetup::ignoreLive() const {
    return m_ui->IgnoreLiveFiles->isChecked();
}

void SelectDataFilesAdditionalSetup::setDataRoot(const QString &folder) {
    m_errPsDialog->setDirectory(folder);
}

void SelectDataFilesAdditionalSetup::errPsDefSelected(const QString &fileName) {
    // No file named (no "ErrPoints" in the configuration): the empty, unused
    // mask a failed read leaves, without a message about a file nobody named.
    if (fileName.isEmpty()) {
        m_errPoints = ErrPoints();
        m_ui->ErrPsFile->clear();
        return;
    }
    if (m_errPoints.read(fileName)) {
        m_ui->ErrPsFile->setText(fileName);
        m_errPoints.setUse(m_ui->UseErrPs->isChecked());
    } else {
        m_ui->ErrPsFile->clear();
    }
}

void SelectDataFilesAdditionalSetup::toggledUseErrPs(bool on) {
    m_errPoints.setUse(on);
}

void SelectDataFilesAdditionalSetup::darkArea(const QRectF &area) {
    m_ui->DarkArea->setText(QString("(%1,%2)-(%3,%4)")
                                .arg(int(area.x()))
                                .arg(int(area.y()))
                                .arg(int(area.x() + area.width()))
                                .arg(int(area.y() + area.height())));
}
