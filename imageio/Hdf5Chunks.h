#pragma once
// Reads the chunks of an HDF5 image dataset straight from the file and
// decodes them here, bypassing the library's filter pipeline. Detector
// stacks are written as one deflate-compressed chunk per image, often with
// the byte shuffle before it; noisy 16-bit counts compress by only about
// 1.7:1 (2:1 shuffled), so decoding is the whole cost of a load. libdeflate
// inflates such chunks about twice as fast as zlib does inside the library.
//
// The library is not hardened against damaged files: a chunk index or a
// chunk shape that disagrees with the dataset has made it write past its
// buffers. So prepare() looks up every chunk of the dataset before anything
// is read and checks its size (no larger than the file, nor than its decoded
// size can justify; the library checks a chunk's place against the end of
// the file when it reads it), and every chunk of the storage this reader
// understands (no filter, deflate, shuffle, or shuffle then deflate, chunks
// of any shape) is decoded here, into buffers sized by the dataset, never by
// the file. A chunk that does not decode to its exact size is a failure, not
// a second try in the library. Samples of another number type than the one
// asked for are converted after decoding, in memory. A chunk never written
// holds the dataset's fill value. Only other filters (and storage that is not
// chunked) are left to the library, after the same checks.
#include <QRecursiveMutex>
#include <QString>
#include <memory>

// The serial HDF5 library is not safe for concurrent use: every call into it
// holds this lock (the I1 and I0 loaders read in threads of their own).
QRecursiveMutex &hdf5LibraryLock();

class Hdf5Chunks {
public:
    enum Result { Done, UseLibrary, Failed };

    Hdf5Chunks();
    ~Hdf5Chunks();
    Hdf5Chunks(const Hdf5Chunks &) = delete;
    Hdf5Chunks &operator=(const Hdf5Chunks &) = delete;

    // Looks at the dataset (an HDF5 identifier of rank 2 or 3, the frame
    // axis first) read as memType. False when this reader does not decode
    // it; damage() then says why nothing may read it, or is empty when the
    // library may. The dataset must stay open while reads are made.
    bool prepare(long long dataset, long long memType);
    bool usable() const;
    const QString &damage() const;
    // The decoded bytes of the largest chunk, 0 when not chunked.
    long long chunkBytes() const;

    // The block rows [row0, row0 + rows) x columns [col0, col0 + cols) of
    // frame `frame` (0 for rank 2) in the dataset's own axis order (the
    // last axis fastest) into out, rows x cols samples. Threads may read at
    // once: each decodes in buffers of its own.
    Result read(int frame, long long row0, long long rows, long long col0, long long cols,
                void *out) const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};
