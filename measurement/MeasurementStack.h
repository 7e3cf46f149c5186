#pragma once
// The measurement the main window owns: the I1 (sample) and I0 (incident beam)
// image series, the detector dark frame, a dark area per series, the total-I0
// spectra and the image geometry. It forms mu*t of a bin of pixels over all
// energies:
//
//   d1 = dark bin sum / darkExp * I1 exposure  (+ N * I1 dark-area value)
//   d0 = dark bin sum / darkExp * I0 exposure  (+ N * I0 dark-area value)
//   r  = N, or I0(E) - d0 with the I0 series, or the total-I0 value of image i
//   v  = I1 bin sum - d1
//   mu = v / r (fluorescence)   or   ln(r / v) (transmission, 1 when r*v <= 0)
//
// No widgets here: the window reads its fields into MuTConditions.
#include "measurement/MuLog.h"
#include "spectrum/Spectrum.h"

#include <QRectF>
#include <QString>
#include <QVector>
#include <cmath>
#include <memory>
#include <vector>

class TiffData;

// An energy-shift map placed on the detector with its top-left cell at
// (x0, y0): width x height values, row-major. A default view has no values
// and reads 0 everywhere.
struct ShiftMapView {
    const double *values = nullptr;
    int width = 0;
    int height = 0;
    int x0 = 0;
    int y0 = 0;
    // Map pixel (mx, my); 64-bit, since a position on the detector minus the
    // map's offset (any int a map file gives) may leave the range of int.
    double at(qint64 mx, qint64 my) const {
        if (!values || mx < 0 || my < 0 || mx >= width || my >= height)
            return 0;
        return values[mx + my * width];
    }
};

enum class Series { I1, I0 };

inline QString seriesName(Series s) {
    return s == Series::I1 ? QStringLiteral("I1") : QStringLiteral("I0");
}

// The offset measured in a dark corner of every image of a series: mean of the
// image over the rectangle minus the (exposure-scaled) mean of the dark frame.
struct DarkArea {
    bool on = false;
    QRectF rect;
    QVector<double> values; // one per image, in series order
};

// mu*t of one row of bins, read image by image so that each image row is
// walked in order (far kinder to the caches than bin by bin over hundreds of
// images). Storage is kept between rows.
struct MuTRow {
    int count = 0;                           // bins in the row
    int images = 0;                          // I1 images
    std::vector<double> mu;                  // [bin * images + image]
    std::vector<double> dark1;               // per bin
    std::vector<double> dark0;               // per bin
    std::vector<char> inside;                // per bin: centre inside the image
    std::vector<double> span1, spanA, spanB; // bin sums of one image (I1, I0 pair)
    std::vector<char> covered;               // per image: its energy lies within I0's
    std::vector<double> beam, signal;        // per bin, of one image: I0 - dark, I1 - dark
    // mu of up to ImagesPerStore consecutive images, per bin, stored into mu
    // together.
    static constexpr int ImagesPerStore = 4;
    std::vector<double> imageMu;
};

struct MuTConditions {
    int hx = 0;           // bin half-width (columns x-|hx|..x+|hx|)
    int hy = 0;           // bin half-height
    bool useI0 = false;   // divide by the I0 series
    bool fluo = false;    // fluorescence: mu = v / r
    double darkExpMs = 0; // exposure of the dark frame
    double i1ExpMs = 0;   // exposure of the I1 series
    double i0ExpMs = 0;   // exposure of the I0 series
    // N of the nominal bin, in floating point: a typed half-width may be far
    // beyond the image (or the most negative int) and must not overflow.
    double pixelCount() const {
        return (2.0 * std::abs(double(hy)) + 1) * (2.0 * std::abs(double(hx)) + 1);
    }
};

class MeasurementStack {
public:
    MeasurementStack() = default;
    ~MeasurementStack();
    MeasurementStack(const MeasurementStack &) = delete;
    MeasurementStack &operator=(const MeasurementStack &) = delete;

    // ---- series (the stack owns every image appended) ----
    const QVector<TiffData *> &images(Series s) const { return s == Series::I1 ? m_i1 : m_i0; }
    const QVector<TiffData *> &i1() const { return m_i1; }
    const QVector<TiffData *> &i0() const { return m_i0; }
    // Appends the image. The first image of the series whose size differs
    // from the series' first image gives the warning text (empty otherwise):
    // such a series loads, but the smaller images read 0 outside their size,
    // so the spectra there fill with mu*t = 1 points.
    QString append(Series s, TiffData *image);
    // Deletes the images; the dark-area values are recomputed on next use.
    void clear(Series s);
    // Registration shift of image `index` (pixel (x, y) reads the stored
    // pixel (x - dx, y - dy)); the series' dark-area values, which read the
    // images through their shifts, are measured anew on next use. False when
    // there is no such image or the shift is unchanged.
    bool setImageShift(Series s, int index, double dx, double dy);
    // Every image of the series back to shift (0, 0); returns how many moved.
    int clearShifts(Series s);
    // True when every image of the series has the first image's exposure.
    bool sameExposure(Series s) const;

    // ---- I1 against I0 ----
    // An I1 point is left out of the spectra when I0 is used (a series of
    // more than one image, no total-I0 spectrum) and its energy lies outside
    // the I0 energies: the incident beam there would be extrapolated, and a
    // ratio against a made-up I0 is not a measurement.
    bool coveredByI0(double energy, const MuTConditions &c) const;
    // What does not match between the series when I0 is used, one message
    // each: I0 covering a smaller energy range than I1 (naming the I1
    // energies left out), images of other sizes, and an I0 too sparse for the
    // interpolation to follow I1 (fewer than half as many images over the
    // range). Empty when they match or either series is empty.
    QStringList i0Mismatch() const;

    // ---- geometry, taken from the first I1 image ----
    void takeGeometryFromFirstI1();
    int width() const { return m_width; }
    int height() const { return m_height; }
    int originX() const { return m_originX; }
    int originY() const { return m_originY; }
    bool inside(int x, int y) const { return x >= 0 && x < m_width && y >= 0 && y < m_height; }

    // ---- dark frame ----
    // Reads the file as the dark frame; on failure the dark frame already
    // loaded stays and *why (when given) says what was wrong.
    bool loadDark(const QString &fileName, QString *why = nullptr);
    // Takes an image read elsewhere (a stack file's dark) as the dark frame.
    void setDark(std::unique_ptr<TiffData> image);
    void clearDark();
    const TiffData *dark() const { return m_dark.get(); }
    // Dark bin sum scaled from the dark frame's exposure to the series'; 0
    // without a dark frame or with a non-positive dark exposure.
    double darkSum(int x, int y, int hx, int hy, double seriesExpMs, double darkExpMs) const;

    // ---- dark areas ----
    const DarkArea &darkArea(Series s) const { return s == Series::I1 ? m_da1 : m_da0; }
    void setDarkArea(Series s, const QRectF &rect, double seriesExpMs, double darkExpMs);
    void clearDarkArea(Series s);
    // Appends the values of images that have none yet.
    void updateDarkArea(Series s, double seriesExpMs, double darkExpMs);

    // ---- total-I0 spectra (externally measured I0, one point per file) ----
    Spectrum &totalI0OfI1() { return m_totalI0OfI1; }
    Spectrum &totalI0OfI0() { return m_totalI0OfI0; }
    const Spectrum &totalI0OfI1() const { return m_totalI0OfI1; }

    // ---- mu*t ----
    // I0 bin sum interpolated in energy over the I0 series (1 without images).
    double i0At(double energy, int x, int y, int hx, int hy) const;
    // mu of one point: v / r (fluorescence) or ln(r / v). Where the ratio is
    // undefined (no incident intensity, or a transmission logarithm of a
    // non-positive ratio) the point reads 1, so a spectrum never carries an
    // infinity or a NaN into its normalisation and plot. Inline: called per
    // point and image of every run.
    static double muOf(double r, double v, bool fluo) {
        if (fluo)
            return r != 0 ? v / r : 1.0;
        if (r * v > 0)
            return std::log(r / v);
        return 1.0;
    }
    // Refills out (storage reused) with (E_i, mu_i) of every I1 image; empty
    // when (x, y) lies outside the image. Brings dark areas up to date first.
    void buildMuT(int x, int y, const MuTConditions &c, Spectrum &out);
    // Brings the dark-area values of both series up to the images loaded.
    void updateDarkAreas(const MuTConditions &c);
    // buildMuT for readers on several threads at once: reads only, so the
    // dark areas must be up to date (updateDarkAreas) before the first call.
    void computeMuT(int x, int y, const MuTConditions &c, Spectrum &out) const;
    // computeMuT for the `count` bins centred at (firstX + b * stepX, y), at
    // once; muTOfRowBin then gives bin b exactly as computeMuT would.
    void computeMuTRow(int y, int firstX, int stepX, int count, const MuTConditions &c,
                       MuTRow &row) const;
    void muTOfRowBin(const MuTRow &row, int b, Spectrum &out) const;
    // (E_i, bin sum of I1 image i), no correction.
    void buildRaw(int x, int y, int hx, int hy, Spectrum &out) const;

    // ---- profiles under the mouse ----
    // Row my (horizontal) or column mx (vertical) of image `index`: bin sums
    // with half-width 1 and half-height hy (horizontal) or hx (vertical), each
    // placed at its column or row (the profile views draw rows downwards, in
    // line with the image). As mu against the I0 series when asMu, else raw.
    void horizontalProfile(Series s, int index, int my, int hy, bool asMu, bool fluo,
                           Spectrum &out) const;
    void verticalProfile(Series s, int index, int mx, int hx, bool asMu, bool fluo,
                         Spectrum &out) const;

    // Energy shift of image point (x, y) from the shift map placed on the
    // detector; 0 outside the map or without one.
    double shiftAt(const ShiftMapView &map, int x, int y) const {
        return map.at(qint64(x) + m_originX - map.x0, qint64(y) + m_originY - map.y0);
    }

    // Writes "flat.dat" (all 1) and "dark.dat" (all 0) as 16-bit TIFFs of the
    // given size into folder; nothing (false) without a size.
    static bool writeFlatDark(const QString &folder, int width, int height);

private:
    // The bin sums of image i for a row of bins: by box sums, or for one-pixel
    // bins side by side from the image row at once.
    static void storeImageMu(int i, bool fluo, MuTRow &row);
    void rowSums(const TiffData &image, int y, int firstX, int stepX, const MuTConditions &c,
                 MuTRow &row, std::vector<double> &sums) const;
    DarkArea &area(Series s) { return s == Series::I1 ? m_da1 : m_da0; }
    QVector<TiffData *> &list(Series s) { return s == Series::I1 ? m_i1 : m_i0; }
    double darkAreaValue(const TiffData &image, const QRectF &r, double seriesExpMs,
                         double darkExpMs) const;
    double profileValue(const TiffData &image, int x, int y, int rx, int ry, bool asMu,
                        bool fluo) const;

    QVector<TiffData *> m_i1;
    QVector<TiffData *> m_i0;
    bool m_sizeWarned[2] = {false, false}; // per series, until it is cleared
    double m_i0Lo = 0;                     // energy range of the I0 images
    double m_i0Hi = 0;
    std::unique_ptr<TiffData> m_dark;
    DarkArea m_da1;
    DarkArea m_da0;
    Spectrum m_totalI0OfI1;
    Spectrum m_totalI0OfI0;
    int m_width = -1;
    int m_height = 0;
    int m_originX = 0;
    int m_originY = 0;
};
