// Reference spectra in every layout (9809, the program's own file, XDI,
// delimited text), read with the mu column decided by the layout and with a
// column given, then normalised as a reference row does.
#include "FuzzSupport.h"

#include "spectrum/ReferenceFile.h"
#include "spectrum/SuggestElm.h"
#include "spectrum/XafsSpectrum.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzSupport::ensureApplication();
    const QString path = FuzzSupport::writeInput(data, size, "txt");
    SuggestElm suggestion;
    suggestion.use = true;
    suggestion.edgeEnergy = 7112;
    for (int column : {0, 3}) {
        XafsSpectrum read;
        const ReferenceFile::Result r = ReferenceFile::read(path, column, read);
        if (!r.ok)
            continue;
        XafsSpectrum x(read, path, 0, 0.0, suggestion);
        volatile double sink = x.midx() + x.dMut() + x.xMin() + r.points;
        (void)sink;
    }
    return 0;
}
