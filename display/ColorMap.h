#pragma once
// The one colour map every picture goes through. A value is first turned by its
// owner into a fraction of its display range (0 at the bottom, 1 at the top);
// the fraction is stretched between the lower and upper window fractions set on
// the colour bar and then selects an entry of a lookup table: black-red-yellow-
// white for RGB pictures, a grey ramp for 8-bit grey pictures.
//
// ColorMap is a small value (window, real range, picture format). One shared
// instance belongs to the colour bar; renderers on any thread take a snapshot of
// it with ColorMap::shared() and write pixels through the snapshot.
#include <QColor>
#include <QImage>
#include <QtGlobal>

class ColorMap {
public:
    static constexpr int RgbEntries = 767;
    static constexpr int GreyEntries = 256;
    static constexpr int OverlayColors = 9;

    // The RGB table: entry i as red, green, blue bytes (3 * i .. 3 * i + 2).
    static const uchar *rgbTable();

    // Table index for fraction f (clamped to [0, 1] first; NaN counts as 0).
    static int rgbIndex(double f);
    static int greyIndex(double f);
    static QColor rgbEntry(double f);
    static QColor greyEntry(double f);

    // Overlay colour number index (taken modulo 9, negative indices too).
    static QColor overlayColor(int index);

    ColorMap() = default;

    double lower() const { return m_lower; }
    double upper() const { return m_upper; }
    void setLower(double lower) { m_lower = lower; }
    void setUpper(double upper) { m_upper = upper; }
    void setWindow(double lower, double upper);

    double realMinimum() const { return m_realMin; }
    double realMaximum() const { return m_realMax; }
    void setRange(double minimum, double maximum);

    // QImage::Format_RGB888 or QImage::Format_Grayscale8 (the default).
    QImage::Format format() const { return m_format; }
    void setFormat(QImage::Format format) { m_format = format; }
    // Bytes the pixel writer writes per pixel in format: 3, 1, or 0 for any
    // other format.
    static int bytesPerPixel(QImage::Format format);

    // The fraction x stretched over the window and clamped to [0, 1]. When
    // lower equals upper the window is a step: fractions at or above it give 1,
    // fractions below it 0. NaN gives 0.
    double stretch(double x) const;

    // Writes the entry for fraction x in the map's format (or the format
    // given) at out and returns the position after the bytes written; writes
    // nothing for a format other than RGB888 and Grayscale8.
    uchar *writePixel(double x, uchar *out) const { return writePixel(x, out, m_format); }
    uchar *writePixel(double x, uchar *out, QImage::Format format) const;

    // Colour of the pixel writer's entry for fraction x (grey as r = g = b).
    QColor colorOfFraction(double x) const;
    // Colour of a data value placed in the real range. An empty real range
    // places values at or above it at the top, values below at the bottom.
    QColor colorOfValue(double v) const;

    // The shared colour window of the colour bar. Safe to call from any
    // thread: getters return a snapshot, setters replace fields atomically.
    static ColorMap shared();
    static void setShared(const ColorMap &map);
    static void setSharedWindow(double lower, double upper);
    static void setSharedRange(double minimum, double maximum);
    static void setSharedFormat(QImage::Format format);

private:
    double m_lower = 0;
    double m_upper = 1;
    double m_realMin = 0;
    double m_realMax = 1;
    QImage::Format m_format = QImage::Format_Grayscale8;
};
