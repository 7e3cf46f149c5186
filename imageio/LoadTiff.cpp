#include "imageio/LoadTiff.h"

#include "imageio/Hdf5Probe.h"
#include "imageio/Hdf5Stack.h"
#include "imageio/ImageMemory.h"
#include "imageio/TiffData.h"

#include "app/DebugLog.h"

#include <QMetaMethod>
#include <QMetaType>
#include <QThread>
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
    enqueue(Request{files,
                    ignoreLive,
                    qMax(1, skip),
                    qMax(0, cutFirst),
                    qMax(0, cutLast),
                    errPs,
                    loadCmdId,
                    nullptr,
                    0,
                    {},
                    {}});
}

void LoadTiff::loadStack(const QString &file, const QString &layoutFile, int part, int skip,
                         int cutFirst, int cutLast, const ErrPoints &errPs, int loadCmdId) {
    auto stack = std::make_shared<Hdf5Stack>();
    Hdf5Layout layout;
    QString why;
    DebugLog::ThreadCapture reasons;
    if (!layout.read(layoutFile, &why)) {
        DebugLog::write(file + ": " + why);
        emit fileSkipped(file, why);
    } else if (!(why = Hdf5Probe::check(file, layoutFile)).isEmpty()) {
        DebugLog::write(why);
        emit fileSkipped(file, why);
    } else if (!stack->open(file, layout)) { // a failure leaves no images
        emit fileSkipped(file, reasons.lines().join(QStringLiteral("; ")));
    }
    Request r{{},
              false,
              qMax(1, skip),
              qMax(0, cutFirst),
              qMax(0, cutLast),
              errPs,
              loadCmdId,
              stack,
              qBound(0, part, int(Hdf5Stack::Dark)),
              {},
              {}};
    // The stack is held whole until its last image is read: it must fit
    // beside what is loaded already, judged by its decoded size before
    // anything is decoded (a few megabytes of deflated zeros can claim
    // gigabytes of images).
    const qint64 bytes = r.imageBytes() * plannedFiles(r);
    const qint64 available = ImageMemory::availableBytes();
    if (stack->isOpen() && available > 0 && bytes > available) {
        const QString refusal =
            QString("%1: its %2 images decode to %3 MB, more than the %4 MB of memory available; "
                    "not loaded")
                .arg(file)
                .arg(plannedFiles(r))
                .arg(bytes >> 20)
                .arg(available >> 20);
        DebugLog::write(refusal);
        emit fileSkipped(file, refusal);
        stack->close();
    }
    enqueue(std::move(r));
}

qint64 LoadTiff::Request::count() const {
    return stack ? stack->count(Hdf5Stack::Part(part)) : files.size();
}

qint64 LoadTiff::Request::imageBytes() const {
    if (!stack)
        return TiffData::decodedBytes(files.at(cutFirst));
    const auto p = Hdf5Stack::Part(part);
    return qint64(stack->width()) * stack->height() *
           (stack->sampleType(p) == TiffData::UInt16 ? 2 : 4);
}

void LoadTiff::enqueue(Request r) {
    m_queue.push_back(std::move(r));
    if (m_busy.load())
        return;
    m_busy.store(true);
    startRequest();
    emit loadNext();
}

void LoadTiff::startRequest() {
    const Request &r = m_queue.front();
    m_index = r.cutFirst;
    m_done = 0;
    m_total = plannedFiles(r);
    if (m_total == 0)
        return;
    // Every image taken the size of the first one.
    const QString first = r.stack ? r.stack->fileName() : r.files.at(r.cutFirst);
    const QString text =
        ImageMemory::seriesWarning(r.imageBytes(), m_total, ImageMemory::availableBytes(), first);
    if (!text.isEmpty())
        emit loadWarning(text);
}

int LoadTiff::plannedFiles(const Request &r) {
    const qint64 count = r.count();
    if (r.cutFirst >= count)
        return 0;
    const qint64 span = count - qint64(r.cutLast) - r.cutFirst;
    const qint64 more = span > 0 ? (span + r.skip - 1) / r.skip - 1 : 0;
    return int(1 + std::max<qint64>(0, more));
}

void LoadTiff::treatQues() {
    if (m_queue.empty())
        return;
    Request &r = m_queue.front();
    const qint64 count = r.count();
    const bool inList = m_index < count;
    int fNo = inList ? int(m_index) : 0;
    QString why;
    TiffData *data = inList ? readFile(r, fNo, &why) : nullptr;
    if (inList && !data && !why.isEmpty())
        emit fileSkipped(r.stack ? r.stack->fileName() : r.files.at(fNo), why);
    if (inList)
        m_done = std::min(m_done + 1, m_total);
    const int done = m_done;
    const int total = m_total;
    m_index += r.skip;
    if (r.stack && inList) {
        // A stack comes whole or not at all: its images are held until the
        // last is read, and one that cannot be read refuses the stack, so
        // the series loaded before stays.
        if (data) {
            r.held.emplace_back(fNo, std::unique_ptr<TiffData>(data));
        } else {
            r.held.clear();
            m_index = count;
        }
        data = nullptr;
    }
    if (inList && m_index < count - r.cutLast) {
        handOut(data, fNo);
        emit progress(done, total);
        emit loadNext();
        return;
    }
    const int id = r.loadCmdId;
    auto held = std::move(r.held);
    m_queue.pop_front();
    if (!held.empty()) {
        for (size_t i = 0; i + 1 < held.size(); ++i)
            handOut(held[i].second.release(), int(held[i].first));
        data = held.back().second.release();
        fNo = int(held.back().first);
    }
    if (m_queue.empty()) {
        m_busy.store(false);
        handOut(data, fNo);
        emit progress(done, total);
        emit finishLoadFiles(id);
        return;
    }
    startRequest();
    handOut(data, fNo);
    emit progress(done, total);
    emit loadNext();
}

TiffData *LoadTiff::readStackImage(Request &r, int fNo, QString *why) {
    if (r.ready.empty() || r.ready.front().first != fNo) {
        r.ready.clear();
        const int threads = std::max(1, QThread::idealThreadCount());
        const qint64 end = r.count() - r.cutLast;
        std::vector<int> positions;
        for (qint64 k = fNo; int(positions.size()) < threads; k += r.skip) {
            positions.push_back(int(k));
            if (k + r.skip >= end || k + r.skip >= r.count())
                break;
        }
        // An image that cannot be read stays null; the reader logged why.
        auto images = r.stack->readImages(Hdf5Stack::Part(r.part), positions, {}, r.errPs, threads);
        for (size_t i = 0; i < positions.size(); ++i)
            r.ready.emplace_back(positions[i], std::move(images[i]));
    }
    TiffData *image = r.ready.front().second.release();
    r.ready.pop_front();
    if (!image)
        *why = r.stack->error() + QStringLiteral("; the stack is refused, nothing of it loaded");
    return image;
}

TiffData *LoadTiff::readFile(Request &r, int fNo, QString *why) {
    if (r.stack)
        return readStackImage(r, fNo, why);
    const QString &f = r.files.at(fNo);
    // Left out as asked: not a failure.
    if (r.ignoreLive && f.contains(QLatin1String("Live")))
        return nullptr;
    auto *data = new TiffData;
    if (data->load(f, r.errPs))
        return data;
    *why = data->error();
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
