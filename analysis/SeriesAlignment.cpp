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

namespace {

// The neighbour an image is correlated with in a chain: the next one nearer K.
int towardsReference(int i, int reference) {
    return i > reference ? i - 1 : i < reference ? i + 1 : i;
}

// Image i against the reference (or its neighbour in a chain): the shift
// relative to what it was correlated with.
void matchOne(const QVector<const TiffData *> &images, const SeriesAlignOptions &o, int i,
              PhaseCorrelator &pc, Registration::ShiftEntry &e) {
    e.index = i;
    if (i == o.reference) {
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
    const QString problem = check(images, options.reference);
    if (!problem.isEmpty()) {
        *why = problem;
        return false;
    }
    const int n = images.size();
    QVector<Registration::ShiftEntry> shifts(n);
    std::atomic<int> next{0};
    const auto work = [&] {
        PhaseCorrelator pc(options.phase);
        if (!options.chain)
            pc.setReference(*images[options.reference]);
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
