#pragma once
// Reads the chunks of an HDF5 image dataset straight from the file and
// decodes them here, bypassing the library's filter pipeline. Detector
// stacks are written as one deflate-compressed chunk per image, often with
// the byte shuffle before it; noisy 16-bit counts compress by only about
// 1.7:1 (2:1 shuffled), so decoding is the whole cost of a load. libdeflate
// inflates such chunks about twice as fast as zlib does inside the library,
// and the library adds its own growing output buffer and copies on top.
//
// Only the storage this reader fully understands is taken: chunked, with no
// filter, deflate, or shuffle then deflate; chunks one frame deep; samples
// already in the memory type asked for. Anything else (other filters,
// conversions, chunks never written and so holding the fill value, a chunk
// that does not decode to its exact size) answers UseLibrary, and the caller
// reads the same selection through the library, which then gives its own
// verdict. So this reader can make a load faster, never different.
#include <QRecursiveMutex>
#include <memory>

// The serial HDF5 library is not safe for concurrent use: every call into it
// holds this lock (the I1 and I0 loaders read in threads of their own).
QRecursiveMutex &hdf5LibraryLock();

class Hdf5Chunks {
public:
    enum Result { Done, UseLibrary };

    Hdf5Chunks();
    ~Hdf5Chunks();
    Hdf5Chunks(const Hdf5Chunks &) = delete;
    Hdf5Chunks &operator=(const Hdf5Chunks &) = delete;

    // Looks at the dataset (an HDF5 identifier of rank 2 or 3, the frame
    // axis first) read as memType; false when its storage is not one this
    // reader decodes. The dataset must stay open while reads are made.
    bool prepare(long long dataset, long long memType);
    bool usable() const;

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
