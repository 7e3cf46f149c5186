// The decoded size of an image read from its header alone, for the memory
// check before a series loads.
#include "imageio/TiffData.h"

#include <QFile>
#include <algorithm>
#include <cstdarg>
#include <tiffio.h>

namespace {

int quiet(TIFF *, void *, const char *, const char *, va_list) {
    return 1; // the reader itself reports what is wrong with the file
}

qint64 tiffDecodedBytes(const QString &fileName) {
    TIFFOpenOptions *opts = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(opts, quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, quiet, nullptr);
    TIFF *tif = TIFFOpenExt(QFile::encodeName(fileName).constData(), "rm", opts);
    TIFFOpenOptionsFree(opts);
    if (!tif)
        return 0;
    uint32_t width = 0, height = 0;
    uint16_t bits = 16;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFClose(tif);
    return qint64(width) * height * (bits == 32 ? 4 : 2); // 8 bits are widened to 16
}

} // namespace

qint64 TiffData::decodedBytes(const QString &fileName) {
    TiffData header;
    switch (readerFor(fileName)) {
    case TiffReader:
        return tiffDecodedBytes(fileName);
    case ImgReader:
        if (header.readImgHeader(fileName) == 0)
            return 0;
        return qint64(header.width()) * header.height() * (header.bytesPerPixel() == 4 ? 4 : 2);
    case TextImageReader:
        if (header.readTextImageHeader(fileName) < 0)
            return 0;
        return qint64(std::max(header.width(), 0)) * std::max(header.height(), 0) * 4;
    default:
        return 0;
    }
}
