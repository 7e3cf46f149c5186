// HDF5 image stacks: the input is a file, listed, then opened with every
// shipped layout (or, when it begins with a layout's text and a NUL byte,
// with that layout) and each part's images read whole on two threads and as
// a band of rows. Chunks are decoded by our own reader; what reaches the
// library is the file's structure (superblock, groups, attributes, chunk
// index), which the window and the tool open first in a probe process.
#include "FuzzSupport.h"

#include "imageio/ErrPoints.h"
#include "imageio/Hdf5Layout.h"
#include "imageio/Hdf5Stack.h"
#include "imageio/ImageMemory.h"
#include "imageio/TiffData.h"

#include <algorithm>
#include <vector>

namespace {

// Enough images to cross a chunk several frames deep.
constexpr int MaxImagesRead = 6;

std::vector<Hdf5Layout> layoutsFor(QByteArray *bytes) {
    std::vector<Hdf5Layout> layouts;
    QString why;
    const int nul = bytes->indexOf('\0');
    if (!bytes->startsWith("\x89HDF") && nul > 0 && nul < 65536) {
        Hdf5Layout layout;
        if (layout.parse(QString::fromUtf8(bytes->left(nul)), &why))
            layouts.push_back(layout);
        *bytes = bytes->mid(nul + 1);
        return layouts;
    }
    for (const QString &shipped : Hdf5Layout::shippedFiles()) {
        Hdf5Layout layout;
        if (layout.read(shipped, &why))
            layouts.push_back(layout);
    }
    return layouts;
}

void readEveryPart(Hdf5Stack &stack) {
    for (const Hdf5Stack::Part part : {Hdf5Stack::Images, Hdf5Stack::Flats, Hdf5Stack::Dark}) {
        std::vector<int> ks;
        for (int k = 0; k < std::min(stack.count(part), MaxImagesRead); ++k)
            ks.push_back(k);
        stack.readImages(part, ks, {}, ErrPoints(), 2);
        TiffData band;
        stack.readImage(part, 0, {1, 3}, band, ErrPoints());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzSupport::ensureApplication();
    ImageMemory::setBudgetMB(64);
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const std::vector<Hdf5Layout> layouts = layoutsFor(&bytes);
    const QString path = FuzzSupport::writeInput(
        reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()), "h5");
    std::vector<Hdf5DatasetInfo> datasets;
    QString why;
    Hdf5Stack::listDatasets(path, &datasets, &why);
    for (const Hdf5Layout &layout : layouts) {
        Hdf5Stack stack;
        if (stack.open(path, layout))
            readEveryPart(stack);
    }
    return 0;
}
