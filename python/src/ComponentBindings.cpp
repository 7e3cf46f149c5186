// pca_map, cluster_map and nmf_map: what a stack holds, found without
// references, as lumenstack-tool pca-map, cluster-map and nmf-map find it.
#include "Bindings.h"
#include "PyStack.h"
#include "RunDriver.h"

#include "analysis/ComponentRun.h"
#include "analysis/LcfMapSetup.h"

#include <pybind11/stl.h>

#include <cmath>

namespace {

struct ComponentArgs {
    py::object bin, area, range;
    int components, clusters;
    unsigned long long seed;
    double minJump;
    int threads;
    py::object progress;
};

void checkArgs(const ComponentArgs &a, double *start, double *end) {
    if (!a.range.is_none()) {
        std::tie(*start, *end) = a.range.cast<std::pair<double, double>>();
        if (!(*start < *end) || !(std::fabs(*start) <= MaxEnergy && std::fabs(*end) <= MaxEnergy))
            refuse(QStringLiteral("--range S E takes two energies, the start below the end"));
    }
    if (a.components < 1 || a.components > 1000)
        refuse(QStringLiteral("--components takes a whole number from 1 to 1000"));
    if (a.clusters < 1 || a.clusters > 1000)
        refuse(QStringLiteral("--clusters takes a whole number from 1 to 1000"));
    if (!(a.minJump >= 0 && a.minJump <= 1e6))
        refuse(QStringLiteral("--min-jump takes a fraction from 0 up"));
}

// The settings of the run over the stack's bins, the stack's fixed edge in
// the suggestion. The stack must be held and its bins placed.
ComponentSettings settingsOf(const PyStack &s, const ComponentArgs &a, double start, double end) {
    const LoadedStack &l = *s.loaded;
    ComponentSettings c;
    c.stack = &l.stack;
    c.bin = l.bin;
    c.rangeStart = start;
    c.rangeEnd = end;
    c.minJumpFraction = a.minJump;
    c.components = a.components;
    c.clusters = a.clusters;
    c.nmfComponents = a.components;
    c.seed = a.seed;
    if (s.fixedE0) {
        const QString problem = fixSuggestionEdge(l, s.fixedE0Auto, s.e0, c.bin.suggestion);
        if (!problem.isEmpty())
            refuse(problem);
    }
    return c;
}

ComponentResult runComponents(ComponentKind kind, const ComponentSettings &c,
                              const AnalyzeCond &grid, int threads, const py::object &progress) {
    const QString refused = componentRunProblem(kind, c);
    if (!refused.isEmpty())
        refuse(refused);
    ComponentRun run;
    RunEnd end(run);
    std::atomic<double> percent{0};
    QObject::connect(
        &run, &ComponentRun::progress, &run, [&percent](double p) { percent = p; },
        Qt::DirectConnection);
    {
        py::gil_scoped_release nogil;
        run.start(kind, c, grid, threads);
    }
    waitForRun({end, [&run] { run.stop(); }, [&run] { run.wait(); },
                [&percent] { return std::clamp(percent / 100, 0.0, 1.0); }},
               progress);
    if (run.ranOutOfMemory())
        throw std::bad_alloc();
    if (!run.problem().isEmpty())
        refuse(run.problem());
    return run.takeResult();
}

// Spectra over the run's energies as one array (count, energies).
py::array_t<double> spectraArray(const QVector<ComponentSpectrum> &spectra, int energies) {
    std::vector<double> v;
    for (const ComponentSpectrum &s : spectra)
        v.insert(v.end(), s.begin(), s.end());
    return handOver(std::move(v), {py::ssize_t(spectra.size()), py::ssize_t(energies)});
}

py::array_t<double> vectorArray(const QVector<double> &values) {
    return handOver(std::vector<double>(values.begin(), values.end()));
}

// Maps at the bin centres: (count, bin rows, bin columns), or one map alone.
py::array_t<double> mapsArray(const std::vector<const Analyzed2DRes *> &maps,
                              const AnalyzeCond &grid, bool stacked) {
    std::vector<double> v;
    for (const Analyzed2DRes *map : maps) {
        AnalyzeCond g = grid;
        g.reset();
        do {
            v.push_back(map->valueAt(g.cx, g.cy));
        } while (g.next());
    }
    const py::ssize_t rows = grid.binsY(), columns = grid.binsX();
    if (!stacked)
        return handOver(std::move(v), {rows, columns});
    return handOver(std::move(v), {py::ssize_t(maps.size()), rows, columns});
}

std::vector<const Analyzed2DRes *> mapsOf(const std::vector<std::unique_ptr<Analyzed2DRes>> &m) {
    std::vector<const Analyzed2DRes *> out;
    for (const auto &map : m)
        out.push_back(map.get());
    return out;
}

py::dict resultDict(const ComponentResult &r, const AnalyzeCond &grid) {
    py::dict out = binCentres(grid);
    const int e = r.energies.size();
    out["energies"] = vectorArray(r.energies);
    out["mean"] = vectorArray(r.mean);
    out["bins_used"] = r.binsUsed;
    out["bins_left_out"] = r.binsLeftOut;
    out["jump_threshold"] = r.jumpThreshold;
    if (r.kind == ComponentKind::Pca) {
        out["eigenvalues"] = vectorArray(r.eigenvalues);
        out["explained"] = vectorArray(r.explainedRatios);
        out["components"] = spectraArray(r.components, e);
        out["scores"] = mapsArray(mapsOf(r.scoreMaps), grid, true);
    } else if (r.kind == ComponentKind::Clusters) {
        out["cluster"] = mapsArray({r.clusterMap.get()}, grid, false);
        out["spectra"] = spectraArray(r.clusterSpectra, e);
        out["sizes"] = std::vector<qint64>(r.clusterSizes.begin(), r.clusterSizes.end());
    } else {
        out["components"] = spectraArray(r.nmfComponents, e);
        out["weights"] = mapsArray(mapsOf(r.weightMaps), grid, true);
        out["offset"] = r.nmfOffset;
    }
    return out;
}

py::dict componentMap(PyStack &s, ComponentKind kind, const ComponentArgs &a) {
    double start = 0, end = MaxEnergy;
    checkArgs(a, &start, &end);
    const int threads = threadsArg(a.threads);
    StackHold hold(s);
    placeBins(s, a.bin, a.area);
    const ComponentSettings c = settingsOf(s, a, start, end);
    const ComponentResult r = runComponents(kind, c, s.loaded->grid, threads, a.progress);
    return resultDict(r, s.loaded->grid);
}

const char *const CommonDoc = R"doc(
Every bin's spectrum is built and normalised as for lcf_map (the stack's
fixed_e0 included) and read at the stack's energies within range (start, end)
eV. Bins whose edge jump is below min_jump times the jump of the whole area's
summed spectrum are left out (-1 in every map). bin, area, threads and
progress as for lcf_map.

The dict holds the bin centres "x", "y", the "energies" used, the "mean"
spectrum, "bins_used", "bins_left_out" and "jump_threshold", and:)doc";

std::string docOf(const char *head, const char *tail) {
    return std::string(head) + CommonDoc + tail;
}

} // namespace

void bindComponents(py::module_ &m) {
    m.def(
        "pca_map",
        [](PyStack &stack, py::object bin, py::object area, py::object range, int components,
           double minJump, int threads, py::object progress) {
            return componentMap(stack, ComponentKind::Pca,
                                {bin, area, range, components, 1, 1, minJump, threads, progress});
        },
        py::arg("stack"), py::arg("bin") = py::make_tuple(0, 0), py::arg("area") = py::none(),
        py::arg("range") = py::none(), py::arg("components") = 5, py::arg("min_jump") = 0.1,
        py::arg("threads") = 0, py::arg("progress") = py::none(),
        docOf("Principal components of the bins' normalised spectra, as lumenstack-tool "
              "pca-map finds them.\n",
              "\n\"eigenvalues\" (all, falling), \"explained\" (each over their sum),\n"
              "\"components\" (components x energies, unit norm) and \"scores\"\n"
              "(components x bin rows x bin columns).")
            .c_str());
    m.def(
        "cluster_map",
        [](PyStack &stack, int clusters, py::object bin, py::object area, py::object range,
           int components, unsigned long long seed, double minJump, int threads,
           py::object progress) {
            return componentMap(
                stack, ComponentKind::Clusters,
                {bin, area, range, components, clusters, seed, minJump, threads, progress});
        },
        py::arg("stack"), py::arg("clusters"), py::arg("bin") = py::make_tuple(0, 0),
        py::arg("area") = py::none(), py::arg("range") = py::none(), py::arg("components") = 5,
        py::arg("seed") = 1, py::arg("min_jump") = 0.1, py::arg("threads") = 0,
        py::arg("progress") = py::none(),
        docOf("k-means clusters of the bins' normalised spectra (on their first `components`\n"
              "principal scores, from `seed`), as lumenstack-tool cluster-map finds them.\n",
              "\n\"cluster\" (bin rows x bin columns: 0..clusters-1, -1 left out),\n"
              "\"spectra\" (each cluster's mean normalised spectrum, usable as an LCF\n"
              "reference) and \"sizes\" (bins per cluster).")
            .c_str());
    m.def(
        "nmf_map",
        [](PyStack &stack, int components, py::object bin, py::object area, py::object range,
           unsigned long long seed, double minJump, int threads, py::object progress) {
            return componentMap(
                stack, ComponentKind::Nmf,
                {bin, area, range, components, 1, seed, minJump, threads, progress});
        },
        py::arg("stack"), py::arg("components"), py::arg("bin") = py::make_tuple(0, 0),
        py::arg("area") = py::none(), py::arg("range") = py::none(), py::arg("seed") = 1,
        py::arg("min_jump") = 0.1, py::arg("threads") = 0, py::arg("progress") = py::none(),
        docOf("Non-negative factorisation of the bins' normalised spectra into `components`\n"
              "spectra and their weights, as lumenstack-tool nmf-map finds it.\n",
              "\n\"components\" (the factors of the spectra offset by \"offset\", each\n"
              "peaking at 1; components x energies) and \"weights\" (components x bin\n"
              "rows x bin columns).")
            .c_str());
}
