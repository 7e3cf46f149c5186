#pragma once
// A background run driven from Python: the engine's threads work while the
// calling thread waits with the GIL released. Every tenth of a second at most
// it takes the GIL back to call the progress callback and to look for a
// pending signal; Ctrl+C (KeyboardInterrupt) or an exception from the
// callback stops the run through the engine's stop, which its threads heed
// at the next bin (or image), and is raised once they have ended.
#include "Convert.h"

#include "analysis/MapRun.h"

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// The end of a background run, told by the run's finished signal from its
// thread (or by note()).
class RunEnd {
public:
    RunEnd() = default;
    template <typename Run> explicit RunEnd(Run &run) {
        m_connection = QObject::connect(
            &run, &Run::finished, &run, [this](bool) { note(); }, Qt::DirectConnection);
    }
    ~RunEnd() { QObject::disconnect(m_connection); }
    RunEnd(const RunEnd &) = delete;
    RunEnd &operator=(const RunEnd &) = delete;
    // Waits at most `ms`; true once the run has ended.
    bool waitFor(int ms);
    void note();

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_ended = false;
    QMetaObject::Connection m_connection;
};

// What the driver needs of a run already started: its end, a stop, the wait
// for its threads and the fraction done.
struct StartedRun {
    RunEnd &end;
    std::function<void()> stop;
    std::function<void()> wait;
    std::function<double()> fraction;
};

// Waits for the run's end (see above); progress: None or a callable taking a
// fraction 0..1, called with 1 at the end.
void waitForRun(const StartedRun &run, const py::object &progress);

// The maps of a map run, prepared with its grid.
struct RunMaps {
    std::vector<std::unique_ptr<Analyzed2DRes>> owned;
    QVector<Analyzed2DRes *> list;
    RunMaps(int count, const AnalyzeCond &grid);
    // Map k at the bin centres, rows x columns, appended to out.
    void appendBins(int k, std::vector<double> &out) const;
};

// Runs the factory's tasks over the grid into the maps on MapRun's threads;
// returns when every bin is done.
void driveRun(const AnalyzeCond &grid, RunMaps &maps, const MapRun::TaskFactory &factory,
              int threads, const py::object &progress);

// Maps first..first+count-1 at the bin centres as one array (count, rows,
// columns), or (rows, columns) for one map with stacked false.
py::array_t<double> binArray(const RunMaps &maps, const AnalyzeCond &grid, int first, int count,
                             bool stacked = true);
