#include "analysis/SeriesAlignment.h"

#include "imageio/TiffData.h"

#include <algorithm>
#include <cmath>
#include <thread>
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

// The mean of images first .. last, as a Float32 image. Each is laid over
// image `first` by its own correlation first, so the drift within the range
// does not blur the mean.
bool meanImage(const QVector<const TiffData *> &images, int first, int last,
               const PhaseOptions &phase, TiffData &out) {
    const int w = images[first]->width(), h = images[first]->height();
    std::vector<double> sum(size_t(w) * size_t(h), 0.0);
    std::vector<double> row(static_cast<size_t>(w));
    PhaseCorrelator pc(phase);
    pc.setReference(*images[first]);
    for (int i = first; i <= last; ++i) {
        PhaseMatch m;
        if (i > first)
            pc.correlate(*images[i], &m);
        for (int y = 0; y < h; ++y) {
            images[i]->shiftedRow(y, m.dx, m.dy, row.data());
            double *s = sum.data() + size_t(y) * size_t(w);
            for (int x = 0; x < w; ++x)
                s[x] += row[size_t(x)];
        }
    }
    std::vector<float> mean(sum.size());
    const double n = last - first + 1;
    for (size_t k = 0; k < sum.size(); ++k)
        mean[k] = float(sum[k] / n);
    return out.assign(w, h, TiffData::Float32, mean.data());
}

// The neighbour an image is correlated with in a chain: the next one nearer K.
int towardsReference(int i, int reference) {
    return i > reference ? i - 1 : i < reference ? i + 1 : i;
}

// Image i against the reference (or its neighbour in a chain): the shift
// relative to what it was correlated with.
void matchOne(const QVector<const TiffData *> &images, const SeriesAlignOptions &o, int i,
              PhaseCorrelator &pc, Registration::ShiftEntry &e) {
    e.index = i;
    if (i == o.reference && o.referenceLast <= o.reference) {
        e.dx = e.dy = 0;
        e.score = 1;
        return;
    }
    if (o.chain)
        pc.setReference(*images[towardsReference(i, o.reference)]);
    PhaseMatch m;
    pc.correlate(*images[i], &m);
    e.dx = m.dx;
    e.dy = m.dy;
    e.score = m.score;
}

// A chain's relative shifts summed outward from the reference.
void accumulate(QVector<Registration::ShiftEntry> &shifts, int reference) {
    for (int i = reference + 1; i < shifts.size(); ++i) {
        shifts[i].dx += shifts[i - 1].dx;
        shifts[i].dy += shifts[i - 1].dy;
    }
    for (int i = reference - 1; i >= 0; --i) {
        shifts[i].dx += shifts[i + 1].dx;
        shifts[i].dy += shifts[i + 1].dy;
    }
}

double median(std::vector<double> &v) {
    std::sort(v.begin(), v.end());
    const size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : 0.5 * (v[m - 1] + v[m]);
}

} // namespace

bool align(const QVector<const TiffData *> &images, const SeriesAlignOptions &options,
           QVector<Registration::ShiftEntry> &out, QString *why, const std::atomic<bool> *stop) {
    out.clear();
    const QString problem = check(images, options);
    if (!problem.isEmpty()) {
        *why = problem;
        return false;
    }
    TiffData mean;
    const bool fromMean = options.referenceLast > options.reference;
    if (fromMean &&
        !meanImage(images, options.reference, options.referenceLast, options.phase, mean)) {
        *why = QStringLiteral("not enough memory for the mean reference image");
        return false;
    }
    const TiffData &reference = fromMean ? mean : *images[options.reference];
    const int n = images.size();
    QVector<Registration::ShiftEntry> shifts(n);
    std::atomic<int> next{0};
    const auto work = [&] {
        PhaseCorrelator pc(options.phase);
        if (!options.chain)
            pc.setReference(reference);
        for (int i = next++; i < n; i = next++) {
            if (stop && stop->load())
                return;
            matchOne(images, options, i, pc, shifts[i]);
        }
    };
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    const int threads = std::clamp(options.threads > 0 ? options.threads : cores, 1, n);
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(work);
    work();
    for (std::thread &t : pool)
        t.join();
    if (stop && stop->load()) {
        *why = QStringLiteral("stopped");
        return false;
    }
    if (options.chain)
        accumulate(shifts, options.reference);
    out = shifts;
    return true;
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

} // namespace SeriesAlignment
