#include "analysis/SeriesAlignment.h"

#include "analysis/SeriesAlignRun.h"
#include "imageio/TiffData.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace SeriesAlignment {

QString check(const QVector<const TiffData *> &images, int reference) {
    if (images.isEmpty())
        return QStringLiteral("no images");
    if (reference < 0 || reference >= images.size())
        return QString("reference %1 but only %2 images").arg(reference).arg(images.size());
    const TiffData *r = images[reference];
    for (int i = 0; i < images.size(); ++i)
        if (!images[i]->hasData() || images[i]->width() != r->width() ||
            images[i]->height() != r->height())
            return QString("image %1: size mis-match").arg(i);
    return QString();
}

QString check(const QVector<const TiffData *> &images, const SeriesAlignOptions &o) {
    const QString problem = check(images, o.reference);
    if (!problem.isEmpty() || o.referenceLast <= o.reference)
        return problem;
    if (o.referenceLast >= images.size())
        return QString("reference images %1-%2 but only %3 images")
            .arg(o.reference)
            .arg(o.referenceLast)
            .arg(images.size());
    if (o.chain)
        return QStringLiteral("a chain starts from one reference image, not from a mean");
    return QString();
}

namespace {

// Spread of 2 x 2 means of the image on a grid of about 64 x 64 points.
double contrastOf(const TiffData &image) {
    const int w = image.width(), h = image.height();
    const int stepX = std::max(2, w / 64), stepY = std::max(2, h / 64);
    std::vector<double> means;
    for (int y = 0; y + 1 < h; y += stepY)
        for (int x = 0; x + 1 < w; x += stepX)
            means.push_back(0.25 *
                            (image.valueAt(x, y, 0, 0) + image.valueAt(x + 1, y, 0, 0) +
                             image.valueAt(x, y + 1, 0, 0) + image.valueAt(x + 1, y + 1, 0, 0)));
    if (means.size() < 4)
        return 0;
    const auto at = [&](double q) {
        const auto k = means.begin() + std::ptrdiff_t(q * double(means.size() - 1));
        std::nth_element(means.begin(), k, means.end());
        return *k;
    };
    const double q1 = at(0.25), q3 = at(0.75), med = at(0.5);
    return med > 0 && std::isfinite(q3 - q1) ? (q3 - q1) / med : 0;
}

double median(std::vector<double> &v) {
    std::sort(v.begin(), v.end());
    const size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : 0.5 * (v[m - 1] + v[m]);
}

} // namespace

bool align(const QVector<const TiffData *> &images, const SeriesAlignOptions &options,
           QVector<Registration::ShiftEntry> &out, QString *why, const std::atomic<bool> *stop) {
    SeriesAlignRun run;
    const bool aligned = run.run(images, options, stop);
    out = run.shifts();
    if (!aligned)
        *why = run.why();
    return aligned;
}

int autoReference(const QVector<const TiffData *> &images) {
    int best = 0;
    double highest = 0;
    for (int i = 0; i < images.size(); ++i) {
        const double c = contrastOf(*images[i]);
        if (c > highest) {
            highest = c;
            best = i;
        }
    }
    return best;
}

QVector<int> suspects(const QVector<Registration::ShiftEntry> &shifts, double minScore,
                      double maxJump) {
    QVector<int> marked;
    const int n = shifts.size();
    std::vector<double> xs, ys;
    for (int i = 0; i < n; ++i) {
        bool suspect = shifts[i].score < minScore;
        xs.clear();
        ys.clear();
        // The four nearest others: two on each side, more on one side at the
        // ends, so one outlier among them cannot move their median far.
        const int first = std::clamp(i - 2, 0, std::max(0, n - 5));
        for (int j = first; j <= std::min(n - 1, first + 4); ++j)
            if (j != i) {
                xs.push_back(shifts[j].dx);
                ys.push_back(shifts[j].dy);
            }
        if (maxJump >= 0 && !xs.empty()) {
            const double jump = std::max(std::fabs(shifts[i].dx - median(xs)),
                                         std::fabs(shifts[i].dy - median(ys)));
            suspect = suspect || jump > maxJump;
        }
        if (suspect)
            marked.append(shifts[i].index);
    }
    return marked;
}

namespace {

void binaryOf(const TiffData &image, double fraction, EdgeImage &edge, BinaryImage &bin) {
    Registration::edgeDetect(image, edge);
    Registration::binarize(edge, edge.min + (edge.max - edge.min) * fraction, bin);
}

// Images in the order they are aligned: K, then outward on each side, each
// after the neighbour it starts from.
QVector<int> walkFrom(int k, int n) {
    QVector<int> order{k};
    for (int i = k + 1; i < n; ++i)
        order << i;
    for (int i = k - 1; i >= 0; --i)
        order << i;
    return order;
}

} // namespace

QVector<Registration::ShiftEntry> alignByEdges(const QVector<const TiffData *> &images,
                                               int reference, double threshold, int maxShift) {
    const int n = images.size(), k = reference;
    QVector<Registration::ShiftEntry> shifts(n);
    EdgeImage edge;
    BinaryImage ref, bin;
    binaryOf(*images[k], threshold, edge, ref);
    for (const int i : walkFrom(k, n)) {
        Registration::ShiftEntry &e = shifts[i];
        e.index = i;
        const int from = i > k ? i - 1 : i < k ? i + 1 : i;
        binaryOf(*images[i], threshold, edge, bin);
        const int sx = int(shifts[from].dx), sy = int(shifts[from].dy);
        const ClimbResult r = Registration::hillClimb(
            bin, ref, sx, sy, Registration::score(bin, ref, sx, sy), maxShift);
        e.dx = r.sx;
        e.dy = r.sy;
        e.score = r.score;
    }
    return shifts;
}

} // namespace SeriesAlignment
