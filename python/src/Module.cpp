// The Python module lumenstack: the engine of the window and of
// lumenstack-tool, with numpy arrays in and out.
#include "Bindings.h"
#include "Convert.h"

#include "spectrum/EdgeTable.h"

#ifndef LUMENSTACK_VERSION
#define LUMENSTACK_VERSION "0"
#endif

PYBIND11_MODULE(lumenstack, m) {
    m.doc() = "Lumenstack's X-ray absorption imaging engine: stacks, spectra and maps as numpy "
              "arrays.";
    m.attr("__version__") = LUMENSTACK_VERSION;
    // Edge energies for the element suggestion.
    loadEdgeTable();
    registerExceptions(m);
    bindStack(m);
    bindSpectrum(m);
    bindMaps(m);
    bindElemShift(m);
    bindAlign(m);
    bindComponents(m);
}
