#pragma once
// Registration of a whole drifted series by phase correlation, and the
// plausibility check of the shifts found.
//
// Against a reference: every image is correlated with image K. Pick K below
// the absorption edge (the first image of a scan is): there the transmitted
// intensity is high and the noise low, and phase correlation, which keys on
// the borders of the compounds rather than their contrast, still finds them
// above the edge where the contrast has changed.
//
// Chained: every image is correlated with its neighbour nearer K, and the
// shifts add up outward from K. Neighbours differ little in contrast, so this
// holds where even the phase of the borders changes over the series; its
// errors add up along the chain.
//
// The images are handed out to a pool of threads by the map-run engine
// (SeriesAlignRun), each thread with its own correlator. An image's shift
// depends only on the images, never on the thread that took it or on the
// order: the shifts are the same for any thread count.
#include "analysis/ImageRegistration.h"
#include "analysis/PhaseCorrelation.h"

#include <QString>
#include <QVector>
#include <atomic>

class TiffData;

struct SeriesAlignOptions {
    PhaseOptions phase;
    int reference = 0;
    // Above `reference`: the reference is the mean of images reference ..
    // referenceLast, each first laid over image `reference`: less noise than
    // any one image. The shifts are relative to that image's position.
    int referenceLast = -1;
    bool chain = false;
    int threads = 1; // <= 0: one per core
};

namespace SeriesAlignment {

// The plausibility marks of the command line and the window: a score below
// this is no match, and a drift does not jump by more than this many pixels
// from one image to the next.
constexpr double DefaultMinScore = 0.02;
constexpr double DefaultMaxJump = 3;

// Why the series cannot be aligned against image `reference` ("" when it
// can): no images, no such reference, or images of different sizes.
QString check(const QVector<const TiffData *> &images, int reference);
// The same for the options: also a mean range beyond the series, or a chain
// from a mean (a chain starts from one image).
QString check(const QVector<const TiffData *> &images, const SeriesAlignOptions &options);

// The image with the most contrast, for a reference: the largest spread of
// 2 x 2 pixel means (interquartile range over median, so a few hot pixels or
// a dead border do not count), sampled on a coarse grid. 0 for an empty or
// featureless series.
int autoReference(const QVector<const TiffData *> &images);

// The shift of every image (entry i for image i, the reference at 0 0 with
// score 1). False with *why when the series is empty, the reference is not
// one of its images, the sizes differ or a stop was asked for (*stop set).
bool align(const QVector<const TiffData *> &images, const SeriesAlignOptions &options,
           QVector<Registration::ShiftEntry> &out, QString *why,
           const std::atomic<bool> *stop = nullptr);

// The image processor's edge method over the series: each image's edges
// above `threshold` (0..1) of its edge range as a binary image, matched to
// the reference's by the edge score's hill climb (whole pixels, within
// +-maxShift). The climb of an image starts from the shift found for its
// neighbour nearer the reference, as when stepping through the series in
// the window. The series must pass check(images, reference).
QVector<Registration::ShiftEntry> alignByEdges(const QVector<const TiffData *> &images,
                                               int reference, double threshold, int maxShift);

// The images whose shift is not to be trusted: a score below minScore, or a
// shift more than maxJump pixels (in x or y) from the median of its four
// nearest neighbours -- a drift moves the sample smoothly, a false peak lands
// far off. maxJump < 0 checks no jumps. Ascending image indices.
QVector<int> suspects(const QVector<Registration::ShiftEntry> &shifts, double minScore,
                      double maxJump);

} // namespace SeriesAlignment
