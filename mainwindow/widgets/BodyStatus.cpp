// The main window's read-outs: the status bar with the loading progress of
// each series and the values under the mouse, and the label beside the image
// slider with the number, energy and file of the image on display.
#include "mainwindow/widgets/Body.h"

#include "analysis/Analyzed2DRes.h"
#include "analysis/MapExport.h"
#include "analysis/widgets/Analyzer.h"
#include "analysis/widgets/ComponentsCtrl.h"
#include "imageio/LoadTiff.h"
#include "imageio/TiffData.h"
#include "mainwindow/StatusTexts.h"
#include "ui_Body.h"

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

void Body::setupStatus() {
    m_cursorStatus = new QLabel(this);
    m_cursorStatus->setObjectName(QStringLiteral("CursorStatus"));
    m_loadStatus = new QLabel(this);
    m_loadStatus->setObjectName(QStringLiteral("LoadStatus"));
    m_loadBar = new QProgressBar(this);
    m_loadBar->setObjectName(QStringLiteral("LoadProgress"));
    m_loadBar->setMaximumWidth(160);
    m_loadBar->setTextVisible(false);
    m_loadBar->hide();
    statusBar()->addWidget(m_cursorStatus, 1);
    statusBar()->addPermanentWidget(m_loadStatus);
    statusBar()->addPermanentWidget(m_loadBar);
    for (Series s : {Series::I1, Series::I0})
        connect(loader(s), &LoadTiff::progress, this,
                [this, s](int done, int total) { showLoadProgress(s, done, total); });
    updateImageReadout();
}

void Body::showLoadProgress(Series s, int done, int total) {
    if (m_closing)
        return;
    m_loadStatus->setText(StatusTexts::loadProgress(seriesName(s), done, total));
    m_loadBar->setRange(0, std::max(1, total));
    m_loadBar->setValue(done);
    m_loadBar->show();
}

void Body::showLoadFinished(Series s) {
    m_loadStatus->setText(StatusTexts::loadFinished(seriesName(s), stack().images(s).size()));
    m_loadBar->hide();
}

void Body::updateImageReadout() {
    const QVector<TiffData *> &images = stack().images(shownSeries());
    const int i = currentImageIndex();
    const TiffData *image = i >= 0 ? images.at(i) : nullptr;
    ui->ImgInfo->setText(StatusTexts::imageReadout(i, images.size(), image ? image->energy() : 0,
                                                   image ? image->fileName() : QString()));
}

void Body::updateCursorReadout(int mx, int my) {
    if (ui->ShowResAnalysis->isChecked() || ui->ShowShiftMap->isChecked()) {
        const Analyzed2DRes *map =
            ui->ShowShiftMap->isChecked() ? m_doc->shiftMap() : analyzer()->selectedMap();
        if (!map) {
            m_cursorStatus->clear();
            return;
        }
        const double v = map->showProcessed() ? map->processedAt(mx, my) : map->valueAt(mx, my);
        const QString title =
            ui->ShowShiftMap->isChecked() ? plainMapTitle(map->name()) : analyzer()->mapTitle(map);
        m_cursorStatus->setText(StatusTexts::mapCursorReadout(mx, my, v, title) +
                                clusterReadout(mx, my));
        return;
    }
    const TiffData *image = currentImage();
    if (!image) {
        m_cursorStatus->clear();
        return;
    }
    m_cursorStatus->setText(
        StatusTexts::imageCursorReadout(mx, my, image->value(mx, my), image->energy()) +
        clusterReadout(mx, my));
}

// After a cluster run, every read-out names the cluster of the bin under
// the cursor, whatever the display shows.
QString Body::clusterReadout(int mx, int my) const {
    const int cluster = analyzer()->componentsCtrl()->clusterAt(mx, my);
    if (cluster < -1)
        return QString();
    return QStringLiteral("; ") + StatusTexts::clusterReadout(cluster);
}
