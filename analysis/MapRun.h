#pragma once
// The one loop behind every map run (LCF/MLCF, residual absorption, elements,
// calibration, sums): walk the bins of an analysis grid, compute each bin and
// write its values into the run's maps.
//
// Bin rows are handed out in blocks to a pool of threads. Each thread builds
// its own BinTask once (spectra, fit buffers) and reuses it for every bin, so
// nothing is allocated per bin. A bin writes only its own cells; the extremes
// of each block are merged into the maps in walk order. The maps therefore
// come out bit for bit the same for any thread count, and the same as
// computing the bins one by one.
//
// A stop takes effect at the next bin: bins already written stay in the maps.
#include "analysis/AnalyzeCond.h"
#include "analysis/Analyzed2DRes.h"
#include "analysis/Run.h"

#include <QElapsedTimer>
#include <QVector>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Where a bin task writes the values of the bin being computed.
class BinWriter {
public:
    // Value t of map k (index into the run's map list) for the current bin.
    void set(int k, double t) {
        m_maps[k]->fillCells(m_cx, m_cy, m_hx, m_hy, t);
        m_ranges[k].note(t, m_cx, m_cy);
    }
    int cx() const { return m_cx; }
    int cy() const { return m_cy; }

private:
    friend class MapRun;
    Analyzed2DRes *const *m_maps = nullptr;
    MapRange *m_ranges = nullptr;
    int m_cx = 0, m_cy = 0, m_hx = 0, m_hy = 0;
};

// The per-thread work of a run: computes one bin centred at (cx, cy) and
// writes its values through out. Must not allocate per bin.
class BinTask {
public:
    virtual ~BinTask() = default;
    virtual void analyzeBin(int cx, int cy, BinWriter &out) = 0;
    // Called before the bins of a row: `count` bins centred at
    // (firstCx + b * sx, cy). A task may read the row's data here at once.
    virtual void beginRow(int cy, int firstCx, int sx, int count) {
        (void)cy, (void)firstCx, (void)sx, (void)count;
    }
};

class MapRun : public Run {
    Q_OBJECT
public:
    using TaskFactory = std::function<std::unique_ptr<BinTask>()>;

    explicit MapRun(QObject *parent = nullptr);
    // Stops a run still going and waits for its threads.
    ~MapRun() override;

    // Starts walking `grid` in the background; the maps must be prepared with
    // the grid by the caller (they keep their number and name). threads <= 0
    // means one per core. False (nothing started) while a run is active.
    // The factory is called once on each worker thread.
    bool start(const AnalyzeCond &grid, const QVector<Analyzed2DRes *> &maps, TaskFactory factory,
               int threads = 0);
    // The same, on the calling thread's time: returns when every bin is done
    // or the run was stopped from elsewhere; true when it completed.
    bool run(const AnalyzeCond &grid, const QVector<Analyzed2DRes *> &maps, TaskFactory factory,
             int threads = 0);

    // Thread-safe; the threads stop at the next bin.
    void stop() override;
    // Blocks until a background run has ended.
    void wait() override;
    bool isRunning() const override { return m_running.load(); }

    int threadCount() const { return m_threads; }
    // Bin rows merged into the maps so far (in walk order).
    int rowsDone() const;
    int rowCount() const { return m_rows; }
    double seconds() const { return m_seconds; }
    // True when the last run stopped because memory ran out on a worker
    // (the maps keep the bins done before).
    bool ranOutOfMemory() const { return m_outOfMemory.load(); }

signals:
    // (progress: the percentage of bin rows done, throttled to a few per
    // second, the last one always sent.)
    // Bin rows [0, rows) are in the maps: a window can regenerate images.
    void rowsMerged(int rows);

private:
    void prepareRun(const AnalyzeCond &grid, const QVector<Analyzed2DRes *> &maps,
                    TaskFactory factory, int threads);
    void work();
    void workBlocks();
    void runBlock(BinTask &task, int block, std::vector<MapRange> &ranges);
    void blockEnded(int block, const std::vector<MapRange> &ranges);
    bool runPool();
    void mergeStragglers();

    AnalyzeCond m_grid;
    QVector<Analyzed2DRes *> m_maps;
    TaskFactory m_factory;
    int m_threads = 1;
    int m_rows = 0;
    int m_rowsPerBlock = 1;
    int m_blocks = 0;
    std::atomic<int> m_nextBlock{0};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_outOfMemory{false};

    std::mutex m_mergeMutex;
    std::vector<std::vector<MapRange>> m_pending; // per block, until merged
    std::vector<char> m_ended;                    // per block
    int m_merged = 0;                             // blocks merged, in order
    QElapsedTimer m_sinceProgress;
    QElapsedTimer m_clock;
    double m_seconds = 0;

    std::thread m_controller;
};
