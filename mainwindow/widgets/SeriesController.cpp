#include "mainwindow/widgets/SeriesController.h"

#include "app/UserMessages.h"
#include "batch/ExCmdTable.h"
#include "imageio/LoadTiff.h"
#include "imageio/widgets/SelectDataFiles.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <utility>

// The busy state is the loader's atomic flag, which it clears before handing
// out the last image of its queue, so the receiver of that image already
// sees it idle.
SeriesController::SeriesController(Series s, SelectDataFiles *panel, QObject *parent)
    : QObject(parent), m_series(s), m_panel(panel), m_thread(new QThread(this)),
      m_loader(new LoadTiff) {
    m_loader->moveToThread(m_thread);
    connect(this, &SeriesController::filesRequested, m_loader, &LoadTiff::loadTiffs);
    connect(this, &SeriesController::stackRequested, m_loader, &LoadTiff::loadStack);
    connect(m_loader, &LoadTiff::loaded, this,
            [this](TiffData *data, int fNo) { emit imageLoaded(m_series, data, fNo); });
    connect(m_loader, &LoadTiff::finishLoadFiles, this,
            [this](int id) { emit loadFinished(m_series, id); });
    connect(m_loader, &LoadTiff::loadWarning, this,
            [](const QString &text) { UserMessages::warn(text); });
    connect(m_loader, &LoadTiff::fileSkipped, this, &SeriesController::noteSkippedFile);
    connect(panel, &SelectDataFiles::filesSelected, this,
            [this](const QStringList &files, bool newSeries) {
                emit filesChosen(m_series, files, newSeries);
            });
    connect(panel, &SelectDataFiles::clear, this, [this] { emit clearRequested(m_series); });
    connect(panel, &SelectDataFiles::setDarkArea, this,
            [this] { emit darkAreaRequested(m_series); });
    connect(panel, &SelectDataFiles::clearDarkArea, this,
            [this] { emit darkAreaClearRequested(m_series); });
    m_thread->start();
}

SeriesController::~SeriesController() {
    stopLoader();
    delete m_loader;
}

bool SeriesController::isLoading() const {
    return m_loader->isBusy();
}

int SeriesController::loadCommandId() const {
    return m_series == Series::I1 ? LOAD_I1_FILES : LOAD_I0_FILES;
}

void SeriesController::requestFiles(const QStringList &files, int skip, int cutFirst, int cutLast) {
    emit filesRequested(files, m_panel->ignoreLive(), skip, cutFirst, cutLast, m_panel->errPoints(),
                        loadCommandId());
}

void SeriesController::requestStack(const QString &file, const QString &layout, int part, int skip,
                                    int cutFirst, int cutLast) {
    emit stackRequested(file, layout, part, skip, cutFirst, cutLast, m_panel->errPoints(),
                        loadCommandId());
}

bool SeriesController::beginLoad(bool newSeries, bool keptUntilFirstImage) {
    if (!m_loader->isBusy()) {
        m_load.received = 0;
        m_load.skipped.clear();
    }
    if (!newSeries)
        return false;
    m_load.replacePending = keptUntilFirstImage;
    return !keptUntilFirstImage;
}

bool SeriesController::takeImage() {
    ++m_load.received;
    return std::exchange(m_load.replacePending, false);
}

void SeriesController::noteSkippedFile(const QString &file, const QString &reason) {
    QString why = reason;
    // The readers often begin their reason with the file's path.
    if (why.startsWith(file))
        why = why.mid(file.size()).remove(QRegularExpression(QStringLiteral("^[:\\s]+")));
    m_load.skipped << QFileInfo(file).fileName() + QStringLiteral(": ") + why;
}

void SeriesController::stopLoader() {
    if (!m_thread->isRunning())
        return;
    m_thread->quit();
    m_thread->wait();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}
