#include "analysis/CalibrationRun.h"

CalibrationRun::CalibrationRun() : m_map(QStringLiteral("a2d esm")) {}

bool CalibrationRun::start(const MeasurementStack &stack, const AnalyzeCond &grid,
                           const CalibConditions &conditions, const XafsSpectrum &standard) {
    if (m_run.isRunning())
        return false;
    m_conditions = conditions;
    m_standard = standard;
    m_shifts.reset(grid);
    m_map.prepare(grid);
    return m_run.start(grid, {&m_map}, [this, &stack] {
        return std::make_unique<CalibTask>(stack, m_standard, m_conditions, &m_shifts);
    });
}
