#pragma once
// Energy calibration: every bin's spectrum is compared with a standard and
// the energy shift that aligns them best is recorded in the shift map.
//
// dMidx: shift = midpoint energy of the bin's spectrum - that of the standard.
// Inner product: starting from the dMidx shift, trial shifts over a range
// are scored by the normalised inner product of the two double-normalised
// spectra, the range and step shrinking tenfold per pass.
#include "analysis/MapRun.h"
#include "measurement/MeasurementStack.h"
#include "spectrum/SuggestElm.h"
#include "spectrum/XafsSpectrum.h"

#include <memory>
#include <vector>

enum class CalibMethod { DMidx, InnerP };

// The steps of the inner-product search (fields DEs, MinDEs, DEw).
struct CalibSteps {
    double step = 1;      // E-step [eV]
    double minStep = 0.1; // Min. E-step
    double range = 20;    // Initial E-range: trials from -range to +range
    // Positive, finite steps and a search of bounded size (at most 100000
    // trials per pass and 12 passes).
    bool valid() const;
};

// Similarity of the spectrum shifted by dE with the standard: the normalised
// inner product over the points whose shifted energy lies in the standard's
// range; 0 when either sum of squares is not positive.
double shiftedNormalizedInnerP(const XafsSpectrum &spectrum, double dE,
                               const XafsSpectrum &standard);
// The shift with the highest similarity (see above); 0 when no trial scores
// above -1e300 (no overlap at all). Invalid steps give 0 without a trial.
double findBestMatchDE(const XafsSpectrum &spectrum, const XafsSpectrum &standard,
                       const CalibSteps &steps);

struct CalibConditions {
    MuTConditions mut;
    CalibMethod method = CalibMethod::DMidx;
    CalibSteps steps;
    bool targetVictoreen = false; // background model of the bins' spectra
    SuggestElm suggestion;
};

// The standard is usable: normalised with at least three points and an edge
// jump that is finite and not zero.
bool standardHasEdge(const XafsSpectrum &standard);

// Shifts of the bins of one run, in walk order; NaN where a bin has no
// spectrum (its centre outside the image).
class CalibShifts {
public:
    void reset(const AnalyzeCond &grid);
    void set(int cx, int cy, double shift);
    const std::vector<double> &values() const { return m_values; }

private:
    AnalyzeCond m_grid;
    int m_binsX = 1;
    std::vector<double> m_values;
};

struct CalibStats {
    bool valid = false; // at least one bin had a spectrum
    int count = 0;
    double max = 0, mean = 0, min = 0, sigma = 0;
};
// Extremes, mean and (population) standard deviation of the bins' shifts, in
// walk order.
CalibStats calibStats(const CalibShifts &shifts);

// The bin task of a calibration run: mu*t of the bin (no energy shift), its
// XafsSpectrum "Body-Calib", the shift by the method, written as map 0 and
// into `shifts`. The stack's dark areas must be up to date. Bins without a
// spectrum are skipped (their cells keep 0). A spectrum whose energies do not
// overlap the standard's gets shift 0 with either method.
//
// The bins of a row are normalised from the row's arrays (EdgeNormalization,
// without the derived curves the method does not read) rather than as
// spectra, and the inner products read the standard's curve at
// the shifted energies from a table made once per edge position a bin can
// have (midx is always one of the energies or the suggested edge): the
// operations of CalibBinTask in its order, so the same bits.
class CalibTask : public BinTask {
public:
    CalibTask(const MeasurementStack &stack, const XafsSpectrum &standard,
              const CalibConditions &conditions, CalibShifts *shifts);
    ~CalibTask() override;
    void analyzeBin(int cx, int cy, BinWriter &out) override;
    void beginRow(int cy, int firstCx, int sx, int count) override;
    // The shift of one spectrum against the standard (the method's rule).
    static double shiftOf(const XafsSpectrum &spectrum, const XafsSpectrum &standard,
                          const CalibConditions &conditions);

private:
    struct Row;
    std::unique_ptr<Row> m_row;
};

// The same bin by bin through each bin's XafsSpectrum: the reference of the
// row run.
class CalibBinTask : public BinTask {
public:
    CalibBinTask(const MeasurementStack &stack, const XafsSpectrum &standard,
                 const CalibConditions &conditions, CalibShifts *shifts);
    void analyzeBin(int cx, int cy, BinWriter &out) override;
    void beginRow(int cy, int firstCx, int sx, int count) override;

private:
    const MeasurementStack &m_stack;
    const XafsSpectrum &m_standard;
    const CalibConditions &m_conditions;
    CalibShifts *m_shifts;
    XafsSpectrum m_spectrum;
    QString m_name;
    MuTRow m_row; // the mu*t of the current row of bins
    int m_firstCx = 0;
    int m_sx = 1;
};

// A factory for MapRun of CalibTasks writing into `shifts` (reset with the
// grid first); stack, standard, conditions and shifts must outlive the run.
MapRun::TaskFactory calibTaskFactory(const MeasurementStack &stack, const XafsSpectrum &standard,
                                     const CalibConditions &conditions, CalibShifts &shifts);
MapRun::TaskFactory calibBinByBinFactory(const MeasurementStack &stack,
                                         const XafsSpectrum &standard,
                                         const CalibConditions &conditions, CalibShifts &shifts);

// A whole calibration on the calling thread (command-line client, tests):
// brings the dark areas up to date, prepares `map` with the grid and fills
// it. False when stopped.
bool runCalibration(MapRun &run, MeasurementStack &stack, const XafsSpectrum &standard,
                    const CalibConditions &conditions, const AnalyzeCond &grid, Analyzed2DRes &map,
                    CalibShifts &shifts, int threads);
