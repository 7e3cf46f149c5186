#include "analysis/SeriesAlignRun.h"

#include <cmath>
#include <vector>

namespace {

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

// Bin row i of the run: image i against the reference (or its neighbour in
// a chain), its dx, dy and score written into maps 0, 1 and 2.
class AlignTask : public BinTask {
public:
    AlignTask(const QVector<const TiffData *> &images, const SeriesAlignOptions &options,
              const TiffData &reference, const std::atomic<bool> *stop, MapRun &run)
        : m_images(images), m_options(options), m_pc(options.phase), m_stop(stop), m_run(run) {
        if (!options.chain)
            m_pc.setReference(reference);
    }

    void analyzeBin(int, int image, BinWriter &out) override {
        if (m_stop && m_stop->load()) {
            m_run.stop();
            return;
        }
        PhaseMatch m;
        m.score = 1; // the reference itself
        if (image != m_options.reference || m_options.referenceLast > m_options.reference) {
            if (m_options.chain)
                m_pc.setReference(*m_images[towardsReference(image, m_options.reference)]);
            m_pc.correlate(*m_images[image], &m);
        }
        out.set(0, m.dx);
        out.set(1, m.dy);
        out.set(2, m.score);
    }

private:
    const QVector<const TiffData *> &m_images;
    const SeriesAlignOptions &m_options;
    PhaseCorrelator m_pc;
    const std::atomic<bool> *m_stop;
    MapRun &m_run;
};

} // namespace

SeriesAlignRun::SeriesAlignRun(QObject *parent) : Run(parent) {
    connect(&m_run, &MapRun::progress, this, &SeriesAlignRun::progress);
    // A background run's end arrives queued. A run halted (stop and wait)
    // and followed at once by another still sends its end: only the end of
    // the latest run is handed on.
    connect(&m_run, &MapRun::finished, this, [this](bool completed) {
        if (m_onCallingThread || m_pendingEnds == 0 || --m_pendingEnds > 0)
            return;
        m_run.wait();
        emit finished(collect(completed && !m_stopAsked));
    });
}

SeriesAlignRun::~SeriesAlignRun() {
    m_run.stop();
    m_run.wait();
}

bool SeriesAlignRun::prepare(const QVector<const TiffData *> &images,
                             const SeriesAlignOptions &options) {
    m_shifts.clear();
    m_why = SeriesAlignment::check(images, options);
    if (!m_why.isEmpty())
        return false;
    m_images = images;
    m_options = options;
    if (options.referenceLast > options.reference &&
        !meanImage(images, options.reference, options.referenceLast, options.phase, m_mean)) {
        m_why = QStringLiteral("not enough memory for the mean reference image");
        return false;
    }
    const int n = images.size();
    m_grid = AnalyzeCond(1, n, 0, 0, 0, 0, 1, n, 1, 1);
    for (Analyzed2DRes *map : {&m_dx, &m_dy, &m_score})
        map->prepare(m_grid);
    return true;
}

MapRun::TaskFactory SeriesAlignRun::taskFactory(const std::atomic<bool> *stop) {
    const bool fromMean = m_options.referenceLast > m_options.reference;
    const TiffData &reference = fromMean ? m_mean : *m_images[m_options.reference];
    return [this, &reference, stop] {
        return std::make_unique<AlignTask>(m_images, m_options, reference, stop, m_run);
    };
}

bool SeriesAlignRun::ready(const QVector<const TiffData *> &images,
                           const SeriesAlignOptions &options) {
    if (m_run.isRunning()) {
        m_why = QStringLiteral("an alignment is running");
        return false;
    }
    m_run.wait();
    return prepare(images, options);
}

bool SeriesAlignRun::start(const QVector<const TiffData *> &images,
                           const SeriesAlignOptions &options) {
    if (!ready(images, options))
        return false;
    m_onCallingThread = false;
    m_stopAsked = false;
    ++m_pendingEnds;
    if (m_run.start(m_grid, {&m_dx, &m_dy, &m_score}, taskFactory(nullptr), options.threads))
        return true;
    --m_pendingEnds;
    m_why = QStringLiteral("an alignment is running");
    return false;
}

bool SeriesAlignRun::run(const QVector<const TiffData *> &images, const SeriesAlignOptions &options,
                         const std::atomic<bool> *stop) {
    if (!ready(images, options))
        return false;
    m_onCallingThread = true;
    const bool completed =
        m_run.run(m_grid, {&m_dx, &m_dy, &m_score}, taskFactory(stop), options.threads);
    m_onCallingThread = false;
    return collect(completed);
}

bool SeriesAlignRun::collect(bool completed) {
    m_shifts.clear();
    if (!completed) {
        m_why = m_run.ranOutOfMemory() ? QStringLiteral("not enough memory for the correlation")
                                       : QStringLiteral("stopped");
        return false;
    }
    m_why.clear();
    const int n = m_images.size();
    m_shifts.resize(n);
    for (int i = 0; i < n; ++i)
        m_shifts[i] = {i, m_dx.valueAt(0, i), m_dy.valueAt(0, i), m_score.valueAt(0, i)};
    if (m_options.chain)
        accumulate(m_shifts, m_options.reference);
    return true;
}

namespace SeriesAlignment {

namespace {

void applyTo(MeasurementStack &stack, Series s, const QVector<Registration::ShiftEntry> &shifts,
             int *moved) {
    const QVector<TiffData *> &images = stack.images(s);
    for (const Registration::ShiftEntry &e : shifts) {
        if (e.index < 0 || e.index >= images.size() || !stack.setImageShift(s, e.index, e.dx, e.dy))
            continue;
        if (moved)
            ++*moved;
    }
}

} // namespace

bool parseRequest(const QStringList &args, Request *out, QString *why) {
    if (args.size() != 3) {
        *why = QString("takes METHOD UPSAMPLE REFERENCE, %1 arguments given").arg(args.size());
        return false;
    }
    static const struct {
        const char *name;
        Method method;
    } methods[] = {
        {"phase", Method::Phase}, {"gradient", Method::Gradient}, {"chain", Method::Chain}};
    bool known = false;
    for (const auto &m : methods)
        if (args[0].compare(QLatin1String(m.name), Qt::CaseInsensitive) == 0) {
            out->method = m.method;
            known = true;
        }
    if (!known) {
        *why = QString("method \"%1\": phase, gradient or chain").arg(args[0]);
        return false;
    }
    bool ok = false;
    out->upsample = args[1].toInt(&ok);
    if (!ok || out->upsample < 1 || out->upsample > 100) {
        *why = QString("upsample \"%1\": a whole number from 1 to 100").arg(args[1]);
        return false;
    }
    if (args[2].compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0) {
        out->reference = -1;
        return true;
    }
    out->reference = args[2].toInt(&ok);
    if (!ok || out->reference < 0) {
        *why = QString("reference \"%1\": an image index from 0, or auto").arg(args[2]);
        return false;
    }
    return true;
}

SeriesAlignOptions optionsOf(const Request &r, int reference) {
    SeriesAlignOptions o;
    o.phase.gradient = r.method == Method::Gradient;
    o.phase.upsample = r.upsample;
    o.phase.maxShift = r.maxShift;
    o.chain = r.method == Method::Chain;
    o.reference = reference;
    o.threads = 0;
    return o;
}

Outcome apply(MeasurementStack &stack, const QVector<Registration::ShiftEntry> &shifts,
              bool alsoI0) {
    Outcome o;
    applyTo(stack, Series::I1, shifts, &o.moved);
    for (const Registration::ShiftEntry &e : shifts) {
        const double length = std::hypot(e.dx, e.dy);
        if (length > o.largest) {
            o.largest = length;
            o.largestImage = e.index;
        }
    }
    o.suspects = suspects(shifts, DefaultMinScore, DefaultMaxJump);
    if (!alsoI0)
        return o;
    const int i0 = stack.i0().size(), i1 = stack.i1().size();
    if (i0 != i1) {
        o.i0Kept = QString("the I0 series has %1 images and the I1 series %2").arg(i0).arg(i1);
        return o;
    }
    applyTo(stack, Series::I0, shifts, nullptr);
    o.i0Applied = true;
    return o;
}

} // namespace SeriesAlignment
