#pragma once
// The detector dark check: a histogram of the raw counts of every pixel of
// every I1 image, and the pixels that stay above a threshold in all images
// (hot or stuck pixels), compared with the error-point mask.
//
// Images are read through their registration shift (pixel (x, y) is the
// stored pixel (x - sx, y - sy), 0 outside). The shifts are taken when the
// check starts, so a check running in the background reads a fixed stack.
//
// Files, in the working folder:
//   "dark-hg-all.dat"                   the histogram
//   "dark-allDarkPoints.dat"            the points left, with summed values
//   "dark-allDarkPointNums.dat"         points left after each image
//   "dark-allDarkPoints-onlyInPs1.dat"  points left that are not error points
//   "dark-allDarkPoints-onlyInErrPs.dat" error points that are not left
#include "analysis/Run.h"
#include "imageio/ErrPoints.h"

#include <QString>
#include <QVector>
#include <atomic>
#include <functional>
#include <thread>

class TiffData;

struct DarkCheckParams {
    double histMax = 60000; // upper end of the histogram (the lower is 0)
    int bins = 100;         // the histogram has bins + 1 counters
    double threshold = 20000;
};

struct DarkPoint {
    int x = 0;
    int y = 0;
    double value = 0; // sum over the images so far
};

// One image of the stack as the check reads it.
struct DarkCheckImage {
    const TiffData *image = nullptr;
    double sx = 0;
    double sy = 0;
};

struct DarkCheckResult {
    QVector<qint64> histogram; // bins + 1 counters
    QVector<DarkPoint> points; // left after the last image, row-major order
    QVector<int> counts;       // points left after each image
    int width = 0;             // of the first image
    int height = 0;
    int originX = 0; // detector origin of the first image
    int originY = 0;
    bool completed = false;
};

namespace DarkCheck {

// Bins above this are refused: a counter per bin must fit in memory.
constexpr int MaxBins = 10000000;

// Empty when the parameters can run, else the reason.
QString validate(const DarkCheckParams &p);

// Counter of value v: integer part of v / max * bins, kept in 0..bins (values
// at or above max in the last counter, NaN in the first).
int counterOf(double v, double max, int bins);

// Histogram and point steps over the images, in order. progress(done, total)
// is called after each image; a set cancel flag ends the run early
// (completed false). False, with nothing computed, for invalid parameters or
// no images.
bool run(const QVector<DarkCheckImage> &images, const DarkCheckParams &p, DarkCheckResult &out,
         const std::function<void(int, int)> &progress = {},
         const std::atomic<bool> *cancel = nullptr);

// The files. Each returns false when its file cannot be written (the reason
// goes to the debug log); writePointFiles writes nothing (true) without points.
bool writeHistogram(const QString &folder, const DarkCheckParams &p, const DarkCheckResult &r);
bool writePointFiles(const QString &folder, const DarkCheckResult &r, const ErrPoints &errPoints);

} // namespace DarkCheck

// The check on a thread of its own, so that a window stays responsive: the
// stack must not change (no image deleted) until finished() arrives or wait()
// returns; stop() ends it within one image.
class DarkCheckRun : public Run {
    Q_OBJECT
public:
    struct Report {
        bool ran = false; // the check computed something
        bool completed = false;
        bool histogramWritten = false;
        bool pointsWritten = false;
        int pointsLeft = 0;
        QString message; // why nothing ran, or which file failed
        DarkCheckResult result;
    };

    explicit DarkCheckRun(QObject *parent = nullptr);
    ~DarkCheckRun() override;

    // False (nothing started) while a check runs.
    bool start(const QVector<DarkCheckImage> &images, const DarkCheckParams &p,
               const ErrPoints &errPoints, const QString &folder);
    // The same on the calling thread.
    Report runNow(const QVector<DarkCheckImage> &images, const DarkCheckParams &p,
                  const ErrPoints &errPoints, const QString &folder);
    void stop() override { m_cancel = true; }
    void wait() override;
    bool isRunning() const override { return m_running.load(); }
    // The last check's report (valid after finished()).
    const Report &report() const { return m_report; }

private:
    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_running{false};
    Report m_report;
};
