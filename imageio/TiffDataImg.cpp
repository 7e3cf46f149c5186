// The IMG raw format of TiffData: a 64-byte little-endian header ("IM",
// comment length, width, height, origin x, origin y), a comment of
// comma-separated key=value pairs, then the samples row by row.
#include "imageio/TiffData.h"

#include "app/DebugLog.h"
#include "app/TextFileLimits.h"
#include "imageio/ImageMemory.h"

#include <QFile>
#include <QtEndian>

namespace {

constexpr int ImgHeaderSize = 64;

quint16 le16(const QByteArray &b, int offset) {
    if (b.size() < offset + 2)
        return 0;
    return qFromLittleEndian<quint16>(b.constData() + offset);
}

// The value after key, up to the next comma or the end of the comment.
QString commentValue(const QString &comment, const QString &key, const QString &fallback) {
    const int at = comment.indexOf(key);
    if (at < 0)
        return fallback;
    const int start = at + key.size();
    const int comma = comment.indexOf(',', start);
    return comment.mid(start, comma < 0 ? -1 : comma - start);
}

// "250 us", "2 ms", "0.5 s", "0.5" (seconds) -> milliseconds. An unknown unit
// leaves the number as milliseconds.
double exposureMsOf(const QString &text) {
    const QStringList parts = text.simplified().split(' ');
    const double number = parts.value(0).toDouble();
    if (parts.size() < 2)
        return number * 1000;
    const QString unit = parts[1];
    if (unit == "us")
        return number / 1000;
    if (unit == "ms")
        return number;
    if (unit == "s" || unit.isEmpty())
        return number * 1000;
    return number;
}

} // namespace

qint64 TiffData::readImgHeader(const QString &fileName) {
    if (TextFileLimits::refuseSpecialFile(fileName))
        return 0;
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        DebugLog::write("Can not open " + fileName + " [" + QString::number(int(f.error())) + "]");
        return 0;
    }
    const QByteArray head = f.read(40);
    if (head.size() < 10) {
        DebugLog::write("Error on reading (4) " + fileName);
        return 0;
    }
    const int commentLength = le16(head, 2);
    m_width = le16(head, 4);
    m_height = le16(head, 6);
    m_originX = le16(head, 8);
    m_originY = le16(head, 10);
    // The comment is text; whatever part of it the file holds is parsed.
    // Writers that pad it with zero bytes would otherwise glue them to the
    // last value ("4\0\0" is no number): they count as blanks.
    QByteArray commentBytes;
    if (f.seek(ImgHeaderSize))
        commentBytes = f.read(commentLength);
    const QString comment = QString::fromLatin1(commentBytes.replace('\0', ' '));
    f.close();
    m_bytesPerPixel = commentValue(comment, "BytesPerPixel=", "2").toInt();
    m_exposureMs = exposureMsOf(commentValue(comment, "ExposureTime=", "0.1"));
    return commentLength + ImgHeaderSize;
}

bool TiffData::readImg(const QString &fileName) {
    clear();
    const qint64 offset = readImgHeader(fileName);
    if (offset == 0)
        return false;
    m_fileName = fileName;
    resetRange();
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        DebugLog::write("Can not open (2) " + fileName);
        return false;
    }
    const bool wide = m_bytesPerPixel == 4;
    const SampleType type = wide ? UInt32 : UInt16;
    const qint64 needed = qint64(m_width) * m_height * sampleBytes(type);
    // Check the claimed size against the file before allocating anything.
    if (m_width == 0 || m_height == 0 || f.size() - offset < needed || !f.seek(offset)) {
        DebugLog::write(
            QString("invalid file size. expected (h,w) = %1 %2").arg(m_height).arg(m_width));
        DebugLog::write(QString(wide ? "Error on reading (2) " : "Error on reading (3) ") +
                        fileName);
        return false;
    }
    if (!ImageMemory::fitsBudget(needed, fileName))
        return false;
    startRows(type);
    unsigned char *block = addRowBlock(0, m_height, false);
    if (!block) {
        releaseSamples();
        return false;
    }
    if (f.read(reinterpret_cast<char *>(block), needed) != needed) {
        DebugLog::write(
            QString("invalid file size. expected (h,w) = %1 %2").arg(m_height).arg(m_width));
        DebugLog::write(QString(wide ? "Error on reading (2) " : "Error on reading (3) ") +
                        fileName);
        releaseSamples();
        return false;
    }
    f.close();
#if Q_BYTE_ORDER == Q_BIG_ENDIAN
    const qint64 count = qint64(m_width) * m_height;
    if (wide)
        qFromLittleEndian<quint32>(block, count, block);
    else
        qFromLittleEndian<quint16>(block, count, block);
#endif
    for (int y = 0; y < m_height; ++y)
        updateRange(m_rows[size_t(y)], m_width);
    if (m_errPoints.use())
        repairErrorPoints();
    return true;
}
