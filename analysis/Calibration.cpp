#include "analysis/Calibration.h"

#include "app/DebugLog.h"

#include <cmath>

bool CalibSteps::valid() const {
    if (!(std::isfinite(step) && std::isfinite(minStep) && std::isfinite(range)))
        return false;
    if (!(step > 0 && minStep > 0 && range >= 0))
        return false;
    // Each pass divides the step by ten: bounded passes and trials per pass.
    return step / minStep < 1e12 && 2 * range / step <= 1e5;
}

namespace {

// The similarity, or NaN when no point pair counted (either sum of squares
// not positive): such a trial scores nothing in the search.
// The curves compared are the normalised spectra ((mu - post) / dMut + 1):
// flat at 0 below the edge and at 1 above it for both, whatever their edge
// jumps, so the product measures the shape of the edge alone.
double innerProductOrNaN(const XafsSpectrum &spectrum, double dE, const XafsSpectrum &standard) {
    const Spectrum &target = spectrum.normalized();
    const Spectrum &ref = standard.normalized();
    const double offset = ref.shifted() ? ref.shift() : 0.0;
    const double lo = standard.xMin();
    const double hi = standard.xMax();
    const int n = spectrum.count();
    const int nTarget = target.count();
    double ns = 0, nn = 0, ss = 0;
    for (int i = 0; i < n; ++i) {
        const double d = spectrum.effectiveX(i) - dE;
        if (std::isnan(d))
            DebugLog::write(QStringLiteral("nan EeV in XafsSpectrum::doubleNormalizedPreBase"));
        if (!(d >= lo && d <= hi))
            continue;
        const double ni = i < nTarget ? target.y(i) : 0.0;
        const double si = ref.valueAt(d + offset);
        ns += ni * si;
        nn += ni * ni;
        ss += si * si;
    }
    if (nn > 0 && ss > 0)
        return ns / std::sqrt(nn * ss);
    return std::nan("");
}

} // namespace

double shiftedNormalizedInnerP(const XafsSpectrum &spectrum, double dE,
                               const XafsSpectrum &standard) {
    const double r = innerProductOrNaN(spectrum, dE, standard);
    return std::isnan(r) ? 0.0 : r;
}

// Every pass is centred on the dMidx shift a - b; the best similarity carries
// over, so a finer pass replaces the result only with a strictly better one.
// Trial k of a pass sits at -c + k*e (not an accumulated sum), so the pass
// ends exactly at +c: 41 trials for c = 20, e = 1 and for c = 2, e = 0.1.
double findBestMatchDE(const XafsSpectrum &spectrum, const XafsSpectrum &standard,
                       const CalibSteps &steps) {
    if (!steps.valid())
        return 0;
    const double base = spectrum.midx() - standard.midx();
    double c = steps.range;
    double e = steps.step;
    double best = -1e300;
    double result = 0;
    while (e >= steps.minStep) {
        const long trials = long(std::floor(2 * c / e + 1e-9));
        for (long k = 0; k <= trials; ++k) {
            const double dE = base + (-c + double(k) * e);
            const double r = innerProductOrNaN(spectrum, dE, standard);
            if (r > best) {
                best = r;
                result = dE;
            }
        }
        c *= 0.1;
        e *= 0.1;
    }
    return result;
}

bool standardHasEdge(const XafsSpectrum &standard) {
    return standard.count() >= 3 && std::isfinite(standard.dMut()) && standard.dMut() != 0 &&
           standard.normalized().count() == standard.count();
}

// ------------------------------------------------------------------ shifts

void CalibShifts::reset(const AnalyzeCond &grid) {
    m_grid = grid;
    m_binsX = grid.binsX();
    m_values.assign(size_t(grid.binCount()), std::nan(""));
}

void CalibShifts::set(int cx, int cy, double shift) {
    const int col = (cx - m_grid.x0 - m_grid.hx) / std::max(m_grid.sx, 1);
    const int row = (cy - m_grid.y0 - m_grid.hy) / std::max(m_grid.sy, 1);
    const size_t i = size_t(col) + size_t(row) * size_t(m_binsX);
    if (i < m_values.size())
        m_values[i] = shift;
}

CalibStats calibStats(const CalibShifts &shifts) {
    CalibStats s;
    double sum = 0;
    s.min = 1e300;
    s.max = -1e300;
    for (double v : shifts.values()) {
        if (std::isnan(v))
            continue;
        ++s.count;
        sum += v;
        s.min = std::min(s.min, v);
        s.max = std::max(s.max, v);
    }
    if (s.count == 0)
        return CalibStats();
    s.valid = true;
    s.mean = sum / s.count;
    double squares = 0;
    for (double v : shifts.values())
        if (!std::isnan(v))
            squares += (v - s.mean) * (v - s.mean);
    s.sigma = std::sqrt(squares / s.count);
    return s;
}

// ------------------------------------------------------------------ run

CalibTask::CalibTask(const MeasurementStack &stack, const XafsSpectrum &standard,
                     const CalibConditions &conditions, CalibShifts *shifts)
    : m_stack(stack), m_standard(standard), m_conditions(conditions), m_shifts(shifts),
      m_name(QStringLiteral("Body-Calib")) {
    m_spectrum.reserve(stack.i1().size());
}

double CalibTask::shiftOf(const XafsSpectrum &spectrum, const XafsSpectrum &standard,
                          const CalibConditions &conditions) {
    // Without an overlap of the energy ranges no inner product counts and the
    // search keeps its start value 0; the midpoints differ all the same.
    if (conditions.method == CalibMethod::InnerP)
        return findBestMatchDE(spectrum, standard, conditions.steps);
    return spectrum.midx() - standard.midx();
}

// The mu*t is built straight into the spectrum and normalised in place
// (assigning a spectrum to itself keeps its points), so the storage of the
// points, curves and lines is reused from bin to bin.
void CalibTask::beginRow(int cy, int firstCx, int sx, int count) {
    m_firstCx = firstCx;
    m_sx = sx > 0 ? sx : 1;
    m_stack.computeMuTRow(cy, firstCx, m_sx, count, m_conditions.mut, m_row);
}

void CalibTask::analyzeBin(int cx, int cy, BinWriter &out) {
    (void)cy; // the row was read in beginRow
    m_stack.muTOfRowBin(m_row, (cx - m_firstCx) / m_sx, m_spectrum);
    if (m_spectrum.isEmpty())
        return;
    m_spectrum.assign(m_spectrum, m_name, m_conditions.targetVictoreen ? 0 : 1, 0.0,
                      m_conditions.suggestion);
    const double shift = shiftOf(m_spectrum, m_standard, m_conditions);
    out.set(0, shift);
    m_shifts->set(cx, cy, shift);
}

bool runCalibration(MapRun &run, MeasurementStack &stack, const XafsSpectrum &standard,
                    const CalibConditions &conditions, const AnalyzeCond &grid, Analyzed2DRes &map,
                    CalibShifts &shifts, int threads) {
    stack.updateDarkAreas(conditions.mut);
    shifts.reset(grid);
    map.prepare(grid);
    return run.run(grid, {&map}, calibTaskFactory(stack, standard, conditions, shifts), threads);
}

MapRun::TaskFactory calibTaskFactory(const MeasurementStack &stack, const XafsSpectrum &standard,
                                     const CalibConditions &conditions, CalibShifts &shifts) {
    return [&stack, &standard, &conditions, &shifts] {
        return std::make_unique<CalibTask>(stack, standard, conditions, &shifts);
    };
}
