#include "imageio/Hdf5Writer.h"

#include "imageio/Hdf5Stack.h"

#include <QFile>
#include <hdf5.h>

namespace {

hid_t linkPlist() {
    const hid_t lcpl = H5Pcreate(H5P_LINK_CREATE);
    H5Pset_create_intermediate_group(lcpl, 1);
    return lcpl;
}

} // namespace

Hdf5Writer::Hdf5Writer(const QString &fileName)
    : m_fileName(fileName), m_partName(fileName + ".part") {
    Hdf5Stack::silenceLibrary();
    QFile::remove(m_partName);
    m_file = H5Fcreate(QFile::encodeName(m_partName).constData(), H5F_ACC_TRUNC, H5P_DEFAULT,
                       H5P_DEFAULT);
    if (m_file < 0)
        fail("cannot create " + m_partName);
}

Hdf5Writer::~Hdf5Writer() {
    if (m_file >= 0) {
        H5Fclose(hid_t(m_file));
        QFile::remove(m_partName);
    }
}

bool Hdf5Writer::fail(const QString &why) {
    if (m_error.isEmpty())
        m_error = m_fileName + ": " + why;
    return false;
}

bool Hdf5Writer::writeFrames(const QString &path, Type type, int frames, int height, int width,
                             int deflateLevel, const std::function<const void *(int)> &frame) {
    if (m_file < 0 || frames < 1 || height < 1 || width < 1)
        return fail("nothing to write at " + path);
    const hsize_t dims[3] = {hsize_t(frames), hsize_t(height), hsize_t(width)};
    const hid_t fileType = type == UInt16 ? H5T_STD_U16LE : H5T_IEEE_F32LE;
    const hid_t memType = type == UInt16 ? H5T_NATIVE_UINT16 : H5T_NATIVE_FLOAT;
    const hid_t space = H5Screate_simple(3, dims, nullptr);
    const hid_t dcpl = H5Pcreate(H5P_DATASET_CREATE);
    if (deflateLevel > 0) {
        const hsize_t chunk[3] = {1, hsize_t(height), hsize_t(width)};
        H5Pset_chunk(dcpl, 3, chunk);
        if (m_shuffle)
            H5Pset_shuffle(dcpl);
        H5Pset_deflate(dcpl, unsigned(deflateLevel));
    }
    const hid_t lcpl = linkPlist();
    const QByteArray p = path.toUtf8();
    const hid_t set =
        H5Dcreate2(hid_t(m_file), p.constData(), fileType, space, lcpl, dcpl, H5P_DEFAULT);
    H5Pclose(lcpl);
    H5Pclose(dcpl);
    bool ok = set >= 0;
    const hsize_t one[3] = {1, hsize_t(height), hsize_t(width)};
    const hid_t memSpace = H5Screate_simple(3, one, nullptr);
    for (int k = 0; ok && k < frames; ++k) {
        const hsize_t start[3] = {hsize_t(k), 0, 0};
        const void *samples = frame(k);
        ok = samples &&
             H5Sselect_hyperslab(space, H5S_SELECT_SET, start, nullptr, one, nullptr) >= 0 &&
             H5Dwrite(set, memType, memSpace, space, H5P_DEFAULT, samples) >= 0;
    }
    H5Sclose(memSpace);
    H5Sclose(space);
    if (set >= 0)
        H5Dclose(set);
    return ok || fail("cannot write " + path);
}

bool Hdf5Writer::writeDoubles(const QString &path, const std::vector<double> &values,
                              const QString &units) {
    if (m_file < 0 || values.empty())
        return fail("nothing to write at " + path);
    const hsize_t n = values.size();
    const hid_t space = H5Screate_simple(1, &n, nullptr);
    const hid_t lcpl = linkPlist();
    const hid_t set = H5Dcreate2(hid_t(m_file), path.toUtf8().constData(), H5T_IEEE_F64LE, space,
                                 lcpl, H5P_DEFAULT, H5P_DEFAULT);
    H5Pclose(lcpl);
    bool ok = set >= 0 &&
              H5Dwrite(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data()) >= 0;
    if (ok && !units.isEmpty()) {
        const QByteArray text = units.toUtf8();
        const hid_t str = H5Tcopy(H5T_C_S1);
        H5Tset_size(str, size_t(text.size()));
        const hid_t scalar = H5Screate(H5S_SCALAR);
        const hid_t attr = H5Acreate2(set, "units", str, scalar, H5P_DEFAULT, H5P_DEFAULT);
        ok = attr >= 0 && H5Awrite(attr, str, text.constData()) >= 0;
        if (attr >= 0)
            H5Aclose(attr);
        H5Sclose(scalar);
        H5Tclose(str);
    }
    H5Sclose(space);
    if (set >= 0)
        H5Dclose(set);
    return ok || fail("cannot write " + path);
}

bool Hdf5Writer::writeAttribute(const QString &objectPath, const QString &name, double value) {
    if (m_file < 0)
        return fail("the file is not open");
    const hid_t scalar = H5Screate(H5S_SCALAR);
    const hid_t attr =
        H5Acreate_by_name(hid_t(m_file), objectPath.toUtf8().constData(), name.toUtf8().constData(),
                          H5T_IEEE_F64LE, scalar, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
    const bool ok = attr >= 0 && H5Awrite(attr, H5T_NATIVE_DOUBLE, &value) >= 0;
    if (attr >= 0)
        H5Aclose(attr);
    H5Sclose(scalar);
    return ok || fail("cannot write the attribute " + objectPath + "@" + name);
}

bool Hdf5Writer::commit() {
    if (m_file < 0 || !m_error.isEmpty())
        return fail("not written");
    const bool closed = H5Fclose(hid_t(m_file)) >= 0;
    m_file = -1;
    if (!closed) {
        QFile::remove(m_partName);
        return fail("cannot close the file");
    }
    QFile::remove(m_fileName);
    if (!QFile::rename(m_partName, m_fileName)) {
        QFile::remove(m_partName);
        return fail("cannot move the written file to its name");
    }
    return true;
}
