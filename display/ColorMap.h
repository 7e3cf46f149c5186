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
#ifdef __SSE2__
#include <emmintrin.h>
#endif

class ColorMap {
public:
    static constexpr int RgbEntries = 767;
    static constexpr int GreyEntries = 256;
    static constexpr int OverlayColors = 9;

    // The RGB table: entry i as red, green, blue bytes (3 * i .. 3 * i + 2).
    // Built at compile time: no first-use guard on the per-pixel path.
    static const uchar *rgbTable() { return s_rgb.bytes; }

    // Table index for fraction f (clamped to [0, 1] first; NaN counts as 0).
    static int rgbIndex(double f) { return int(clampUnit(f) * (RgbEntries - 1)); }
    static int greyIndex(double f) {
        const int i = int(clampUnit(f) * GreyEntries);
        return i < GreyEntries ? i : GreyEntries - 1;
    }
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
    double stretch(double x) const {
        const double width = m_upper - m_lower;
        if (width == 0) // a window of no width is a step at its position
            return x >= m_lower ? 1 : 0;
        return clampUnit((x - m_lower) / width);
    }

    // Writes the entry for fraction x in the map's format (or the format
    // given) at out and returns the position after the bytes written; writes
    // nothing for a format other than RGB888 and Grayscale8. Inline: renderers
    // call it once per pixel.
    uchar *writePixel(double x, uchar *out) const { return writePixel(x, out, m_format); }
    uchar *writePixel(double x, uchar *out, QImage::Format format) const {
        const double t = stretch(x);
        if (format == QImage::Format_RGB888) {
            const uchar *e = s_rgb.bytes + 3 * rgbIndex(t);
            out[0] = e[0];
            out[1] = e[1];
            out[2] = e[2];
            return out + 3;
        }
        if (format == QImage::Format_Grayscale8) {
            *out = uchar(greyIndex(t));
            return out + 1;
        }
        return out;
    }

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
    // f clamped to [0, 1]; NaN gives 0.
    static double clampUnit(double f) {
#ifdef __SSE2__
        // maxsd gives its second operand when the first is NaN, minsd the
        // same: exactly the branches below, without a jump per pixel.
        const __m128d v = _mm_max_sd(_mm_set_sd(f), _mm_setzero_pd());
        return _mm_cvtsd_f64(_mm_min_sd(v, _mm_set_sd(1.0)));
#else
        f = f > 0 ? f : 0.0; // NaN fails the test too
        return f < 1 ? f : 1.0;
#endif
    }

    struct RgbTable {
        uchar bytes[3 * RgbEntries];
    };
    static constexpr RgbTable buildRgbTable();
    static const RgbTable s_rgb;

    double m_lower = 0;
    double m_upper = 1;
    double m_realMin = 0;
    double m_realMax = 1;
    QImage::Format m_format = QImage::Format_Grayscale8;
};
