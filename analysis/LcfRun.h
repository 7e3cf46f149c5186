#pragma once
// The map runs of the analysis panel as MapRun bin tasks: LCF/MLCF, residual
// absorption, and the Fourier-component diagnostic. Each bin's spectrum is
// built exactly as the main window builds the spectrum under the mouse
// (measurement/BinSpectrum.h), so a map value equals the interactive analysis
// of the same bin.
#include "analysis/AnalyzeCond.h"
#include "analysis/Analyzed2DRes.h"
#include "analysis/LcfEngine.h"
#include "analysis/MapRun.h"
#include "measurement/MeasurementStack.h"

#include <QString>
#include <QVector>

struct LcfRunSettings {
    const MeasurementStack *stack = nullptr;
    MuTConditions conditions;
    ShiftMapView shiftMap;
    bool simpleBackground = true; // not the calibration panel's Victoreen target background
    SuggestElm suggestion;
    QVector<LcfReference> refs; // ALL rows, in row order
    LcfKind kind = LcfKind::LCF;
    double sE0 = 0;
    double eE0 = 30000;
    LcfOptions options; // constraints, and the quality maps
};

// The map list an LCF/MLCF run writes, for n = refs.size() rows: maps 0..n-1
// are the rows' amount maps, n..2n-1 their fraction maps, 2n "a2d Zansa".
// With LcfOptions::quality there follow the rows' sigma maps (2n+1..3n), the
// R-factor map (3n+1) and the reduced chi^2 map (3n+2).
inline int lcfAmountMap(int row) {
    return row;
}
inline int lcfFractionMap(int row, int rows) {
    return rows + row;
}
inline int lcfResidualMap(int rows) {
    return 2 * rows;
}
inline int lcfSigmaMap(int row, int rows) {
    return 2 * rows + 1 + row;
}
inline int lcfRFactorMap(int rows) {
    return 3 * rows + 1;
}
inline int lcfChi2Map(int rows) {
    return 3 * rows + 2;
}
inline int lcfMapCount(int rows, bool quality = false) {
    return quality ? 3 * rows + 3 : 2 * rows + 1;
}

// Why a run with these settings cannot give a result ("" when it can): no
// stack, no I1 image, fewer than two rows, too many rows in use, a fixed edge
// energy outside the stack's energies.
QString lcfRunProblem(const LcfRunSettings &s);

// A factory for MapRun: one task per thread. The stack's dark areas must be up
// to date (MeasurementStack::updateDarkAreas) and the settings, stack and
// reference spectra must stay unchanged while the run lasts.
//
// Per bin: the energy shift from the shift map, mu*t with the bin half sizes,
// the XafsSpectrum "Body-AaP", its analysis; row i in use receives amount and
// fraction d (d counting the used rows), "a2d Zansa" the residual. A bin
// without a spectrum (centre outside the image) records 0 in the same maps,
// and NaN in the quality maps (a bin not fitted has no error bar).
//
// The bins of a row are computed from the row's arrays at once (mu*t,
// normalisation, fit), with the same operations in the same order as building
// each bin's XafsSpectrum: the maps equal lcfBinByBinFactory's to the bit.
MapRun::TaskFactory lcfRunFactory(const LcfRunSettings &s);
// The same run bin by bin through each bin's XafsSpectrum (BinSpectrum.h),
// kept as the reference the row run is checked against.
MapRun::TaskFactory lcfBinByBinFactory(const LcfRunSettings &s);

// ---- residual absorption ----

struct RaRunSettings {
    const MeasurementStack *stack = nullptr;
    MuTConditions conditions;
    ShiftMapView shiftMap;
    bool simpleBackground = true;
    SuggestElm suggestion;
    double energy = 8200; // E_RA, eV
    double factor = 1.0;
    // The window's run writes the centre row of each row of bins to the debug
    // log; the command-line tool, which shows that log on stderr, does not.
    bool logRows = true;
};

// Map list of the residual-absorption run: "a2d DMut", "a2d Rest".
enum RaMap { RaDMut = 0, RaRest = 1, RaMapCount = 2 };

// Per bin: the spectrum "Body-RaA"; E = E_RA (minus twice the shift when the
// spectrum's energy offset is in force); dmut = post(E) - pre(E) and
// rest = pre(E) - factor * dmut. A bin without a spectrum records 0.
MapRun::TaskFactory raRunFactory(const RaRunSettings &s);

// "a2d Rati" from the two maps, cell by cell: m = the smallest cell of rest,
// ratio = (rest - m) / (dmut + rest - m), and 0 where that denominator is 0.
// ratio is prepared with rest's grid first. False when the maps have no grids.
bool computeRaRatio(const Analyzed2DRes &dmut, const Analyzed2DRes &rest, Analyzed2DRes &ratio);

// ---- Fourier-component diagnostic ----

struct FourierDiagnosticLine {
    int p = 0;
    double sumG2 = 0, sumH2 = 0, sumGH = 0, correlation = 0;
};

// For each component p of the forward DFT over the I1 series: walk the grid,
// g = the first I1 image's bin sum, h = |component p of the bin sums|;
// accumulate and write "Res" lines (with the time stamp "2da FA 1:" first) to
// the debug log. Returns the lines; empty without I1 images.
QVector<FourierDiagnosticLine> execFourierA(const MeasurementStack &stack, const AnalyzeCond &grid);
