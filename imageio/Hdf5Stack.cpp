#include "imageio/Hdf5Stack.h"

#include "app/DebugLog.h"
#include "app/TextFileLimits.h"
#include "imageio/ErrPoints.h"
#include "imageio/Hdf5Chunks.h"
#include "imageio/ImageMemory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <hdf5.h>
#include <thread>

namespace {

// Deflate cannot shrink data by much more than about 1030:1; a dataset whose
// storage would need a larger ratio is truncated or was never written.
constexpr double MaxCompressionRatio = 1100;
// Beyond any detector: 2^20 pixels a side, 2^20 energies.
constexpr hsize_t MaxSide = hsize_t(1) << 20;
constexpr hsize_t MaxFrames = hsize_t(1) << 20;

// Closes an HDF5 identifier of any kind when it goes out of scope.
struct Handle {
    hid_t id = -1;
    Handle() = default;
    explicit Handle(hid_t h) : id(h) {}
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    Handle(Handle &&o) noexcept : id(o.id) { o.id = -1; }
    Handle &operator=(Handle &&o) noexcept {
        std::swap(id, o.id);
        return *this;
    }
    ~Handle() { reset(); }
    void reset() {
        if (id >= 0)
            H5Idec_ref(id);
        id = -1;
    }
    bool ok() const { return id >= 0; }
};

herr_t firstError(unsigned n, const H5E_error2_t *e, void *data) {
    auto *text = static_cast<QString *>(data);
    if (n == 0 && e->desc)
        *text = QString::fromUtf8(e->desc);
    return 0;
}

// The innermost message of the library's current error stack.
QString libraryError() {
    QString text;
    H5Ewalk2(H5E_DEFAULT, H5E_WALK_UPWARD, firstError, &text);
    H5Eclear2(H5E_DEFAULT);
    return text.isEmpty() ? QString() : " (" + text + ")";
}

QString readStringAttribute(hid_t object, const char *name, int index = 0) {
    if (H5Aexists(object, name) <= 0)
        return QString();
    Handle attr(H5Aopen(object, name, H5P_DEFAULT));
    Handle type(H5Aget_type(attr.id));
    Handle space(H5Aget_space(attr.id));
    if (!type.ok() || !space.ok() || H5Tget_class(type.id) != H5T_STRING)
        return QString();
    const hssize_t n = H5Sget_simple_extent_npoints(space.id);
    if (n <= index || n > 4096)
        return QString();
    if (H5Tis_variable_str(type.id) > 0) {
        std::vector<char *> items(size_t(n), nullptr);
        Handle mem(H5Tcopy(H5T_C_S1));
        H5Tset_size(mem.id, H5T_VARIABLE);
        H5Tset_cset(mem.id, H5Tget_cset(type.id));
        QString text;
        if (H5Aread(attr.id, mem.id, items.data()) >= 0 && items[size_t(index)])
            text = QString::fromUtf8(items[size_t(index)]);
        H5Dvlen_reclaim(mem.id, space.id, H5P_DEFAULT, items.data());
        return text;
    }
    const size_t size = H5Tget_size(type.id);
    if (size == 0 || size > 65536)
        return QString();
    std::vector<char> buffer(size * size_t(n) + 1, 0);
    Handle mem(H5Tcopy(type.id));
    if (H5Aread(attr.id, mem.id, buffer.data()) < 0)
        return QString();
    const char *item = buffer.data() + size * size_t(index);
    return QString::fromUtf8(item, int(qstrnlen(item, uint(size)))).trimmed();
}

double unitFactorMs(const QString &unit) {
    return unit.trimmed().toLower() == "s" ? 1000.0 : 1.0;
}

} // namespace

struct Hdf5Stack::Impl {
    struct PartSet {
        Handle dataset;
        QString path;
        int rank = 0;
        int frames = 0;         // frames in the dataset (1 for an image of rank 2)
        bool perEnergy = false; // one frame per image
        bool averaged = false;  // many frames averaged into one for all
        std::vector<float> mean;
        TiffData::SampleType type = TiffData::UInt16;
        // Decodes the chunks itself where it can, for samples kept as chunksType.
        Hdf5Chunks chunks;
        TiffData::SampleType chunksType = TiffData::UInt16;
        // Checks every chunk against the file; the damage found, or "".
        QString prepareChunks(hid_t memType) {
            chunksType = type;
            chunks.prepare(dataset.id, memType);
            return chunks.damage();
        }
        bool present() const { return dataset.ok() || averaged; }
    };
    Handle file;
    PartSet parts[3];
    std::vector<double> exposures; // per image, or empty
};

Hdf5Stack::Hdf5Stack() : m_impl(std::make_unique<Impl>()) {
    silenceLibrary();
}

Hdf5Stack::~Hdf5Stack() {
    close();
}

// The library keeps its error settings per thread: every thread that calls
// it turns the printing off for itself.
void Hdf5Stack::silenceLibrary() {
    thread_local bool silenced = false;
    if (silenced)
        return;
    QMutexLocker lock(&hdf5LibraryLock());
    H5open();
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    silenced = true;
}

bool Hdf5Stack::isHdf5File(const QString &fileName) {
    // A pipe or device could block the read of the signature for ever.
    if (TextFileLimits::refuseSpecialFile(fileName))
        return false;
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return f.read(8) == QByteArray("\x89HDF\r\n\x1a\n", 8);
}

void Hdf5Stack::close() {
    QMutexLocker lock(&hdf5LibraryLock());
    m_impl = std::make_unique<Impl>();
    m_width = m_height = m_count = 0;
    m_energies.clear();
}

bool Hdf5Stack::isOpen() const {
    return m_impl->file.ok();
}

bool Hdf5Stack::fail(const QString &dataset, const QString &why) {
    const QString text = m_fileName + (dataset.isEmpty() ? QString() : ": " + dataset) + ": " + why;
    DebugLog::write(text);
    QMutexLocker lock(&m_errorLock);
    m_error = text;
    return false;
}

QString Hdf5Stack::error() const {
    QMutexLocker lock(&m_errorLock);
    return m_error;
}

int Hdf5Stack::count(Part part) const {
    if (!isOpen())
        return 0;
    const Impl::PartSet &p = m_impl->parts[part];
    if (part == Images)
        return m_count;
    if (!p.present())
        return 0;
    return p.perEnergy ? m_count : 1;
}

TiffData::SampleType Hdf5Stack::sampleType(Part part) const {
    return m_impl->parts[part].type;
}

QString Hdf5Stack::datasetPath(Part part) const {
    return m_impl->parts[part].path;
}

// ------------------------------------------------------------------- opening

namespace {

TiffData::SampleType recordTypeFor(hid_t fileType) {
    if (H5Tget_class(fileType) == H5T_INTEGER && H5Tget_sign(fileType) == H5T_SGN_NONE) {
        const size_t size = H5Tget_size(fileType);
        if (size <= 2)
            return TiffData::UInt16;
        if (size == 4)
            return TiffData::UInt32;
    }
    return TiffData::Float32;
}

hid_t memTypeFor(TiffData::SampleType type) {
    switch (type) {
    case TiffData::UInt16:
        return H5T_NATIVE_UINT16;
    case TiffData::UInt32:
        return H5T_NATIVE_UINT32;
    default:
        return H5T_NATIVE_FLOAT;
    }
}

size_t bytesOf(TiffData::SampleType type) {
    return type == TiffData::UInt16 ? 2 : 4;
}

// External links are followed to regular files only: the library would open
// a pipe or device named as the target and block for ever. The library looks
// for a relative target beside the linking file too.
herr_t refuseSpecialTargets(const char *parentFile, const char *, const char *targetFile,
                            const char *, unsigned *, hid_t, void *) {
    const QString target = QFile::decodeName(targetFile);
    const QDir parentDir = QFileInfo(QFile::decodeName(parentFile)).dir();
    for (const QString &candidate :
         {target, parentDir.filePath(target), parentDir.filePath(QFileInfo(target).fileName())}) {
        const QFileInfo info(candidate);
        if (info.exists() && !info.isFile())
            return -1;
    }
    return 0;
}

// The link access of every path the stack opens, and the dataset access
// (which includes the link access) of every dataset it opens.
hid_t accessList(hid_t kind) {
    const hid_t list = H5Pcreate(kind);
    H5Pset_elink_cb(list, refuseSpecialTargets, nullptr);
    return list;
}

hid_t linkAccess() {
    static const hid_t access = accessList(H5P_LINK_ACCESS);
    return access;
}

hid_t datasetAccess() {
    static const hid_t access = accessList(H5P_DATASET_ACCESS);
    return access;
}

// Why the file is no HDF5 file to open ("" when it is one).
QString whyNotHdf5(const QString &fileName) {
    const QFileInfo info(fileName);
    if (!info.exists())
        return QStringLiteral("no such file");
    if (!info.isFile())
        return QStringLiteral("not a regular file (a folder, pipe or device)");
    return Hdf5Stack::isHdf5File(fileName) ? QString() : QStringLiteral("not an HDF5 file");
}

bool isNumber(hid_t type) {
    const H5T_class_t c = H5Tget_class(type);
    return c == H5T_INTEGER || c == H5T_FLOAT;
}

} // namespace

// Says why a link cannot be followed: a missing object or an external link
// to a file that is not there.
static QString whyNotOpened(hid_t file, const QString &path) {
    const QByteArray p = path.toUtf8();
    H5L_info_t info;
    if (H5Lexists(file, p.constData(), linkAccess()) <= 0)
        return QStringLiteral("no such dataset");
    if (H5Lget_info(file, p.constData(), &info, linkAccess()) >= 0 &&
        info.type == H5L_TYPE_EXTERNAL) {
        std::vector<char> value(std::min<size_t>(info.u.val_size, 65536) + 1, 0);
        const char *target = nullptr, *object = nullptr;
        unsigned flags = 0;
        if (H5Lget_val(file, p.constData(), value.data(), value.size(), linkAccess()) >= 0 &&
            H5Lunpack_elink_val(value.data(), value.size(), &flags, &target, &object) >= 0)
            return QString("an external link to %1:%2 that cannot be opened")
                .arg(QString::fromUtf8(target), QString::fromUtf8(object));
        return QStringLiteral("an external link that cannot be followed");
    }
    return "cannot be opened" + libraryError();
}

bool Hdf5Stack::checkStorage(long long id, const QString &path) {
    Handle dcpl(H5Dget_create_plist(hid_t(id)));
    if (!dcpl.ok())
        return fail(path, "cannot read its creation properties" + libraryError());
    const H5D_layout_t layout = H5Pget_layout(dcpl.id);
    if (layout == H5D_VIRTUAL)
        return fail(path, "a virtual dataset (made of other files' datasets) is not read; "
                          "copy its data into a real dataset");
    if (H5Pget_external_count(dcpl.id) > 0)
        return fail(path, "the samples are kept in external raw files, which are not read");
    const int filters = H5Pget_nfilters(dcpl.id);
    for (int i = 0; i < filters; ++i) {
        char name[256] = {0};
        unsigned flags = 0, config = 0;
        size_t nValues = 0;
        const H5Z_filter_t filter = H5Pget_filter2(dcpl.id, unsigned(i), &flags, &nValues, nullptr,
                                                   sizeof name, name, &config);
        if (filter < 0 || H5Zfilter_avail(filter) <= 0)
            return fail(path, QString("compressed with filter %1 (%2), which this HDF5 library "
                                      "does not have")
                                  .arg(int(filter))
                                  .arg(QString::fromLatin1(name)));
    }
    Handle space(H5Dget_space(hid_t(id)));
    Handle type(H5Dget_type(hid_t(id)));
    const hssize_t points = H5Sget_simple_extent_npoints(space.id);
    const double bytes = double(points) * double(H5Tget_size(type.id));
    const double stored = double(H5Dget_storage_size(hid_t(id)));
    const bool compressed = filters > 0;
    if (bytes > 0 && stored * (compressed ? MaxCompressionRatio : 1.0) < bytes)
        return fail(path, QString("%1 bytes of samples but only %2 bytes stored "
                                  "(truncated or never written)")
                              .arg(bytes, 0, 'f', 0)
                              .arg(stored, 0, 'f', 0));
    // Samples kept in one block must lie inside the file the library reads
    // them from.
    hsize_t fileBytes = 0;
    Handle file(H5Iget_file_id(hid_t(id)));
    const haddr_t offset = layout == H5D_CONTIGUOUS ? H5Dget_offset(hid_t(id)) : HADDR_UNDEF;
    if (offset != HADDR_UNDEF && H5Fget_filesize(file.id, &fileBytes) >= 0 &&
        (double(offset) + bytes > double(fileBytes)))
        return fail(path, QString("%1 bytes of samples at %2 run past the end of the file (%3 "
                                  "bytes)")
                              .arg(bytes, 0, 'f', 0)
                              .arg(offset)
                              .arg(fileBytes));
    return true;
}

bool Hdf5Stack::open(const QString &fileName, const Hdf5Layout &layout) {
    silenceLibrary();
    QMutexLocker lock(&hdf5LibraryLock());
    close();
    m_fileName = fileName;
    m_layout = layout;
    {
        QMutexLocker errorLock(&m_errorLock);
        m_error.clear();
    }
    const QString notHdf5 = whyNotHdf5(fileName);
    if (!notHdf5.isEmpty())
        return fail(QString(), notHdf5);
    m_impl->file =
        Handle(H5Fopen(QFile::encodeName(fileName).constData(), H5F_ACC_RDONLY, H5P_DEFAULT));
    if (!m_impl->file.ok())
        return fail(QString(), "cannot be opened as HDF5, damaged or truncated" + libraryError());
    const bool ok = openImages() && openEnergies() && openOptional(Flats, layout.flat) &&
                    openOptional(Dark, layout.dark) && readExposures();
    if (!ok)
        close(); // the message stays
    return ok;
}

// Opens the part's dataset at path: it must exist, open and hold numbers.
// Its rank into *rank and, for rank 2 or 3, its sizes into dims with the
// frames first (dims[0] left as it is for rank 2); its record type into the
// part.
bool Hdf5Stack::openPartDataset(Part part, const QString &path, int *rank,
                                unsigned long long *dims) {
    const hid_t file = m_impl->file.id;
    Impl::PartSet &p = m_impl->parts[part];
    p.path = path;
    const QByteArray p8 = path.toUtf8();
    if (H5Lexists(file, p8.constData(), linkAccess()) <= 0)
        return fail(path, "no such dataset");
    p.dataset = Handle(H5Dopen2(file, p8.constData(), datasetAccess()));
    if (!p.dataset.ok())
        return fail(path, whyNotOpened(file, path));
    Handle space(H5Dget_space(p.dataset.id));
    Handle type(H5Dget_type(p.dataset.id));
    if (!isNumber(type.id))
        return fail(path, "the samples are not numbers");
    *rank = H5Sget_simple_extent_ndims(space.id);
    if (*rank == 2 || *rank == 3)
        H5Sget_simple_extent_dims(space.id, dims + 3 - *rank, nullptr);
    p.type = recordTypeFor(type.id);
    return true;
}

bool Hdf5Stack::openImages() {
    m_imagesPath = m_layout.images;
    m_energiesPath = m_layout.energies;
    const hid_t file = m_impl->file.id;
    if (!m_layout.nxdata.isEmpty()) {
        const QByteArray g = m_layout.nxdata.toUtf8();
        if (H5Lexists(file, g.constData(), linkAccess()) <= 0)
            return fail(m_layout.nxdata, "no such NXdata group");
        Handle group(H5Oopen(file, g.constData(), linkAccess()));
        if (!group.ok())
            return fail(m_layout.nxdata, whyNotOpened(file, m_layout.nxdata));
        const QString signal = readStringAttribute(group.id, "signal");
        const QString axis = readStringAttribute(group.id, "axes");
        if (signal.isEmpty())
            return fail(m_layout.nxdata, "the NXdata group has no \"signal\" attribute");
        if (m_imagesPath.isEmpty())
            m_imagesPath = m_layout.nxdata + "/" + signal;
        if (m_energiesPath.isEmpty()) {
            if (axis.isEmpty() || axis == ".")
                return fail(m_layout.nxdata,
                            "the NXdata group's \"axes\" attribute names no energy axis");
            m_energiesPath = m_layout.nxdata + "/" + axis;
        }
    }
    Impl::PartSet &p = m_impl->parts[Images];
    hsize_t dims[3] = {0, 0, 0};
    int rank = 0;
    if (!openPartDataset(Images, m_imagesPath, &rank, dims))
        return false;
    if (rank != 3)
        return fail(m_imagesPath, QString("rank %1, expected 3 ([energy, y, x] or "
                                          "[energy, x, y])")
                                      .arg(rank));
    const hsize_t w = m_layout.xFirst ? dims[1] : dims[2];
    const hsize_t h = m_layout.xFirst ? dims[2] : dims[1];
    if (dims[0] < 1 || w < 1 || h < 1 || dims[0] > MaxFrames || w > MaxSide || h > MaxSide ||
        w * h > (hsize_t(1) << 31))
        return fail(m_imagesPath,
                    QString("absurd size %1 x %2 x %3").arg(dims[0]).arg(dims[1]).arg(dims[2]));
    if (!checkStorage(p.dataset.id, m_imagesPath))
        return false;
    const QString overBudget = ImageMemory::overBudget(qint64(w * h * bytesOf(p.type)));
    if (!overBudget.isEmpty())
        return fail(m_imagesPath, overBudget);
    p.rank = 3;
    p.frames = int(dims[0]);
    p.perEnergy = true;
    const QString damage = p.prepareChunks(memTypeFor(p.type));
    if (!damage.isEmpty())
        return fail(m_imagesPath, damage);
    m_count = int(dims[0]);
    m_width = int(w);
    m_height = int(h);
    return true;
}

// Reads every number of a dataset or attribute ("OBJECT@ATTRIBUTE") of at
// most `limit` values as doubles; its "units" attribute into *unit.
static bool readNumbers(hid_t file, const QString &spec, hsize_t limit, std::vector<double> *out,
                        QString *unit, QString *why) {
    const int at = spec.lastIndexOf('@');
    const QByteArray object = (at >= 0 ? spec.left(at) : spec).toUtf8();
    if (H5Lexists(file, object.constData(), linkAccess()) <= 0 && object != "/") {
        *why = "no such dataset";
        return false;
    }
    Handle obj(H5Oopen(file, object.constData(), linkAccess()));
    if (!obj.ok()) {
        *why = whyNotOpened(file, QString::fromUtf8(object));
        return false;
    }
    Handle data, space, type;
    if (at >= 0) {
        const QByteArray name = spec.mid(at + 1).toUtf8();
        if (H5Aexists(obj.id, name.constData()) <= 0) {
            *why = "no such attribute";
            return false;
        }
        data = Handle(H5Aopen(obj.id, name.constData(), H5P_DEFAULT));
        space = Handle(H5Aget_space(data.id));
        type = Handle(H5Aget_type(data.id));
    } else {
        if (H5Iget_type(obj.id) != H5I_DATASET) {
            *why = "not a dataset";
            return false;
        }
        data = Handle(H5Dopen2(file, object.constData(), datasetAccess()));
        space = Handle(H5Dget_space(data.id));
        type = Handle(H5Dget_type(data.id));
    }
    if (!space.ok() || !type.ok() || !isNumber(type.id)) {
        *why = "not numbers";
        return false;
    }
    const hssize_t n = H5Sget_simple_extent_npoints(space.id);
    if (n < 1 || hsize_t(n) > limit) {
        *why = QString("%1 values").arg(n);
        return false;
    }
    out->assign(size_t(n), 0.0);
    const herr_t r =
        at >= 0 ? H5Aread(data.id, H5T_NATIVE_DOUBLE, out->data())
                : H5Dread(data.id, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, out->data());
    if (r < 0) {
        *why = "cannot be read" + libraryError();
        return false;
    }
    if (unit)
        *unit = readStringAttribute(
            at >= 0 ? obj.id : data.id,
            at >= 0 ? QByteArray(spec.mid(at + 1).toUtf8() + "_units").constData() : "units");
    return true;
}

bool Hdf5Stack::openEnergies() {
    QString unit, why;
    std::vector<double> values;
    if (!readNumbers(m_impl->file.id, m_energiesPath, MaxFrames, &values, &unit, &why))
        return fail(m_energiesPath, why);
    if (int(values.size()) != m_count)
        return fail(m_energiesPath, QString("%1 energies for %2 images in %3")
                                        .arg(values.size())
                                        .arg(m_count)
                                        .arg(m_imagesPath));
    if (!m_layout.energyUnit.isEmpty())
        unit = m_layout.energyUnit;
    const QString u = unit.trimmed().toLower();
    if (u != "ev" && u != "kev")
        return fail(m_energiesPath, unit.isEmpty()
                                        ? QString("the energy unit is not known: give "
                                                  "energy_unit = eV or keV in the layout")
                                        : "unknown energy unit " + unit);
    const double factor = u == "kev" ? 1000.0 : 1.0;
    // Checked in eV: a finite value in keV may overflow on the way there.
    for (double &e : values) {
        e *= factor;
        if (!std::isfinite(e))
            return fail(m_energiesPath, "an energy is not a finite number of eV");
    }
    m_descending = values.size() > 1 && values[1] < values[0];
    if (m_descending)
        std::reverse(values.begin(), values.end());
    for (size_t i = 1; i < values.size(); ++i)
        if (!(values[i] > values[i - 1]))
            return fail(m_energiesPath,
                        QString("the energies are not monotonic (at index %1: %2 after %3 eV); "
                                "a stack is read in the order of its energies")
                            .arg(m_descending ? values.size() - 1 - i : i)
                            .arg(values[i], 0, 'g', 10)
                            .arg(values[i - 1], 0, 'g', 10));
    m_energies = std::move(values);
    return true;
}

bool Hdf5Stack::openOptional(Part part, const QString &entry) {
    const bool optional = entry.startsWith('?');
    const QString path = optional ? entry.mid(1) : entry;
    if (path.isEmpty())
        return true;
    const hid_t file = m_impl->file.id;
    const QByteArray p8 = path.toUtf8();
    if (optional && H5Lexists(file, p8.constData(), linkAccess()) <= 0)
        return true;
    Impl::PartSet &p = m_impl->parts[part];
    hsize_t dims[3] = {1, 0, 0};
    int rank = 0;
    if (!openPartDataset(part, path, &rank, dims))
        return false;
    if (rank != 2 && rank != 3)
        return fail(path, QString("rank %1, expected 2 or 3").arg(rank));
    const hsize_t w = m_layout.xFirst ? dims[1] : dims[2];
    const hsize_t h = m_layout.xFirst ? dims[2] : dims[1];
    if (w != hsize_t(m_width) || h != hsize_t(m_height))
        return fail(path, QString("size %1 x %2 differs from the images' %3 x %4")
                              .arg(w)
                              .arg(h)
                              .arg(m_width)
                              .arg(m_height));
    if (dims[0] < 1 || dims[0] > MaxFrames)
        return fail(path, QString("%1 frames, expected 1 to %2").arg(dims[0]).arg(MaxFrames));
    if (!checkStorage(p.dataset.id, path))
        return false;
    p.rank = rank;
    p.frames = int(dims[0]);
    const QString damage = p.prepareChunks(memTypeFor(p.type));
    if (!damage.isEmpty())
        return fail(path, damage);
    p.perEnergy = part == Flats && p.frames == m_count && m_count > 1;
    if (p.perEnergy || p.frames == 1)
        return true;
    // Several frames that are not one per energy: their mean is the one
    // image for all energies (flats or darks taken before or after a scan).
    std::vector<double> sum(size_t(m_width) * size_t(m_height), 0.0);
    std::vector<float> frame(sum.size());
    p.type = TiffData::Float32;
    for (int f = 0; f < p.frames; ++f) {
        if (!readFrame(part, f, 0, m_height, frame.data()))
            return false;
        for (size_t i = 0; i < sum.size(); ++i)
            sum[i] += frame[i];
    }
    p.mean.resize(sum.size());
    for (size_t i = 0; i < sum.size(); ++i)
        p.mean[i] = float(sum[i] / dims[0]);
    p.averaged = true;
    return true;
}

// True when the dataset, or the attribute of "OBJECT@ATTRIBUTE", is there.
static bool exists(hid_t file, const QString &spec) {
    const QByteArray object = spec.section('@', 0, 0).toUtf8();
    if (H5Lexists(file, object.constData(), linkAccess()) <= 0)
        return false;
    if (!spec.contains('@'))
        return true;
    const QByteArray name = spec.section('@', 1).toUtf8();
    return H5Aexists_by_name(file, object.constData(), name.constData(), linkAccess()) > 0;
}

bool Hdf5Stack::readExposures() {
    auto valueMs = [this](const QString &entry, std::vector<double> *out) -> bool {
        const bool optional = entry.startsWith('?');
        const QString spec = optional ? entry.mid(1) : entry;
        // A number too large for a double (1e400) is still a number, not a
        // dataset path: it is refused below as not finite.
        static const QRegularExpression numberSyntax(
            "^\\s*[-+]?(\\d+\\.?\\d*|\\.\\d+)([eE][-+]?\\d+)?\\s*$|^\\s*[-+]?(inf|nan)\\s*$",
            QRegularExpression::CaseInsensitiveOption);
        bool isNumberText = false;
        const double number = spec.toDouble(&isNumberText);
        if (isNumberText || numberSyntax.match(spec).hasMatch()) {
            out->assign(1, isNumberText ? number : HUGE_VAL);
        } else {
            if (optional && !exists(m_impl->file.id, spec))
                return true;
            QString why;
            if (!readNumbers(m_impl->file.id, spec, MaxFrames, out, nullptr, &why))
                return fail(spec, why);
        }
        if (out->size() != 1 && int(out->size()) != m_count)
            return fail(spec,
                        QString("%1 exposure times for %2 images").arg(out->size()).arg(m_count));
        for (double &v : *out) {
            v *= unitFactorMs(m_layout.exposureUnit);
            if (!(std::isfinite(v) && v > 0))
                return fail(spec, "an exposure time is not a positive number");
        }
        return true;
    };
    std::vector<double> values;
    if (!m_layout.exposure.isEmpty() && !valueMs(m_layout.exposure, &values))
        return false;
    if (values.size() == 1)
        m_exposureMs = values[0];
    else if (!values.empty()) {
        if (m_descending)
            std::reverse(values.begin(), values.end());
        m_impl->exposures = values;
        m_exposureMs = values[0];
    }
    m_darkExposureMs = m_exposureMs;
    std::vector<double> dark;
    if (!m_layout.darkExposure.isEmpty() && !valueMs(m_layout.darkExposure, &dark))
        return false;
    if (!dark.empty())
        m_darkExposureMs = dark[0];
    return true;
}

// ------------------------------------------------------------------- reading

bool Hdf5Stack::readRows(Part part, int k, int y0, int rows, void *out) {
    silenceLibrary();
    const Impl::PartSet &p = m_impl->parts[part];
    if (!isOpen() || !p.present() || k < 0 || k >= count(part) || y0 < 0 || rows < 1 ||
        y0 > m_height - rows)
        return fail(p.path, QString("no image %1, rows %2..%3").arg(k).arg(y0).arg(y0 + rows));
    if (p.averaged) {
        const size_t band = size_t(rows) * size_t(m_width);
        std::memcpy(out, p.mean.data() + size_t(y0) * size_t(m_width), band * sizeof(float));
        return true;
    }
    // Images and per-energy flats follow the energies, which a descending
    // scan reverses; a single frame serves every energy.
    const int frame = p.perEnergy ? (m_descending ? m_count - 1 - k : k) : 0;
    return readFrame(part, frame, y0, rows, out);
}

bool Hdf5Stack::readFrame(Part part, int frame, int y0, int rows, void *out) {
    const Impl::PartSet &p = m_impl->parts[part];
    hsize_t start[3] = {hsize_t(frame), 0, 0};
    hsize_t size[3] = {1, 0, 0};
    const int first = p.rank == 3 ? 0 : 1;
    if (m_layout.xFirst) {
        start[2] = hsize_t(y0);
        size[1] = hsize_t(m_width);
        size[2] = hsize_t(rows);
    } else {
        start[1] = hsize_t(y0);
        size[1] = hsize_t(rows);
        size[2] = hsize_t(m_width);
    }
    const hsize_t points = hsize_t(rows) * hsize_t(m_width);
    const size_t bytes = bytesOf(p.type);
    std::vector<unsigned char> transposed; // [x][y] as stored
    void *target = out;
    if (m_layout.xFirst) {
        transposed.resize(points * bytes);
        target = transposed.data();
    }
    const Hdf5Chunks::Result decoded =
        p.chunksType == p.type ? p.chunks.read(frame, qint64(start[1]), qint64(size[1]),
                                               qint64(start[2]), qint64(size[2]), target)
                               : Hdf5Chunks::UseLibrary;
    if (decoded == Hdf5Chunks::Failed)
        return fail(p.path,
                    QString("image %1 cannot be read: a chunk of it cannot be read or does not "
                            "decode (damaged)")
                        .arg(frame));
    if (decoded == Hdf5Chunks::UseLibrary) {
        QMutexLocker lock(&hdf5LibraryLock()); // the error stack is the library's too
        if (!readByLibrary(part, start + first, size + first, target))
            return fail(p.path, QString("image %1 cannot be read").arg(frame) + libraryError());
    }
    if (m_layout.xFirst) {
        // The [x][y] band into [y][x] rows.
        const unsigned char *src = transposed.data();
        auto *dst = static_cast<unsigned char *>(out);
        for (int x = 0; x < m_width; ++x)
            for (int y = 0; y < rows; ++y)
                std::memcpy(dst + (size_t(y) * size_t(m_width) + size_t(x)) * bytes,
                            src + (size_t(x) * size_t(rows) + size_t(y)) * bytes, bytes);
    }
    return true;
}

bool Hdf5Stack::readByLibrary(Part part, const unsigned long long *start,
                              const unsigned long long *size, void *out) {
    QMutexLocker lock(&hdf5LibraryLock());
    const Impl::PartSet &p = m_impl->parts[part];
    Handle fileSpace(H5Dget_space(p.dataset.id));
    // The memory space has the selection's own shape, so the library can
    // decode a chunk straight into the caller's buffer.
    Handle memSpace(H5Screate_simple(p.rank == 3 ? 3 : 2, size, nullptr));
    return H5Sselect_hyperslab(fileSpace.id, H5S_SELECT_SET, start, nullptr, size, nullptr) >= 0 &&
           H5Dread(p.dataset.id, memTypeFor(p.type), memSpace.id, fileSpace.id, H5P_DEFAULT, out) >=
               0;
}

bool Hdf5Stack::readImage(Part part, int k, TiffData &out, const ErrPoints &mask) {
    return readImage(part, k, TiffData::RowRange(), out, mask);
}

bool Hdf5Stack::readImage(Part part, int k, const TiffData::RowRange &band, TiffData &out,
                          const ErrPoints &mask) {
    if (!isOpen() || k < 0 || k >= count(part))
        return fail(datasetPath(part), QString("no image %1").arg(k));
    const int y0 = std::clamp(band.first, 0, m_height);
    const int y1 = std::clamp(band.end, y0, m_height);
    out.setErrPoints(mask);
    bool readFailed = false;
    // The rows are decoded straight into the record's storage.
    const bool assigned =
        out.assignRows(m_width, m_height, sampleType(part), {y0, y1}, [&](void *base) {
            readFailed = !readRows(part, k, y0, y1 - y0, base);
            return !readFailed;
        });
    if (readFailed)
        return false;
    if (!assigned)
        return fail(datasetPath(part), "the image record cannot hold it");
    const Impl::PartSet &p = m_impl->parts[part];
    const int frame = p.perEnergy ? (m_descending ? m_count - 1 - k : k) : 0;
    out.setFileName(QString("%1:%2[%3]").arg(m_fileName, p.path).arg(frame));
    if (part != Dark) {
        out.setEnergy(m_energies.at(size_t(k)));
        out.setEnergyFromFile(true);
    }
    const std::vector<double> &exposures = m_impl->exposures;
    out.setExposureMs(part == Dark                           ? m_darkExposureMs
                      : part == Images && !exposures.empty() ? exposures.at(size_t(k))
                                                             : m_exposureMs);
    if (ErrPoints::processWide().use())
        out.repairErrorPoints();
    return true;
}

std::vector<std::unique_ptr<TiffData>>
Hdf5Stack::readImages(Part part, const std::vector<int> &ks,
                      const std::vector<TiffData::RowRange> &bands, const ErrPoints &mask,
                      int threads) {
    std::vector<std::unique_ptr<TiffData>> images(ks.size());
    // What is asked for must fit in memory, judged by its decoded size before
    // anything is decoded: a few megabytes of deflated zeros can claim
    // gigabytes of images.
    qint64 bytes = 0;
    for (size_t i = 0; i < ks.size(); ++i) {
        const TiffData::RowRange band = bands.empty() ? TiffData::RowRange() : bands.at(i);
        const qint64 rows = std::clamp(band.end, 0, m_height) - std::clamp(band.first, 0, m_height);
        bytes += std::max<qint64>(rows, 0) * m_width * qint64(bytesOf(sampleType(part)));
    }
    const qint64 available = ImageMemory::availableBytes();
    if (available > 0 && bytes > available) {
        fail(datasetPath(part), QString("%1 images decode to %2 MB, more than the %3 MB of "
                                        "memory available")
                                    .arg(ks.size())
                                    .arg(bytes >> 20)
                                    .arg(available >> 20));
        return images;
    }
    std::atomic<size_t> next{0};
    // A stack with an image that cannot be read is refused whole by every
    // caller: the first failure ends the work, and says why once.
    std::atomic<bool> failed{false};
    auto work = [&] {
        for (size_t i = next++; i < ks.size() && !failed; i = next++) {
            auto image = std::make_unique<TiffData>();
            const TiffData::RowRange band = bands.empty() ? TiffData::RowRange() : bands.at(i);
            if (readImage(part, ks[i], band, *image, mask))
                images[i] = std::move(image);
            else
                failed = true;
        }
    };
    const size_t workers = std::min(ks.size(), size_t(std::max(threads, 1)));
    std::vector<std::thread> pool;
    for (size_t t = 1; t < workers; ++t)
        pool.emplace_back(work);
    work();
    for (std::thread &t : pool)
        t.join();
    return images;
}

// ------------------------------------------------------------------- listing

namespace {

constexpr size_t MaxListed = 10000;

QString typeName(hid_t type) {
    const size_t bits = H5Tget_size(type) * 8;
    switch (H5Tget_class(type)) {
    case H5T_INTEGER:
        return QString(H5Tget_sign(type) == H5T_SGN_NONE ? "uint%1" : "int%1").arg(bits);
    case H5T_FLOAT:
        return QString("float%1").arg(bits);
    case H5T_STRING:
        return QStringLiteral("string");
    case H5T_COMPOUND:
        return QStringLiteral("compound");
    default:
        return QStringLiteral("other");
    }
}

struct Listing {
    std::vector<Hdf5DatasetInfo> *out;
};

herr_t visitObject(hid_t root, const char *name, const H5O_info_t *info, void *data) {
    auto *listing = static_cast<Listing *>(data);
    if (info->type != H5O_TYPE_DATASET)
        return 0;
    if (listing->out->size() >= MaxListed)
        return 1;
    Handle set(H5Dopen2(root, name, datasetAccess()));
    if (!set.ok())
        return 0;
    Hdf5DatasetInfo d;
    d.path = "/" + QString::fromUtf8(name);
    Handle space(H5Dget_space(set.id));
    Handle type(H5Dget_type(set.id));
    Handle dcpl(H5Dget_create_plist(set.id));
    const int rank = std::clamp(H5Sget_simple_extent_ndims(space.id), 0, H5S_MAX_RANK);
    std::vector<hsize_t> dims(size_t(rank) + 1, 0);
    H5Sget_simple_extent_dims(space.id, dims.data(), nullptr);
    d.shape.assign(dims.begin(), dims.begin() + rank);
    d.type = typeName(type.id);
    const H5D_layout_t layout = H5Pget_layout(dcpl.id);
    d.isVirtual = layout == H5D_VIRTUAL;
    if (layout == H5D_CHUNKED) {
        std::vector<hsize_t> chunk(size_t(H5S_MAX_RANK), 0);
        const int n = H5Pget_chunk(dcpl.id, H5S_MAX_RANK, chunk.data());
        d.chunks.assign(chunk.begin(), chunk.begin() + std::max(0, n));
    }
    const int filters = H5Pget_nfilters(dcpl.id);
    for (int i = 0; i < filters; ++i) {
        char fname[256] = {0};
        unsigned flags = 0, config = 0;
        size_t nValues = 0;
        const H5Z_filter_t id = H5Pget_filter2(dcpl.id, unsigned(i), &flags, &nValues, nullptr,
                                               sizeof fname, fname, &config);
        d.filters << (id == H5Z_FILTER_DEFLATE      ? QStringLiteral("deflate")
                      : id == H5Z_FILTER_SHUFFLE    ? QStringLiteral("shuffle")
                      : id == H5Z_FILTER_FLETCHER32 ? QStringLiteral("fletcher32")
                      : id == H5Z_FILTER_SZIP       ? QStringLiteral("szip")
                                                    : QString("filter-%1").arg(int(id)));
    }
    listing->out->push_back(d);
    return 0;
}

} // namespace

bool Hdf5Stack::listDatasets(const QString &fileName, std::vector<Hdf5DatasetInfo> *out,
                             QString *why) {
    silenceLibrary();
    QMutexLocker lock(&hdf5LibraryLock());
    const QString notHdf5 = whyNotHdf5(fileName);
    if (!notHdf5.isEmpty()) {
        *why = fileName + ": " + notHdf5;
        return false;
    }
    Handle file(H5Fopen(QFile::encodeName(fileName).constData(), H5F_ACC_RDONLY, H5P_DEFAULT));
    if (!file.ok()) {
        *why = fileName + ": cannot be opened as HDF5, damaged or truncated" + libraryError();
        return false;
    }
    Listing listing{out};
    if (H5Ovisit(file.id, H5_INDEX_NAME, H5_ITER_INC, visitObject, &listing) < 0) {
        *why = fileName + ": cannot list the datasets" + libraryError();
        return false;
    }
    return true;
}
