// Energy-shift-map files (".emp"): the header parser on the bytes, then the
// whole load into a map.
#include "FuzzSupport.h"

#include "analysis/Analyzed2DRes.h"
#include "analysis/EmpFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzSupport::ensureApplication();
    int dataStart = 0;
    EmpFile::parseHeader(QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)),
                         &dataStart);
    const QString path = FuzzSupport::writeInput(data, size, "emp");
    for (bool checkSize : {false, true}) {
        Analyzed2DRes map(QStringLiteral("a2d esm"));
        EmpFile::LoadOptions options;
        options.checkSize = checkSize;
        options.imagesLoaded = checkSize;
        options.imageWidth = 16;
        options.imageHeight = 12;
        EmpFile::load(path, map, options);
    }
    return 0;
}
