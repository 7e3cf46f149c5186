// The menu bar and the keyboard: every action a button offers is also in a
// menu, and the common ones have keys (Left/Right step through the images,
// Page Up/Down by ten, +/- zoom, Ctrl+S saves data, F1 opens the quick start).
#include "mainwindow/widgets/Body.h"

#include "analysis/widgets/Analyzer.h"
#include "analysis/widgets/CalibCtrl.h"
#include "app/UserMessages.h"
#include "batch/widgets/BatchCtrl.h"
#include "display/widgets/FieldHistory.h"
#include "display/widgets/ImgDispA.h"
#include "display/widgets/SpectrumView.h"
#include "imageio/widgets/SelectDataFiles.h"
#include "imageio/widgets/SelectImgDialog.h"
#include "mainwindow/widgets/MessagesWindow.h"
#include "mainwindow/widgets/RecordWindow.h"
#include "mainwindow/widgets/SessionControl.h"
#include "ui_Body.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QUrl>

namespace {

// The documents beside the program in a build tree (build-x/../docs) or an
// installation (bin/../share/lumenstack/docs).
QString documentPath(const QString &name) {
    const QDir app(QCoreApplication::applicationDirPath());
    for (const QString &folder :
         {QStringLiteral("../docs"), QStringLiteral("../share/lumenstack/docs"),
          QStringLiteral("docs")}) {
        const QString path = app.filePath(folder + QLatin1Char('/') + name);
        if (QFileInfo::exists(path))
            return QFileInfo(path).canonicalFilePath();
    }
    return QString();
}

} // namespace

void Body::setupMenus() {
    QMenu *file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("Open I1 Series..."), ui->SelectI1Files->fileDialog(), &QFileDialog::show);
    file->addAction(tr("Open I0 Series..."), ui->SelectI0Files->fileDialog(), &QFileDialog::show);
    file->addSeparator();
    file->addAction(tr("Save Picture..."), m_saveImageDialog, &QFileDialog::show);
    file->addAction(tr("Save Data..."), this, &Body::showSaveDataDialog, QKeySequence::Save);
    file->addAction(tr("Save Map Picture..."), ui->SaveMapPicture, &QPushButton::click);
    file->addSeparator();
    m_session->addMenuActions(file);
    file->addSeparator();
    file->addAction(tr("Quit"), this, &QWidget::close, QKeySequence::Quit);

    // Undo/redo of the analysis fields (the bin, the normalisation windows,
    // the deglitch factors, every field and check box of the Analyzer) and
    // of the display range (the Analyzer's scale fields).
    m_fieldHistory = new FieldHistory(this);
    for (QLineEdit *f : {ui->HWidth, ui->VWidth, ui->DPreE, ui->DPostS, ui->ThJumpSigma,
                         ui->SuggestingEeV, ui->DeGlitchFactor, ui->DeGlitchRatio})
        m_fieldHistory->watch(f);
    m_fieldHistory->watchChildren(analyzer());
    QMenu *edit = menuBar()->addMenu(tr("&Edit"));
    edit->addAction(m_fieldHistory->undoAction());
    edit->addAction(m_fieldHistory->redoAction());

    QMenu *view = menuBar()->addMenu(tr("&View"));
    view->addAction(tr("Previous Image"), this, &Body::prev, Qt::Key_Left);
    view->addAction(tr("Next Image"), this, &Body::next, Qt::Key_Right);
    view->addAction(
        tr("Back 10 Images"), this, [this] { stepImages(-10); }, Qt::Key_PageUp);
    view->addAction(
        tr("Forward 10 Images"), this, [this] { stepImages(10); }, Qt::Key_PageDown);
    view->addSeparator();
    view->addAction(
        tr("Zoom In"), this, [this] { ui->dispA->zoomBy(1 / 1.25); }, Qt::Key_Plus);
    view->addAction(
        tr("Zoom Out"), this, [this] { ui->dispA->zoomBy(1.25); }, Qt::Key_Minus);
    view->addAction(tr("Whole Image"), ui->dispA, &ImgDispA::resetImageViewWindow);
    view->addSeparator();
    view->addAction(tr("Spectrum View"), m_xafsView, &SpectrumView::show);
    view->addAction(tr("Messages"), ui->ShowMessages, &QPushButton::click);

    QMenu *analysis = menuBar()->addMenu(tr("&Analysis"));
    analysis->addAction(tr("Analyzer"), analyzer(), &Analyzer::show);
    analysis->addAction(tr("Calibration"), ui->OpenCalibCtrl, &QPushButton::click);
    analysis->addAction(tr("Batch"), batchCtrl(), &BatchCtrl::show);
    analysis->addAction(
        tr("Record"), this,
        [this] {
            m_record->show();
            m_record->raise();
        },
        QKeySequence(Qt::CTRL | Qt::Key_R));

    QMenu *help = menuBar()->addMenu(tr("&Help"));
    help->addAction(
        tr("Quick Start"), this, [] { openDocument(QStringLiteral("quick-start.md")); },
        QKeySequence::HelpContents);
    help->addAction(tr("Batch Reference"), this,
                    [] { openDocument(QStringLiteral("batch-reference.md")); });
    help->addAction(tr("About Lumenstack"), this, [this] {
        QMessageBox::about(this, tr("About Lumenstack"),
                           tr("Lumenstack: X-ray absorption imaging over energy scans."));
    });
}

void Body::openDocument(const QString &name) {
    const QString path = documentPath(name);
    if (path.isEmpty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        UserMessages::warn(tr("%1 was not found beside the program; it is in the docs folder of "
                              "the source")
                               .arg(name));
}

void Body::stepImages(int count) {
    const int last = std::max(0, int(stack().images(shownSeries()).size()) - 1);
    const int from = std::max(0, currentImageIndex());
    seekImage(std::clamp(from + count, 0, last));
    panel(shownSeries())->select(currentImageIndex());
}
