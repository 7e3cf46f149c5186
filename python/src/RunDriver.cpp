#include "RunDriver.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto ProgressInterval = std::chrono::milliseconds(100);

// The end of a background run, told by MapRun::finished from its thread.
struct RunEnd {
    std::mutex m;
    std::condition_variable cv;
    bool ended = false;

    void note() {
        {
            std::lock_guard<std::mutex> lock(m);
            ended = true;
        }
        cv.notify_all();
    }
    // Waits at most one progress interval; true once the run has ended.
    bool waitBriefly() {
        std::unique_lock<std::mutex> lock(m);
        return cv.wait_for(lock, ProgressInterval, [this] { return ended; });
    }
};

double fractionDone(const MapRun &run) {
    const int rows = run.rowCount();
    return rows > 0 ? double(run.rowsDone()) / rows : 1.0;
}

// Stops the run and waits for its threads, then lets the Python error (set
// by the signal check or the callback) go up.
[[noreturn]] void abandon(MapRun &run, py::error_already_set &&error) {
    {
        py::gil_scoped_release nogil;
        run.stop();
        run.wait();
    }
    throw std::move(error);
}

void report(MapRun &run, const py::object &progress, double fraction) {
    if (progress.is_none())
        return;
    try {
        progress(fraction);
    } catch (py::error_already_set &e) {
        abandon(run, std::move(e));
    }
}

} // namespace

RunMaps::RunMaps(int count, const AnalyzeCond &grid) {
    for (int k = 0; k < count; ++k) {
        owned.push_back(std::make_unique<Analyzed2DRes>(QString("map %1").arg(k)));
        owned.back()->prepare(grid);
        list.append(owned.back().get());
    }
}

void RunMaps::appendBins(int k, std::vector<double> &out) const {
    const Analyzed2DRes &map = *owned[size_t(k)];
    AnalyzeCond g = map.grid();
    g.reset();
    do {
        out.push_back(map.valueAt(g.cx, g.cy));
    } while (g.next());
}

void driveRun(const AnalyzeCond &grid, RunMaps &maps, const MapRun::TaskFactory &factory,
              int threads, const py::object &progress) {
    MapRun run;
    RunEnd end;
    QObject::connect(
        &run, &MapRun::finished, &run, [&end](bool) { end.note(); }, Qt::DirectConnection);
    {
        py::gil_scoped_release nogil;
        run.start(grid, maps.list, factory, threads);
    }
    auto lastReport = Clock::now();
    for (;;) {
        bool ended = false;
        {
            py::gil_scoped_release nogil;
            ended = end.waitBriefly();
        }
        if (ended)
            break;
        if (PyErr_CheckSignals() != 0)
            abandon(run, py::error_already_set());
        if (Clock::now() - lastReport >= ProgressInterval) {
            report(run, progress, fractionDone(run));
            lastReport = Clock::now();
        }
    }
    {
        py::gil_scoped_release nogil;
        run.wait();
    }
    if (run.ranOutOfMemory())
        throw std::bad_alloc();
    report(run, progress, 1.0);
}

py::array_t<double> binArray(const RunMaps &maps, const AnalyzeCond &grid, int first, int count,
                             bool stacked) {
    std::vector<double> values;
    values.reserve(size_t(count) * size_t(grid.binCount()));
    for (int k = first; k < first + count; ++k)
        maps.appendBins(k, values);
    const py::ssize_t rows = grid.binsY(), columns = grid.binsX();
    if (!stacked)
        return handOver(std::move(values), {rows, columns});
    return handOver(std::move(values), {py::ssize_t(count), rows, columns});
}
