// lcf_map and ra_map: lumenstack-tool's lcf-map and ra-map on a Stack, the
// maps returned at the bin centres as numpy arrays.
#include "Bindings.h"
#include "PyStack.h"
#include "RunDriver.h"

#include "analysis/LcfMapSetup.h"

#include <QFileInfo>
#include <cmath>

namespace {

LcfReferenceSource referenceArg(const py::handle &item) {
    LcfReferenceSource src;
    src.victoreen = false; // as lcf-map's --ref FILE
    if (!py::isinstance<py::tuple>(item)) {
        src.file = pathArg(py::reinterpret_borrow<py::object>(item));
        return src;
    }
    const py::tuple t = py::reinterpret_borrow<py::tuple>(item);
    if (t.size() != 3)
        refuse(QStringLiteral("a reference is a file or a (file, dE, victoreen) tuple"));
    src.file = pathArg(t[0]);
    src.dE = t[1].cast<double>();
    src.victoreen = t[2].cast<bool>();
    if (!(std::fabs(src.dE) <= MaxEnergy))
        refuse(
            QString("--ref takes FILE[:DE[:vic]][@COL], DE a shift within +-%1 eV").arg(MaxEnergy));
    return src;
}

struct LcfArgs {
    py::object refs, bin, area;
    bool mlcf, old;
    py::object range;
    bool nonneg, sum1, quality;
    int threads;
    py::object progress;
};

LcfMapRequest lcfRequest(const PyStack &s, const LcfArgs &a) {
    LcfMapRequest r;
    for (const py::handle item : a.refs)
        r.refs.append(referenceArg(item));
    if (r.refs.isEmpty())
        refuse(QStringLiteral("at least one --ref is required"));
    if (r.refs.size() > LcfEngine::MaxReferences)
        refuse(QString("at most %1 references").arg(LcfEngine::MaxReferences));
    r.kind = a.mlcf ? LcfKind::MLCF : a.old ? LcfKind::OldLCF : LcfKind::LCF;
    if (!a.range.is_none()) {
        std::tie(r.sE0, r.eE0) = a.range.cast<std::pair<double, double>>();
        if (!(r.sE0 < r.eE0))
            refuse(QStringLiteral("--range S E takes a start below the end"));
    }
    r.options.nonNegative = a.nonneg;
    r.options.sumToOne = a.sum1;
    r.options.quality = a.quality;
    r.fixedE0 = s.fixedE0;
    r.fixedE0Auto = s.fixedE0Auto;
    r.e0 = s.e0;
    return r;
}

void raiseSetupFailure(const LcfSetupFailure &f) {
    switch (f.kind) {
    case LcfSetupFailure::Unreadable:
        throw InputFailure(f.file, f.needsColumn ? f.why + " (name the mu column)" : f.why);
    case LcfSetupFailure::Refused:
        refuse("reference " + f.file + " refused: " + f.why);
    case LcfSetupFailure::BadRequest:
        refuse(f.why);
    case LcfSetupFailure::None:
        break;
    }
}

py::dict lcfMap(PyStack &s, const LcfArgs &a) {
    const LcfMapRequest request = lcfRequest(s, a);
    const int threads = threadsArg(a.threads);
    StackHold hold(s);
    placeBins(s, a.bin, a.area);
    LcfMapSetup setup;
    LcfSetupFailure failed;
    {
        py::gil_scoped_release nogil;
        failed = setUpLcfMap(*s.loaded, request, setup);
    }
    raiseSetupFailure(failed);
    const AnalyzeCond &grid = s.loaded->grid;
    const int rows = setup.settings.refs.size(), used = request.refs.size();
    RunMaps maps(lcfMapCount(rows, request.options.quality), grid);
    driveRun(grid, maps, lcfRunFactory(setup.settings), threads, a.progress);

    py::dict out = binCentres(grid);
    out["amount"] = binArray(maps, grid, lcfAmountMap(0), used);
    out["fraction"] = binArray(maps, grid, lcfFractionMap(0, rows), used);
    out["residual"] = binArray(maps, grid, lcfResidualMap(rows), 1, false);
    if (request.options.quality) {
        out["sigma"] = binArray(maps, grid, lcfSigmaMap(0, rows), used);
        out["rfactor"] = binArray(maps, grid, lcfRFactorMap(rows), 1, false);
        out["chi2"] = binArray(maps, grid, lcfChi2Map(rows), 1, false);
    }
    return out;
}

py::dict raMap(PyStack &s, const py::object &bin, const py::object &area, double energy,
               double factor, int threads, const py::object &progress) {
    if (!(energy > 0 && energy <= MaxEnergy))
        refuse(QString("--energy takes an energy above 0 and up to %1 eV").arg(MaxEnergy));
    if (!std::isfinite(factor))
        refuse(QStringLiteral("--factor takes a finite number"));
    threadsArg(threads);
    StackHold hold(s);
    placeBins(s, bin, area);
    const LoadedStack &l = *s.loaded;
    RaRunSettings settings;
    settings.logRows = false;
    takeBinSettings(l, settings);
    settings.energy = energy;
    settings.factor = factor;
    RunMaps maps(RaMapCount + 1, l.grid);
    driveRun(l.grid, maps, raRunFactory(settings), threads, progress);
    computeRaRatio(*maps.list[RaDMut], *maps.list[RaRest], *maps.list[RaMapCount]);

    py::dict out = binCentres(l.grid);
    out["dmut"] = binArray(maps, l.grid, RaDMut, 1, false);
    out["rest"] = binArray(maps, l.grid, RaRest, 1, false);
    out["ratio"] = binArray(maps, l.grid, RaMapCount, 1, false);
    return out;
}

} // namespace

void bindMaps(py::module_ &m) {
    m.def(
        "lcf_map",
        [](PyStack &stack, py::object refs, py::object bin, py::object area, bool mlcf, bool old,
           py::object range, bool nonneg, bool sum1, bool quality, int threads,
           py::object progress) {
            return lcfMap(stack, {refs, bin, area, mlcf, old, range, nonneg, sum1, quality, threads,
                                  progress});
        },
        py::arg("stack"), py::arg("refs"), py::arg("bin") = py::make_tuple(0, 0),
        py::arg("area") = py::none(), py::arg("mlcf") = false, py::arg("old") = false,
        py::arg("range") = py::none(), py::arg("nonneg") = false, py::arg("sum1") = false,
        py::arg("quality") = false, py::arg("threads") = 0, py::arg("progress") = py::none(),
        R"doc(
Linear-combination fit of every bin's normalised spectrum to the references,
as lumenstack-tool lcf-map computes it (the same numbers).

refs: reference spectrum files, or (file, dE, victoreen) tuples (dE in eV
moves the reference's energies; victoreen picks its background form). bin:
half sizes (hx, hy) of the bins of (2hx+1) x (2hy+1) pixels; area: (x, y, w,
h) in pixels, default the whole image. mlcf / old: the MLCF or the former LCF
instead of LCF; range: (start, end) eV of the fit; nonneg, sum1: constraints;
quality: also the standard errors, R-factor and reduced chi^2. threads: 0 for
every core. progress: called with the fraction done (0..1), at most ten
times a second. The stack's fixed_e0 fixes the edge of the normalisation.

Returns a dict of float64 arrays: "fraction", "amount" (and "sigma" with
quality), each (references, bin rows, bin columns); "residual" (and
"rfactor", "chi2"), each (bin rows, bin columns); "x" and "y", the bin
centres (pixel column of each bin column, pixel row of each bin row).

The GIL is released while the bins are fitted; Ctrl+C stops the run.)doc");

    m.def("ra_map", &raMap, py::arg("stack"), py::arg("bin") = py::make_tuple(0, 0),
          py::arg("area") = py::none(), py::arg("energy") = 8200.0, py::arg("factor") = 1.0,
          py::arg("threads") = 0, py::arg("progress") = py::none(), R"doc(
Residual absorption of every bin, as lumenstack-tool ra-map computes it: at
energy (eV), dmut = post-edge line - pre-edge line, rest = pre-edge line -
factor * dmut, and ratio = (rest - m) / (dmut + rest - m) with m the smallest
rest. bin, area, threads and progress as for lcf_map.

Returns a dict of float64 arrays "dmut", "rest", "ratio" (bin rows, bin
columns) and the bin centres "x", "y".)doc");
}
