// "#PRXM-CTImg" text image reader.
#include "FuzzSupport.h"
#include "ImageChecks.h"

#include "imageio/TiffData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzSupport::ensureApplication();
    TiffData image;
    if (image.readTextImage(FuzzSupport::writeInput(data, size, "txt")))
        FuzzSupport::touchImage(image);
    return 0;
}
