#include "analysis/ComponentRun.h"

#include "analysis/RowSpectrumTask.h"
#include "app/OutputFile.h"
#include "imageio/TiffData.h"

#include <QElapsedTimer>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <functional>
#include <new>

namespace {

enum class Pass { Moments, Scores, ClusterSums };

// Row partials folded into a run's totals in row order, whichever thread
// finishes a row first: a row that ends early waits (copied) until the rows
// before it are in.
template <class Partial> class RowOrderedMerge {
public:
    RowOrderedMerge(int rows, std::function<void(const Partial &)> fold)
        : m_pending(size_t(rows)), m_fold(std::move(fold)) {}
    void submit(int row, const Partial &p) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (row != m_next) {
            m_pending[size_t(row)] = std::make_unique<Partial>(p);
            return;
        }
        m_fold(p);
        ++m_next;
        while (m_next < int(m_pending.size()) && m_pending[size_t(m_next)]) {
            m_fold(*m_pending[size_t(m_next)]);
            m_pending[size_t(m_next)].reset();
            ++m_next;
        }
    }

private:
    std::mutex m_mutex;
    std::vector<std::unique_ptr<Partial>> m_pending;
    int m_next = 0;
    std::function<void(const Partial &)> m_fold;
};

struct ClusterPartial {
    std::vector<double> sums; // K x d
    std::vector<qint64> counts;
};

int binColumn(const AnalyzeCond &g, int cx) {
    return (cx - g.x0 - g.hx) / std::max(1, g.sx);
}

int binRow(const AnalyzeCond &g, int cy) {
    return (cy - g.y0 - g.hy) / std::max(1, g.sy);
}

} // namespace

// What the tasks of one pass share: the walk's grid, the energies, the
// threshold, the PCA so far and where row partials go.
struct ComponentPassContext {
    Pass pass = Pass::Moments;
    const ComponentSettings *s = nullptr;
    AnalyzeCond grid;
    const double *energies = nullptr;
    int d = 0;
    double jumpThreshold = 0;
    char *valid = nullptr;
    double *scores = nullptr;
    int scoreCount = 0;
    const double *mean = nullptr;
    const std::vector<std::vector<double>> *components = nullptr;
    const int *labels = nullptr;
    int clusters = 0;
    RowOrderedMerge<SpectrumMoments> *moments = nullptr;
    RowOrderedMerge<ClusterPartial> *clusterSums = nullptr;
};

class ComponentTask : public RowSpectrumTask {
public:
    explicit ComponentTask(const ComponentPassContext &c)
        : RowSpectrumTask(c.s->stack, c.s->bin, QStringLiteral("Body-Cmp")), m_c(c) {
        m_rowBuffer.resize(size_t(c.grid.binsX()) * size_t(c.d));
        m_moments.reset(c.d);
        m_cluster.sums.assign(size_t(c.clusters) * size_t(c.d), 0.0);
        m_cluster.counts.assign(size_t(c.clusters), 0);
    }

    void beginRow(int cy, int firstCx, int sx, int count) override {
        RowSpectrumTask::beginRow(cy, firstCx, sx, count);
        m_row = binRow(m_c.grid, cy);
        m_count = count;
        m_done = 0;
        m_rowValid = 0;
        std::fill(m_cluster.sums.begin(), m_cluster.sums.end(), 0.0);
        std::fill(m_cluster.counts.begin(), m_cluster.counts.end(), 0);
    }

    void analyzeBin(int cx, int cy, BinWriter &out) override {
        const qint64 bin = qint64(m_row) * m_c.grid.binsX() + binColumn(m_c.grid, cx);
        if (m_c.pass == Pass::Moments)
            addToMoments(cx, cy, bin);
        else if (m_c.pass == Pass::Scores)
            writeScores(cx, cy, bin, out);
        else
            addToClusterSums(cx, cy, bin);
        if (++m_done == m_count)
            finishRow();
    }

private:
    // An edge jump cannot exceed the spread of the spectrum's own values by
    // much; one that does (a flat spectrum without sample, whose background
    // fits have nothing to fit) is no edge.
    static double valueSpan(const Spectrum &s) {
        double lo = s.y(0), hi = s.y(0);
        for (int i = 1; i < s.count(); ++i) {
            lo = std::min(lo, s.y(i));
            hi = std::max(hi, s.y(i));
        }
        return hi - lo;
    }

    // The bin's normalised spectrum at the run's energies; false when the
    // bin is left out.
    bool sample(int cx, int cy, double *v) {
        buildSample(cx, cy);
        const double jump = m_sample.dMut();
        if (m_sample.count() < 2 || !(jump > 0 && jump >= m_c.jumpThreshold) ||
            !(jump <= 2 * valueSpan(m_sample)))
            return false;
        const Spectrum &normalized = m_sample.normalized();
        for (int e = 0; e < m_c.d; ++e) {
            v[e] = normalized.valueAt(m_c.energies[e]);
            if (!std::isfinite(v[e]))
                return false;
        }
        return true;
    }

    void addToMoments(int cx, int cy, qint64 bin) {
        double *v = m_rowBuffer.data() + size_t(m_rowValid) * size_t(m_c.d);
        const bool ok = sample(cx, cy, v);
        m_c.valid[bin] = ok ? 1 : 0;
        m_rowValid += ok ? 1 : 0;
    }

    void writeScores(int cx, int cy, qint64 bin, BinWriter &out) {
        double *v = m_rowBuffer.data();
        const bool ok = m_c.valid[bin] && sample(cx, cy, v);
        for (int k = 0; k < m_c.scoreCount; ++k) {
            double score = -1;
            if (ok) {
                const double *p = (*m_c.components)[size_t(k)].data();
                score = 0;
                for (int e = 0; e < m_c.d; ++e)
                    score += (v[e] - m_c.mean[e]) * p[e];
            }
            m_c.scores[bin * m_c.scoreCount + k] = score;
            out.set(k, score);
        }
    }

    void addToClusterSums(int cx, int cy, qint64 bin) {
        const int label = m_c.labels[bin];
        double *v = m_rowBuffer.data();
        if (label < 0 || !sample(cx, cy, v))
            return;
        double *sum = m_cluster.sums.data() + size_t(label) * size_t(m_c.d);
        for (int e = 0; e < m_c.d; ++e)
            sum[e] += v[e];
        ++m_cluster.counts[size_t(label)];
    }

    void finishRow() {
        if (m_c.pass == Pass::Moments) {
            m_moments.assignRows(m_rowBuffer.data(), m_rowValid);
            m_c.moments->submit(m_row, m_moments);
        } else if (m_c.pass == Pass::ClusterSums) {
            m_c.clusterSums->submit(m_row, m_cluster);
        }
    }

    const ComponentPassContext m_c;
    std::vector<double> m_rowBuffer; // the row's valid spectra, one after the other
    SpectrumMoments m_moments;
    ClusterPartial m_cluster;
    int m_row = 0, m_count = 0, m_done = 0, m_rowValid = 0;
};

QString componentRunProblem(ComponentKind kind, const ComponentSettings &s) {
    if (!s.stack || s.stack->i1().isEmpty())
        return QStringLiteral("no I1 image");
    int inRange = 0;
    for (const TiffData *image : s.stack->i1())
        inRange += image->energy() >= s.rangeStart && image->energy() <= s.rangeEnd ? 1 : 0;
    if (inRange < 2)
        return QStringLiteral("fewer than two energies within the range");
    if (kind != ComponentKind::Nmf && (s.components < 1 || s.components > inRange))
        return QString("the number of components must be 1 to %1 (the energies in the range)")
            .arg(inRange);
    if (kind == ComponentKind::Clusters && s.clusters < 1)
        return QStringLiteral("the number of clusters must be at least 1");
    if (kind == ComponentKind::Nmf && (s.nmfComponents < 1 || s.nmfComponents > inRange))
        return QString("the number of NMF components must be 1 to %1 (the energies in the range)")
            .arg(inRange);
    return fixedEdgeProblem(*s.stack, s.bin.suggestion);
}

const QVector<ComponentSpectrum> &resultSpectra(const ComponentResult &r) {
    switch (r.kind) {
    case ComponentKind::Clusters:
        return r.clusterSpectra;
    case ComponentKind::Nmf:
        return r.nmfComponents;
    default:
        return r.components;
    }
}

int firstSpectrumNumber(ComponentKind kind) {
    return kind == ComponentKind::Clusters ? 0 : 1;
}

bool writeComponentSpectra(const QString &path, const QVector<double> &energies,
                           const QVector<ComponentSpectrum> &spectra) {
    OutputFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(f.device());
    const auto number = [](double v) { return QString::number(v, 'g', 17); };
    for (int e = 0; e < energies.size(); ++e) {
        out << number(energies[e]);
        for (const ComponentSpectrum &s : spectra)
            out << ' ' << number(s[e]);
        out << '\n';
    }
    out.flush();
    return f.commit();
}

int nmfSubspaceSize(int nmfComponents, int energies) {
    return std::min(energies, nmfComponents + 5);
}

ComponentRun::ComponentRun(QObject *parent) : Run(parent) {}

ComponentRun::~ComponentRun() {
    stop();
    wait();
}

bool ComponentRun::claim(ComponentKind kind, const ComponentSettings &s, const AnalyzeCond &grid,
                         int threads) {
    if (m_running.exchange(true))
        return false;
    wait();
    m_kind = kind;
    m_s = s;
    m_grid = grid;
    m_threads = threads;
    return true;
}

bool ComponentRun::start(ComponentKind kind, const ComponentSettings &s, const AnalyzeCond &grid,
                         int threads) {
    if (!claim(kind, s, grid, threads))
        return false;
    m_controller = std::thread([this] {
        const bool completed = execute();
        m_running = false;
        emit finished(completed);
    });
    return true;
}

bool ComponentRun::run(ComponentKind kind, const ComponentSettings &s, const AnalyzeCond &grid,
                       int threads) {
    if (!claim(kind, s, grid, threads))
        return false;
    const bool completed = execute();
    m_running = false;
    emit finished(completed);
    return completed;
}

void ComponentRun::stop() {
    m_stop = true;
    std::lock_guard<std::mutex> lock(m_passMutex);
    if (m_pass)
        m_pass->stop();
}

void ComponentRun::wait() {
    if (m_controller.joinable() && m_controller.get_id() != std::this_thread::get_id())
        m_controller.join();
}

bool ComponentRun::execute() {
    m_stop = false;
    m_outOfMemory = false;
    m_problem.clear();
    m_result = ComponentResult();
    m_result.kind = m_kind;
    QElapsedTimer clock;
    clock.start();
    bool ok = false;
    try {
        ok = executePasses();
    } catch (const std::bad_alloc &) {
        m_outOfMemory = true;
        m_problem = QStringLiteral("out of memory");
    }
    // What the walk kept per bin is not part of the result.
    std::vector<char>().swap(m_valid);
    std::vector<double>().swap(m_scores);
    std::vector<int>().swap(m_labels);
    if (!ok) {
        m_result = ComponentResult();
        if (m_problem.isEmpty())
            m_problem = QStringLiteral("stopped");
        return false;
    }
    m_result.seconds = clock.nsecsElapsed() * 1e-9;
    return true;
}

bool ComponentRun::executePasses() {
    m_problem = componentRunProblem(m_kind, m_s);
    if (!m_problem.isEmpty())
        return false;
    m_passes = m_kind == ComponentKind::Clusters ? 3 : 2;
    findEnergies();
    findJumpThreshold();
    const int d = m_result.energies.size();
    m_valid.assign(size_t(m_grid.binCount()), 0);
    m_moments.reset(d);
    RowOrderedMerge<SpectrumMoments> moments(
        m_grid.binsY(), [this](const SpectrumMoments &p) { m_moments.merge(p); });
    ComponentPassContext c;
    c.pass = Pass::Moments;
    c.s = &m_s;
    c.grid = m_grid;
    c.energies = m_result.energies.constData();
    c.d = d;
    c.jumpThreshold = m_result.jumpThreshold;
    c.valid = m_valid.data();
    c.moments = &moments;
    if (!runPass(0, [c] { return std::make_unique<ComponentTask>(c); }, {}))
        return false;
    m_result.binsUsed = m_moments.n;
    m_result.binsLeftOut = m_grid.binCount() - m_moments.n;
    const int needed = m_kind == ComponentKind::Clusters ? std::max(2, m_s.clusters) : 2;
    if (m_moments.n < needed) {
        m_problem = QString("only %1 bins show an edge jump above %2; %3 are needed")
                        .arg(m_moments.n)
                        .arg(m_result.jumpThreshold, 0, 'g', 4)
                        .arg(needed);
        return false;
    }
    const int count =
        m_kind == ComponentKind::Nmf ? nmfSubspaceSize(m_s.nmfComponents, d) : m_s.components;
    if (!decompose(count))
        return false;

    c.pass = Pass::Scores;
    c.scores = m_scores.data();
    c.scoreCount = m_scoreCount;
    std::vector<double> mean(m_moments.mean);
    PcaComponents pc;
    for (const ComponentSpectrum &v : m_result.components)
        pc.vectors.emplace_back(v.begin(), v.end());
    c.mean = mean.data();
    c.components = &pc.vectors;
    QVector<Analyzed2DRes *> maps;
    for (int k = 0; k < m_scoreCount; ++k) {
        m_result.scoreMaps.push_back(
            std::make_unique<Analyzed2DRes>(QString("PCA Score %1").arg(k + 1)));
        m_result.scoreMaps.back()->prepare(m_grid);
        maps.append(m_result.scoreMaps.back().get());
    }
    if (!runPass(
            1, [c] { return std::make_unique<ComponentTask>(c); }, maps))
        return false;
    for (Analyzed2DRes *m : maps)
        m->markFilled();

    if (m_kind == ComponentKind::Nmf) {
        factorise();
        return !m_stop.load();
    }
    if (m_kind == ComponentKind::Pca)
        return true;
    clusterScores();
    if (m_stop.load())
        return false;
    const int K = m_result.clusterSizes.size();
    m_clusterSums.assign(size_t(K) * size_t(d), 0.0);
    m_clusterCounts.assign(size_t(K), 0);
    RowOrderedMerge<ClusterPartial> sums(m_grid.binsY(), [this](const ClusterPartial &p) {
        for (size_t i = 0; i < p.sums.size(); ++i)
            m_clusterSums[i] += p.sums[i];
        for (size_t j = 0; j < p.counts.size(); ++j)
            m_clusterCounts[j] += p.counts[j];
    });
    c.pass = Pass::ClusterSums;
    c.labels = m_labels.data();
    c.clusters = K;
    c.clusterSums = &sums;
    if (!runPass(2, [c] { return std::make_unique<ComponentTask>(c); }, {}))
        return false;
    for (int j = 0; j < K; ++j) {
        ComponentSpectrum spectrum(d);
        const double n = double(std::max<qint64>(1, m_clusterCounts[size_t(j)]));
        for (int e = 0; e < d; ++e)
            spectrum[e] = m_clusterSums[size_t(j) * size_t(d) + size_t(e)] / n;
        m_result.clusterSpectra.append(spectrum);
    }
    return true;
}

bool ComponentRun::runPass(int pass, const MapRun::TaskFactory &factory,
                           const QVector<Analyzed2DRes *> &maps) {
    MapRun run;
    connect(
        &run, &MapRun::progress, &run,
        [this, pass](double percent) { emit progress((pass + percent / 100) * 100 / m_passes); },
        Qt::DirectConnection);
    {
        std::lock_guard<std::mutex> lock(m_passMutex);
        if (m_stop.load())
            return false;
        m_pass = &run;
    }
    const bool completed = run.run(m_grid, maps, factory, m_threads);
    {
        std::lock_guard<std::mutex> lock(m_passMutex);
        m_pass = nullptr;
    }
    if (run.ranOutOfMemory())
        throw std::bad_alloc();
    return completed && !m_stop.load();
}

// The stack's energies within the range, rising, each once.
bool ComponentRun::findEnergies() {
    QVector<double> e;
    for (const TiffData *image : m_s.stack->i1())
        if (image->energy() >= m_s.rangeStart && image->energy() <= m_s.rangeEnd)
            e.append(image->energy());
    std::sort(e.begin(), e.end());
    e.erase(std::unique(e.begin(), e.end()), e.end());
    m_result.energies = e;
    return e.size() >= 2;
}

// The jump of one bin covering the whole area sets the scale a bin's jump
// is measured against; an area without an edge lets every bin with a
// positive jump take part.
void ComponentRun::findJumpThreshold() {
    BinSpectrumSettings whole = m_s.bin;
    const int w = std::min(m_grid.x1, m_s.stack->width()) - std::max(0, m_grid.x0);
    const int h = std::min(m_grid.y1, m_s.stack->height()) - std::max(0, m_grid.y0);
    whole.conditions.hx = std::max(0, (w - 1) / 2);
    whole.conditions.hy = std::max(0, (h - 1) / 2);
    Spectrum mut;
    XafsSpectrum sum;
    buildBinSpectrum(*m_s.stack, std::max(0, m_grid.x0) + whole.conditions.hx,
                     std::max(0, m_grid.y0) + whole.conditions.hy, whole, QStringLiteral("Area"),
                     mut, sum);
    const double jump = sum.dMut();
    m_result.jumpThreshold = std::isfinite(jump) && jump > 0 ? m_s.minJumpFraction * jump : 0.0;
}

bool ComponentRun::decompose(int count) {
    const PcaComponents pc = principalComponents(m_moments, count);
    m_result.mean = ComponentSpectrum(m_moments.mean.begin(), m_moments.mean.end());
    m_result.eigenvalues = QVector<double>(pc.eigenvalues.begin(), pc.eigenvalues.end());
    m_result.explainedRatios =
        QVector<double>(pc.explainedRatios.begin(), pc.explainedRatios.end());
    for (const std::vector<double> &v : pc.vectors)
        m_result.components.append(ComponentSpectrum(v.begin(), v.end()));
    m_scoreCount = int(pc.vectors.size());
    m_scores.assign(size_t(m_grid.binCount()) * size_t(m_scoreCount), -1.0);
    return m_scoreCount > 0;
}

// The scores of the bins taken part, one after the other, `count` each.
static std::vector<double> validScores(const std::vector<double> &scores,
                                       const std::vector<char> &valid, int perBin, int count) {
    std::vector<double> out;
    for (size_t b = 0; b < valid.size(); ++b)
        if (valid[b])
            out.insert(out.end(), scores.begin() + qint64(b) * perBin,
                       scores.begin() + qint64(b) * perBin + count);
    return out;
}

void ComponentRun::clusterScores() {
    const std::vector<double> points = validScores(m_scores, m_valid, m_scoreCount, m_scoreCount);
    const KMeansResult km = kMeans(points.data(), m_moments.n, m_scoreCount, m_s.clusters, m_s.seed,
                                   m_s.kMeansIterations, &m_stop);
    m_result.kMeansIterations = km.iterations;
    m_result.clusterSizes = QVector<qint64>(km.sizes.begin(), km.sizes.end());
    m_labels.assign(m_valid.size(), -1);
    std::vector<double> labels(m_valid.size(), -1.0);
    size_t i = 0;
    for (size_t b = 0; b < m_valid.size(); ++b)
        if (m_valid[b]) {
            m_labels[b] = km.labels[i++];
            labels[b] = m_labels[b];
        }
    m_result.clusterMap = std::make_unique<Analyzed2DRes>(QStringLiteral("Cluster"));
    writeBinMaps(labels, 1, 0, *m_result.clusterMap);
}

void ComponentRun::factorise() {
    const int K = m_s.nmfComponents;
    const std::vector<double> points = validScores(m_scores, m_valid, m_scoreCount, m_scoreCount);
    std::vector<std::vector<double>> P;
    for (const ComponentSpectrum &v : m_result.components)
        P.emplace_back(v.begin(), v.end());
    // One offset for every value keeps a mixture a mixture: with fractions
    // summing to one (a normalised spectrum has unit jump), x + c is the same
    // mixture of the compounds' spectra + c. Per-energy offsets would bend
    // the spectra.
    m_result.nmfOffset = std::max(0.0, -m_moments.minValue);
    const NmfResult nmf = nmfInSubspace(points.data(), m_moments.n, m_scoreCount, P, m_moments.mean,
                                        m_result.nmfOffset, K, m_s.seed, m_s.nmfIterations,
                                        m_s.nmfTolerance, &m_stop);
    m_result.nmfIterations = nmf.iterations;
    for (const std::vector<double> &h : nmf.components)
        m_result.nmfComponents.append(ComponentSpectrum(h.begin(), h.end()));
    std::vector<double> weights(m_valid.size() * size_t(K), -1.0);
    size_t i = 0;
    for (size_t b = 0; b < m_valid.size(); ++b)
        if (m_valid[b]) {
            std::copy(nmf.weights.begin() + qint64(i) * K, nmf.weights.begin() + qint64(i + 1) * K,
                      weights.begin() + qint64(b) * K);
            ++i;
        }
    for (int j = 0; j < K; ++j) {
        m_result.weightMaps.push_back(
            std::make_unique<Analyzed2DRes>(QString("NMF Weight %1").arg(j + 1)));
        writeBinMaps(weights, K, j, *m_result.weightMaps.back());
    }
}

// Fills map with value `column` of each bin's `perBin` values, in walk order.
void ComponentRun::writeBinMaps(const std::vector<double> &values, int perBin, int column,
                                Analyzed2DRes &map) const {
    map.prepare(m_grid);
    AnalyzeCond g = m_grid;
    g.reset();
    do {
        const qint64 bin = qint64(binRow(m_grid, g.cy)) * m_grid.binsX() + binColumn(m_grid, g.cx);
        map.setData(g.cx, g.cy, g.hx, g.hy, values[size_t(bin) * size_t(perBin) + size_t(column)]);
    } while (g.next());
    map.markFilled();
}
