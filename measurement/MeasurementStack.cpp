#include "measurement/MeasurementStack.h"

#include "app/DebugLog.h"
#include "app/PointLoops.h"
#include "imageio/TiffData.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>

MeasurementStack::~MeasurementStack() {
    clear(Series::I1);
    clear(Series::I0);
}

// ------------------------------------------------------------------ series

QString MeasurementStack::append(Series s, TiffData *image) {
    if (!image)
        return QString();
    QVector<TiffData *> &images = list(s);
    images.append(image);
    if (s == Series::I0) {
        m_i0Lo = images.size() == 1 ? image->energy() : std::min(m_i0Lo, image->energy());
        m_i0Hi = images.size() == 1 ? image->energy() : std::max(m_i0Hi, image->energy());
    }
    const TiffData *first = images.first();
    bool &warned = m_sizeWarned[s == Series::I1 ? 0 : 1];
    if (warned || (image->width() == first->width() && image->height() == first->height()))
        return QString();
    warned = true;
    return QString("%1 is %2 x %3 pixels, not %4 x %5 like the first image of the %6 series (%7); "
                   "outside its size it reads 0")
        .arg(image->fileName())
        .arg(image->width())
        .arg(image->height())
        .arg(first->width())
        .arg(first->height())
        .arg(seriesName(s))
        .arg(first->fileName());
}

void MeasurementStack::clear(Series s) {
    QVector<TiffData *> &images = list(s);
    qDeleteAll(images);
    images.clear();
    m_sizeWarned[s == Series::I1 ? 0 : 1] = false;
    // The values belonged to the deleted images; the next use recomputes them
    // for whatever is loaded then.
    area(s).values.clear();
}

bool MeasurementStack::setImageShift(Series s, int index, double dx, double dy) {
    const QVector<TiffData *> &images = this->images(s);
    if (index < 0 || index >= images.size())
        return false;
    TiffData *image = images.at(index);
    const double oldX = image->shiftDX(), oldY = image->shiftDY();
    image->setShift(dx, dy);
    if (image->shiftDX() == oldX && image->shiftDY() == oldY)
        return false;
    area(s).values.clear();
    return true;
}

int MeasurementStack::clearShifts(Series s) {
    int moved = 0;
    for (int i = 0; i < images(s).size(); ++i)
        moved += setImageShift(s, i, 0, 0) ? 1 : 0;
    return moved;
}

bool MeasurementStack::sameExposure(Series s) const {
    const QVector<TiffData *> &images = this->images(s);
    for (const TiffData *image : images) {
        if (image->exposureMs() != images.first()->exposureMs())
            return false;
    }
    return true;
}

// ------------------------------------------------------------------ I1 against I0

bool MeasurementStack::coveredByI0(double energy, const MuTConditions &c) const {
    if (!c.useI0 || m_i0.size() < 2 || m_totalI0OfI1.count() > 0)
        return true;
    // Energies read from file names carry rounding: a hair beyond the I0
    // range is still the same energy.
    const double tolerance = 1e-6 * std::max(1.0, std::fabs(energy));
    return energy >= m_i0Lo - tolerance && energy <= m_i0Hi + tolerance;
}

namespace {

QString eV(double e) {
    return QString::number(e, 'f', 2) + QStringLiteral(" eV");
}

// "a.tif (7125.00 eV), b.tif (7130.00 eV) and 21 more".
QString namedImages(const QVector<const TiffData *> &images) {
    constexpr int Named = 3;
    QStringList names;
    for (int i = 0; i < images.size() && i < Named; ++i)
        names << QStringLiteral("%1 (%2)").arg(QFileInfo(images.at(i)->fileName()).fileName(),
                                               eV(images.at(i)->energy()));
    QString text = names.join(QStringLiteral(", "));
    if (images.size() > Named)
        text += QStringLiteral(" and %1 more").arg(images.size() - Named);
    return text;
}

} // namespace

QStringList MeasurementStack::i0Mismatch() const {
    QStringList problems;
    if (m_i1.isEmpty() || m_i0.isEmpty())
        return problems;
    const TiffData &a = *m_i1.first();
    const TiffData &b = *m_i0.first();
    if (a.width() != b.width() || a.height() != b.height())
        problems << QStringLiteral("The I0 images are %1 x %2 pixels, the I1 images %3 x %4: "
                                   "I0 does not describe the beam on these pixels")
                        .arg(b.width())
                        .arg(b.height())
                        .arg(a.width())
                        .arg(a.height());
    if (m_i0.size() < 2)
        return problems;
    MuTConditions withI0;
    withI0.useI0 = true;
    QVector<const TiffData *> outside;
    int inside = 0;
    for (const TiffData *image : m_i1) {
        if (coveredByI0(image->energy(), withI0))
            ++inside;
        else
            outside << image;
    }
    if (!outside.isEmpty())
        problems << QStringLiteral("I0 covers %1 to %2 only: %3 of the %4 I1 energies lie outside "
                                   "it and are left out of the spectra: %5")
                        .arg(eV(m_i0Lo), eV(m_i0Hi))
                        .arg(outside.size())
                        .arg(m_i1.size())
                        .arg(namedImages(outside));
    if (inside > 0 && 2 * m_i0.size() < inside)
        problems << QStringLiteral("I0 has %1 images for the %2 I1 energies it covers: too few "
                                   "for the interpolation to follow the I1 steps")
                        .arg(m_i0.size())
                        .arg(inside);
    return problems;
}

void MeasurementStack::takeGeometryFromFirstI1() {
    if (m_i1.isEmpty())
        return;
    m_width = m_i1.first()->width();
    m_height = m_i1.first()->height();
    m_originX = m_i1.first()->originX();
    m_originY = m_i1.first()->originY();
}

// ------------------------------------------------------------------ dark

bool MeasurementStack::loadDark(const QString &fileName, QString *why) {
    auto image = std::make_unique<TiffData>();
    if (!image->load(fileName)) {
        if (why)
            *why = image->error();
        DebugLog::write(QStringLiteral("Can not read the dark file : ") + fileName);
        return false;
    }
    m_dark = std::move(image);
    return true;
}

void MeasurementStack::setDark(std::unique_ptr<TiffData> image) {
    m_dark = std::move(image);
}

void MeasurementStack::clearDark() {
    m_dark.reset();
}

double MeasurementStack::darkSum(int x, int y, int hx, int hy, double seriesExpMs,
                                 double darkExpMs) const {
    // A dark frame without a usable exposure cannot be scaled: rather no
    // dark than an infinite one.
    if (!m_dark || !(darkExpMs > 0))
        return 0;
    return m_dark->boxSum(x, y, hx, hy) / darkExpMs * seriesExpMs;
}

// ------------------------------------------------------------------ dark areas

double MeasurementStack::darkAreaValue(const TiffData &image, const QRectF &r, double seriesExpMs,
                                       double darkExpMs) const {
    double v = image.areaAverage(r);
    if (m_dark && darkExpMs > 0)
        v -= m_dark->areaAverage(r) / darkExpMs * seriesExpMs;
    return v;
}

void MeasurementStack::setDarkArea(Series s, const QRectF &rect, double seriesExpMs,
                                   double darkExpMs) {
    DarkArea &a = area(s);
    a.on = true;
    a.rect = rect;
    a.values.clear();
    updateDarkArea(s, seriesExpMs, darkExpMs);
}

void MeasurementStack::clearDarkArea(Series s) {
    DarkArea &a = area(s);
    a.on = false;
    a.values.clear();
}

void MeasurementStack::updateDarkArea(Series s, double seriesExpMs, double darkExpMs) {
    DarkArea &a = area(s);
    const QVector<TiffData *> &images = this->images(s);
    if (a.values.size() > images.size())
        a.values.clear();
    for (int i = a.values.size(); i < images.size(); ++i)
        a.values.append(darkAreaValue(*images.at(i), a.rect, seriesExpMs, darkExpMs));
}

// ------------------------------------------------------------------ mu*t

double MeasurementStack::i0At(double energy, int x, int y, int hx, int hy) const {
    return TiffData::interpolatedBoxSum(m_i0, energy, x, y, hx, hy);
}

void MeasurementStack::updateDarkAreas(const MuTConditions &c) {
    if (m_da1.on)
        updateDarkArea(Series::I1, c.i1ExpMs, c.darkExpMs);
    if (m_da0.on)
        updateDarkArea(Series::I0, c.i0ExpMs, c.darkExpMs);
}

void MeasurementStack::buildMuT(int x, int y, const MuTConditions &c, Spectrum &out) {
    if (inside(x, y))
        updateDarkAreas(c);
    computeMuT(x, y, c, out);
}

void MeasurementStack::computeMuT(int x, int y, const MuTConditions &c, Spectrum &out) const {
    out.clear();
    if (!inside(x, y))
        return;
    const double n = c.pixelCount();
    const double dark1 = darkSum(x, y, c.hx, c.hy, c.i1ExpMs, c.darkExpMs);
    const double dark0 = darkSum(x, y, c.hx, c.hy, c.i0ExpMs, c.darkExpMs);
    const int totalCount = m_totalI0OfI1.count();
    for (int i = 0; i < m_i1.size(); ++i) {
        const TiffData &image = *m_i1.at(i);
        double d1 = dark1;
        double d0 = dark0;
        if (m_da1.on)
            d1 += n * m_da1.values.at(i);
        // The I0 dark area is measured per I0 file; pair it by position.
        if (m_da0.on && i < m_da0.values.size())
            d0 += n * m_da0.values.at(i);
        const double s = image.boxSum(x, y, c.hx, c.hy);
        double r = n;
        if (c.useI0)
            r = i0At(image.energy(), x, y, c.hx, c.hy) - d0;
        if (totalCount > 0)
            r = i < totalCount ? m_totalI0OfI1.y(i) : 0.0;
        if (coveredByI0(image.energy(), c))
            out.addPoint(image.energy(), muOf(r, s - d1, c.fluo));
    }
}

namespace {

// The incident beam less its dark at every bin of a row, for one I1 image:
// the I0 bin sums interpolated to its energy (computeMuT's operations in the
// same order), in loops without a branch per bin.
struct BeamOfImage {
    int i0Count;
    double fromLower; // e - ea
    double pairWidth; // eb - ea
    bool samePairEnergy;
    bool areaOn;
    double area;

    double dark(const MuTRow &row, int b) const {
        double d0 = row.dark0[size_t(b)];
        if (areaOn)
            d0 += area;
        return d0;
    }
    void fill(const MuTRow &row, double *beam) const;
};

// The beam of every bin of a row at one image, four bins at a time where the
// machine can.
LS_POINT_LOOPS_FLATTEN
void BeamOfImage::fill(const MuTRow &row, double *beam) const {
    const double *sa = row.spanA.data(), *sb = row.spanB.data();
    if (i0Count == 0) {
        for (int b = 0; b < row.count; ++b)
            beam[b] = 1 - dark(row, b); // no I0 image
    } else if (i0Count == 1) {
        for (int b = 0; b < row.count; ++b)
            beam[b] = sa[b] - dark(row, b);
    } else if (samePairEnergy) {
        for (int b = 0; b < row.count; ++b)
            beam[b] = (sa[b] + sb[b]) / 2 - dark(row, b);
    } else {
        // TiffData::interpolateSums, term by term.
        for (int b = 0; b < row.count; ++b)
            beam[b] = (sa[b] + (sb[b] - sa[b]) * fromLower / pairWidth) - dark(row, b);
    }
}

} // namespace

void MeasurementStack::computeMuTRow(int y, int firstX, int stepX, int count,
                                     const MuTConditions &c, MuTRow &row) const {
    const int images = m_i1.size();
    row.count = std::max(count, 0);
    row.images = images;
    row.mu.resize(size_t(row.count) * size_t(images));
    row.dark1.resize(size_t(row.count));
    row.dark0.resize(size_t(row.count));
    row.inside.resize(size_t(row.count));
    row.covered.resize(size_t(images));
    row.beam.resize(size_t(row.count));
    row.signal.resize(size_t(row.count));
    row.imageMu.resize(size_t(MuTRow::ImagesPerStore) * size_t(row.count));
    for (int i = 0; i < images; ++i)
        row.covered[size_t(i)] = coveredByI0(m_i1.at(i)->energy(), c) ? 1 : 0;
    for (int b = 0; b < row.count; ++b) {
        const int x = firstX + b * stepX;
        row.inside[size_t(b)] = inside(x, y) ? 1 : 0;
        row.dark1[size_t(b)] = darkSum(x, y, c.hx, c.hy, c.i1ExpMs, c.darkExpMs);
        row.dark0[size_t(b)] = darkSum(x, y, c.hx, c.hy, c.i0ExpMs, c.darkExpMs);
    }
    const double n = c.pixelCount();
    const int totalCount = m_totalI0OfI1.count();
    const int i0Count = m_i0.size();
    // The I0 images whose sums spanA and spanB hold: consecutive I1 images
    // mostly share one (the upper of one pair is the lower of the next).
    int heldA = -1, heldB = -1;
    for (int i = 0; i < images; ++i) {
        const TiffData &image = *m_i1.at(i);
        const double e = image.energy();
        if (i + 4 < images)
            m_i1.at(i + 4)->prefetchRow(y);
        rowSums(image, y, firstX, stepX, c, row, row.span1);
        // The incident beam at this energy: the pair of I0 images around it.
        const bool pairRead = c.useI0 && i0Count > 0;
        int k = 0;
        if (pairRead) {
            k = TiffData::interpolationPair(m_i0.constData(), i0Count, e);
            if (k + 4 < i0Count)
                m_i0.at(k + 4)->prefetchRow(y);
            const int lower = i0Count == 1 ? 0 : k - 1;
            if (lower == heldB && lower != heldA) {
                std::swap(row.spanA, row.spanB);
                std::swap(heldA, heldB);
            }
            if (lower != heldA) {
                rowSums(*m_i0.at(lower), y, firstX, stepX, c, row, row.spanA);
                heldA = lower;
            }
            if (i0Count > 1 && k != heldB) {
                rowSums(*m_i0.at(k), y, firstX, stepX, c, row, row.spanB);
                heldB = k;
            }
        }
        const double ea = pairRead && i0Count > 1 ? m_i0.at(k - 1)->energy() : 0.0;
        const double eb = pairRead && i0Count > 1 ? m_i0.at(k)->energy() : 0.0;
        const double area1 = m_da1.on ? n * m_da1.values.at(i) : 0.0;
        const bool area0On = m_da0.on && i < m_da0.values.size();
        const double area0 = area0On ? n * m_da0.values.at(i) : 0.0;
        // Same operations in the same order as computeMuT, so the same bits;
        // the logarithms of the whole row at once (MuLog).
        double *beam = row.beam.data();
        double *signal = row.signal.data();
        for (int b = 0; b < row.count; ++b) {
            double d1 = row.dark1[size_t(b)];
            if (m_da1.on)
                d1 += area1;
            signal[b] = row.span1[size_t(b)] - d1;
        }
        if (totalCount > 0) {
            std::fill_n(beam, row.count, i < totalCount ? m_totalI0OfI1.y(i) : 0.0);
        } else if (!c.useI0) {
            std::fill_n(beam, row.count, n);
        } else {
            const BeamOfImage of{i0Count, e - ea, eb - ea, ea == eb, area0On, area0};
            of.fill(row, beam);
        }
        storeImageMu(i, c.fluo, row);
    }
}

namespace {

// Images [first, first + group) of every bin's spectrum from their rows of mu
// (buffer[k * count + b]): consecutive values of a bin land in one cache line
// instead of one line per image.
void storeImageGroup(const double *buffer, int first, int group, MuTRow &row) {
    const size_t stride = size_t(row.images);
    double *out = row.mu.data() + first;
    const size_t count = size_t(row.count);
    if (group == MuTRow::ImagesPerStore) {
        for (size_t b = 0; b < count; ++b) {
            double *spectrum = out + b * stride;
            spectrum[0] = buffer[b];
            spectrum[1] = buffer[count + b];
            spectrum[2] = buffer[2 * count + b];
            spectrum[3] = buffer[3 * count + b];
        }
        return;
    }
    for (size_t b = 0; b < count; ++b)
        for (int k = 0; k < group; ++k)
            out[b * stride + size_t(k)] = buffer[size_t(k) * count + b];
}

} // namespace

// mu of every bin at image i (from row.beam and row.signal) into its place in
// row.mu, bin by bin a stride of one spectrum apart.
void MeasurementStack::storeImageMu(int i, bool fluo, MuTRow &row) {
    const int slot = i % MuTRow::ImagesPerStore;
    double *mu = row.imageMu.data() + size_t(slot) * size_t(row.count);
    if (fluo) {
        for (int b = 0; b < row.count; ++b)
            mu[b] = muOf(row.beam[size_t(b)], row.signal[size_t(b)], true);
    } else {
        MuLog::logRatios(row.beam.data(), row.signal.data(), mu, row.count);
    }
    if (slot == MuTRow::ImagesPerStore - 1 || i == row.images - 1)
        storeImageGroup(row.imageMu.data(), i - slot, slot + 1, row);
}

void MeasurementStack::rowSums(const TiffData &image, int y, int firstX, int stepX,
                               const MuTConditions &c, MuTRow &row,
                               std::vector<double> &sums) const {
    sums.resize(size_t(row.count));
    if (c.hx == 0 && c.hy == 0 && stepX == 1 && row.count > 0) {
        image.shiftedSpan(y, firstX, row.count, sums.data());
        // A one-pixel box sum is 0 + the sample: the same bits (-0 becomes +0).
        for (double &v : sums)
            v = 0.0 + v;
        return;
    }
    for (int b = 0; b < row.count; ++b)
        sums[size_t(b)] = image.boxSum(firstX + b * stepX, y, c.hx, c.hy);
}

void MeasurementStack::muTOfRowBin(const MuTRow &row, int b, Spectrum &out) const {
    out.clear();
    if (b < 0 || b >= row.count || !row.inside[size_t(b)] || row.images != m_i1.size())
        return;
    const double *mu = row.mu.data() + size_t(b) * size_t(row.images);
    for (int i = 0; i < row.images; ++i)
        if (row.covered[size_t(i)])
            out.addPoint(m_i1.at(i)->energy(), mu[i]);
}

void MeasurementStack::buildRaw(int x, int y, int hx, int hy, Spectrum &out) const {
    out.clear();
    if (!inside(x, y))
        return;
    for (const TiffData *image : m_i1)
        out.addPoint(image->energy(), image->boxSum(x, y, hx, hy));
}

// ------------------------------------------------------------------ profiles

double MeasurementStack::profileValue(const TiffData &image, int x, int y, int rx, int ry,
                                      bool asMu, bool fluo) const {
    const double v = image.boxSum(x, y, rx, ry);
    if (!asMu)
        return v;
    return muOf(i0At(image.energy(), x, y, rx, ry), v, fluo);
}

void MeasurementStack::horizontalProfile(Series s, int index, int my, int hy, bool asMu, bool fluo,
                                         Spectrum &out) const {
    out.clear();
    const QVector<TiffData *> &images = this->images(s);
    if (index < 0 || index >= images.size())
        return;
    const TiffData &image = *images.at(index);
    for (int i = 0; i < m_width; ++i)
        out.addPoint(i, profileValue(image, i, my, 1, hy, asMu, fluo));
}

void MeasurementStack::verticalProfile(Series s, int index, int mx, int hx, bool asMu, bool fluo,
                                       Spectrum &out) const {
    out.clear();
    const QVector<TiffData *> &images = this->images(s);
    if (index < 0 || index >= images.size())
        return;
    const TiffData &image = *images.at(index);
    for (int i = 0; i < m_height; ++i)
        out.addPoint(i, profileValue(image, mx, i, 1, hx, asMu, fluo));
}

// ------------------------------------------------------------------ misc

bool MeasurementStack::writeFlatDark(const QString &folder, int width, int height) {
    if (width <= 0 || height <= 0)
        return false;
    const QDir dir(folder);
    return TiffData::writeConstantTiff(dir.filePath(QStringLiteral("flat.dat")), width, height,
                                       1) &&
           TiffData::writeConstantTiff(dir.filePath(QStringLiteral("dark.dat")), width, height, 0);
}
