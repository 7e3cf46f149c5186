#include "display/ColorMap.h"

#include <QMutex>
#include <QMutexLocker>
#include <cmath>

namespace {
struct SharedMap {
    QMutex mutex;
    ColorMap map;
};

SharedMap &sharedMap() {
    static SharedMap s;
    return s;
}

} // namespace

// Black -> red -> yellow -> white, one channel rising at a time.
constexpr ColorMap::RgbTable ColorMap::buildRgbTable() {
    RgbTable t{};
    for (int i = 0; i <= 255; ++i) // black to red
        t.bytes[3 * i] = uchar(i);
    for (int j = 1; j <= 255; ++j) { // red to yellow
        t.bytes[3 * (255 + j)] = 255;
        t.bytes[3 * (255 + j) + 1] = uchar(j);
    }
    for (int j = 1; j <= 255; ++j) { // yellow to white
        t.bytes[3 * (510 + j)] = 255;
        t.bytes[3 * (510 + j) + 1] = 255;
        t.bytes[3 * (510 + j) + 2] = uchar(j);
    }
    for (int k = 0; k < 3; ++k)
        t.bytes[3 * 766 + k] = 255;
    return t;
}

const ColorMap::RgbTable ColorMap::s_rgb = ColorMap::buildRgbTable();

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
