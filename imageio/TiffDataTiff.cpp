// TIFF reading and the 16-bit TIFF writer of TiffData.
#include "imageio/TiffData.h"

#include "app/DebugLog.h"
#include "app/OutputFile.h"
#include "app/TextFileLimits.h"
#include "imageio/ImageMemory.h"
#include "imageio/TiffGuard.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <tiffio.h>
#include <vector>

namespace {

// Largest decoded-to-stored ratio a compressed strip can reach (LZW of a
// constant strip stays below about 1400:1, deflate below 1032:1). A file that
// claims more pixels than its bytes could decode to is refused before any
// allocation.
constexpr double MaxCompressionRatio = 2048;

struct TiffMessages {
    QString fileName;
    TiffGuard::Warnings warnings;
};

int tiffError(TIFF *, void *user, const char *module, const char *fmt, va_list ap) {
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, ap);
    const auto *m = static_cast<const TiffMessages *>(user);
    DebugLog::write(QString("TIFF error (%1): %2 %3")
                        .arg(QString::fromLatin1(module ? module : ""),
                             QString::fromLocal8Bit(text), m ? m->fileName : QString()));
    return 1; // handled: keep libtiff's default handler off stderr
}

// Unknown private tags and the like are not worth a log line; warnings about
// the strip tables or the decoding become the refusal of the file.
int tiffWarning(TIFF *, void *user, const char *module, const char *fmt, va_list ap) {
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, ap);
    if (auto *m = static_cast<TiffMessages *>(user))
        m->warnings.take(module, QString::fromLocal8Bit(text));
    return 1;
}

// Opens through libtiff with errors routed into the debug log and libtiff's
// own allocations bounded by what the file can justify.
TIFF *openTiff(const QString &fileName, const char *mode, TiffMessages *messages,
               qint64 allocLimit) {
    TIFFOpenOptions *opts = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(opts, tiffError, messages);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, tiffWarning, messages);
    if (allocLimit > 0)
        TIFFOpenOptionsSetMaxSingleMemAlloc(opts, tmsize_t(allocLimit));
    TIFF *tif = TIFFOpenExt(QFile::encodeName(fileName).constData(), mode, opts);
    TIFFOpenOptionsFree(opts);
    return tif;
}

// The double written with the fewest digits that still reads back as v:
// 1/250 s stored as a float becomes 0.004, not 0.0040000001899.
double shortestDouble(float v) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    double d = v;
    std::from_chars(text, end, d);
    return d;
}

// ExposureTime of the EXIF directory in seconds, or a negative value when the
// file has none. libtiff hands a rational back as float or double depending
// on the field definition, so ask the definition which one to pass.
double exifExposureSeconds(TIFF *tif) {
    uint64_t exifOffset = 0;
    if (!TIFFGetField(tif, TIFFTAG_EXIFIFD, &exifOffset) || exifOffset == 0)
        return -1;
    if (!TIFFReadEXIFDirectory(tif, toff_t(exifOffset)))
        return -1;
    const TIFFField *field = TIFFFieldWithTag(tif, EXIFTAG_EXPOSURETIME);
    if (!field)
        return -1;
    double seconds = -1;
    if (TIFFFieldSetGetSize(field) == int(sizeof(float))) {
        float v = 0;
        if (TIFFGetField(tif, EXIFTAG_EXPOSURETIME, &v))
            seconds = shortestDouble(v);
    } else if (TIFFFieldSetGetSize(field) == int(sizeof(double))) {
        double v = 0;
        if (TIFFGetField(tif, EXIFTAG_EXPOSURETIME, &v))
            seconds = v;
    }
    return std::isfinite(seconds) && seconds >= 0 ? seconds : -1;
}

struct TiffLayout {
    uint32_t width = 0, height = 0;
    uint16_t bitsPerSample = 1, samplesPerPixel = 1, sampleFormat = SAMPLEFORMAT_UINT;
    uint16_t compression = COMPRESSION_NONE;
    uint32_t rowsPerStrip = 0;
};

TiffLayout layoutOf(TIFF *tif) {
    TiffLayout l;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bitsPerSample);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.samplesPerPixel);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &l.sampleFormat);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &l.compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &l.rowsPerStrip);
    return l;
}

// Why the layout cannot be read, or an empty text.
QString refusal(TIFF *tif, const TiffLayout &l) {
    if (TIFFIsTiled(tif))
        return "tiled TIFF not supported";
    if (l.samplesPerPixel != 1)
        return QString("%1 samples per pixel not supported").arg(l.samplesPerPixel);
    // "Untyped" samples are taken as unsigned, as readers commonly do.
    const bool unsignedInt =
        l.sampleFormat == SAMPLEFORMAT_UINT || l.sampleFormat == SAMPLEFORMAT_VOID;
    const bool ok =
        (l.bitsPerSample == 8 && unsignedInt) || (l.bitsPerSample == 16 && unsignedInt) ||
        (l.bitsPerSample == 32 && (unsignedInt || l.sampleFormat == SAMPLEFORMAT_IEEEFP));
    if (!ok)
        return QString("%1-bit samples of format %2 not supported")
            .arg(l.bitsPerSample)
            .arg(l.sampleFormat);
    if (l.width == 0 || l.height == 0 || l.width > 1000000 || l.height > 1000000)
        return QString("image size %1 x %2 not supported").arg(l.width).arg(l.height);
    return QString();
}

// The output file's device seen through libtiff's client procedures.
tmsize_t saveRead(thandle_t h, void *buf, tmsize_t size) {
    return tmsize_t(static_cast<QIODevice *>(h)->read(static_cast<char *>(buf), qint64(size)));
}
tmsize_t saveWrite(thandle_t h, void *buf, tmsize_t size) {
    return tmsize_t(
        static_cast<QIODevice *>(h)->write(static_cast<const char *>(buf), qint64(size)));
}
toff_t saveSeek(thandle_t h, toff_t off, int whence) {
    auto *f = static_cast<QIODevice *>(h);
    qint64 pos = qint64(off);
    if (whence == SEEK_CUR)
        pos += f->pos();
    else if (whence == SEEK_END)
        pos += f->size();
    if (pos < 0 || !f->seek(pos))
        return toff_t(-1);
    return toff_t(pos);
}
int saveClose(thandle_t) {
    return 0;
}
toff_t saveSize(thandle_t h) {
    return toff_t(static_cast<QIODevice *>(h)->size());
}
int saveMap(thandle_t, void **, toff_t *) {
    return 0;
}
void saveUnmap(thandle_t, void *, toff_t) {}

// The sample layout of a written file: 16-bit unsigned, or 32-bit IEEE float.
struct WriteLayout {
    int bitsPerSample = 16;
    int sampleFormat = SAMPLEFORMAT_UINT;
    uint32_t rowsPerStrip = 0;
    QByteArray description; // ImageDescription, written only when not empty
};

bool setHeaderFields(TIFF *tif, int width, int height, const WriteLayout &l) {
    // Tag order as this program has always written them.
    return TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width)) &&
           TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height)) &&
           TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
           TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) &&
           TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, l.rowsPerStrip) &&
           TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1) &&
           TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, l.bitsPerSample) &&
           (l.sampleFormat == SAMPLEFORMAT_UINT ||
            TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, l.sampleFormat)) &&
           TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
           TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
           (l.description.isEmpty() ||
            TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, l.description.constData()));
}

bool writeStrips(TIFF *tif, int height, const void *samples) {
    uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    if (rowsPerStrip == 0)
        return false;
    const char *data = reinterpret_cast<const char *>(samples);
    tmsize_t position = 0;
    uint32_t rowsLeft = uint32_t(height);
    for (tstrip_t strip = 0; rowsLeft > 0; ++strip) {
        const uint32_t rows = std::min(rowsPerStrip, rowsLeft);
        const tmsize_t bytes = TIFFVStripSize(tif, rows);
        // The file is written in host byte order, so libtiff does not swap
        // the caller's samples in place.
        if (bytes <= 0 ||
            TIFFWriteEncodedStrip(tif, strip, const_cast<char *>(data + position), bytes) < 0)
            return false;
        position += bytes;
        rowsLeft -= rows;
    }
    return true;
}

} // namespace

bool TiffData::readTiff(const QString &fileName) {
    const qint64 fileSize = QFileInfo(fileName).size();
    clear();
    if (TextFileLimits::refuseSpecialFile(fileName))
        return false;
    TiffMessages messages{fileName, {}};
    const qint64 allocLimit = std::clamp<qint64>(qint64(fileSize * MaxCompressionRatio),
                                                 qint64(16) << 20, qint64(2) << 30);
    // "m": plain reads instead of a memory map, so a file cut short by another
    // process while it is read gives an error, not a bus fault.
    TIFF *tif = openTiff(fileName, "rm", &messages, allocLimit);
    if (!tif) {
        DebugLog::write("Can not open TIFF " + fileName);
        m_error = messages.warnings.refusal.isEmpty()
                      ? QStringLiteral("not a readable TIFF")
                      : "damaged TIFF (" + messages.warnings.refusal + ")";
        return false;
    }
    const TiffLayout l = layoutOf(tif);
    QString why = refusal(tif, l);
    if (!why.isEmpty()) {
        DebugLog::write("Unsupported TIFF (" + why + ") " + fileName);
        m_error = "unsupported TIFF (" + why + ")";
        TIFFClose(tif);
        return false;
    }
    why = messages.warnings.refusal;
    if (why.isEmpty())
        why = TiffGuard::stripTableFault(fileName, tif, fileSize);
    if (!why.isEmpty()) {
        DebugLog::write("Damaged TIFF (" + why + ") " + fileName);
        m_error = "damaged TIFF (" + why + ")";
        TIFFClose(tif);
        return false;
    }
    // The pixel data the file would have to hold, against what it can hold.
    const double storedBytes = double(l.width) * l.height * (l.bitsPerSample / 8);
    const double limit = l.compression == COMPRESSION_NONE ? double(fileSize)
                                                           : double(fileSize) * MaxCompressionRatio;
    if (storedBytes > limit) {
        DebugLog::write(
            QString("invalid file size. expected (h,w) = %1 %2 ").arg(l.height).arg(l.width) +
            fileName);
        m_error = QString("the file is too short for its %1 x %2 image").arg(l.width).arg(l.height);
        TIFFClose(tif);
        return false;
    }
    // The rows of the band kept; 8-bit samples are widened to 16 bits.
    const qint64 first = std::clamp<qint64>(m_band.first, 0, l.height);
    const qint64 rows = std::clamp<qint64>(m_band.end, first, l.height) - first;
    const qint64 decodedBytes = qint64(l.width) * rows * (l.bitsPerSample == 32 ? 4 : 2);
    if (!ImageMemory::fitsBudget(decodedBytes, fileName)) {
        m_error = ImageMemory::overBudget(decodedBytes);
        TIFFClose(tif);
        return false;
    }
    m_width = int(l.width);
    m_height = int(l.height);
    m_fileName = fileName;
    m_scanLineSize = int(TIFFScanlineSize(tif));
    resetRange();
    TiffGuard::useCheckedDecoder(tif);
    const bool decoded = tiffReadStrips(tif, l.bitsPerSample);
    if (decoded && !messages.warnings.refusal.isEmpty())
        DebugLog::write("Damaged TIFF (" + messages.warnings.refusal + ") " + fileName);
    const bool ok = decoded && messages.warnings.refusal.isEmpty();
    if (ok) {
        const double seconds = exifExposureSeconds(tif);
        m_exposureMs = 1000 * (seconds >= 0 ? seconds : 0.1);
    }
    TIFFClose(tif);
    if (!ok) {
        DebugLog::write("Error on reading TIFF data " + fileName);
        m_error = messages.warnings.refusal.isEmpty()
                      ? QStringLiteral("the TIFF's pixel data cannot be decoded")
                      : "damaged TIFF (" + messages.warnings.refusal + ")";
        releaseSamples();
        return false;
    }
    if (ErrPoints::processWide().use())
        repairErrorPoints();
    return true;
}

bool TiffData::tiffReadStrips(TIFF *tif, int bitsPerSample) {
    uint16_t format = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
    SampleType type = TiffUInt16; // 8-bit samples are widened into 16-bit rows
    if (bitsPerSample == 32)
        type = format == SAMPLEFORMAT_IEEEFP ? Float32 : UInt32;
    startRows(type);
    // Only the rows of the band asked for (all by default) are stored,
    // zeroed: no byte of the heap can reach the pixels, whatever a decoder
    // leaves unwritten.
    const int b0 = std::clamp(m_band.first, 0, m_height);
    const int b1 = std::clamp(m_band.end, b0, m_height);
    unsigned char *block = addRowBlock(b0, b1 - b0, true);
    if (!block && b1 > b0)
        return false;
    m_rowBegin = b0;
    m_rowEnd = b1;
    const size_t rowBytes = size_t(m_width) * size_t(sampleBytes(m_sampleType));

    if (bitsPerSample == 8) { // widened to 16 bits one scan line at a time
        std::vector<unsigned char> line(size_t(std::max<tmsize_t>(TIFFScanlineSize(tif), 0)));
        if (line.size() < size_t(m_width))
            return false;
        for (int y = b0; y < b1; ++y) {
            if (TIFFReadScanline(tif, line.data(), uint32_t(y), 0) < 0)
                return false;
            auto *row = reinterpret_cast<quint16 *>(m_rows[size_t(y)]);
            for (int x = 0; x < m_width; ++x)
                row[x] = line[size_t(x)];
            updateRange(row, m_width);
        }
        return true;
    }
    // 16 and 32 bits: each strip decodes straight into its rows.
    uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, uint32_t(m_height));
    const tstrip_t strips = TIFFNumberOfStrips(tif);
    std::vector<unsigned char> partial; // a strip that sticks out of the band
    for (uint32_t y = uint32_t(b0) / rowsPerStrip * rowsPerStrip; y < uint32_t(b1);
         y += rowsPerStrip) {
        const tstrip_t strip = TIFFComputeStrip(tif, y, 0);
        const uint32_t rows = std::min(rowsPerStrip, uint32_t(m_height) - y);
        const tmsize_t bytes = tmsize_t(rowBytes * rows);
        const uint32_t from = std::max(y, uint32_t(b0)), to = std::min(y + rows, uint32_t(b1));
        unsigned char *target = block + rowBytes * (from - uint32_t(b0));
        const bool whole = from == y && to == y + rows;
        if (!whole)
            partial.assign(size_t(bytes), 0);
        if (strip >= strips ||
            TIFFReadEncodedStrip(tif, strip, whole ? target : partial.data(), bytes) != bytes)
            return false;
        if (!whole)
            std::memcpy(target, partial.data() + rowBytes * (from - y), rowBytes * (to - from));
        updateRange(target, int(to - from) * m_width);
    }
    return true;
}

namespace {

bool writeTiff(const QString &fileName, int width, int height, const void *samples,
               const WriteLayout &layout) {
    if (width <= 0 || height <= 0 || !samples) {
        DebugLog::write("Nothing to write to " + fileName);
        return false;
    }
    OutputFile out(fileName);
    if (!out.open(QIODevice::WriteOnly)) {
        DebugLog::write("Can not open " + fileName + " [" + out.errorString() + "]");
        return false;
    }
    // A TIFF goes back to its header at the end: a device or pipe cannot hold one.
    if (out.device()->isSequential()) {
        DebugLog::write("Can not write a TIFF to a device or pipe : " + fileName);
        out.cancel();
        return false;
    }
    TiffMessages messages{fileName, {}};
    TIFFOpenOptions *opts = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(opts, tiffError, &messages);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, tiffWarning, &messages);
    TIFF *tif =
        TIFFClientOpenExt(QFile::encodeName(fileName).constData(), "w", out.device(), saveRead,
                          saveWrite, saveSeek, saveClose, saveSize, saveMap, saveUnmap, opts);
    TIFFOpenOptionsFree(opts);
    if (!tif) {
        DebugLog::write("Can not open TIFF for writing " + fileName);
        return false;
    }
    const bool written = setHeaderFields(tif, width, height, layout) &&
                         writeStrips(tif, height, samples) && TIFFFlush(tif);
    TIFFClose(tif);
    if (!written || !out.commit()) {
        DebugLog::write("Error on writing TIFF " + fileName);
        return false; // the temporary file is dropped: the old file stays
    }
    return true;
}

} // namespace

bool TiffData::write16BitTiff(const QString &fileName, int width, int height,
                              const quint16 *samples, const QString &description) {
    WriteLayout layout;
    layout.rowsPerStrip = uint32_t(std::max(width, 0));
    layout.description = description.toUtf8();
    return writeTiff(fileName, width, height, samples, layout);
}

bool TiffData::writeFloat32Tiff(const QString &fileName, int width, int height,
                                const float *samples, const QString &description) {
    WriteLayout layout;
    layout.description = description.toUtf8();
    layout.bitsPerSample = 32;
    layout.sampleFormat = SAMPLEFORMAT_IEEEFP;
    // Strips of about 64 KiB, as readers expect of an uncompressed file.
    const int rows = width > 0 ? std::max(1, 65536 / (4 * width)) : 1;
    layout.rowsPerStrip = uint32_t(std::min(rows, std::max(height, 1)));
    return writeTiff(fileName, width, height, samples, layout);
}

bool TiffData::writeConstantTiff(const QString &fileName, int width, int height, quint16 value) {
    if (width <= 0 || height <= 0)
        return write16BitTiff(fileName, width, height, nullptr);
    const std::vector<quint16> samples(size_t(width) * size_t(height), value);
    return write16BitTiff(fileName, width, height, samples.data());
}
