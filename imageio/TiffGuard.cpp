#include "imageio/TiffGuard.h"

#include <QFile>
#include <QtEndian>
#include <tiffio.h>

namespace TiffGuard {

void Warnings::take(const char *module, const QString &text) {
    if (refusal.isEmpty() && concernsPixelData(module, text))
        refusal = QString::fromLatin1(module ? module : "") + ": " + text;
}

bool concernsPixelData(const char *module, const QString &text) {
    const QString where = QString::fromLatin1(module ? module : "") + ' ' + text;
    for (const char *word : {"strip", "strile", "tile", "decod", "scanline", "enough data", "EOI"})
        if (where.contains(QLatin1String(word), Qt::CaseInsensitive))
            return true;
    return false;
}

namespace {

// The fields of the first directory that fix the strip layout.
struct StripTags {
    quint64 height = 0;
    quint64 rowsPerStrip = 0; // 0: absent, one strip
    quint64 offsets = 0;      // entries of StripOffsets
    quint64 byteCounts = 0;   // entries of StripByteCounts
};

quint64 fieldValue(const uchar *p, int bytes, bool bigEndian) {
    switch (bytes) {
    case 2:
        return bigEndian ? qFromBigEndian<quint16>(p) : qFromLittleEndian<quint16>(p);
    case 4:
        return bigEndian ? qFromBigEndian<quint32>(p) : qFromLittleEndian<quint32>(p);
    default:
        return bigEndian ? qFromBigEndian<quint64>(p) : qFromLittleEndian<quint64>(p);
    }
}

// An inline SHORT, LONG or LONG8 value of a directory entry.
quint64 inlineNumber(const uchar *value, quint16 type, bool bigEndian) {
    if (type == TIFF_SHORT)
        return fieldValue(value, 2, bigEndian);
    if (type == TIFF_LONG8)
        return fieldValue(value, 8, bigEndian);
    return fieldValue(value, 4, bigEndian);
}

// Reads the strip fields of the first directory (classic or BigTIFF); false
// when the directory cannot be read.
bool readStripTags(const QString &fileName, StripTags *tags) {
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(16);
    if (head.size() < 8)
        return false;
    const bool be = head.startsWith("MM");
    const auto *h = reinterpret_cast<const uchar *>(head.constData());
    const bool big = fieldValue(h + 2, 2, be) == 43;
    if (big && head.size() < 16)
        return false;
    const quint64 ifd = big ? fieldValue(h + 8, 8, be) : fieldValue(h + 4, 4, be);
    const int countBytes = big ? 8 : 2, entryBytes = big ? 20 : 12, valueBytes = big ? 8 : 4;
    if (ifd > quint64(f.size()) || !f.seek(qint64(ifd)))
        return false;
    const QByteArray countField = f.read(countBytes);
    if (countField.size() < countBytes)
        return false;
    const quint64 entries =
        fieldValue(reinterpret_cast<const uchar *>(countField.constData()), countBytes, be);
    if (entries > 65535)
        return false;
    const QByteArray dir = f.read(qint64(entries) * entryBytes);
    if (dir.size() < qint64(entries) * entryBytes)
        return false;
    for (quint64 i = 0; i < entries; ++i) {
        const auto *e = reinterpret_cast<const uchar *>(dir.constData()) + i * entryBytes;
        const quint16 tag = quint16(fieldValue(e, 2, be));
        const quint16 type = quint16(fieldValue(e + 2, 2, be));
        const quint64 count = fieldValue(e + 4, big ? 8 : 4, be);
        const uchar *value = e + entryBytes - valueBytes;
        if (tag == TIFFTAG_IMAGELENGTH)
            tags->height = inlineNumber(value, type, be);
        else if (tag == TIFFTAG_ROWSPERSTRIP)
            tags->rowsPerStrip = inlineNumber(value, type, be);
        else if (tag == TIFFTAG_STRIPOFFSETS)
            tags->offsets = count;
        else if (tag == TIFFTAG_STRIPBYTECOUNTS)
            tags->byteCounts = count;
    }
    return true;
}

QString countFault(const StripTags &t) {
    const quint64 rows =
        t.rowsPerStrip == 0 || t.rowsPerStrip > t.height ? t.height : t.rowsPerStrip;
    const quint64 strips = rows == 0 ? 0 : (t.height + rows - 1) / rows;
    if (t.offsets != t.byteCounts || t.offsets != strips)
        return QString("StripOffsets has %1 entries and StripByteCounts %2 for %3 strips")
            .arg(t.offsets)
            .arg(t.byteCounts)
            .arg(strips);
    return QString();
}

} // namespace

QString stripTableFault(const QString &fileName, TIFF *tif, qint64 fileSize) {
    StripTags tags;
    if (!readStripTags(fileName, &tags))
        return QStringLiteral("first directory cannot be read");
    const QString counts = countFault(tags);
    if (!counts.isEmpty())
        return counts;
    const quint64 headerBytes = TIFFIsBigTIFF(tif) ? 16 : 8;
    const tstrip_t strips = TIFFNumberOfStrips(tif);
    for (tstrip_t s = 0; s < strips; ++s) {
        const quint64 offset = TIFFGetStrileOffset(tif, s);
        const quint64 bytes = TIFFGetStrileByteCount(tif, s);
        if (bytes == 0 || offset < headerBytes || offset > quint64(fileSize) ||
            bytes > quint64(fileSize) - offset)
            return QString("strip %1 (offset %2, %3 bytes) lies outside the file's data")
                .arg(s)
                .arg(offset)
                .arg(bytes);
    }
    return QString();
}

void useCheckedDecoder(TIFF *tif) {
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    if (compression == COMPRESSION_ADOBE_DEFLATE || compression == COMPRESSION_DEFLATE)
        TIFFSetField(tif, TIFFTAG_DEFLATE_SUBCODEC, DEFLATE_SUBCODEC_ZLIB);
}

} // namespace TiffGuard
