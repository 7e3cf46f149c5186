// TIFF reader: every accepted image is summed, box-summed and rendered, so
// each stored sample is read at least once.
#include "FuzzSupport.h"
#include "ImageChecks.h"

#include "imageio/TiffData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzSupport::ensureApplication();
    TiffData image;
    if (image.readTiff(FuzzSupport::writeInput(data, size, "tif")))
        FuzzSupport::touchImage(image);
    return 0;
}
