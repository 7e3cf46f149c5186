#pragma once
// A calibration run of a window and what it needs to outlive the call that
// started it: the bin tasks on the worker threads read the conditions and a
// copy of the standard, and write the run's own map and shifts. The window
// copies the map into its energy-shift map when the run ends, so that it
// never reads a map being written.
#include "analysis/Analyzed2DRes.h"
#include "analysis/Calibration.h"
#include "analysis/MapRun.h"

class CalibrationRun {
public:
    CalibrationRun();

    MapRun &run() { return m_run; }
    const MapRun &run() const { return m_run; }

    // Starts walking `grid` over `stack`, which must not change until the
    // run has ended (its dark areas up to date). False while a run goes.
    bool start(const MeasurementStack &stack, const AnalyzeCond &grid,
               const CalibConditions &conditions, const XafsSpectrum &standard);

    // The shifts of the last run, named "a2d esm"; after a stop, the bins
    // done so far.
    const Analyzed2DRes &map() const { return m_map; }
    const CalibShifts &shifts() const { return m_shifts; }

private:
    MapRun m_run;
    CalibConditions m_conditions;
    XafsSpectrum m_standard;
    Analyzed2DRes m_map;
    CalibShifts m_shifts;
};
