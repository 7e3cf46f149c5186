#include "PyStack.h"

#include "spectrum/Spectrum.h"

#include <pybind11/stl.h>

#include <cmath>

namespace {

QString numberText(double v, const char *option) {
    if (!std::isfinite(v))
        refuse(QString(option) + " takes a finite number");
    return QString::number(v, 'g', 17);
}

void takeSuggestion(const py::object &suggest, StackOptions &o) {
    if (suggest.is_none())
        return;
    const auto pair = suggest.cast<std::pair<py::object, py::object>>();
    o.suggest = true;
    o.suggestSymbol = textArg(pair.first);
    o.suggestEdge = suggestEdgeIndex(textArg(pair.second));
    if (o.suggestEdge < 0)
        refuse(suggestEdgeUsage());
}

void takeFixedEdge(const py::object &fixedE0, PyStack &s) {
    if (fixedE0.is_none())
        return;
    s.fixedE0 = true;
    if (py::isinstance<py::str>(fixedE0) && fixedE0.cast<std::string>() == "auto") {
        s.fixedE0Auto = true;
        return;
    }
    try {
        s.e0 = fixedE0.cast<double>();
    } catch (const py::cast_error &) {
        s.e0 = NAN;
    }
    if (!std::isfinite(s.e0))
        refuse(QStringLiteral("--fixed-e0 takes a finite energy or auto"));
}

struct OpenArgs {
    py::object i1, i0, energies, energyPattern, dark, h5, layout;
    bool fluorescence;
    py::object suggest, dpre, dpost, jumpSigma, shifts, shiftMap, fixedE0;
};

StackOptions stackOptions(const OpenArgs &a) {
    StackOptions o;
    o.i1Dir = pathArg(a.i1);
    o.i0Dir = pathArg(a.i0);
    o.energiesFile = pathArg(a.energies);
    if (!a.energyPattern.is_none())
        o.energyPattern = textArg(a.energyPattern);
    const QString pattern = energyPatternProblem(o.energyPattern);
    if (!pattern.isEmpty())
        refuse(pattern);
    o.darkFile = pathArg(a.dark);
    o.h5File = pathArg(a.h5);
    o.layoutFile = pathArg(a.layout);
    o.shiftsFile = pathArg(a.shifts);
    o.shiftMapFile = pathArg(a.shiftMap);
    o.fluorescence = a.fluorescence;
    takeSuggestion(a.suggest, o);
    if (!a.dpre.is_none())
        o.dPre = numberText(a.dpre.cast<double>(), "--dpre");
    if (!a.dpost.is_none())
        o.dPost = numberText(a.dpost.cast<double>(), "--dpost");
    if (!a.jumpSigma.is_none())
        o.jumpSigma = numberText(a.jumpSigma.cast<double>(), "--jump-sigma");
    const QString problem = checkStackOptions(o);
    if (!problem.isEmpty())
        refuse(problem);
    return o;
}

void warnAbout(const QStringList &warnings) {
    for (const QString &w : warnings)
        if (PyErr_WarnEx(PyExc_UserWarning, w.toUtf8().constData(), 1) != 0)
            throw py::error_already_set();
}

std::shared_ptr<PyStack> openStack(const OpenArgs &a) {
    auto s = std::make_shared<PyStack>();
    s->options = stackOptions(a);
    takeFixedEdge(a.fixedE0, *s);
    QString file, why;
    bool loaded = false;
    {
        py::gil_scoped_release nogil;
        loaded = loadMeasurement(s->options, *s->loaded, &file, &why);
    }
    if (!loaded && file.isEmpty())
        refuse(why);
    if (!loaded)
        throw InputFailure(file, why);
    warnAbout(s->loaded->warnings);
    return s;
}

py::array_t<double> imageArray(const PyStack &s, Series series, int k) {
    const QVector<TiffData *> &images = s.loaded->stack.images(series);
    if (k < 0 || k >= images.size())
        throw py::index_error(QString("%1 image %2 of %3")
                                  .arg(seriesName(series))
                                  .arg(k)
                                  .arg(images.size())
                                  .toStdString());
    const TiffData &image = *images[k];
    const int w = image.width(), h = image.height();
    py::array_t<double> out({py::ssize_t(h), py::ssize_t(w)});
    double *rows = out.mutable_data();
    py::gil_scoped_release nogil;
    for (int y = 0; y < h; ++y)
        image.shiftedRow(y, rows + size_t(y) * size_t(w));
    return out;
}

py::array_t<double> energies(const PyStack &s) {
    std::vector<double> e;
    for (const TiffData *image : s.loaded->stack.i1())
        e.push_back(image->energy());
    return handOver(std::move(e));
}

py::tuple muT(PyStack &s, int x, int y, const py::object &bin) {
    const auto [hx, hy] = binArg(bin);
    if (!s.loaded->stack.inside(x, y))
        throw py::index_error(QString("(%1, %2) lies outside the %3 x %4 image")
                                  .arg(x)
                                  .arg(y)
                                  .arg(s.loaded->stack.width())
                                  .arg(s.loaded->stack.height())
                                  .toStdString());
    std::vector<double> e, mu;
    {
        StackHold hold(s);
        py::gil_scoped_release nogil;
        MuTConditions c = s.loaded->bin.conditions;
        c.hx = hx;
        c.hy = hy;
        Spectrum mut;
        s.loaded->stack.buildMuT(x, y, c, mut);
        for (int i = 0; i < mut.count(); ++i) {
            e.push_back(mut.x(i));
            mu.push_back(mut.y(i));
        }
    }
    return py::make_tuple(handOver(std::move(e)), handOver(std::move(mu)));
}

} // namespace

StackHold::StackHold(PyStack &s) : m_stack(s), m_lock(s.busy, std::defer_lock) {
    if (s.holder.load() == std::this_thread::get_id())
        throw std::runtime_error("the stack is in use by a run of this thread");
    py::gil_scoped_release nogil;
    m_lock.lock();
    s.holder = std::this_thread::get_id();
}

StackHold::~StackHold() {
    m_stack.holder = std::thread::id();
}

void placeBins(PyStack &s, const py::object &bin, const py::object &area) {
    StackOptions o = s.options;
    std::tie(o.hx, o.hy) = binArg(bin);
    if (!area.is_none()) {
        const auto r = area.cast<std::tuple<double, double, double, double>>();
        std::tie(o.areaX, o.areaY, o.areaW, o.areaH) = r;
        o.hasArea = true;
        const QString problem = areaProblem(o.areaX, o.areaY, o.areaW, o.areaH);
        if (!problem.isEmpty())
            refuse(problem);
    }
    LoadedStack &l = *s.loaded;
    const QString problem = placeGrid(o, l);
    if (!problem.isEmpty())
        refuse(problem);
    l.bin.conditions.hx = o.hx;
    l.bin.conditions.hy = o.hy;
    py::gil_scoped_release nogil;
    l.stack.updateDarkAreas(l.bin.conditions);
}

py::dict binCentres(const AnalyzeCond &grid) {
    std::vector<double> xs, ys;
    AnalyzeCond g = grid;
    g.reset();
    do {
        if (ys.empty() || g.cy != ys.back())
            ys.push_back(g.cy);
        if (ys.size() == 1)
            xs.push_back(g.cx);
    } while (g.next());
    py::dict d;
    d["x"] = handOver(std::move(xs));
    d["y"] = handOver(std::move(ys));
    return d;
}

void bindStack(py::module_ &m) {
    py::class_<PyStack, std::shared_ptr<PyStack>>(m, "Stack", R"doc(
An image series of an energy scan, loaded: the I1 (transmitted) images, the
optional I0 (incident beam) images and dark frame, each image with its energy.
Made by open_stack().)doc")
        .def_property_readonly(
            "shape",
            [](const PyStack &s) {
                const MeasurementStack &st = s.loaded->stack;
                return py::make_tuple(st.i1().size(), st.height(), st.width());
            },
            "(energies, height, width) of the I1 series.")
        .def_property_readonly("energies", &energies,
                               "The energy (eV) of each I1 image, as a float64 array.")
        .def(
            "i1", [](const PyStack &s, int k) { return imageArray(s, Series::I1, k); },
            py::arg("k"),
            "I1 image k as a 2-D float64 array (height, width), read through its "
            "registration shift.")
        .def(
            "i0", [](const PyStack &s, int k) { return imageArray(s, Series::I0, k); },
            py::arg("k"), "I0 image k as a 2-D float64 array (height, width).")
        .def("mu_t", &muT, py::arg("x"), py::arg("y"), py::arg("bin") = py::make_tuple(0, 0),
             R"doc(
The mu*t spectrum of the bin of (2*bin[0]+1) x (2*bin[1]+1) pixels centred at
pixel (x, y): ln(I0/I1) after the dark frame (I1/I0 for a fluorescence stack),
exactly as the window shows it at that point. Energies not covered by the I0
series are left out. Returns (energies, mut), two float64 arrays.)doc");

    m.def(
        "open_stack",
        [](py::object i1, py::object i0, py::object energies, py::object energyPattern,
           py::object dark, py::object h5, py::object layout, bool fluorescence, py::object suggest,
           py::object dpre, py::object dpost, py::object jumpSigma, py::object shifts,
           py::object shiftMap, py::object fixedE0) {
            return openStack({i1, i0, energies, energyPattern, dark, h5, layout, fluorescence,
                              suggest, dpre, dpost, jumpSigma, shifts, shiftMap, fixedE0});
        },
        py::arg("i1") = py::none(), py::arg("i0") = py::none(), py::arg("energies") = py::none(),
        py::arg("energy_pattern") = py::none(), py::arg("dark") = py::none(),
        py::arg("h5") = py::none(), py::arg("layout") = py::none(), py::arg("fluorescence") = false,
        py::arg("suggest") = py::none(), py::arg("dpre") = py::none(),
        py::arg("dpost") = py::none(), py::arg("jump_sigma") = py::none(),
        py::arg("shifts") = py::none(), py::arg("shift_map") = py::none(),
        py::arg("fixed_e0") = py::none(),
        R"doc(
Loads a measurement, with the meaning of lumenstack-tool's stack options.

i1: folder of the I1 images (read in name order); i0: folder of the I0 images;
energies: file with one energy (eV) per line, else energy_pattern finds the
energy in each file name. h5 and layout instead: one HDF5 stack file and its
layout (a layout file or generic, facility, nexus). dark: dark frame.
fluorescence: mu = I1/I0 instead of ln(I0/I1). suggest: the element
suggestion of the normalisation, e.g. ("Fe", "K"), with dpre, dpost (eV from
the edge) and jump_sigma. shifts: registration shifts of the I1 images (as
align writes them); shift_map: an energy-shift map (.emp) on the bins.
fixed_e0: an edge energy (eV) or "auto" for the normalisation of LCF runs.

The GIL is released while the images load. Raises FileNotFoundError for a
missing input, ValueError for one that cannot be read or a bad argument.)doc");
}
