// IMG raw reader (64-byte header, comment, samples).
#include "FuzzSupport.h"
#include "ImageChecks.h"

#include "imageio/TiffData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzSupport::ensureApplication();
    TiffData image;
    if (image.readImg(FuzzSupport::writeInput(data, size, "img")))
        FuzzSupport::touchImage(image);
    return 0;
}
