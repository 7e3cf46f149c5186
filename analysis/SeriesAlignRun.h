#pragma once
// A whole-series alignment run through the map-run engine, shared by the
// command-line tool (on its own thread) and the window (in the background).
//
// The series is walked as a grid one bin wide with one bin row per image:
// bin row i correlates image i and writes its dx, dy and score into three
// 1 x n maps. Each worker thread's task owns one PhaseCorrelator (plans and
// buffers made once), so nothing is allocated per image, a stop takes effect
// at the next image, and the shifts are the same for any thread count.
//
// After the run, the maps are read back into shift entries; a chain's shifts
// between neighbours are then added up outward from the reference.
#include "analysis/Analyzed2DRes.h"
#include "analysis/ImageRegistration.h"
#include "analysis/MapRun.h"
#include "analysis/Run.h"
#include "analysis/SeriesAlignment.h"
#include "imageio/TiffData.h"
#include "measurement/MeasurementStack.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <atomic>

class SeriesAlignRun : public Run {
    Q_OBJECT
public:
    explicit SeriesAlignRun(QObject *parent = nullptr);
    // Stops a run still going and waits for its threads.
    ~SeriesAlignRun() override;

    // Starts aligning in the background. False (nothing started, why() says
    // so) when the series cannot be aligned with these options, the mean
    // reference cannot be made, or a run is going. The images must stay
    // until finished() arrives or stop() and wait() returned.
    bool start(const QVector<const TiffData *> &images, const SeriesAlignOptions &options);
    // The same on the calling thread; true when every image was aligned.
    // `stop`, set from elsewhere, ends the run at the next image.
    bool run(const QVector<const TiffData *> &images, const SeriesAlignOptions &options,
             const std::atomic<bool> *stop = nullptr);

    // Thread-safe: the workers stop at the next image. A run stopped after
    // its last image still ends without shifts: a stop is never ignored.
    void stop() override {
        m_stopAsked = true;
        m_run.stop();
    }
    void wait() override { m_run.wait(); }
    bool isRunning() const override { return m_run.isRunning(); }

    // The shifts of the last completed run (entry i for image i, the
    // reference at 0 0 with score 1); empty after a failure or a stop.
    const QVector<Registration::ShiftEntry> &shifts() const { return m_shifts; }
    // Why the last run gave no shifts ("" when it completed).
    const QString &why() const { return m_why; }
    // (finished(true): completed with shifts(); false: why() says why not.)

private:
    // False (with the reason) while a run goes or when the series cannot be aligned.
    bool ready(const QVector<const TiffData *> &images, const SeriesAlignOptions &options);
    bool prepare(const QVector<const TiffData *> &images, const SeriesAlignOptions &options);
    MapRun::TaskFactory taskFactory(const std::atomic<bool> *stop);
    bool collect(bool completed);

    MapRun m_run;
    Analyzed2DRes m_dx{QStringLiteral("dx")};
    Analyzed2DRes m_dy{QStringLiteral("dy")};
    Analyzed2DRes m_score{QStringLiteral("score")};
    AnalyzeCond m_grid;
    QVector<const TiffData *> m_images;
    SeriesAlignOptions m_options;
    TiffData m_mean; // the mean reference image, when one is asked for
    QVector<Registration::ShiftEntry> m_shifts;
    QString m_why;
    bool m_onCallingThread = false;
    std::atomic<bool> m_stopAsked{false};
    int m_pendingEnds = 0; // background runs started whose end has not arrived
};

namespace SeriesAlignment {

// How the window and the batch align: phase correlation of the images, of
// their gradient magnitudes (contrast that reverses across the edge), or a
// chain of neighbours.
enum class Method { Phase, Gradient, Chain };

// The settings of the window's Align Series and of the batch command
// align_series METHOD UPSAMPLE REFERENCE.
struct Request {
    Method method = Method::Phase;
    int upsample = 10;   // 1 .. 100: precision 1/upsample pixel
    int reference = -1;  // an image index; -1: the image of most contrast
    int maxShift = 50;   // pixels
    bool alsoI0 = false; // the shifts go to the I0 images too
};

// Reads METHOD (phase, gradient or chain, any case), UPSAMPLE (1 .. 100)
// and REFERENCE (an image index from 0, or auto). False with *why naming the
// argument that is wrong.
bool parseRequest(const QStringList &args, Request *out, QString *why);
// The options of a request, with `reference` already resolved to an image.
SeriesAlignOptions optionsOf(const Request &r, int reference);

// What applying a series' shifts did, for the message to the user.
struct Outcome {
    int moved = 0;         // I1 images whose shift changed
    double largest = 0;    // the largest shift found, pixels (length of dx, dy)
    int largestImage = -1; // the image it belongs to
    QVector<int> suspects; // as suspects() marks them with the defaults
    bool i0Applied = false;
    QString i0Kept; // why the I0 series kept its shifts ("" when not asked)
};

// The shifts become the registration shifts of the I1 images (and of the I0
// images when asked and the I0 series has as many images; otherwise
// i0Kept says why not). Entries for images the stack lacks are left out.
Outcome apply(MeasurementStack &stack, const QVector<Registration::ShiftEntry> &shifts,
              bool alsoI0);

} // namespace SeriesAlignment
