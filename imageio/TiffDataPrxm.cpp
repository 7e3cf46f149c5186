// The "#PRXM-CTImg" text image of TiffData: header lines beginning with "#"
// ("# RANGE_X0 = 10" and the like), then one line per pixel, row by row, whose
// third item is the value.
#include "imageio/TiffData.h"

#include "app/DebugLog.h"
#include "app/TextFileLimits.h"
#include "app/TextLine.h"
#include "imageio/ImageMemory.h"

#include <QFile>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// A header number truncated toward zero, kept inside a range whose
// differences still fit in 64 bits.
qint64 rangeValue(const QString &text) {
    const double v = text.toDouble();
    if (!std::isfinite(v))
        return 0;
    return qint64(std::clamp(std::trunc(v), -1e15, 1e15));
}

// The third whitespace-separated item of a data line as a number (0 when
// missing or not a number).
double thirdItem(const QByteArray &line) {
    const char *p = line.constData();
    const char *end = p + line.size();
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    for (int item = 0; item < 3; ++item) {
        while (p < end && isSpace(*p))
            ++p;
        const char *start = p;
        while (p < end && !isSpace(*p))
            ++p;
        if (item == 2)
            return QByteArray::fromRawData(start, int(p - start)).toDouble();
    }
    return 0;
}

} // namespace

int TiffData::readTextImageHeader(const QString &fileName) {
    if (TextFileLimits::refuseSpecialFile(fileName))
        return -1;
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        DebugLog::write("Can not open " + fileName + " [" + QString::number(int(f.error())) + "]");
        return -1;
    }
    qint64 x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    int lines = 0;
    QByteArray bytes;
    for (;;) {
        const TextFileLimits::LineRead r = TextFileLimits::readLine(f, &bytes);
        if (r == TextFileLimits::LineRead::TooLong) {
            TextFileLimits::reportTooLong(fileName, lines + 1);
            return -1;
        }
        if (r == TextFileLimits::LineRead::End)
            break;
        const QString line = QString::fromUtf8(bytes);
        QString rest;
        if (!TextLine::nextItem(line, &rest).startsWith('#'))
            break;
        ++lines;
        const QStringList items = TextLine::allItems(line);
        if (items.size() < 4)
            continue;
        const QString key = items[1].toUpper();
        DebugLog::write("ksv " + items[1] + " " + items[2] + " " + items[3]);
        if (key == "RANGE_X0")
            x0 = rangeValue(items[3]);
        else if (key == "RANGE_X1")
            x1 = rangeValue(items[3]);
        else if (key == "RANGE_Y0")
            y0 = rangeValue(items[3]);
        else if (key == "RANGE_Y1")
            y1 = rangeValue(items[3]);
    }
    const qint64 w = x1 - x0, h = y1 - y0;
    DebugLog::write(QString("rrr %1 %2 %3 %4 %5 %6").arg(x0).arg(x1).arg(y0).arg(y1).arg(w).arg(h));
    // Sizes beyond int are refused by the caller; keep them recognisable here.
    m_width = int(std::clamp<qint64>(w, -1, INT_MAX));
    m_height = int(std::clamp<qint64>(h, -1, INT_MAX));
    return lines;
}

bool TiffData::readTextImage(const QString &fileName) {
    clear();
    const int headerLines = readTextImageHeader(fileName);
    if (headerLines < 0)
        return false;
    if (m_width < 1 || m_height < 1) {
        DebugLog::write(QString("invalid image size (w,h) = %1 %2 ").arg(m_width).arg(m_height) +
                        fileName);
        return false;
    }
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        DebugLog::write("Can not open (2) " + fileName);
        return false;
    }
    // Missing lines at the end read as 0, but a file must at least hold about
    // one byte per claimed pixel: no allocation for sizes it cannot justify.
    const qint64 pixels = qint64(m_width) * m_height;
    if (pixels > f.size() || m_width == INT_MAX || m_height == INT_MAX) {
        DebugLog::write(
            QString("invalid file size. expected (h,w) = %1 %2 ").arg(m_height).arg(m_width) +
            fileName);
        return false;
    }
    if (!ImageMemory::fitsBudget(pixels * qint64(sizeof(float)), fileName))
        return false;
    QByteArray line;
    for (int i = 0; i < headerLines; ++i)
        TextFileLimits::readLine(f, &line); // their length was checked by the header pass
    m_fileName = fileName;
    m_exposureMs = 100;
    resetRange();
    startRows(Float32);
    if (!addRowBlock(0, m_height, true)) { // missing lines read as 0
        releaseSamples();
        return false;
    }
    qint64 lineNo = headerLines;
    for (int y = 0; y < m_height; ++y) {
        float *row = reinterpret_cast<float *>(m_rows[size_t(y)]);
        for (int x = 0; x < m_width; ++x) {
            const TextFileLimits::LineRead r = TextFileLimits::readLine(f, &line);
            if (r == TextFileLimits::LineRead::End)
                break;
            if (r == TextFileLimits::LineRead::TooLong) {
                TextFileLimits::reportTooLong(fileName, lineNo + 1);
                releaseSamples();
                return false;
            }
            ++lineNo;
            const double v = thirdItem(line) * 500;
            row[x] = v > 0 ? float(v) : 0.0f; // negative (and NaN) values stored as 0
        }
        updateRange(row, m_width);
    }
    return true;
}
