#pragma once
// An image stack in an HDF5 file, described by an Hdf5Layout: the sample
// images (one per energy), optional flat images (I0, one per energy or one
// for all), an optional dark image and the exposure times. open() checks
// everything it can before any sample is read: the datasets exist, have the
// rank and sizes the layout implies, use filters this HDF5 library has, are
// not virtual, and hold storage that can account for their size; the
// energies are finite, as many as the images and monotonic (a descending
// scan is read in ascending order). Images are then read one at a time, or a
// band of rows of one image, by hyperslab, so memory follows what is asked.
//
// Failures are values: open() and the reads return false and error() says
// "FILE: DATASET: why" (also written to the debug log). The HDF5 library's
// own error printing is silenced.
#include "imageio/Hdf5Layout.h"
#include "imageio/TiffData.h"

#include <QMutex>
#include <QString>
#include <memory>
#include <vector>

class ErrPoints;

// One dataset of a file, as h5-info lists it.
struct Hdf5DatasetInfo {
    QString path;
    std::vector<unsigned long long> shape;
    QString type;                           // "uint16", "float32", "string", ...
    std::vector<unsigned long long> chunks; // empty when not chunked
    QStringList filters;
    bool isVirtual = false;
};

class Hdf5Stack {
public:
    enum Part { Images, Flats, Dark };

    Hdf5Stack();
    ~Hdf5Stack();
    Hdf5Stack(const Hdf5Stack &) = delete;
    Hdf5Stack &operator=(const Hdf5Stack &) = delete;

    // True when the file starts with the HDF5 signature (at offset 0).
    static bool isHdf5File(const QString &fileName);
    // Turns off the library's printing of its error stack for the calling
    // thread (done by every reading call as well).
    static void silenceLibrary();

    // Every dataset of the file (at most 10000), in name order; false with
    // *why for a file that cannot be opened.
    static bool listDatasets(const QString &fileName, std::vector<Hdf5DatasetInfo> *out,
                             QString *why);

    bool open(const QString &fileName, const Hdf5Layout &layout);
    void close();
    bool isOpen() const;
    QString error() const;
    const QString &fileName() const { return m_fileName; }
    const Hdf5Layout &layout() const { return m_layout; }

    int width() const { return m_width; }
    int height() const { return m_height; }
    // Images: one per energy. Flats: 0, 1 (one for all) or one per energy.
    // Dark: 0 or 1.
    int count(Part part) const;
    // Energy (eV) of image k, ascending in k.
    double energy(int k) const { return m_energies.at(size_t(k)); }
    double exposureMs() const { return m_exposureMs; }
    double darkExposureMs() const { return m_darkExposureMs; }
    // The record type the part's samples are kept in: UInt16 for 8- and
    // 16-bit unsigned data, UInt32 for 32-bit unsigned, Float32 otherwise.
    TiffData::SampleType sampleType(Part part) const;
    // The dataset path of a part, for messages and image names.
    QString datasetPath(Part part) const;

    // Rows [y0, y0 + rows) of image k of the part into out (rows x width
    // samples of sampleType(part), row-major).
    bool readRows(Part part, int k, int y0, int rows, void *out);
    // Image k of the part as an image record named "FILE:DATASET[index]"
    // with its energy (flats carry the energy of image k, the dark none) and
    // exposure; the mask becomes the record's error-point mask. The second
    // form stores only the band of rows (cut to the image; see
    // TiffData::assignRows), read by one hyperslab.
    bool readImage(Part part, int k, TiffData &out, const ErrPoints &mask);
    bool readImage(Part part, int k, const TiffData::RowRange &band, TiffData &out,
                   const ErrPoints &mask);
    // Images ks of the part (bands[i] the rows kept of image ks[i]; all rows
    // when bands is empty), read on up to `threads` threads at once: each
    // thread fetches its chunks under the library lock and decodes them
    // alongside the others. readImage may be called from several threads the
    // same way. An entry stays null for an image that cannot be read (error()
    // and the debug log say why); after the first such image no further one
    // is begun (their entries stay null too).
    std::vector<std::unique_ptr<TiffData>> readImages(Part part, const std::vector<int> &ks,
                                                      const std::vector<TiffData::RowRange> &bands,
                                                      const ErrPoints &mask, int threads);

private:
    struct Impl;
    bool fail(const QString &dataset, const QString &why);
    bool openImages();
    bool openPartDataset(Part part, const QString &path, int *rank, unsigned long long *dims);
    bool openEnergies();
    bool openOptional(Part part, const QString &path);
    bool readExposures();
    bool readFrame(Part part, int frame, int y0, int rows, void *out);
    bool readByLibrary(Part part, const unsigned long long *start, const unsigned long long *size,
                       void *out);
    bool checkStorage(long long id, const QString &path);

    std::unique_ptr<Impl> m_impl;
    QString m_fileName;
    mutable QMutex m_errorLock; // reads may fail on several threads at once
    QString m_error;
    Hdf5Layout m_layout;
    QString m_imagesPath;
    QString m_energiesPath;
    int m_width = 0;
    int m_height = 0;
    int m_count = 0;
    bool m_descending = false;
    std::vector<double> m_energies;
    double m_exposureMs = 100;
    double m_darkExposureMs = 100;
};
