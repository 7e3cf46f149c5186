// Error-point files ("# Size" line, then "x y" per line), then the repair of
// a small image with an origin through the mask read.
#include "FuzzSupport.h"

#include "imageio/ErrPoints.h"
#include "imageio/TiffData.h"

#include <QVector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzSupport::ensureApplication();
    ErrPoints mask;
    if (!mask.read(FuzzSupport::writeInput(data, size, "dat")))
        return 0;
    volatile bool sink = mask.contains(0, 0) || mask.contains(-1, 2147483647);
    (void)sink;
    QVector<quint16> samples(8 * 6);
    for (int i = 0; i < samples.size(); ++i)
        samples[i] = quint16(i * 100);
    TiffData image;
    if (!image.assign(8, 6, TiffData::UInt16, samples.constData()))
        return 0;
    mask.setUse(true);
    image.setErrPoints(mask);
    image.repairErrorPoints();
    return 0;
}
