#include "imageio/ImageFiles.h"

#include <QDataStream>
#include <QFile>
#include <tiffio.h>

namespace ImageFiles {

namespace {

struct Entry {
    quint16 tag, type;
    quint32 count, value;
};

void writeIfd(QDataStream &s, const QVector<Entry> &entries, quint32 next) {
    s << quint16(entries.size());
    for (const Entry &e : entries) {
        s << e.tag << e.type << e.count;
        if (e.type == 3 && e.count == 1) // a SHORT sits left-justified in the field
            s << quint16(e.value) << quint16(0);
        else
            s << e.value;
    }
    s << next;
}

} // namespace

QByteArray tiff16(int width, int height, const QVector<quint16> &samples, bool bigEndian,
                  quint32 exposureNum, quint32 exposureDen) {
    const bool exif = exposureDen > 0;
    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    s.setByteOrder(bigEndian ? QDataStream::BigEndian : QDataStream::LittleEndian);
    const quint32 dataBytes = quint32(width * height * 2);
    const quint32 dataOffset = 8;
    const quint32 ifdOffset = dataOffset + dataBytes + (dataBytes & 1);
    const int mainEntries = exif ? 9 : 8;
    const quint32 exifOffset = ifdOffset + 2 + 12 * mainEntries + 4;
    const quint32 rationalOffset = exifOffset + 2 + 12 + 4;

    s.writeRawData(bigEndian ? "MM" : "II", 2);
    s << quint16(42) << ifdOffset;
    for (quint16 v : samples)
        s << v;
    if (dataBytes & 1)
        s << quint8(0);
    QVector<Entry> entries = {{256, 3, 1, quint32(width)},
                              {257, 3, 1, quint32(height)},
                              {258, 3, 1, 16},
                              {259, 3, 1, 1},
                              {262, 3, 1, 1},
                              {273, 4, 1, dataOffset},
                              {278, 3, 1, quint32(height)},
                              {279, 4, 1, dataBytes}};
    if (exif)
        entries.append({34665, 4, 1, exifOffset});
    writeIfd(s, entries, 0);
    if (exif) {
        writeIfd(s, {{33434, 5, 1, rationalOffset}}, 0);
        s << exposureNum << exposureDen;
    }
    return bytes;
}

bool writeTiff(const QString &path, const TiffLayout &l, const QByteArray &samples) {
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(l.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(l.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(l.bitsPerSample));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(l.samplesPerPixel));
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, uint16_t(l.sampleFormat));
    TIFFSetField(tif, TIFFTAG_COMPRESSION, uint16_t(l.compression));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                 l.samplesPerPixel == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    const int rowBytes = l.width * l.samplesPerPixel * l.bitsPerSample / 8;
    bool ok = true;
    if (l.tiled) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
        QByteArray tile(16 * 16 * l.samplesPerPixel * l.bitsPerSample / 8, 0);
        for (int ty = 0; ty < l.height; ty += 16)
            for (int tx = 0; tx < l.width; tx += 16)
                ok = ok && TIFFWriteTile(tif, tile.data(), uint32_t(tx), uint32_t(ty), 0, 0) >= 0;
    } else {
        const int rps = l.rowsPerStrip > 0 ? l.rowsPerStrip : l.height;
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(rps));
        QByteArray data = samples;
        for (int y = 0, strip = 0; y < l.height; y += rps, ++strip) {
            const int rows = std::min(rps, l.height - y);
            ok = ok && TIFFWriteEncodedStrip(tif, uint32_t(strip), data.data() + y * rowBytes,
                                             tmsize_t(rows) * rowBytes) >= 0;
        }
    }
    TIFFClose(tif);
    return ok;
}

QByteArray img(int width, int height, int originX, int originY, const QByteArray &comment,
               const QVector<quint32> &samples, int bytesPerSample, int rowsShort) {
    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s.writeRawData("IM", 2);
    s << quint16(comment.size()) << quint16(width) << quint16(height) << quint16(originX)
      << quint16(originY);
    s.writeRawData(QByteArray(52, '\0').constData(), 52);
    s.writeRawData(comment.constData(), comment.size());
    const int count = std::max(0, samples.size() - rowsShort * width);
    for (int i = 0; i < count; ++i) {
        if (bytesPerSample == 4)
            s << samples[i];
        else
            s << quint16(samples[i]);
    }
    return bytes;
}

} // namespace ImageFiles
