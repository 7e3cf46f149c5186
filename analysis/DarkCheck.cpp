#include "analysis/DarkCheck.h"

#include "app/DebugLog.h"
#include "app/OutputFile.h"
#include "imageio/TiffData.h"

#include <QDir>
#include <QSet>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <vector>

namespace DarkCheck {

QString validate(const DarkCheckParams &p) {
    if (p.bins <= 0)
        return QStringLiteral("Dark check: the number of histogram bins must be at least 1");
    if (p.bins > MaxBins)
        return QStringLiteral("Dark check: at most %1 histogram bins").arg(MaxBins);
    if (!(p.histMax > 0) || !std::isfinite(p.histMax))
        return QStringLiteral("Dark check: the histogram maximum must be a number above 0");
    if (std::isnan(p.threshold))
        return QStringLiteral("Dark check: the threshold is not a number");
    return QString();
}

int counterOf(double v, double max, int bins) {
    const double f = v / max * bins;
    if (!(f > 0)) // negative, zero or NaN
        return 0;
    return f >= bins ? bins : int(f);
}

namespace {

// Adds one image to the histogram and, for the first image, collects the
// points above the threshold. 16-bit samples go through a table of counters.
class Pass {
public:
    Pass(const DarkCheckParams &p, DarkCheckResult &out) : m_p(p), m_out(out) {
        m_lut.resize(65536);
        for (int v = 0; v < 65536; ++v)
            m_lut[size_t(v)] = counterOf(v, p.histMax, p.bins);
        if (p.bins < 65536) // 16-bit samples reach at most 65536 counters
            m_partial.assign(4 * size_t(p.bins + 1), 0);
    }

    void histogram(const DarkCheckImage &im, bool collectPoints) {
        const TiffData &image = *im.image;
        const int w = std::max(image.width(), 0), h = std::max(image.height(), 0);
        m_row.resize(size_t(w));
        qint64 *counters = m_out.histogram.data();
        const bool sixteen =
            image.sampleType() == TiffData::TiffUInt16 || image.sampleType() == TiffData::UInt16;
        // Rows read straight from the samples only under a whole-pixel
        // vertical shift (and no horizontal one, below).
        const bool wholeRows = im.sy == std::floor(im.sy) && std::abs(im.sy) <= TiffData::MaxShift;
        for (int y = 0; y < h; ++y) {
            const qint64 storedY = qint64(y) - qint64(im.sy);
            const quint16 *row16 = nullptr;
            if (sixteen && wholeRows && storedY >= 0 && storedY < h)
                row16 = static_cast<const quint16 *>(image.rowData(int(storedY)));
            if (row16 && im.sx == 0) { // the common case: straight from the samples
                count16(row16, w, counters);
                if (collectPoints)
                    collect16(row16, w, y);
                continue;
            }
            image.shiftedRow(y, im.sx, im.sy, m_row.data());
            for (int x = 0; x < w; ++x)
                ++counters[counterOf(m_row[size_t(x)], m_p.histMax, m_p.bins)];
            if (collectPoints)
                collect(m_row.data(), w, y);
        }
    }

    // Folds the partial counters into the histogram.
    void finish() {
        qint64 *counters = m_out.histogram.data();
        const size_t n = size_t(m_out.histogram.size());
        for (size_t k = 0; k < m_partial.size(); ++k)
            counters[k % n] += m_partial[k];
        std::fill(m_partial.begin(), m_partial.end(), 0);
    }

private:
    // Neighbouring pixels mostly fall into one counter; four interleaved
    // sets of counters keep the increments from waiting on each other.
    void count16(const quint16 *row, int w, qint64 *counters) {
        if (m_partial.empty()) {
            for (int x = 0; x < w; ++x)
                ++counters[m_lut[row[x]]];
            return;
        }
        const size_t n = size_t(m_out.histogram.size());
        qint64 *p0 = m_partial.data(), *p1 = p0 + n, *p2 = p1 + n, *p3 = p2 + n;
        int x = 0;
        for (; x + 4 <= w; x += 4) {
            ++p0[m_lut[row[x]]];
            ++p1[m_lut[row[x + 1]]];
            ++p2[m_lut[row[x + 2]]];
            ++p3[m_lut[row[x + 3]]];
        }
        for (; x < w; ++x)
            ++p0[m_lut[row[x]]];
    }
    void collect16(const quint16 *row, int w, int y) {
        for (int x = 0; x < w; ++x)
            if (row[x] > m_p.threshold)
                m_out.points.append({x, y, double(row[x])});
    }
    void collect(const double *row, int w, int y) {
        for (int x = 0; x < w; ++x)
            if (row[x] > m_p.threshold)
                m_out.points.append({x, y, row[x]});
    }

    const DarkCheckParams &m_p;
    DarkCheckResult &m_out;
    std::vector<int> m_lut;
    std::vector<double> m_row;
    std::vector<qint64> m_partial; // 4 sets of bins + 1 counters
};

// Keeps the points above the threshold in this image, adding its values.
void filterPoints(const DarkCheckImage &im, const DarkCheckParams &p, QVector<DarkPoint> &points) {
    int kept = 0;
    for (int i = 0; i < points.size(); ++i) {
        DarkPoint q = points[i];
        const double v = im.image->valueAt(q.x, q.y, im.sx, im.sy);
        if (v > p.threshold) {
            q.value += v;
            points[kept++] = q;
        }
    }
    points.resize(kept);
}

} // namespace

bool run(const QVector<DarkCheckImage> &images, const DarkCheckParams &p, DarkCheckResult &out,
         const std::function<void(int, int)> &progress, const std::atomic<bool> *cancel) {
    out = DarkCheckResult();
    if (images.isEmpty() || !validate(p).isEmpty())
        return false;
    const TiffData &first = *images.first().image;
    out.width = first.width();
    out.height = first.height();
    out.originX = first.originX();
    out.originY = first.originY();
    out.histogram.fill(0, p.bins + 1);
    Pass pass(p, out);
    for (int i = 0; i < images.size(); ++i) {
        if (cancel && cancel->load()) {
            pass.finish();
            return true;
        }
        pass.histogram(images[i], i == 0);
        if (i > 0)
            filterPoints(images[i], p, out.points);
        out.counts.append(out.points.size());
        if (progress)
            progress(i + 1, images.size());
    }
    pass.finish();
    out.completed = true;
    return true;
}

namespace {

bool writeText(const QString &path, const QString &text) {
    OutputFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Text) && f.device()->write(text.toUtf8()) >= 0 &&
        f.commit())
        return true;
    DebugLog::write(QStringLiteral("Can not write ") + path);
    return false;
}

quint64 key(int x, int y) {
    return (quint64(quint32(x)) << 32) | quint32(y);
}

QString num(double v) {
    return QString::number(v, 'g', 15);
}

} // namespace

bool writeHistogram(const QString &folder, const DarkCheckParams &p, const DarkCheckResult &r) {
    const double min = 0, max = p.histMax;
    QString text = QStringLiteral("# min, max = (%1, %2)  bins = %3\n")
                       .arg(QString::number(min, 'g', 6), QString::number(max, 'g', 6))
                       .arg(p.bins);
    for (int i = 0; i < r.histogram.size(); ++i)
        text += QStringLiteral("%1\t%2\t%3\n")
                    .arg(i)
                    .arg(QString::number(min + i * (max - min) / p.bins))
                    .arg(r.histogram[i]);
    return writeText(QDir(folder).filePath(QStringLiteral("dark-hg-all.dat")), text);
}

bool writePointFiles(const QString &folder, const DarkCheckResult &r, const ErrPoints &errPoints) {
    if (r.points.isEmpty())
        return true;
    const QDir dir(folder);
    QString all = QStringLiteral("# Size %1\t%2\n").arg(r.width).arg(r.height);
    QString onlyPs;
    QSet<quint64> left;
    left.reserve(r.points.size());
    for (const DarkPoint &q : r.points) {
        all += QStringLiteral("%1\t%2\t%3\n").arg(q.x).arg(q.y).arg(num(q.value));
        // Error points are detector coordinates: the image's origin added.
        const int dx = q.x + r.originX, dy = q.y + r.originY;
        left.insert(key(dx, dy));
        if (!errPoints.contains(dx, dy))
            onlyPs += QStringLiteral("%1\t%2\n").arg(q.x).arg(q.y);
    }
    QString nums;
    for (int j = 0; j < r.counts.size(); ++j)
        nums += QStringLiteral("%1\t%2\n").arg(j).arg(r.counts[j]);
    QString onlyErr;
    for (const QPoint &e : errPoints.points())
        if (!left.contains(key(e.x(), e.y())))
            onlyErr += QStringLiteral("%1\t%2\n").arg(e.x()).arg(e.y());
    bool ok = writeText(dir.filePath(QStringLiteral("dark-allDarkPoints.dat")), all);
    ok = writeText(dir.filePath(QStringLiteral("dark-allDarkPointNums.dat")), nums) && ok;
    ok = writeText(dir.filePath(QStringLiteral("dark-allDarkPoints-onlyInPs1.dat")), onlyPs) && ok;
    ok = writeText(dir.filePath(QStringLiteral("dark-allDarkPoints-onlyInErrPs.dat")), onlyErr) &&
         ok;
    return ok;
}

} // namespace DarkCheck

// ------------------------------------------------------------------ the run

DarkCheckRun::DarkCheckRun(QObject *parent) : Run(parent) {}

DarkCheckRun::~DarkCheckRun() {
    stop();
    wait();
}

void DarkCheckRun::wait() {
    if (m_thread.joinable())
        m_thread.join();
}

DarkCheckRun::Report DarkCheckRun::runNow(const QVector<DarkCheckImage> &images,
                                          const DarkCheckParams &p, const ErrPoints &errPoints,
                                          const QString &folder) {
    Report r;
    r.message = DarkCheck::validate(p);
    if (images.isEmpty() || !r.message.isEmpty())
        return r;
    DebugLog::writeTimeStamp(QStringLiteral("dark check start "));
    r.ran = DarkCheck::run(
        images, p, r.result, [this](int done, int total) { emit progress(100.0 * done / total); },
        &m_cancel);
    r.completed = r.result.completed;
    if (r.completed) {
        r.pointsLeft = r.result.points.size();
        r.histogramWritten = DarkCheck::writeHistogram(folder, p, r.result);
        r.pointsWritten =
            r.pointsLeft > 0 && DarkCheck::writePointFiles(folder, r.result, errPoints);
        if (!r.histogramWritten || (r.pointsLeft > 0 && !r.pointsWritten))
            r.message = QStringLiteral("Dark check: can not write into ") + folder;
    }
    DebugLog::writeTimeStamp(QStringLiteral("dark check end "));
    return r;
}

bool DarkCheckRun::start(const QVector<DarkCheckImage> &images, const DarkCheckParams &p,
                         const ErrPoints &errPoints, const QString &folder) {
    if (m_running.exchange(true))
        return false;
    wait(); // the thread of the previous check has ended its work
    m_cancel = false;
    m_thread = std::thread([this, images, p, errPoints, folder] {
        m_report = runNow(images, p, errPoints, folder);
        const bool completed = m_report.completed;
        m_running = false;
        emit finished(completed);
    });
    return true;
}
