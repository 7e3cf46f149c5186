#pragma once
// Reads every stored sample of an accepted image through the public access
// paths (sum, box sums at the corners, the display picture, error-point
// repair), so a reader that sized its rows wrongly shows up under ASan.
#include "imageio/TiffData.h"
#include "render/ImagePicture.h"

#include <QImage>

#include <cstdlib>

namespace FuzzSupport {

inline void touchImage(TiffData &image) {
    const int w = image.width();
    const int h = image.height();
    if (w <= 0 || h <= 0)
        std::abort(); // an accepted image has a size
    volatile double sink = image.sampleSum();
    for (int y : {0, h / 2, h - 1})
        for (int x : {0, w / 2, w - 1})
            sink = sink + image.boxSum(x, y, 1, 1) + image.value(x, y);
    if (imagePicture(image).isNull())
        std::abort();
    ErrPoints mask;
    mask.addPoint(image.originX(), image.originY());
    mask.addPoint(image.originX() + w - 1, image.originY() + h - 1);
    mask.setUse(true);
    image.setErrPoints(mask);
    image.repairErrorPoints();
    sink = sink + image.sampleSum();
    (void)sink;
}

} // namespace FuzzSupport
