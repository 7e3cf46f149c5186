// elem_map and shift_map: lumenstack-tool's elem-map and shift-map on a
// Stack, the maps returned at the bin centres as numpy arrays.
#include "Bindings.h"
#include "PyStack.h"
#include "RunDriver.h"

#include "analysis/Calibration.h"
#include "analysis/ElemMapSetup.h"
#include "analysis/LcfReferenceFile.h"

#include <pybind11/stl.h>

#include <cmath>

namespace {

// The names of an element row's maps, in ElemMapKind order (as elem-map
// names its files).
const char *const ElemKindKeys[ElemMapKinds] = {"dmut", "ndmut", "mup", "mum", "de", "roi", "nroi"};

std::optional<double> optionalNumber(const py::object &v) {
    if (v.is_none())
        return std::nullopt;
    return v.cast<double>();
}

std::optional<QVector<double>> optionalRows(const py::object &v) {
    if (v.is_none())
        return std::nullopt;
    QVector<double> rows;
    for (const py::handle item : v)
        rows.append(item.cast<double>());
    return rows;
}

struct ElemArgs {
    py::object elems, bin, area;
    bool sort;
    py::object de, th, roi;
    bool noNeg;
    py::object use, std;
    int mainRow;
    py::object corTh, bg;
    int threads;
    py::object progress;
};

ElemMapRequest elemRequest(const ElemArgs &a) {
    ElemMapRequest r;
    if (py::isinstance<py::str>(a.elems)) {
        r.elems = textArg(a.elems);
    } else {
        QStringList names;
        for (const py::handle name : a.elems)
            names << textArg(name);
        r.elems = names.join(' ');
    }
    r.sort = a.sort;
    r.noNeg = a.noNeg;
    r.dE = optionalNumber(a.de);
    r.th = optionalNumber(a.th);
    r.corTh = optionalNumber(a.corTh);
    if (!a.roi.is_none()) {
        const auto [start, end] = a.roi.cast<std::pair<double, double>>();
        r.roiStart = start;
        r.roiEnd = end;
    }
    if (!a.bg.is_none()) {
        const auto [dMut, dE, roi, nRoi] = a.bg.cast<std::tuple<double, double, double, double>>();
        r.bg = ElemBackground{dMut, 0, dE, roi, nRoi};
    }
    for (const auto &v : {r.dE, r.th, r.corTh, r.roiStart, r.roiEnd})
        if (v && !std::isfinite(*v))
            refuse(QStringLiteral("de, th, roi and cor_th take finite numbers"));
    r.use = optionalRows(a.use);
    r.stdRatios = optionalRows(a.std);
    r.mainRow = a.mainRow;
    return r;
}

void warnSkipped(const QStringList &skipped) {
    for (const QString &name : skipped)
        if (PyErr_WarnEx(PyExc_UserWarning, ("skipping unknown element " + name).toUtf8(), 1))
            throw py::error_already_set();
}

py::dict elemMap(PyStack &s, const ElemArgs &a) {
    const ElemMapRequest request = elemRequest(a);
    QVector<ElemTarget> targets;
    QStringList skipped;
    QString why = buildElemTargets(request, &targets, &skipped);
    warnSkipped(skipped);
    auto setup = std::make_shared<ElemRunSetup>();
    if (why.isEmpty())
        why = buildElemSetup(request, targets, setup.get());
    if (!why.isEmpty())
        refuse(why);
    const int threads = threadsArg(a.threads);
    StackHold hold(s);
    placeBins(s, a.bin, a.area);
    const LoadedStack &l = *s.loaded;
    setup->logBins = false;
    setup->stack = &l.stack;
    setup->mut = l.bin.conditions;
    setup->shift = l.bin.shiftMap;
    const int n = targets.size();
    RunMaps maps(elemMapCount(n), l.grid);
    driveRun(l.grid, maps, elemTaskFactory(setup), threads, a.progress);
    recalcElemCorrelation(*setup, maps.list);

    py::dict out = binCentres(l.grid);
    py::list names;
    for (const ElemTarget &t : targets)
        names.append(t.name.toStdString());
    out["elems"] = names;
    for (int k = 0; k < ElemMapKinds; ++k)
        out[ElemKindKeys[k]] = binArray(maps, l.grid, elemMapIndex(0, k, n), n);
    out["cor"] = binArray(maps, l.grid, elemCorIndex(n), 1, false);
    out["corth"] = binArray(maps, l.grid, elemCorIndex(n) + 1, 1, false);
    return out;
}

CalibSteps stepsArg(const py::object &step, const py::object &minStep, const py::object &range) {
    CalibSteps steps;
    steps.step = optionalNumber(step).value_or(steps.step);
    steps.minStep = optionalNumber(minStep).value_or(steps.minStep);
    steps.range = optionalNumber(range).value_or(steps.range);
    if (!steps.valid())
        refuse(QStringLiteral("--de-step, --de-min and --de-range must be positive and bounded"));
    return steps;
}

CalibMethod methodArg(const py::object &method) {
    const QString name = textArg(method);
    if (name != "dmidx" && name != "innerp")
        refuse(QStringLiteral("--method takes dmidx or innerp"));
    return name == "innerp" ? CalibMethod::InnerP : CalibMethod::DMidx;
}

py::dict statsOf(const CalibShifts &shifts) {
    const CalibStats st = calibStats(shifts);
    py::dict d;
    for (const auto &[key, v] :
         {std::pair{"max", st.max}, {"mean", st.mean}, {"min", st.min}, {"sigma", st.sigma}})
        d[key] = st.valid ? py::cast(v) : py::none();
    return d;
}

struct ShiftArgs {
    py::object standard;
    bool stdVictoreen;
    py::object method, deStep, deMin, deRange, bin, area;
    int threads;
    py::object progress;
};

py::dict shiftMap(PyStack &s, const ShiftArgs &a) {
    const QString file = pathArg(a.standard);
    CalibConditions c;
    c.method = methodArg(a.method);
    c.steps = stepsArg(a.deStep, a.deMin, a.deRange);
    const int threads = threadsArg(a.threads);
    StackHold hold(s);
    placeBins(s, a.bin, a.area);
    const LoadedStack &l = *s.loaded;
    XafsSpectrum standard;
    QString why;
    if (!loadLcfReference({file, 0, a.stdVictoreen, 0}, l.bin.suggestion, standard, &why))
        throw InputFailure(file, why);
    if (!standardHasEdge(standard))
        refuse("cannot use " + file + ": the standard has no edge");
    c.mut = l.bin.conditions;
    c.targetVictoreen = !l.bin.simpleBackground;
    c.suggestion = l.bin.suggestion;
    CalibShifts shifts;
    shifts.reset(l.grid);
    RunMaps maps(1, l.grid);
    driveRun(l.grid, maps, calibTaskFactory(l.stack, standard, c, shifts), threads, a.progress);

    py::dict out = binCentres(l.grid);
    out["shift"] = binArray(maps, l.grid, 0, 1, false);
    out["stats"] = statsOf(shifts);
    out["std_edge"] = standard.midx();
    return out;
}

} // namespace

void bindElemShift(py::module_ &m) {
    m.def(
        "elem_map",
        [](PyStack &stack, py::object elems, py::object bin, py::object area, bool sort,
           py::object de, py::object th, py::object roi, bool noNeg, py::object use, py::object std,
           int mainRow, py::object corTh, py::object bg, int threads, py::object progress) {
            return elemMap(stack, {elems, bin, area, sort, de, th, roi, noNeg, use, std, mainRow,
                                   corTh, bg, threads, progress});
        },
        py::arg("stack"), py::arg("elems"), py::arg("bin") = py::make_tuple(0, 0),
        py::arg("area") = py::none(), py::arg("sort") = false, py::arg("de") = py::none(),
        py::arg("th") = py::none(), py::arg("roi") = py::none(), py::arg("no_neg") = false,
        py::arg("use") = py::none(), py::arg("std") = py::none(), py::arg("main") = 0,
        py::arg("cor_th") = py::none(), py::arg("bg") = py::none(), py::arg("threads") = 0,
        py::arg("progress") = py::none(), R"doc(
Element maps of every bin, as lumenstack-tool elem-map computes them: for each
row (elems: "Fe Ni-K Pb-L3" or a list of such names) the edge jump and the
quantities around it, and the correlation of the rows' ratios.

sort: rows by atomic number; de, th, roi (start, end), no_neg: every row's
conditions; use (0 or 1 per row), std (standard ratio per row), main (the
0-based main row), cor_th (correlation threshold), bg (dmut, de, roi, nroi
where no edge is found): as the element panel's fields, rounded as they are.
bin, area, threads and progress as for lcf_map.

Returns a dict: "elems" (the row names), "dmut", "ndmut", "mup", "mum", "de",
"roi", "nroi" (float64 arrays (rows, bin rows, bin columns)), "cor" and
"corth" (bin rows, bin columns), and the bin centres "x", "y".)doc");

    m.def(
        "shift_map",
        [](PyStack &stack, py::object standard, bool stdVictoreen, py::object method,
           py::object deStep, py::object deMin, py::object deRange, py::object bin, py::object area,
           int threads, py::object progress) {
            return shiftMap(stack, {standard, stdVictoreen, method, deStep, deMin, deRange, bin,
                                    area, threads, progress});
        },
        py::arg("stack"), py::arg("std"), py::arg("std_victoreen") = false,
        py::arg("method") = "dmidx", py::arg("de_step") = py::none(),
        py::arg("de_min") = py::none(), py::arg("de_range") = py::none(),
        py::arg("bin") = py::make_tuple(0, 0), py::arg("area") = py::none(), py::arg("threads") = 0,
        py::arg("progress") = py::none(), R"doc(
Energy-shift map of every bin against a standard spectrum, as lumenstack-tool
shift-map computes it (the calibration window's run).

std: the standard's file (normalised with the stack's element suggestion, its
background Victoreen with std_victoreen). method: "dmidx" (shift of the
mid-edge energy) or "innerp" (best inner product, searched with de_step,
de_min and de_range in eV). bin, area, threads and progress as for lcf_map.

Returns a dict: "shift" (eV, bin rows x bin columns), "stats" (max, mean,
min, sigma; None without any bin), "std_edge" (the standard's mid-edge
energy, eV) and the bin centres "x", "y".)doc");
}
