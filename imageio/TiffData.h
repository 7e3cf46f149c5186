#pragma once
// One detector image: its samples (16-bit, 32-bit unsigned or 32-bit float, kept
// in the file's own type and converted on access), size, detector origin, value
// range, exposure time, energy and registration shift (its picture is drawn by
// render/ImagePicture for whoever shows it). Read from TIFF, from the IMG raw format (64-byte
// header) or from the
// "#PRXM-CTImg" text image; the reader is chosen by the file's content.
//
// A TiffData is not copyable: images are large and pass between threads by
// pointer (meta type "TiffData*"), the receiver taking ownership.
#include "imageio/ErrPoints.h"
#include "imageio/SampleArena.h"

#include <QImage>
#include <QList>
#include <QMetaType>
#include <QRectF>
#include <QString>
#include <QVector>
#include <climits>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

class TiffData {
public:
    enum SampleType {
        TiffUInt16 = 0, // 16-bit unsigned, read from a TIFF (8-bit TIFFs widened)
        UInt16 = 1,     // 16-bit unsigned (IMG)
        UInt32 = 2,     // 32-bit unsigned (IMG with 4 bytes per pixel, TIFF)
        Float32 = 3,    // 32-bit float (text image, TIFF)
        NoData = 4
    };

    // The reader a file's first bytes call for.
    enum Reader { NoReader, TiffReader, ImgReader, TextImageReader };

    TiffData();
    ~TiffData();
    TiffData(const TiffData &) = delete;
    TiffData &operator=(const TiffData &) = delete;

    // ---- reading ----
    // Reads the file with the reader its first bytes call for. The mask, when
    // given, becomes the image's error-point mask (else the process-wide mask
    // at construction stays).
    bool load(const QString &fileName);
    bool load(const QString &fileName, const ErrPoints &mask);
    // Why the last load failed, in words for the user ("" after a good one),
    // as the other readers say it (Hdf5Stack::error, EmpFile::LoadStatus).
    const QString &error() const { return m_error; }

    // A band of image rows [first, end); by default every row.
    struct RowRange {
        int first = 0;
        int end = INT_MAX;
    };
    // Reads only the rows of the band (cut to the image), for scans larger
    // than memory: a tile of a map run needs only the rows under its bins.
    // The record keeps the image's full width, height, origin and pixel
    // coordinates; rows outside the band read as 0 everywhere (value,
    // shiftedSpan, boxSum, areaAverage, neighbours), rowData gives nullptr for
    // them, minimum/maximum/sampleSum cover the stored rows, error points are
    // repaired from stored neighbours only (keep one row of margin). TIFF files decode
    // only the strips that hold the band; IMG and text images are read whole
    // and cut. A band wholly off the image stores no row (every read is 0).
    bool load(const QString &fileName, const ErrPoints &mask, const RowRange &rows);
    // The stored rows: [storedRowBegin(), storedRowEnd()), the whole image
    // unless a band was read.
    int storedRowBegin() const { return m_rowBegin; }
    int storedRowEnd() const { return m_rowEnd; }
    // For readers that read a band themselves (an HDF5 hyperslab of rows):
    // takes a width x height image of which `samples` holds, row by row, the
    // rows of `rows` cut to [0, height), in the sample type given (UInt16,
    // UInt32 or Float32); an empty band needs no samples. As assign
    // otherwise; false, leaving no data, for a size or type the record cannot
    // hold.
    bool assignRows(int width, int height, SampleType type, const RowRange &rows,
                    const void *samples);
    // The same, with fill(base) writing the band's rows straight into the
    // record's storage (no copy of an image in between); false, leaving no
    // data, when fill does.
    bool assignRows(int width, int height, SampleType type, const RowRange &rows,
                    const std::function<bool(void *base)> &fill);
    // The reader load() would use; NoReader (with the debug message load()
    // writes, and why in *why) for a file that cannot be opened, is shorter
    // than 15 bytes or is of no known kind.
    static Reader readerFor(const QString &fileName, QString *why = nullptr);
    bool readTiff(const QString &fileName);
    bool readImg(const QString &fileName);
    // Offset of the pixel data (comment length + 64), 0 on failure. Sets width,
    // height, origin, bytes per pixel and exposure time.
    qint64 readImgHeader(const QString &fileName);
    bool readTextImage(const QString &fileName);
    // Number of header lines, or -1. Sets width and height.
    int readTextImageHeader(const QString &fileName);
    // Bytes the samples of the file's image would take, from its header
    // alone; 0 when the header cannot be read.
    static qint64 decodedBytes(const QString &fileName);
    // Takes width x height samples of the given type (UInt16, UInt32 or
    // Float32), row by row, as an image made in memory (synthetic or computed
    // frames); the range is rebuilt. False, leaving no data, for
    // a size or type the record cannot hold.
    bool assign(int width, int height, SampleType type, const void *samples);
    // Releases the samples; sample type becomes NoData.
    void clear();

    // ---- the record ----
    const QString &fileName() const { return m_fileName; }
    // Names an image made in memory or read from a container (a stack file).
    void setFileName(const QString &name) { m_fileName = name; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int originX() const { return m_originX; }
    int originY() const { return m_originY; }
    int bytesPerPixel() const { return m_bytesPerPixel; }
    int scanLineSize() const { return m_scanLineSize; }
    SampleType sampleType() const { return m_sampleType; }
    bool hasData() const { return m_sampleType != NoData; }
    // Value range over all samples read (before error-point repair).
    double minimum() const { return m_min; }
    double maximum() const { return m_max; }
    double exposureMs() const { return m_exposureMs; }
    void setExposureMs(double ms) { m_exposureMs = ms; }
    double energy() const { return m_energy; }
    void setEnergy(double eV) { m_energy = eV; }
    // Set for images whose file gives their energy (a stack file): the series
    // panel keeps it rather than assigning one from the name or position.
    bool energyFromFile() const { return m_energyFromFile; }
    void setEnergyFromFile(bool on) { m_energyFromFile = on; }
    // The registration shift: pixel (x, y) shows the stored image at
    // (x - dx, y - dy). A whole-pixel shift reads the samples as stored; a
    // fractional one interpolates bilinearly between the four stored pixels
    // around that point, which is what a detector displaced by a fraction of
    // a pixel would have recorded for a smooth intensity.
    double shiftDX() const { return m_dx; }
    double shiftDY() const { return m_dy; }
    // The shift to the nearest whole pixel (halves away from 0), for the
    // integer controls and the edge method.
    int shiftX() const { return int(std::lround(m_dx)); }
    int shiftY() const { return int(std::lround(m_dy)); }
    bool fractionalShift() const { return m_dx != m_shiftX || m_dy != m_shiftY; }
    // Kept within +-MaxShift (a NaN becomes 0): a larger shift already moves
    // every pixel off the image, and the bound keeps coordinate arithmetic
    // from overflowing.
    void setShift(double dx, double dy);
    static constexpr int MaxShift = 1 << 28;
    const ErrPoints &errPoints() const { return m_errPoints; }
    void setErrPoints(const ErrPoints &mask) { m_errPoints = mask; }

    // Row y of the stored data (before the shift), nullptr outside. Its
    // element type follows sampleType(): quint16, quint32 or float.
    const void *rowData(int y) const;

    // ---- pixel access (image coordinates, shift applied; 0 outside) ----
    // Every reader below is linear in the samples, so under a fractional
    // shift it reads the bilinear blend of its four whole-pixel reads, in
    // one order everywhere: a one-pixel box sum and a span agree bit for bit.
    double value(int x, int y) const { return valueAt(x, y, m_dx, m_dy); }
    // The value at (x, y) through the shift (sx, sy).
    double valueAt(int x, int y, double sx, double sy) const;
    // Row y of the image as doubles into out[0 .. width-1], read through the
    // shift (sx, sy) (0 outside the stored data); the second form uses the
    // image's own registration shift.
    void shiftedRow(int y, double sx, double sy, double *out) const {
        shiftedSpan(y, 0, m_width, sx, sy, out);
    }
    void shiftedRow(int y, double *out) const { shiftedRow(y, m_dx, m_dy, out); }
    // out[i] = the value at (x0 + i, y) through the shift (sx, sy), i < count.
    void shiftedSpan(int y, int x0, int count, double sx, double sy, double *out) const;
    // Asks the caches for the stored row that shiftedSpan(y, ...) reads first,
    // ahead of the read: a map run walks one row of hundreds of images, far
    // apart in memory.
    void prefetchRow(int y) const;
    void shiftedSpan(int y, int x0, int count, double *out) const {
        shiftedSpan(y, x0, count, m_dx, m_dy, out);
    }
    // Sum of every stored sample (no shift).
    double sampleSum() const { return storedSum(0, qint64(m_width) - 1, 0, qint64(m_height) - 1); }
    // Sum over columns x-|rx|..x+|rx| and rows y-|ry|..y+|ry| inclusive.
    double boxSum(int x, int y, int rx, int ry) const;
    // Mean over columns x..x+w and rows y..y+h inclusive (each truncated toward
    // zero); 0 when w or h is negative.
    double areaAverage(double x, double y, double w, double h) const;
    double areaAverage(const QRectF &r) const {
        return areaAverage(r.x(), r.y(), r.width(), r.height());
    }

    // Mean of the usable 8-neighbours of stored pixel (x, y): inside the data
    // and, when the mask is in use, not masked (looked up in detector
    // coordinates, i.e. with the origin added). 0 when none is usable.
    double neighbourAverage(int x, int y) const;
    // Replaces every pixel of the image's mask by the mean of its neighbours
    // that are inside the data and not in the mask (masked neighbours are
    // skipped even when the mask's use flag is off).
    void repairErrorPoints();

    // Box sum interpolated linearly in energy over images in ascending energy:
    // 1 for an empty list; a line through the neighbouring pair otherwise
    // (extrapolated from the first or last two); equal energies average.
    static double interpolatedBoxSum(const TiffData *const *images, int count, double energy, int x,
                                     int y, int rx, int ry);
    static double interpolatedBoxSum(const QVector<TiffData *> &images, double energy, int x, int y,
                                     int rx, int ry) {
        return interpolatedBoxSum(images.constData(), images.size(), energy, x, y, rx, ry);
    }
    static double interpolatedBoxSum(const QList<TiffData *> &images, double energy, int x, int y,
                                     int rx, int ry);
    // The two halves of interpolatedBoxSum, for readers that look up many
    // bins at one energy: the index k of the upper image of the pair (0 for
    // fewer than two images), then the interpolated box sum with that pair.
    static int interpolationPair(const TiffData *const *images, int count, double energy);
    // The line through the pair's sums (sa at ea, sb at eb) at energy e; the
    // mean where the two energies are equal.
    static double interpolateSums(double sa, double sb, double ea, double eb, double e) {
        if (ea == eb)
            return (sa + sb) / 2;
        return sa + (sb - sa) * (e - ea) / (eb - ea);
    }
    static double interpolatedBoxSumAt(const TiffData *const *images, int count, int k,
                                       double energy, int x, int y, int rx, int ry);

    // ---- writing ----
    // Uncompressed 16-bit single-sample TIFF of width x height samples, row by
    // row. Written through a temporary file, so a failure leaves any existing
    // file untouched. A description, when given, goes into ImageDescription.
    static bool write16BitTiff(const QString &fileName, int width, int height,
                               const quint16 *samples, const QString &description = QString());
    // An uncompressed 32-bit float TIFF (one sample per pixel, row-major),
    // written through QSaveFile; false (logged) when it cannot be written.
    static bool writeFloat32Tiff(const QString &fileName, int width, int height,
                                 const float *samples, const QString &description = QString());
    static bool writeConstantTiff(const QString &fileName, int width, int height, quint16 value);

private:
    static int sampleBytes(SampleType type);
    // Drops any samples and sizes the row table for the current height; the
    // stored band becomes m_band cut to the image.
    void startRows(SampleType type);
    // Keeps only the stored rows of the band (readers that read whole images).
    void cutToBand();
    bool wholeImageStored() const { return m_rowBegin == 0 && m_rowEnd == m_height; }
    // A block for rows [firstRow, firstRow + rowCount) of the current width
    // and sample type, zeroed when asked; the rows point into it.
    unsigned char *addRowBlock(int firstRow, int rowCount, bool zeroed);
    void releaseSamples();
    bool tiffReadStrips(struct tiff *tif, int bitsPerSample);
    void resetRange();
    void updateRange(const void *row, int count);
    // Sum over stored columns x0..x1 and rows y0..y1 (cut to the data).
    double storedSum(qint64 x0, qint64 x1, qint64 y0, qint64 y1) const;
    template <typename T>
    void copyRow(const unsigned char *row, int from, int count, double *out) const;
    double storedValue(qint64 x, qint64 y) const;
    // shiftedSpan through a whole-pixel shift.
    void wholeSpan(int y, qint64 x0, int count, qint64 sx, qint64 sy, double *out) const;
    template <typename T> double boxSumOf(int x0, int x1, int y0, int y1) const;
    double neighbourMean(int x, int y, bool skipMasked) const;
    bool maskedAt(int x, int y) const;

    QString m_fileName;
    QString m_error; // why the last load failed
    int m_bytesPerPixel = 2;
    int m_width = 0;
    int m_height = 0;
    int m_originX = 0;
    int m_originY = 0;
    ErrPoints m_errPoints;
    int m_scanLineSize = 0;
    double m_min;
    double m_max;
    std::vector<SampleArena::Block> m_blocks; // sample storage
    std::vector<unsigned char *> m_rows;      // one per row, into m_blocks
    RowRange m_band;                          // rows the next read keeps
    int m_rowBegin = 0, m_rowEnd = 0;         // stored rows (others nullptr)
    double m_energy = 0;
    bool m_energyFromFile = false;
    double m_exposureMs = 100;
    double m_dx = 0, m_dy = 0; // the registration shift
    int m_shiftX = 0;          // its whole pixels, rounded down
    int m_shiftY = 0;
    SampleType m_sampleType = NoData;
};

Q_DECLARE_METATYPE(TiffData *)
