#pragma once
// Finding what a sample holds without references: principal components,
// k-means clusters and a non-negative factorisation of the bins' normalised
// spectra, run on MapRun.
//
// Every bin's spectrum is built as LCF builds it (RowSpectrumTask: shift map,
// registration shifts, dark, I0, background form, suggestion with its fixed
// edge), normalised, and read at the stack's energies within the range. Bins
// whose edge jump is below the threshold, or whose spectrum has a non-finite
// value, are left out and get -1 in every map.
//
// Nothing holds the bins x energies matrix. A run walks the bins in passes:
//   1. moments: each row's mean and scatter, merged in row order;
//   2. scores: the projections on the first components, kept per bin (for
//      k-means and NMF) and written as score maps;
//   3. (clusters only) each cluster's sum of spectra, merged in row order.
// Row partials that finish out of order wait until the rows before them are
// merged, so every result is the same to the bit for any thread count.
#include "analysis/AnalyzeCond.h"
#include "analysis/Analyzed2DRes.h"
#include "analysis/ComponentMath.h"
#include "analysis/MapRun.h"
#include "analysis/Run.h"
#include "measurement/BinSpectrum.h"

#include <QString>
#include <QVector>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

enum class ComponentKind { Pca, Clusters, Nmf };

struct ComponentSettings {
    const MeasurementStack *stack = nullptr;
    BinSpectrumSettings bin; // conditions, shift map, background, suggestion
    double rangeStart = 0;   // eV: the stack's energies within [start, end] are used
    double rangeEnd = 1e6;
    // A bin takes part when its edge jump is at least this fraction of the
    // jump of the whole area's summed spectrum.
    double minJumpFraction = 0.1;
    int components = 5; // PCA: components kept; clusters: scores k-means works on
    int clusters = 4;
    int nmfComponents = 3;
    quint64 seed = 1;
    int kMeansIterations = 300;
    int nmfIterations = 1000;
    double nmfTolerance = 1e-7;
};

// One spectrum over the run's energies.
using ComponentSpectrum = QVector<double>;

struct ComponentResult {
    ComponentKind kind = ComponentKind::Pca;
    QVector<double> energies;
    ComponentSpectrum mean;
    double jumpThreshold = 0; // absolute edge jump a bin needed
    qint64 binsUsed = 0;
    qint64 binsLeftOut = 0;

    // PCA (every kind runs it first)
    QVector<double> eigenvalues;           // all, falling
    QVector<double> explainedRatios;       // each eigenvalue over their sum
    QVector<ComponentSpectrum> components; // unit norm
    std::vector<std::unique_ptr<Analyzed2DRes>> scoreMaps;

    // clusters
    std::unique_ptr<Analyzed2DRes> clusterMap; // 0..K-1, -1 left out
    QVector<qint64> clusterSizes;
    QVector<ComponentSpectrum> clusterSpectra; // mean normalised spectrum each
    int kMeansIterations = 0;

    // NMF: components of the spectra offset by nmfOffset, each peaking at 1
    QVector<ComponentSpectrum> nmfComponents;
    std::vector<std::unique_ptr<Analyzed2DRes>> weightMaps;
    double nmfOffset = 0;
    int nmfIterations = 0;

    double seconds = 0;
};

// Why a run with these settings cannot start ("" when it can): no I1 image,
// fewer than two energies in the range, counts out of bounds, a fixed edge
// outside the energies.
QString componentRunProblem(ComponentKind kind, const ComponentSettings &s);

// The spectra a run found, as the panel, the batch and the files number
// them: the cluster means after a cluster run (J from 0, as cluster-J.dat),
// else the NMF or principal components (J from 1, as their map files).
const QVector<ComponentSpectrum> &resultSpectra(const ComponentResult &r);
int firstSpectrumNumber(ComponentKind kind);
// "E v1 ... vN" per energy at 17 significant digits, written whole or not
// at all. One spectrum gives the two-column file the LCF reference rows and
// lcf-map --ref read.
bool writeComponentSpectra(const QString &path, const QVector<double> &energies,
                           const QVector<ComponentSpectrum> &spectra);

// The principal components NMF factorises in: enough beyond K to carry every
// compound's spectrum, few enough to leave the noise out.
int nmfSubspaceSize(int nmfComponents, int energies);

// A run for a panel or a script: start() in the background (progress and
// finished signals, stop()), or run() on the calling thread. The result is
// whole once finished(true) has been sent; a stopped or failed run leaves an
// empty result and says why in problem().
class ComponentRun : public Run {
    Q_OBJECT
public:
    explicit ComponentRun(QObject *parent = nullptr);
    ~ComponentRun() override;

    // The stack's dark areas must be up to date and the stack and settings
    // unchanged until the run ends. threads <= 0: one per core.
    bool start(ComponentKind kind, const ComponentSettings &s, const AnalyzeCond &grid,
               int threads = 0);
    bool run(ComponentKind kind, const ComponentSettings &s, const AnalyzeCond &grid,
             int threads = 0);
    void stop() override;
    void wait() override;
    bool isRunning() const override { return m_running.load(); }

    const ComponentResult &result() const { return m_result; }
    // Hands the result (its maps included) to the caller, leaving an empty one.
    ComponentResult takeResult() { return std::exchange(m_result, ComponentResult()); }
    QString problem() const { return m_problem; }
    bool ranOutOfMemory() const { return m_outOfMemory; }
    // (progress: the percentage of all passes, sent from the run's threads.)

private:
    // Takes the run for one analysis; false while another one goes.
    bool claim(ComponentKind kind, const ComponentSettings &s, const AnalyzeCond &grid,
               int threads);
    bool execute();
    bool executePasses();
    bool runPass(int pass, const MapRun::TaskFactory &factory,
                 const QVector<Analyzed2DRes *> &maps);
    bool findEnergies();
    void findJumpThreshold();
    bool decompose(int count);
    void clusterScores();
    void factorise();
    void writeBinMaps(const std::vector<double> &values, int perBin, int column,
                      Analyzed2DRes &map) const;

    ComponentKind m_kind = ComponentKind::Pca;
    ComponentSettings m_s;
    AnalyzeCond m_grid;
    int m_threads = 0;
    int m_passes = 1;
    ComponentResult m_result;
    QString m_problem;
    bool m_outOfMemory = false;

    // Walk state shared with the bin tasks.
    std::vector<char> m_valid;    // per bin of the walk
    std::vector<double> m_scores; // per bin x score count
    int m_scoreCount = 0;
    std::vector<int> m_labels; // per bin: cluster, -1 left out
    SpectrumMoments m_moments;
    std::vector<double> m_clusterSums; // K x d
    std::vector<qint64> m_clusterCounts;

    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stop{false};
    std::mutex m_passMutex;
    MapRun *m_pass = nullptr;
    std::thread m_controller;

    friend class ComponentTask;
};
