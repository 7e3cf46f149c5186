#pragma once
// Loader of image series. Lives in a thread of its own and is reached only
// through queued signals: each request (a file list with its options) is
// queued, and the files are read one per event, chained by queued self-signals
// so the call depth does not grow with the number of files. Every image read
// is handed out by pointer in `loaded`; the receiver owns it.
#include "imageio/ErrPoints.h"

#include <QObject>
#include <QStringList>
#include <atomic>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

class TiffData;
class Hdf5Stack;

class LoadTiff : public QObject {
    Q_OBJECT
public:
    // Load identifiers carried through to finishLoadFiles (the external
    // command ids of the two series).
    static constexpr int I1LoadId = 4;
    static constexpr int I0LoadId = 5;

    explicit LoadTiff(QObject *parent = nullptr);
    ~LoadTiff() override;

    // True from the arrival of a request until its queue has run empty. Safe
    // to read from any thread. It is cleared before the queue's last image is
    // handed out, so the receiver of that image already sees the loader idle.
    bool isBusy() const { return m_busy.load(); }

signals:
    void loadStart();
    void loadNext();
    void loaded(TiffData *data, int fNo);
    // The queue ran empty; id is the loadCmdId of the last request finished.
    void finishLoadFiles(int id);
    // After each file of the request being worked on (read or passed over):
    // done of its total files so far.
    void progress(int done, int total);
    // Sent before a request starts whose images will not fit in the memory
    // available; the load goes on.
    void loadWarning(const QString &text);
    // A file of the request (or an image of a stack, or a stack that cannot
    // be opened) could not be read; reason is what the reader said.
    void fileSkipped(const QString &file, const QString &reason);

public slots:
    // Queues a request. skip below 1 counts as 1, negative cuts as 0. The mask
    // is a copy taken when the request was sent, so later changes to the
    // series' mask do not reach a load already asked for.
    void loadTiffs(const QStringList &files, bool ignoreLive, int skip, int cutFirst, int cutLast,
                   const ErrPoints &errPs, int loadCmdId);
    // Queues the images of one part of an HDF5 stack (part: Hdf5Stack::Part,
    // Images for I1, Flats for I0) as a request whose positions are the
    // stack's images; skip and cuts work as for files. A stack that cannot be
    // opened, that the probe (Hdf5Probe) finds unfit, whose images will not
    // fit in the memory available, or of which one image cannot be read is
    // refused whole (fileSkipped says why): the request then hands out no
    // image, and the series loaded before stays.
    void loadStack(const QString &file, const QString &layoutFile, int part, int skip, int cutFirst,
                   int cutLast, const ErrPoints &errPs, int loadCmdId);
    // One step: reads one file of the first request.
    void treatQues();

private:
    struct Request {
        QStringList files;
        bool ignoreLive = false;
        int skip = 1;
        int cutFirst = 0;
        int cutLast = 0;
        ErrPoints errPs;
        int loadCmdId = 0;
        std::shared_ptr<Hdf5Stack> stack; // set: positions are the stack's images
        int part = 0;
        // Stack images read ahead, by position, until their turn.
        std::deque<std::pair<qint64, std::unique_ptr<TiffData>>> ready;
        // Stack images read, held until the stack is complete.
        std::vector<std::pair<qint64, std::unique_ptr<TiffData>>> held;
        qint64 count() const;
        qint64 imageBytes() const; // of one decoded image
    };
    void enqueue(Request r);

    // The image at position fNo of the request, or nullptr when it is passed
    // over or cannot be read.
    static TiffData *readFile(Request &r, int fNo, QString *why);
    // A stack's image at position fNo: decoding is the cost of a compressed
    // stack, so the positions the walk takes next are read together, one per
    // core, and handed out in turn.
    static TiffData *readStackImage(Request &r, int fNo, QString *why);
    // Positions of the list a request reads: the first one whenever it lies
    // in the list, then every skip-th before the cut at the end.
    static int plannedFiles(const Request &r);
    // The front request starts: position, progress, and a warning when its
    // images will not fit in the available memory.
    void startRequest();
    void handOut(TiffData *data, int fNo);

    std::deque<Request> m_queue;
    std::atomic<bool> m_busy{false};
    // Wider than the positions it walks: cutFirst and skip come from typed
    // fields and may be near INT_MAX, and their sum must neither overflow nor
    // wrap back into the list.
    qint64 m_index = 0;
    int m_done = 0;
    int m_total = 0;
};
