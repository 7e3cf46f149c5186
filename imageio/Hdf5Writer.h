#pragma once
// Writes image stacks into a new HDF5 file (the demo measurement, tests and
// benchmarks). The file is built under FILE.part and renamed over FILE by
// commit(), so a failed write never leaves a half-written stack under the
// real name. Groups on a dataset's path are created as needed.
#include <QString>
#include <functional>
#include <vector>

class Hdf5Writer {
public:
    enum Type { UInt16, Float32 };

    explicit Hdf5Writer(const QString &fileName);
    ~Hdf5Writer();
    Hdf5Writer(const Hdf5Writer &) = delete;
    Hdf5Writer &operator=(const Hdf5Writer &) = delete;

    bool isOpen() const { return m_file >= 0; }
    const QString &error() const { return m_error; }

    // A [frames, height, width] dataset filled frame by frame from
    // frame(k) (height x width samples of the type). deflateLevel 0 stores
    // contiguously; 1..9 uses one chunk per frame, deflate-compressed.
    bool writeFrames(const QString &path, Type type, int frames, int height, int width,
                     int deflateLevel, const std::function<const void *(int)> &frame);
    // Compressed frames written after this store their bytes shuffled
    // (byte 0 of every sample, then byte 1, ...) before deflate, which packs
    // detector counts tighter and inflates faster.
    void setShuffle(bool on) { m_shuffle = on; }
    // A vector of doubles, with a "units" attribute when units is not empty.
    bool writeDoubles(const QString &path, const std::vector<double> &values,
                      const QString &units = QString());
    // A numeric attribute of an existing object.
    bool writeAttribute(const QString &objectPath, const QString &name, double value);
    // Closes the file and moves it to its name.
    bool commit();

private:
    bool fail(const QString &why);

    QString m_fileName;
    QString m_partName;
    long long m_file = -1;
    bool m_shuffle = false;
    QString m_error;
};
