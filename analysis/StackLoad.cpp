#include "analysis/StackLoad.h"

#include "analysis/Analyzed2DRes.h"
#include "analysis/EmpFile.h"
#include "analysis/ImageRegistration.h"
#include "app/TextFileLimits.h"
#include "imageio/EnergyOfFiles.h"
#include "imageio/Hdf5Stack.h"
#include "spectrum/EdgeTable.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>

namespace {

// The image files of a folder in name order: files any reader accepts.
QStringList imageFiles(const QString &dir) {
    QStringList files;
    const QDir d(dir);
    for (const QString &name : d.entryList(QDir::Files, QDir::Name)) {
        const QString path = d.filePath(name);
        if (TiffData::readerFor(path) != TiffData::NoReader)
            files << path;
    }
    return files;
}

// One energy per line, rising from line to line (the images are taken in
// file order). "" when read, else why not.
QString readEnergies(const QString &file, QVector<double> *energies) {
    QFile f(file);
    if (TextFileLimits::refuseSpecialFile(file) || !f.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringLiteral("cannot read the energies");
    QTextStream in(&f);
    QString text;
    for (int lineNo = 1;; ++lineNo) {
        const TextFileLimits::LineRead r = TextFileLimits::readLine(in, &text);
        if (r == TextFileLimits::LineRead::TooLong)
            return QString("line %1 is too long").arg(lineNo);
        if (r == TextFileLimits::LineRead::End)
            return QString();
        const QString line = text.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        double e = 0;
        if (!parseNumber(line.section(QRegularExpression("\\s+"), 0, 0), &e) || !std::isfinite(e))
            return QString("line %1 holds no finite energy").arg(lineNo);
        if (!energies->isEmpty() && !(e > energies->last()))
            return QString("line %1: %2 eV does not rise above %3 eV")
                .arg(lineNo)
                .arg(e)
                .arg(energies->last());
        energies->append(e);
    }
}

// The vertical registration shift of each I1 image, as applyShifts sets them
// (a later line for an image wins); 0 for I0 and unnamed images.
double verticalShift(const QVector<Registration::ShiftEntry> &shifts, int index) {
    double dy = 0;
    for (const Registration::ShiftEntry &e : shifts)
        if (e.index == index)
            dy = e.dy;
    return dy;
}

int decodeThreadsOf(const StackOptions &o) {
    return o.decodeThreads > 0 ? o.decodeThreads : std::max(1, QThread::idealThreadCount());
}

// Decodes files[i] into images[i] on up to `threads` threads, each taking the
// next file in order; null where a file could not be read, and why in
// (*errors)[i]. Once one fails no further file is begun, so every file before
// the first failure is decoded.
// At most `threads` images are being decoded at once, each within the image
// budget (ImageMemory), on top of the images already held.
std::vector<std::unique_ptr<TiffData>>
decodeInOrder(const QStringList &files, int threads,
              const std::function<TiffData::RowRange(int)> &rowsOf, std::vector<QString> *errors) {
    std::vector<std::unique_ptr<TiffData>> images(size_t(files.size()));
    errors->assign(size_t(files.size()), QString());
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    auto work = [&] {
        for (int i = next++; i < files.size() && !failed; i = next++) {
            auto image = std::make_unique<TiffData>();
            if (image->load(files[i], ErrPoints::processWide(), rowsOf(i))) {
                images[size_t(i)] = std::move(image);
            } else {
                (*errors)[size_t(i)] = image->error();
                failed = true;
            }
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < std::min(threads, int(files.size())); ++t)
        pool.emplace_back(work);
    work();
    for (std::thread &t : pool)
        t.join();
    return images;
}

bool loadSeries(const StackOptions &o, Series series, const QString &dir,
                const QVector<double> &energies, const QVector<Registration::ShiftEntry> &shifts,
                LoadedStack &out, QString *file, QString *why) {
    const TiffData::RowRange rows = rowsNeeded(o);
    const QStringList files = imageFiles(dir);
    if (files.isEmpty()) {
        *file = dir;
        *why = QStringLiteral("no image files");
        return false;
    }
    if (!o.energiesFile.isEmpty() && energies.size() != files.size()) {
        *file = o.energiesFile;
        *why = QString("%1 energies for %2 files").arg(energies.size()).arg(files.size());
        return false;
    }
    const double factor = EnergyOfFiles::factorForPattern(o.energyPattern);
    const QRegularExpression pattern(o.energyPattern);
    std::vector<QString> errors;
    std::vector<std::unique_ptr<TiffData>> images = decodeInOrder(
        files, decodeThreadsOf(o),
        [&](int i) {
            return rowsOfImage(rows, series == Series::I1 ? verticalShift(shifts, i) : 0);
        },
        &errors);
    // In file order, as if read one by one: the first problem is the one said.
    for (int i = 0; i < files.size(); ++i) {
        std::unique_ptr<TiffData> &image = images[size_t(i)];
        if (!image) {
            *file = files[i];
            const QString &reason = errors[size_t(i)];
            *why = reason.isEmpty() ? QStringLiteral("cannot read the image") : reason;
            return false;
        }
        bool named = true;
        image->setEnergy(o.energiesFile.isEmpty()
                             ? EnergyOfFiles::energyFromName(pattern, factor, files[i], i, &named)
                             : energies[i]);
        if (!named) {
            *file = files[i];
            *why = "the energy pattern " + o.energyPattern + " matches nothing in the name";
            return false;
        }
        // Mixed sizes read 0 outside the smaller images: said, as in the window.
        const QString warning = out.stack.append(series, image.release());
        if (!warning.isEmpty())
            out.warnings << warning;
    }
    return true;
}

// The map placed on the detector at the file's offsets, as the main window
// places a loaded map.
bool loadShiftMap(const StackOptions &o, LoadedStack &out) {
    Analyzed2DRes map;
    EmpFile::LoadOptions lo;
    lo.edgeEnergy = o.shiftEdge;
    const EmpFile::LoadResult r = EmpFile::load(o.shiftMapFile, map, lo);
    if (!r.ok())
        return false;
    out.shiftValues.assign(map.values(), map.values() + size_t(map.width()) * map.height());
    ShiftMapView &v = out.bin.shiftMap;
    v.values = out.shiftValues.data();
    v.width = map.width();
    v.height = map.height();
    v.x0 = r.header.xOffset;
    v.y0 = r.header.yOffset;
    return true;
}

// The registration shifts of the I1 images, as the image processor stores
// them: every spectrum and map then reads the images through them.
bool applyShifts(const QVector<Registration::ShiftEntry> &entries, MeasurementStack &stack,
                 QString *why) {
    for (const Registration::ShiftEntry &e : entries) {
        if (e.index >= stack.i1().size()) {
            *why = QString("a shift for image %1 of %2").arg(e.index).arg(stack.i1().size());
            return false;
        }
        stack.setImageShift(Series::I1, e.index, e.dx, e.dy);
    }
    return true;
}

// The series, flat and dark of an HDF5 stack, decoded on every core; of each
// image only the rows the analysed area needs (a hyperslab of rows).
bool loadHdf5Stack(const StackOptions &o, const QVector<Registration::ShiftEntry> &shifts,
                   LoadedStack &out, QString *file, QString *why) {
    Hdf5Layout layout;
    if (!layout.read(o.layoutFile, why)) {
        *file = o.layoutFile;
        return false;
    }
    Hdf5Stack h5;
    const auto failed = [&] {
        *file = o.h5File;
        *why = h5.error();
        return false;
    };
    if (!h5.open(o.h5File, layout))
        return failed();
    const ErrPoints mask = ErrPoints::processWide();
    const TiffData::RowRange rows = rowsNeeded(o);
    const std::pair<Hdf5Stack::Part, Series> series[] = {{Hdf5Stack::Images, Series::I1},
                                                         {Hdf5Stack::Flats, Series::I0}};
    // Decoding compressed chunks is the cost of a load: every core decodes.
    const int threads = decodeThreadsOf(o);
    for (const auto &[part, s] : series) {
        std::vector<int> ks;
        std::vector<TiffData::RowRange> bands;
        for (int k = 0; k < h5.count(part); ++k) {
            ks.push_back(k);
            bands.push_back(rowsOfImage(rows, s == Series::I1 ? verticalShift(shifts, k) : 0));
        }
        auto images = h5.readImages(part, ks, bands, mask, threads);
        for (auto &image : images) {
            if (!image)
                return failed();
            out.stack.append(s, image.release());
        }
    }
    if (h5.count(Hdf5Stack::Dark) > 0 && o.darkFile.isEmpty()) {
        auto dark = std::make_unique<TiffData>();
        if (!h5.readImage(Hdf5Stack::Dark, 0, *dark, mask))
            return failed();
        out.stack.setDark(std::move(dark));
    }
    return true;
}

} // namespace

bool parseNumber(const QString &text, double *v) {
    bool ok = false;
    const double x = text.toDouble(&ok);
    if (ok)
        *v = x;
    return ok;
}

int suggestEdgeIndex(const QString &name) {
    const QStringList edges{"K", "L1", "L2", "L3"};
    return edges.indexOf(name.toUpper());
}

QString suggestEdgeUsage() {
    return QStringLiteral("--suggest EDGE is one of K, L1, L2, L3");
}

QString energyPatternProblem(const QString &pattern) {
    if (QRegularExpression(pattern).isValid())
        return QString();
    return "--energy-pattern " + pattern + " is not a valid regular expression";
}

QString areaProblem(double x, double y, double w, double h) {
    if (!std::isfinite(x) || !std::isfinite(y))
        return QStringLiteral("--area takes a finite corner X Y");
    if (!(w >= 1 && h >= 1))
        return QStringLiteral("--area needs a width and height of at least 1");
    return QString();
}

QString shiftEdgeProblem(double eV) {
    if (eV > 0 && eV <= MaxEnergy)
        return QString();
    return QString("--shift-edge takes an energy above 0 and up to %1 eV").arg(MaxEnergy);
}

QString checkStackOptions(const StackOptions &o) {
    if (!o.h5File.isEmpty() || !o.layoutFile.isEmpty()) {
        if (o.h5File.isEmpty() || o.layoutFile.isEmpty())
            return QStringLiteral("--h5 FILE and --layout FILE go together");
        if (!o.i1Dir.isEmpty() || !o.i0Dir.isEmpty() || !o.energiesFile.isEmpty())
            return QStringLiteral("--h5 takes the place of --i1, --i0 and --energies");
    } else if (o.i1Dir.isEmpty()) {
        return QStringLiteral("--i1 DIR (or --h5 FILE --layout FILE) is required");
    }
    if (o.suggest &&
        SuggestElm::suggestedEdgeEnergyText(o.suggestSymbol, o.suggestEdge, "").isEmpty())
        return "--suggest: unknown element " + o.suggestSymbol;
    return QString();
}

TiffData::RowRange rowsNeeded(const StackOptions &o) {
    if (!o.hasArea)
        return TiffData::RowRange();
    // Bin centres cy = y0 + hy + k * sy read rows cy - hy .. cy + hy.
    const AnalyzeCond g(1, 1, o.hx, o.hy, o.areaX, o.areaY, o.areaW, o.areaH);
    const qint64 first = qint64(g.y0) - 1;
    const qint64 end = qint64(g.y0) + qint64(g.binsY() - 1) * g.sy + 2 * g.hy + 2;
    return {int(std::max<qint64>(first, INT_MIN)), int(std::min<qint64>(end, INT_MAX))};
}

TiffData::RowRange rowsOfImage(const TiffData::RowRange &rows, double dy) {
    const TiffData::RowRange everyRow;
    if (rows.first <= 0 && rows.end == everyRow.end)
        return everyRow;
    const auto clampInt = [](qint64 v) { return int(std::clamp<qint64>(v, INT_MIN, INT_MAX)); };
    // Row y reads stored row y - floor(dy), and under a fractional shift
    // also the row above it.
    const double bounded =
        std::isnan(dy) ? 0.0 : std::clamp<double>(dy, -TiffData::MaxShift, TiffData::MaxShift);
    const qint64 down = qint64(std::floor(bounded));
    const qint64 above = bounded != double(down) ? 1 : 0;
    return {clampInt(qint64(rows.first) - down - above), clampInt(qint64(rows.end) - down)};
}

bool loadMeasurement(const StackOptions &o, LoadedStack &out, QString *file, QString *why) {
    QElapsedTimer clock;
    clock.start();
    // The shifts first: they say which rows of each image the area reads.
    QVector<Registration::ShiftEntry> shifts;
    if (!o.shiftsFile.isEmpty() && !Registration::readShiftFile(o.shiftsFile, shifts, why)) {
        *file = o.shiftsFile;
        return false;
    }
    QVector<double> energies;
    if (!o.energiesFile.isEmpty()) {
        *why = readEnergies(o.energiesFile, &energies);
        if (!why->isEmpty()) {
            *file = o.energiesFile;
            return false;
        }
    }
    if (!o.h5File.isEmpty()) {
        if (!loadHdf5Stack(o, shifts, out, file, why))
            return false;
    } else if (!loadSeries(o, Series::I1, o.i1Dir, energies, shifts, out, file, why)) {
        return false;
    }
    if (!o.i0Dir.isEmpty() && !loadSeries(o, Series::I0, o.i0Dir, energies, shifts, out, file, why))
        return false;
    QString darkRefusal;
    if (!o.darkFile.isEmpty() && !out.stack.loadDark(o.darkFile, &darkRefusal)) {
        *file = o.darkFile;
        *why = "cannot read the dark frame: " + darkRefusal;
        return false;
    }
    out.stack.takeGeometryFromFirstI1();
    if (!o.shiftsFile.isEmpty() && !applyShifts(shifts, out.stack, why)) {
        *file = o.shiftsFile;
        return false;
    }
    MuTConditions &c = out.bin.conditions;
    c.hx = o.hx;
    c.hy = o.hy;
    c.useI0 = !out.stack.i0().isEmpty();
    c.fluo = o.fluorescence;
    c.i1ExpMs = out.stack.i1().first()->exposureMs();
    c.i0ExpMs = c.useI0 ? out.stack.i0().first()->exposureMs() : 0;
    c.darkExpMs = out.stack.dark() ? out.stack.dark()->exposureMs() : 0;
    out.stack.updateDarkAreas(c);
    out.bin.simpleBackground = !o.victoreen;
    const QString edgeEnergy = SuggestElm::suggestedEdgeEnergyText(o.suggestSymbol, o.suggestEdge,
                                                                   QStringLiteral("8984.36"));
    out.bin.suggestion = SuggestElm::fromTexts(o.suggest, o.suggestSymbol, o.suggestEdge,
                                               edgeEnergy, o.dPre, o.dPost, o.jumpSigma);
    if (!o.shiftMapFile.isEmpty() && !loadShiftMap(o, out)) {
        *file = o.shiftMapFile;
        *why = QStringLiteral("not a usable energy-shift map file");
        return false;
    }
    *why = placeGrid(o, out);
    out.loadSeconds = clock.nsecsElapsed() / 1e9;
    return why->isEmpty();
}

GridFit gridOnImage(int w, int h, int hx, int hy, const double area[4], AnalyzeCond *grid,
                    QString *why) {
    const qint64 binW = 2 * qint64(hx) + 1, binH = 2 * qint64(hy) + 1;
    if (binW > w || binH > h) {
        *why = QString("bins of %1 x %2 pixels are larger than the %3 x %4 image")
                   .arg(binW)
                   .arg(binH)
                   .arg(w)
                   .arg(h);
        return GridFit::BinTooLarge;
    }
    // The area in whole pixels as the walk takes it, then cut to the image:
    // what lies outside has no pixels to bin.
    const AnalyzeCond asked(w, h, hx, hy, area[0], area[1], area[2], area[3]);
    const int x0 = std::clamp(asked.x0, 0, w), x1 = std::clamp(asked.x1, 0, w);
    const int y0 = std::clamp(asked.y0, 0, h), y1 = std::clamp(asked.y1, 0, h);
    if (x1 <= x0 || y1 <= y0) {
        *why = QString("nothing of the area lies on the %1 x %2 image").arg(w).arg(h);
        return GridFit::AreaOutside;
    }
    *grid = AnalyzeCond(w, h, hx, hy, x0, y0, x1 - x0, y1 - y0);
    return GridFit::Fits;
}

QString placeGrid(const StackOptions &o, LoadedStack &out) {
    const int w = out.stack.width(), h = out.stack.height();
    const double whole[4] = {0, 0, double(w), double(h)};
    const double asked[4] = {o.areaX, o.areaY, o.areaW, o.areaH};
    QString why;
    switch (gridOnImage(w, h, o.hx, o.hy, o.hasArea ? asked : whole, &out.grid, &why)) {
    case GridFit::Fits:
        return QString();
    case GridFit::BinTooLarge:
        return QString("--bin %1 %2: ").arg(o.hx).arg(o.hy) + why;
    case GridFit::AreaOutside:
        break;
    }
    return QString("--area %1 %2 %3 %4: ").arg(o.areaX).arg(o.areaY).arg(o.areaW).arg(o.areaH) +
           why;
}
