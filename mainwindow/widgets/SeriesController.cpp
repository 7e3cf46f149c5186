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

namespace {

// The skipped files of a load, at most a handful named in full.
QString skippedList(const QStringList &skipped) {
    constexpr int Named = 5;
    QString text = skipped.mid(0, Named).join(QStringLiteral("; "));
    if (skipped.size() > Named)
        text += QStringLiteral("; and %1 more (each is listed in Messages)")
                    .arg(skipped.size() - Named);
    return text;
}

} // namespace

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

bool SeriesController::reportLoadEnd(int kept) {
    Load &load = m_load;
    const QString name = seriesName(m_series);
    if (std::exchange(load.replacePending, false) ||
        (load.received == 0 && !load.skipped.isEmpty())) {
        const QString why =
            load.skipped.isEmpty() ? tr("no file could be read") : skippedList(load.skipped);
        if (kept > 0)
            UserMessages::refuse(tr("%1: no readable image in the files chosen; the %2 images "
                                    "loaded before are kept. %3")
                                     .arg(name)
                                     .arg(kept)
                                     .arg(why));
        else
            UserMessages::refuse(
                tr("%1: no readable image in the files chosen. %2").arg(name, why));
    } else if (!load.skipped.isEmpty()) {
        UserMessages::warn(tr("%1: %2 file(s) skipped: %3")
                               .arg(name)
                               .arg(load.skipped.size())
                               .arg(skippedList(load.skipped)));
    }
    for (const QString &line : load.skipped.mid(5))
        UserMessages::info(name + QStringLiteral(" skipped ") + line);
    const bool loadedImages = load.received > 0;
    load.skipped.clear();
    load.received = 0;
    return loadedImages;
}

void SeriesController::stopLoader() {
    if (!m_thread->isRunning())
        return;
    m_thread->quit();
    m_thread->wait();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}
