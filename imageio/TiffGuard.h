#pragma once
// Checks that keep damaged TIFF files from being read as images. libtiff
// reports some faults of a file only as warnings (a strip table of the wrong
// length, a decoder that produced fewer bytes than asked for) and then goes
// on, leaving whatever the buffer held in the pixels. The reader refuses such
// files: it collects these warnings through its open options (one collector
// per open file, so loader threads never share one), checks the strip tables
// itself and picks the decoders that report a short strip.
#include <QString>

struct tiff;

namespace TiffGuard {

// Gathers libtiff's warnings of one open file. The first warning about the
// strip tables or the decoding of the data becomes the refusal.
struct Warnings {
    QString refusal;
    void take(const char *module, const QString &text);
};

// True when a warning of that module and text concerns the strip tables or
// the decoding of the pixel data (unknown tags and the like do not).
bool concernsPixelData(const char *module, const QString &text);

// Why the strip tables of the open file are not sound, or an empty text:
// StripOffsets and StripByteCounts of the first directory must each hold one
// entry per strip, and every strip must lie inside the file, after its header.
QString stripTableFault(const QString &fileName, struct tiff *tif, qint64 fileSize);

// Makes the deflate decoder check that every strip fills its rows: libtiff's
// fast path accepts a strip with more data than the image and may then leave
// the rows unwritten; the zlib path decodes exactly what is asked for and
// reports a short strip.
void useCheckedDecoder(struct tiff *tif);

} // namespace TiffGuard
