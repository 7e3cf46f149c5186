#pragma once
// The parts of the module, each registering its functions and classes.
#include <pybind11/pybind11.h>

namespace py = pybind11;

void bindStack(py::module_ &m);
void bindSpectrum(py::module_ &m);
void bindMaps(py::module_ &m);
void bindElemShift(py::module_ &m);
void bindAlign(py::module_ &m);
void bindComponents(py::module_ &m);
