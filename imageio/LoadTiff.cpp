#include "imageio/LoadTiff.h"

#include "imageio/ImageMemory.h"
#include "imageio/TiffData.h"

#include <QMetaMethod>
#include <QMetaType>
#include <algorithm>

LoadTiff::LoadTiff(QObject *parent) : QObject(parent) {
    qRegisterMetaType<TiffData *>("TiffData*");
    qRegisterMetaType<ErrPoints>("ErrPoints");
    // Queued even though sender and receiver share the thread: each file is
    // its own event, and the stack stays flat however long the series.
    connect(this, &LoadTiff::loadStart, this, &LoadTiff::treatQues, Qt::QueuedConnection);
    connect(this, &LoadTiff::loadNext, this, &LoadTiff::treatQues, Qt::QueuedConnection);
}

LoadTiff::~LoadTiff() = default;

void LoadTiff::loadTiffs(const QStringList &files, bool ignoreLive, int skip, int cutFirst,
                         int cutLast, const ErrPoints &errPs, int loadCmdId) {
    // A request whose first position lies at or beyond its list (an empty
    // list included) is queued like any other and finishes without reading,
    // so whoever waits for it still gets finishLoadFiles.
    m_queue.push_back(Request{files, ignoreLive, qMax(1, skip), qMax(0, cutFirst), qMax(0, cutLast),
                              errPs, loadCmdId});
    if (m_busy.load())
        return;
    m_busy.store(true);
    startFront();
    emit loadNext();
}

void LoadTiff::startFront() {
    const Request &r = m_queue.front();
    m_index = r.cutFirst;
    const qint64 files = r.files.size();
    if (r.cutFirst >= files)
        return;
    // Positions cutFirst, cutFirst + skip, ... below files - cutLast; the
    // first is always read.
    const qint64 span = std::max<qint64>(files - r.cutLast - r.cutFirst, 1);
    const qint64 count = (span + r.skip - 1) / r.skip;
    const QString &first = r.files.at(r.cutFirst);
    const QString text = ImageMemory::seriesWarning(TiffData::decodedBytes(first), count,
                                                    ImageMemory::availableBytes(), first);
    if (!text.isEmpty())
        emit loadWarning(text);
}

void LoadTiff::treatQues() {
    if (m_queue.empty())
        return;
    const Request &r = m_queue.front();
    const qint64 count = r.files.size();
    const bool inList = m_index < count;
    const int fNo = inList ? int(m_index) : 0;
    TiffData *data = inList ? readFile(r, fNo) : nullptr;
    m_index += r.skip;
    if (inList && m_index < count - r.cutLast) {
        handOut(data, fNo);
        emit loadNext();
        return;
    }
    const int id = r.loadCmdId;
    m_queue.pop_front();
    if (m_queue.empty()) {
        m_busy.store(false);
        handOut(data, fNo);
        emit finishLoadFiles(id);
        return;
    }
    startFront();
    handOut(data, fNo);
    emit loadNext();
}

TiffData *LoadTiff::readFile(const Request &r, int fNo) {
    const QString &f = r.files.at(fNo);
    if (r.ignoreLive && f.contains(QLatin1String("Live")))
        return nullptr;
    auto *data = new TiffData;
    if (data->load(f, r.errPs))
        return data;
    // The reader has written why to the debug log.
    delete data;
    return nullptr;
}

void LoadTiff::handOut(TiffData *data, int fNo) {
    if (!data)
        return;
    // Nobody to take the image: do not leak it.
    if (!isSignalConnected(QMetaMethod::fromSignal(&LoadTiff::loaded))) {
        delete data;
        return;
    }
    emit loaded(data, fNo);
}
