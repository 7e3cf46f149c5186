#include "imageio/TiffData.h"

#include <climits>

#include "app/DebugLog.h"
#include "app/TextFileLimits.h"

#include <QFile>
#include <QMetaType>
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

const int tiffDataMetaTypeId = qRegisterMetaType<TiffData *>("TiffData*");

template <typename T> inline double sampleAt(const unsigned char *row, int x) {
    return double(reinterpret_cast<const T *>(row)[x]);
}

} // namespace

TiffData::TiffData() : m_errPoints(ErrPoints::processWide()) {
    Q_UNUSED(tiffDataMetaTypeId);
    resetRange();
}

TiffData::~TiffData() = default;

// ---------------------------------------------------------------- storage

int TiffData::sampleBytes(SampleType type) {
    switch (type) {
    case TiffUInt16:
    case UInt16:
        return 2;
    case UInt32:
    case Float32:
        return 4;
    default:
        return 0;
    }
}

void TiffData::releaseSamples() {
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_sampleType = NoData;
    m_rowBegin = m_rowEnd = 0;
}

void TiffData::startRows(SampleType type) {
    releaseSamples();
    m_sampleType = type;
    m_rows.assign(size_t(std::max(m_height, 0)), nullptr);
    m_rowBegin = 0;
    m_rowEnd = std::max(m_height, 0);
}

void TiffData::cutToBand() {
    const int b0 = std::clamp(m_band.first, 0, m_height);
    const int b1 = std::clamp(m_band.end, b0, m_height);
    if (!hasData() || (b0 == m_rowBegin && b1 == m_rowEnd))
        return;
    const size_t rowBytes = size_t(m_width) * size_t(sampleBytes(m_sampleType));
    SampleArena::Block band = SampleArena::allocate(rowBytes * size_t(b1 - b0) + 1);
    if (!band)
        throw std::bad_alloc(); // as new[] did
    resetRange();
    for (int y = b0; y < b1; ++y) {
        unsigned char *row = band.get() + rowBytes * size_t(y - b0);
        std::memcpy(row, m_rows[size_t(y)], rowBytes);
        updateRange(row, m_width);
    }
    std::fill(m_rows.begin(), m_rows.end(), nullptr);
    m_blocks.clear();
    for (int y = b0; y < b1; ++y)
        m_rows[size_t(y)] = band.get() + rowBytes * size_t(y - b0);
    m_blocks.push_back(std::move(band));
    m_rowBegin = b0;
    m_rowEnd = b1;
}

unsigned char *TiffData::addRowBlock(int firstRow, int rowCount, bool zeroed) {
    const size_t rowBytes = size_t(m_width) * size_t(sampleBytes(m_sampleType));
    // Blocks come zeroed from the arena (fresh pages), so a reader that asks
    // for zeroed rows costs no pass over the image. An allocation the system
    // refuses is a failed read, not an exception.
    const size_t bytes = rowBytes * size_t(rowCount);
    (void)zeroed;
    SampleArena::Block block = SampleArena::allocate(bytes);
    unsigned char *base = block.get();
    if (!base) {
        DebugLog::write(QString("Out of memory for an image of %1 bytes").arg(bytes));
        return nullptr;
    }
    for (int r = 0; r < rowCount; ++r)
        m_rows[size_t(firstRow + r)] = base + rowBytes * size_t(r);
    m_blocks.push_back(std::move(block));
    return base;
}

bool TiffData::assign(int width, int height, SampleType type, const void *samples) {
    releaseSamples();
    resetRange();
    const bool typeOk = type == UInt16 || type == UInt32 || type == Float32;
    if (!typeOk || width <= 0 || height <= 0 || !samples ||
        qint64(width) * height > (qint64(1) << 31)) {
        m_width = m_height = 0;
        return false;
    }
    m_width = width;
    m_height = height;
    startRows(type);
    unsigned char *base = addRowBlock(0, height, false);
    if (!base) {
        releaseSamples();
        m_width = m_height = 0;
        return false;
    }
    const size_t rowBytes = size_t(width) * size_t(sampleBytes(type));
    std::memcpy(base, samples, rowBytes * size_t(height));
    for (int y = 0; y < height; ++y)
        updateRange(m_rows[size_t(y)], width);
    return true;
}

bool TiffData::assignRows(int width, int height, SampleType type, const RowRange &rows,
                          const void *samples) {
    const size_t rowBytes = size_t(std::max(width, 0)) * size_t(sampleBytes(type));
    const int b0 = std::clamp(rows.first, 0, std::max(height, 0));
    const int b1 = std::clamp(rows.end, b0, std::max(height, 0));
    if (b1 > b0 && !samples) {
        releaseSamples();
        m_width = m_height = 0;
        return false;
    }
    return assignRows(width, height, type, rows, [&](void *base) {
        if (b1 > b0)
            std::memcpy(base, samples, rowBytes * size_t(b1 - b0));
        return true;
    });
}

bool TiffData::assignRows(int width, int height, SampleType type, const RowRange &rows,
                          const std::function<bool(void *)> &fill) {
    releaseSamples();
    resetRange();
    const bool typeOk = type == UInt16 || type == UInt32 || type == Float32;
    const int b0 = std::clamp(rows.first, 0, std::max(height, 0));
    const int b1 = std::clamp(rows.end, b0, std::max(height, 0));
    if (!typeOk || width <= 0 || height <= 0 || qint64(width) * height > (qint64(1) << 31)) {
        m_width = m_height = 0;
        return false;
    }
    m_width = width;
    m_height = height;
    startRows(type);
    unsigned char *base = addRowBlock(b0, b1 - b0, false);
    if (b1 > b0 && (!base || !fill(base))) {
        releaseSamples();
        m_width = m_height = 0;
        return false;
    }
    m_rowBegin = b0;
    m_rowEnd = b1;
    for (int y = b0; y < b1; ++y)
        updateRange(m_rows[size_t(y)], width);
    return true;
}

void TiffData::clear() {
    releaseSamples();
}

void TiffData::resetRange() {
    m_min = DBL_MAX;
    m_max = DBL_MIN;
}

template <typename T> static void rangeOf(const T *p, int count, double &lo, double &hi) {
    if (count <= 0)
        return;
    T a = p[0], b = p[0];
    for (int i = 1; i < count; ++i) {
        a = std::min(a, p[i]);
        b = std::max(b, p[i]);
    }
    lo = std::min(lo, double(a));
    hi = std::max(hi, double(b));
}

static void rangeOfFloats(const float *p, int count, double &lo, double &hi) {
    for (int i = 0; i < count; ++i) { // NaN samples compare false and are skipped
        if (p[i] < lo)
            lo = p[i];
        if (p[i] > hi)
            hi = p[i];
    }
}

void TiffData::updateRange(const void *row, int count) {
    switch (m_sampleType) {
    case TiffUInt16:
    case UInt16:
        rangeOf(static_cast<const quint16 *>(row), count, m_min, m_max);
        break;
    case UInt32:
        rangeOf(static_cast<const quint32 *>(row), count, m_min, m_max);
        break;
    case Float32:
        rangeOfFloats(static_cast<const float *>(row), count, m_min, m_max);
        break;
    default:
        break;
    }
}

const void *TiffData::rowData(int y) const {
    if (y < 0 || size_t(y) >= m_rows.size())
        return nullptr;
    return m_rows[size_t(y)];
}

namespace {

// A shift cut to +-MaxShift, split into its whole pixels (rounded down) and
// the fraction left, in [0, 1).
struct ShiftParts {
    qint64 whole = 0;
    double fraction = 0;
};
double boundedShift(double s) {
    return std::isnan(s) ? 0.0 : std::clamp<double>(s, -TiffData::MaxShift, TiffData::MaxShift);
}
ShiftParts shiftParts(double s) {
    s = boundedShift(s);
    const double whole = std::floor(s);
    return {qint64(whole), s - whole};
}

// Bilinear weights of the four whole-pixel shifts (ix, iy), (ix + 1, iy),
// (ix, iy + 1), (ix + 1, iy + 1) around a shift with fractions fx, fy: a
// pixel read through (ix + fx) reads stored column x - ix with weight 1 - fx
// and column x - ix - 1 with weight fx. Zero weights are never read.
struct BlendWeights {
    BlendWeights(double fx, double fy)
        : w00((1 - fx) * (1 - fy)), w10(fx * (1 - fy)), w01((1 - fx) * fy), w11(fx * fy),
          alongX(fx != 0), alongY(fy != 0) {}
    // read(a, b) reads through the whole-pixel shift (ix + a, iy + b).
    template <typename Read> double blend(Read read) const {
        double v = w00 * read(0, 0);
        if (alongX)
            v += w10 * read(1, 0);
        if (alongY)
            v += w01 * read(0, 1);
        if (alongX && alongY)
            v += w11 * read(1, 1);
        return v;
    }
    double w00, w10, w01, w11;
    bool alongX, alongY;
};

} // namespace

void TiffData::setShift(double dx, double dy) {
    m_dx = boundedShift(dx);
    m_dy = boundedShift(dy);
    m_shiftX = int(std::floor(m_dx));
    m_shiftY = int(std::floor(m_dy));
}

// ---------------------------------------------------------------- loading

bool TiffData::load(const QString &fileName, const ErrPoints &mask) {
    m_errPoints = mask;
    return load(fileName);
}

bool TiffData::load(const QString &fileName, const ErrPoints &mask, const RowRange &rows) {
    m_errPoints = mask;
    m_band = rows;
    const bool ok = load(fileName);
    if (ok)
        cutToBand(); // readers that read whole images
    m_band = RowRange();
    return ok;
}

TiffData::Reader TiffData::readerFor(const QString &fileName, QString *why) {
    QString ignored;
    QString &reason = why ? *why : ignored;
    if (TextFileLimits::refuseSpecialFile(fileName)) {
        reason = QStringLiteral("not a regular file");
        return NoReader;
    }
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        DebugLog::write("Can not open (1) " + fileName);
        reason = QStringLiteral("cannot be opened");
        return NoReader;
    }
    const QByteArray head = f.read(15);
    if (head.size() < 15) {
        DebugLog::write("Error on reading file (1) " + fileName);
        reason = QStringLiteral("too short for an image");
        return NoReader;
    }
    if (head.startsWith("II") || head.startsWith("MM"))
        return TiffReader;
    if (head.startsWith("IM"))
        return ImgReader;
    // The header bytes as Latin-1 text up to the first zero byte.
    const QString text = QString::fromLatin1(head.constData(), int(qstrnlen(head.constData(), 15)));
    if (text.startsWith("#PRXM-CTImg"))
        return TextImageReader;
    reason = QStringLiteral("not a TIFF, IMG or text image");
    return NoReader;
}

bool TiffData::load(const QString &fileName) {
    m_error.clear();
    bool ok = false;
    switch (readerFor(fileName, &m_error)) {
    case TiffReader:
        ok = readTiff(fileName);
        break;
    case ImgReader:
        ok = readImg(fileName);
        break;
    case TextImageReader:
        ok = readTextImage(fileName);
        break;
    case NoReader:
        return false;
    }
    if (ok)
        m_error.clear();
    else if (m_error.isEmpty())
        m_error = QStringLiteral("the image data cannot be read (short or damaged file)");
    return ok;
}

// ---------------------------------------------------------------- access

double TiffData::storedValue(qint64 sx, qint64 sy) const {
    if (sx < 0 || sy < m_rowBegin || sx >= m_width || sy >= m_rowEnd)
        return 0;
    const unsigned char *row = m_rows[size_t(sy)];
    switch (m_sampleType) {
    case TiffUInt16:
    case UInt16:
        return sampleAt<quint16>(row, sx);
    case UInt32:
        return sampleAt<quint32>(row, sx);
    case Float32:
        return sampleAt<float>(row, sx);
    default:
        return 0;
    }
}

double TiffData::valueAt(int x, int y, double sx, double sy) const {
    const ShiftParts px = shiftParts(sx), py = shiftParts(sy);
    const qint64 cx = qint64(x) - px.whole, cy = qint64(y) - py.whole;
    if (px.fraction == 0 && py.fraction == 0)
        return storedValue(cx, cy);
    const BlendWeights w(px.fraction, py.fraction);
    return w.blend([&](int a, int b) { return storedValue(cx - a, cy - b); });
}

template <typename T>
void TiffData::copyRow(const unsigned char *row, int from, int count, double *out) const {
    const T *p = reinterpret_cast<const T *>(row) + from;
    for (int i = 0; i < count; ++i)
        out[i] = double(p[i]);
}

void TiffData::shiftedSpan(int y, int x0, int count, double sx, double sy, double *out) const {
    if (count <= 0)
        return;
    const ShiftParts px = shiftParts(sx), py = shiftParts(sy);
    if (px.fraction == 0 && py.fraction == 0) {
        wholeSpan(y, x0, count, px.whole, py.whole, out);
        return;
    }
    // Two stored rows, each one column wider on the left: column i + 1 of a
    // row is the read through (ix, .), column i the read through (ix + 1, .).
    // The scratch grows once per thread, not per call.
    thread_local std::vector<double> scratch;
    const size_t n = size_t(count) + 1;
    if (scratch.size() < 2 * n)
        scratch.resize(2 * n);
    double *upper = scratch.data(), *lower = upper + n;
    const BlendWeights w(px.fraction, py.fraction);
    wholeSpan(y, qint64(x0) - 1, count + 1, px.whole, py.whole, upper);
    if (w.alongY)
        wholeSpan(y, qint64(x0) - 1, count + 1, px.whole, py.whole + 1, lower);
    for (int i = 0; i < count; ++i)
        out[i] = w.blend([&](int a, int b) { return (b ? lower : upper)[i + 1 - a]; });
}

void TiffData::prefetchRow(int y) const {
    const qint64 storedY = qint64(y) - shiftParts(m_dy).whole;
    if (storedY < m_rowBegin || storedY >= m_rowEnd || !hasData())
        return;
    const unsigned char *row = m_rows[size_t(storedY)];
    const size_t bytes = size_t(m_width) * size_t(sampleBytes(m_sampleType));
    for (size_t at = 0; at < bytes; at += 64)
        __builtin_prefetch(row + at);
}

void TiffData::wholeSpan(int y, qint64 x0, int count, qint64 sx, qint64 sy, double *out) const {
    const qint64 storedY = qint64(y) - sy;
    const bool rowInside = storedY >= m_rowBegin && storedY < m_rowEnd && hasData();
    // Output i reads stored column x0 + i - sx: the ones inside the data are
    // i in [ia, ib).
    const qint64 off = qint64(x0) - sx;
    const qint64 ia = rowInside ? std::clamp<qint64>(-off, 0, count) : count;
    const qint64 ib = rowInside ? std::clamp<qint64>(qint64(m_width) - off, ia, count) : count;
    std::fill(out, out + ia, 0.0);
    if (ib > ia) {
        const unsigned char *row = m_rows[size_t(storedY)];
        const int from = int(ia + off), n = int(ib - ia);
        switch (m_sampleType) {
        case TiffUInt16:
        case UInt16:
            copyRow<quint16>(row, from, n, out + ia);
            break;
        case UInt32:
            copyRow<quint32>(row, from, n, out + ia);
            break;
        default:
            copyRow<float>(row, from, n, out + ia);
            break;
        }
    }
    std::fill(out + ib, out + count, 0.0);
}

template <typename T> double TiffData::boxSumOf(int x0, int x1, int y0, int y1) const {
    double sum = 0;
    for (int y = y0; y <= y1; ++y) {
        const T *row = reinterpret_cast<const T *>(m_rows[size_t(y)]);
        for (int x = x0; x <= x1; ++x)
            sum += double(row[x]);
    }
    return sum;
}

double TiffData::storedSum(qint64 x0, qint64 x1, qint64 y0, qint64 y1) const {
    // Cut to the stored data: the rest reads 0.
    x0 = std::max<qint64>(x0, 0);
    x1 = std::min<qint64>(x1, qint64(m_width) - 1);
    y0 = std::max<qint64>(y0, m_rowBegin);
    y1 = std::min<qint64>(y1, qint64(m_rowEnd) - 1);
    if (x0 > x1 || y0 > y1)
        return 0;
    switch (m_sampleType) {
    case TiffUInt16:
    case UInt16:
        return boxSumOf<quint16>(int(x0), int(x1), int(y0), int(y1));
    case UInt32:
        return boxSumOf<quint32>(int(x0), int(x1), int(y0), int(y1));
    case Float32:
        return boxSumOf<float>(int(x0), int(x1), int(y0), int(y1));
    default:
        return 0;
    }
}

double TiffData::boxSum(int x, int y, int rx, int ry) const {
    const qint64 ax = std::abs(qint64(rx)), ay = std::abs(qint64(ry));
    const qint64 cx = qint64(x) - m_shiftX, cy = qint64(y) - m_shiftY;
    if (!fractionalShift())
        return storedSum(cx - ax, cx + ax, cy - ay, cy + ay);
    const BlendWeights w(m_dx - m_shiftX, m_dy - m_shiftY);
    return w.blend([&](int a, int b) {
        return storedSum(cx - a - ax, cx - a + ax, cy - b - ay, cy - b + ay);
    });
}

double TiffData::areaAverage(double x, double y, double w, double h) const {
    const auto trunc = [](double v) -> qint64 {
        return std::isfinite(v) ? qint64(std::clamp(std::trunc(v), -1e12, 1e12)) : 0;
    };
    const qint64 ix = trunc(x) - m_shiftX, iy = trunc(y) - m_shiftY, iw = trunc(w), ih = trunc(h);
    if (iw < 0 || ih < 0)
        return 0;
    const double n = double(iw + 1) * double(ih + 1);
    if (!fractionalShift())
        return storedSum(ix, ix + iw, iy, iy + ih) / n;
    const BlendWeights blend(m_dx - m_shiftX, m_dy - m_shiftY);
    return blend.blend([&](int a, int b) {
        return storedSum(ix - a, ix - a + iw, iy - b, iy - b + ih);
    }) / n;
}

double TiffData::neighbourAverage(int x, int y) const {
    return neighbourMean(x, y, m_errPoints.use());
}

double TiffData::neighbourMean(int x, int y, bool masked) const {
    double sum = 0;
    int n = 0;
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            if (dx == 0 && dy == 0)
                continue;
            const int nx = x + dx, ny = y + dy;
            if (nx < 0 || ny < m_rowBegin || nx >= m_width || ny >= m_rowEnd)
                continue;
            if (masked && maskedAt(nx, ny))
                continue;
            const unsigned char *row = m_rows[size_t(ny)];
            switch (m_sampleType) {
            case TiffUInt16:
            case UInt16:
                sum += sampleAt<quint16>(row, nx);
                break;
            case UInt32:
                sum += sampleAt<quint32>(row, nx);
                break;
            case Float32:
                sum += sampleAt<float>(row, nx);
                break;
            default:
                break;
            }
            ++n;
        }
    }
    return n > 0 ? sum / n : 0;
}

// Mask points are detector coordinates; the image's origin may lie anywhere
// in the int range, so the conversion is done in 64 bits.
bool TiffData::maskedAt(int x, int y) const {
    const qint64 dx = qint64(x) + m_originX, dy = qint64(y) + m_originY;
    if (dx < INT_MIN || dx > INT_MAX || dy < INT_MIN || dy > INT_MAX)
        return false; // no mask point lies there
    return m_errPoints.contains(int(dx), int(dy));
}

void TiffData::repairErrorPoints() {
    for (const QPoint &p : m_errPoints.points()) {
        const qint64 px = qint64(p.x()) - m_originX, py = qint64(p.y()) - m_originY;
        if (px < 0 || py < m_rowBegin || px >= m_width || py >= m_rowEnd)
            continue;
        const int x = int(px), y = int(py);
        // The points being repaired are bad whatever the mask's switch says
        // (the TIFF reader repairs by the process-wide switch): never take
        // one as a neighbour, or the result would depend on the order.
        const double v = neighbourMean(x, y, true);
        unsigned char *row = m_rows[size_t(y)];
        switch (m_sampleType) {
        case TiffUInt16:
        case UInt16:
            reinterpret_cast<quint16 *>(row)[x] = quint16(v); // truncated toward zero
            break;
        case UInt32:
            reinterpret_cast<quint32 *>(row)[x] = quint32(v);
            break;
        case Float32:
            reinterpret_cast<float *>(row)[x] = float(v);
            break;
        default:
            break;
        }
    }
}

namespace {

// The pair (k - 1, k) whose energies bracket e, or the first or last two for
// an energy outside the series; images are in ascending energy.
template <typename At> int pairIndex(At at, int count, double e) {
    if (count < 2)
        return 0;
    if (e < at(0)->energy())
        return 1;
    if (e >= at(count - 1)->energy())
        return count - 1;
    int lo = 0, hi = count - 1; // energy[lo] <= e < energy[hi]
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        if (at(mid)->energy() <= e)
            lo = mid;
        else
            hi = mid;
    }
    return hi;
}

template <typename At>
double interpolateWithPair(At at, int count, int k, double e, int x, int y, int rx, int ry) {
    if (count <= 0)
        return 1;
    if (count == 1)
        return at(0)->boxSum(x, y, rx, ry);
    const TiffData *a = at(k - 1), *b = at(k);
    const double sa = a->boxSum(x, y, rx, ry), sb = b->boxSum(x, y, rx, ry);
    return TiffData::interpolateSums(sa, sb, a->energy(), b->energy(), e);
}

template <typename At>
double interpolate(At at, int count, double e, int x, int y, int rx, int ry) {
    return interpolateWithPair(at, count, pairIndex(at, count, e), e, x, y, rx, ry);
}

} // namespace

double TiffData::interpolatedBoxSum(const QList<TiffData *> &images, double energy, int x, int y,
                                    int rx, int ry) {
    return interpolate([&images](int i) { return images.at(i); }, images.size(), energy, x, y, rx,
                       ry);
}

double TiffData::interpolatedBoxSum(const TiffData *const *images, int count, double energy, int x,
                                    int y, int rx, int ry) {
    return interpolate([images](int i) { return images[i]; }, count, energy, x, y, rx, ry);
}

int TiffData::interpolationPair(const TiffData *const *images, int count, double energy) {
    return pairIndex([images](int i) { return images[i]; }, count, energy);
}

double TiffData::interpolatedBoxSumAt(const TiffData *const *images, int count, int k,
                                      double energy, int x, int y, int rx, int ry) {
    return interpolateWithPair([images](int i) { return images[i]; }, count, k, energy, x, y, rx,
                               ry);
}
