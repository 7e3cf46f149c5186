#include "RunDriver.h"

#include <chrono>
#include <new>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int ProgressIntervalMs = 100;

// Stops the run and waits for its threads, then lets the Python error (set
// by the signal check or the callback) go up.
[[noreturn]] void abandon(const StartedRun &run, py::error_already_set &&error) {
    {
        py::gil_scoped_release nogil;
        run.stop();
        run.wait();
    }
    throw std::move(error);
}

void report(const StartedRun &run, const py::object &progress, double fraction) {
    if (progress.is_none())
        return;
    try {
        progress(fraction);
    } catch (py::error_already_set &e) {
        abandon(run, std::move(e));
    }
}

} // namespace

bool RunEnd::waitFor(int ms) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_ended; });
}

void RunEnd::note() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ended = true;
    }
    m_cv.notify_all();
}

void waitForRun(const StartedRun &run, const py::object &progress) {
    auto lastReport = Clock::now();
    for (;;) {
        bool ended = false;
        {
            py::gil_scoped_release nogil;
            ended = run.end.waitFor(ProgressIntervalMs);
        }
        if (ended)
            break;
        if (PyErr_CheckSignals() != 0)
            abandon(run, py::error_already_set());
        if (Clock::now() - lastReport >= std::chrono::milliseconds(ProgressIntervalMs)) {
            report(run, progress, run.fraction());
            lastReport = Clock::now();
        }
    }
    {
        py::gil_scoped_release nogil;
        run.wait();
    }
    report(run, progress, 1.0);
}

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
    RunEnd end(run);
    {
        py::gil_scoped_release nogil;
        run.start(grid, maps.list, factory, threads);
    }
    const auto fraction = [&run] {
        const int rows = run.rowCount();
        return rows > 0 ? double(run.rowsDone()) / rows : 1.0;
    };
    waitForRun({end, [&run] { run.stop(); }, [&run] { run.wait(); }, fraction}, progress);
    if (run.ranOutOfMemory())
        throw std::bad_alloc();
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
