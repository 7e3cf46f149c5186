#pragma once
// A map run driven from Python: MapRun walks the bins on its threads while
// the calling thread waits with the GIL released. Every tenth of a second at
// most it takes the GIL back to call the progress callback and to look for a
// pending signal; Ctrl+C (KeyboardInterrupt) or an exception from the
// callback stops the run through MapRun::stop, which the threads heed at the
// next bin, and is raised once they have ended.
#include "Convert.h"

#include "analysis/MapRun.h"

#include <memory>
#include <vector>

// The maps of a run, prepared with its grid.
struct RunMaps {
    std::vector<std::unique_ptr<Analyzed2DRes>> owned;
    QVector<Analyzed2DRes *> list;
    RunMaps(int count, const AnalyzeCond &grid);
    // Map k at the bin centres, rows x columns, appended to out.
    void appendBins(int k, std::vector<double> &out) const;
};

// Runs the factory's tasks over the grid into the maps; returns when every
// bin is done. progress: None or a callable taking a fraction 0..1.
void driveRun(const AnalyzeCond &grid, RunMaps &maps, const MapRun::TaskFactory &factory,
              int threads, const py::object &progress);

// Maps first..first+count-1 at the bin centres as one array (count, rows,
// columns), or (rows, columns) for one map with stacked false.
py::array_t<double> binArray(const RunMaps &maps, const AnalyzeCond &grid, int first, int count,
                             bool stacked = true);
