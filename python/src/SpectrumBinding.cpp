// normalise: a mu*t spectrum normalised as lumenstack-tool spectrum-info (and
// the window) normalises it: background lines below and above the edge, the
// edge at the midpoint of the jump, the double-normalised curve.
#include "Bindings.h"
#include "Convert.h"

#include "analysis/StackLoad.h"
#include "spectrum/EdgeTable.h"
#include "spectrum/ElementTable.h"
#include "spectrum/XafsSpectrum.h"

#include <pybind11/stl.h>

#include <cmath>

namespace {

using Curve = py::array_t<double, py::array::c_style | py::array::forcecast>;

double finiteArg(const py::object &v, double fallback, const char *option) {
    if (v.is_none())
        return fallback;
    const double x = v.cast<double>();
    if (!std::isfinite(x))
        refuse(QString(option) + " takes a finite number");
    return x;
}

SuggestElm suggestionArg(const py::object &suggest) {
    SuggestElm s;
    if (suggest.is_none())
        return s;
    const auto [symbol, edge] = suggest.cast<std::pair<py::object, py::object>>();
    const int Z = atomicNumberOf(textArg(symbol));
    if (Z < 0)
        refuse("unknown element " + textArg(symbol));
    s.use = true;
    s.Z = Z;
    s.edge = suggestEdgeIndex(textArg(edge));
    if (s.edge < 0)
        refuse(suggestEdgeUsage());
    s.edgeEnergy = edgeEnergyEV(Z, s.edge);
    return s;
}

Spectrum spectrumOf(const Curve &energies, const Curve &mut) {
    if (energies.ndim() != 1 || mut.ndim() != 1 || energies.size() != mut.size())
        refuse(QStringLiteral("energies and mut must be 1-D arrays of one length"));
    Spectrum s;
    s.reserve(int(energies.size()));
    const double *e = energies.data(), *mu = mut.data();
    for (py::ssize_t i = 0; i < energies.size(); ++i) {
        if (!std::isfinite(e[i]) || !std::isfinite(mu[i]))
            refuse(QString("point %1 is not finite").arg(i));
        if (i > 0 && !(e[i] > e[i - 1]))
            refuse(QString("energy %1 does not rise above the one before").arg(i));
        s.addPoint(e[i], mu[i]);
    }
    if (s.count() < 3)
        refuse(QStringLiteral("a spectrum needs at least 3 points"));
    return s;
}

py::array_t<double> lineOver(const VictLine &line, const Spectrum &s) {
    std::vector<double> v(size_t(s.count()));
    for (int i = 0; i < s.count(); ++i)
        v[size_t(i)] = line.lineValue(s.x(i));
    return handOver(std::move(v));
}

py::dict normalise(const Curve &energies, const Curve &mut, const py::object &suggest,
                   bool victoreen, const py::object &dpre, const py::object &dpost,
                   const py::object &jumpSigma, const py::object &fixedE0) {
    SuggestElm suggestion = suggestionArg(suggest);
    suggestion.dPreE = finiteArg(dpre, suggestion.dPreE, "--dpre");
    suggestion.dPostS = finiteArg(dpost, suggestion.dPostS, "--dpost");
    suggestion.jumpSigma = finiteArg(jumpSigma, suggestion.jumpSigma, "--jump-sigma");
    if (!fixedE0.is_none()) {
        suggestion.fixedEdge = true;
        suggestion.fixedEdgeEnergy = finiteArg(fixedE0, 0, "--fixed-e0");
    }
    const Spectrum read = spectrumOf(energies, mut);
    XafsSpectrum x;
    {
        py::gil_scoped_release nogil;
        x.assign(read, QStringLiteral("python"), victoreen ? 0 : 1, 0.0, suggestion);
    }
    const Spectrum &dn = x.doubleNormalizedPreBase();
    std::vector<double> normalized(size_t(x.count()), NAN);
    for (int i = 0; i < dn.count() && i < x.count(); ++i)
        normalized[size_t(i)] = dn.y(i);
    py::dict out;
    out["normalized"] = handOver(std::move(normalized));
    out["pre_line"] = lineOver(x.pre(), x);
    out["post_line"] = lineOver(x.post(), x);
    out["edge"] = x.midx();
    out["dmut"] = x.dMut();
    return out;
}

} // namespace

void bindSpectrum(py::module_ &m) {
    m.def("normalise", &normalise, py::arg("energies"), py::arg("mut"),
          py::arg("suggest") = py::none(), py::arg("victoreen") = false,
          py::arg("dpre") = py::none(), py::arg("dpost") = py::none(),
          py::arg("jump_sigma") = py::none(), py::arg("fixed_e0") = py::none(), R"doc(
Normalises a mu*t spectrum as lumenstack-tool spectrum-info does (the same
numbers): a background line fitted below the edge and one above it (straight,
or Victoreen with victoreen=True), the edge energy at the midpoint of the jump,
and the spectrum double-normalised to the pre-edge line and the jump.

energies (eV, rising) and mut: 1-D arrays of one length. suggest: the element
suggestion, e.g. ("Fe", "K"), whose edge places the background windows dpre
and dpost (eV from the edge) with jump_sigma; fixed_e0: an edge energy (eV)
to normalise at.

Returns a dict: "normalized", "pre_line", "post_line" (float64 arrays over the
energies), "edge" (eV) and "dmut" (the edge jump).)doc");
}
