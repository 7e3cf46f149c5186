#pragma once
// Builders of small image files for the reader tests: hand-made TIFF bytes
// (with or without an EXIF ExposureTime, either byte order), libtiff-written
// layouts, IMG files and text images.
#include <QByteArray>
#include <QString>
#include <QVector>
#include <cstdint>

namespace ImageFiles {

// A one-strip uncompressed 16-bit TIFF of width x height samples. When
// exposureNum/exposureDen are given (den > 0) the file carries an EXIF
// directory with ExposureTime = num/den seconds.
QByteArray tiff16(int width, int height, const QVector<quint16> &samples, bool bigEndian,
                  quint32 exposureNum = 0, quint32 exposureDen = 0);

// Writes a TIFF through libtiff with the given layout; samples as raw bytes
// in host order, rowsPerStrip 0 = one strip. Returns false on failure.
struct TiffLayout {
    int width = 4, height = 3;
    int bitsPerSample = 16, samplesPerPixel = 1;
    int sampleFormat = 1; // 1 uint, 2 int, 3 float
    int compression = 1;  // 1 none, 5 LZW, 8 deflate, 32773 packbits
    int rowsPerStrip = 0;
    bool tiled = false;
};
bool writeTiff(const QString &path, const TiffLayout &layout, const QByteArray &samples);

// An IMG file: 64-byte header, comment, samples (2 or 4 bytes each,
// little-endian). rowsShort drops that many rows of samples from the end.
QByteArray img(int width, int height, int originX, int originY, const QByteArray &comment,
               const QVector<quint32> &samples, int bytesPerSample, int rowsShort = 0);

} // namespace ImageFiles
