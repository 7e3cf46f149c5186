// Spectrum files: the 9809 format or two-column text (chosen by the first
// line), then normalised with straight and Victoreen background lines as the
// spectrum view and spectrum-info do.
#include "FuzzSupport.h"

#include "spectrum/SpectrumFile.h"
#include "spectrum/SuggestElm.h"
#include "spectrum/XafsSpectrum.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzSupport::ensureApplication();
    const QString path = FuzzSupport::writeInput(data, size, "dat");
    XafsSpectrum read;
    if (!SpectrumFile::read(path, read))
        return 0;
    for (int simple : {1, 0}) {
        const XafsSpectrum x(read, path, simple, 0.0, SuggestElm());
        volatile double sink = x.midx() + x.dMut() + x.xMin() + x.yMax();
        (void)sink;
    }
    return 0;
}
