#include "display/ColorMap.h"

#include <QMutex>
#include <QMutexLocker>
#include <array>
#include <cmath>

namespace {

// Black -> red -> yellow -> white, one channel rising at a time.
std::array<uchar, 3 * ColorMap::RgbEntries> buildRgbTable() {
    std::array<uchar, 3 * ColorMap::RgbEntries> t{};
    auto set = [&t](int i, int r, int g, int b) {
        t[3 * i] = uchar(r);
        t[3 * i + 1] = uchar(g);
        t[3 * i + 2] = uchar(b);
    };
    for (int i = 0; i <= 255; ++i)
        set(i, i, 0, 0);
    for (int j = 1; j <= 255; ++j)
        set(255 + j, 255, j, 0);
    for (int j = 1; j <= 255; ++j)
        set(510 + j, 255, 255, j);
    set(766, 255, 255, 255);
    return t;
}

double clampUnit(double f) {
    if (!(f > 0)) // NaN lands here too
        return 0;
    return f > 1 ? 1 : f;
}

struct SharedMap {
    QMutex mutex;
    ColorMap map;
};

SharedMap &sharedMap() {
    static SharedMap s;
    return s;
}

} // namespace

const uchar *ColorMap::rgbTable() {
    static const auto table = buildRgbTable();
    return table.data();
}

int ColorMap::rgbIndex(double f) {
    return qBound(0, int(clampUnit(f) * (RgbEntries - 1)), RgbEntries - 1);
}

int ColorMap::greyIndex(double f) {
    return qBound(0, int(clampUnit(f) * GreyEntries), GreyEntries - 1);
}

QColor ColorMap::rgbEntry(double f) {
    const uchar *e = rgbTable() + 3 * rgbIndex(f);
    return QColor(e[0], e[1], e[2]);
}

QColor ColorMap::greyEntry(double f) {
    const int g = greyIndex(f);
    return QColor(g, g, g);
}

QColor ColorMap::overlayColor(int index) {
    static const QColor colors[OverlayColors] = {
        QColor(255, 0, 0),   QColor(0, 255, 0),   QColor(0, 0, 255),
        QColor(255, 200, 0), QColor(255, 0, 200), QColor(200, 255, 0),
        QColor(200, 0, 255), QColor(0, 255, 200), QColor(0, 200, 255)};
    const int i = ((index % OverlayColors) + OverlayColors) % OverlayColors;
    return colors[i];
}

void ColorMap::setWindow(double lower, double upper) {
    m_lower = lower;
    m_upper = upper;
}

void ColorMap::setRange(double minimum, double maximum) {
    m_realMin = minimum;
    m_realMax = maximum;
}

int ColorMap::bytesPerPixel(QImage::Format format) {
    switch (format) {
    case QImage::Format_RGB888:
        return 3;
    case QImage::Format_Grayscale8:
        return 1;
    default:
        return 0;
    }
}

double ColorMap::stretch(double x) const {
    const double width = m_upper - m_lower;
    if (width == 0) // a window of no width is a step at its position
        return x >= m_lower ? 1 : 0;
    return clampUnit((x - m_lower) / width);
}

uchar *ColorMap::writePixel(double x, uchar *out, QImage::Format format) const {
    const double t = stretch(x);
    switch (format) {
    case QImage::Format_RGB888: {
        const uchar *e = rgbTable() + 3 * rgbIndex(t);
        out[0] = e[0];
        out[1] = e[1];
        out[2] = e[2];
        return out + 3;
    }
    case QImage::Format_Grayscale8:
        *out = uchar(greyIndex(t));
        return out + 1;
    default:
        return out;
    }
}

QColor ColorMap::colorOfFraction(double x) const {
    const double t = stretch(x);
    return m_format == QImage::Format_RGB888 ? rgbEntry(t) : greyEntry(t);
}

QColor ColorMap::colorOfValue(double v) const {
    const double span = m_realMax - m_realMin;
    if (span == 0)
        return colorOfFraction(v >= m_realMin ? 1 : 0);
    return colorOfFraction((v - m_realMin) / span);
}

ColorMap ColorMap::shared() {
    SharedMap &s = sharedMap();
    QMutexLocker lock(&s.mutex);
    return s.map;
}

void ColorMap::setShared(const ColorMap &map) {
    SharedMap &s = sharedMap();
    QMutexLocker lock(&s.mutex);
    s.map = map;
}

void ColorMap::setSharedWindow(double lower, double upper) {
    SharedMap &s = sharedMap();
    QMutexLocker lock(&s.mutex);
    s.map.setWindow(lower, upper);
}

void ColorMap::setSharedRange(double minimum, double maximum) {
    SharedMap &s = sharedMap();
    QMutexLocker lock(&s.mutex);
    s.map.setRange(minimum, maximum);
}

void ColorMap::setSharedFormat(QImage::Format format) {
    SharedMap &s = sharedMap();
    QMutexLocker lock(&s.mutex);
    s.map.setFormat(format);
}
